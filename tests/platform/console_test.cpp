// The console's system calls under the conditions that make them come back
// early: a signal in the middle of a read or write (EINTR), and a standard
// descriptor left non-blocking by another process (EAGAIN).
#include "platform/console.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <exception>
#include <string>
#include <thread>

namespace quarnel {
namespace {

std::atomic<int> gSignals{0};

void CountSignal(int) { gSignals.fetch_add(1); }

// Replaces standard descriptor `fd` for the test's lifetime; a handler for
// SIGUSR1 without SA_RESTART makes a blocked call fail with EINTR.
class RedirectedDescriptor {
 public:
  RedirectedDescriptor(int fd, int replacement) : fd_(fd), saved_(::dup(fd)) {
    ::dup2(replacement, fd_);
    struct sigaction action {};
    action.sa_handler = CountSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;
    ::sigaction(SIGUSR1, &action, &previous_);
    gSignals = 0;
  }
  ~RedirectedDescriptor() { Restore(); }
  void Restore() {
    if (saved_ < 0) return;
    ::dup2(saved_, fd_);
    ::close(saved_);
    saved_ = -1;
    ::sigaction(SIGUSR1, &previous_, nullptr);
  }

 private:
  int fd_;
  int saved_;
  struct sigaction previous_ {};
};

void Interrupt(pthread_t thread, int times) {
  for (int i = 0; i < times; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::pthread_kill(thread, SIGUSR1);
  }
}

TEST(ReadConsoleBytes, SignalsDuringTheReadAreNotErrors) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  std::size_t got = 0;
  char buffer[64] = {};
  {
    RedirectedDescriptor redirect(STDIN_FILENO, ends[0]);
    const pthread_t reader = ::pthread_self();
    std::thread writer([&] {
      Interrupt(reader, 5);
      ::write(ends[1], "1000\n", 5);
    });
    got = ReadConsoleBytes(buffer, sizeof buffer);
    writer.join();
  }
  ::close(ends[0]);
  ::close(ends[1]);
  EXPECT_GT(gSignals.load(), 0);
  EXPECT_EQ(std::string(buffer, got), "1000\n");
}

TEST(WriteConsoleText, WaitsOnAFullNonBlockingPipeThroughSignals) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::fcntl(ends[1], F_SETFL, ::fcntl(ends[1], F_GETFL) | O_NONBLOCK);
  std::string text(1 << 20, '\0');
  for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>('a' + i % 26);

  std::string received;
  {
    RedirectedDescriptor redirect(STDOUT_FILENO, ends[1]);
    const pthread_t writerThread = ::pthread_self();
    std::thread reader([&] {
      // The pipe fills long before this thread starts reading.
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      Interrupt(writerThread, 5);
      char chunk[4096];
      while (received.size() < text.size()) {
        const ssize_t got = ::read(ends[0], chunk, sizeof chunk);
        if (got <= 0) break;
        received.append(chunk, static_cast<std::size_t>(got));
      }
    });
    std::string error;
    try {
      WriteConsoleText(text);
    } catch (const std::exception& e) {
      error = e.what();
    }
    // With the last writing end closed the reader sees the end, whatever
    // happened to the write.
    redirect.Restore();
    ::close(ends[1]);
    reader.join();
    EXPECT_EQ(error, "");
  }
  ::close(ends[0]);
  EXPECT_GT(gSignals.load(), 0);
  EXPECT_EQ(received.size(), text.size());
  EXPECT_TRUE(received == text);
}

}  // namespace
}  // namespace quarnel
