// A file written through a 256-byte buffer, handed to the system whenever
// it is full and once more at closing. Every failure raises EInOutError.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "platform/output_file.h"

namespace quarnel {

class BufferedFile {
 public:
  static constexpr std::size_t kBufferSize = 256;

  // Creates the file, or empties an existing one.
  explicit BufferedFile(const char* path);
  // Closes without reporting, for the error path; Close() reports.
  ~BufferedFile();
  BufferedFile(const BufferedFile&) = delete;
  BufferedFile& operator=(const BufferedFile&) = delete;

  void Write(std::string_view text);
  void Close();

 private:
  void HandOver();

  OutputFileHandle file_;
  bool open_ = true;
  std::size_t used_ = 0;
  std::array<char, kBufferSize> buffer_{};
};

}  // namespace quarnel
