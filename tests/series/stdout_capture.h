// Standard output pointed elsewhere for a while: at a descriptor of the
// test's choosing, or at a socket that keeps every write as one message.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace quarnel::testing {

// Standard output is `fd` for the lifetime of the object.
class StdoutRedirect {
 public:
  explicit StdoutRedirect(int fd);
  ~StdoutRedirect();
  StdoutRedirect(const StdoutRedirect&) = delete;
  StdoutRedirect& operator=(const StdoutRedirect&) = delete;

 private:
  int saved_;
};

// Runs body with standard output on a packet socket and returns what it
// wrote there, one string per write call. Exceptions of body pass through.
std::vector<std::string> StdoutWrites(const std::function<void()>& body);

}  // namespace quarnel::testing
