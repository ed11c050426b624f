// The thread pool's contract: each index once, the calling thread's share,
// the concurrency limit, the serial path, the errors and thread creation.
#include "series/thread_pool.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <limits>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "child_process.h"
#include "platform/processors.h"
#include "platform/run_error.h"

namespace quarnel {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Runs body(index, item) for first..last on the pool.
template <typename Body>
void RunOnPool(TProcThreadPool& pool, std::int32_t first, std::int32_t last, Body& body,
               int limit = 0) {
  pool.DoParallel(
      [](std::int32_t index, void* userData, TMultiThreadProcItem* item) {
        (*static_cast<Body*>(userData))(index, item);
      },
      first, last, &body, limit);
}

// Waits until flag is set or the time is up; true when it was set.
bool WaitFor(const std::atomic<bool>& flag, std::chrono::milliseconds limit = 10s) {
  const auto end = Clock::now() + limit;
  while (!flag.load()) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(100us);
  }
  return true;
}

// Waits until count reaches target or the time is up; true when it did.
bool WaitForCount(const std::atomic<int>& count, int target,
                  std::chrono::milliseconds limit = 10s) {
  const auto end = Clock::now() + limit;
  while (count.load() < target) {
    if (Clock::now() > end) return false;
    std::this_thread::sleep_for(100us);
  }
  return true;
}

// The threads of this process, as the system counts them.
int ProcessThreadCount() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
  }
  return -1;
}

// The thread count once threads that were joined have also left the
// system's count, which can lag a moment behind the join.
int SettledThreadCount() {
  int last = ProcessThreadCount();
  for (int steady = 0; steady < 10;) {
    std::this_thread::sleep_for(5ms);
    const int now = ProcessThreadCount();
    steady = now == last ? steady + 1 : 0;
    last = now;
  }
  return last;
}

// ---------------------------------------------------------------------------
// Each index once, and who runs what.

TEST(ThreadPool, RunsEachIndexExactlyOnce) {
  constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
  struct {
    const char* why;
    int threads;
    std::int32_t first, last;
    int limit;
  } const cases[] = {
      {"the program's own call", 4, 1, 4, 0},
      {"more indices than threads", 3, 1, 100, 0},
      {"more threads than indices", 8, 1, 3, 0},
      {"negative indices", 4, -5, 5, 0},
      {"a single index", 4, 7, 7, 0},
      {"a limit below the pool's maximum", 4, 1, 50, 2},
      {"a limit above the pool's maximum", 2, 1, 50, 16},
      {"indices up to the largest", 4, kMax - 9, kMax, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TProcThreadPool pool(c.threads);
    const auto size = static_cast<std::size_t>(std::int64_t{c.last} - c.first + 1);
    std::vector<std::atomic<int>> calls(size);
    auto body = [&](std::int32_t index, TMultiThreadProcItem*) {
      const std::int64_t at = std::int64_t{index} - c.first;
      if (at >= 0 && at < static_cast<std::int64_t>(size)) {
        ++calls[static_cast<std::size_t>(at)];
      } else {
        ++calls[0], ++calls[0];  // out of range: counted as a repeat
      }
    };
    for (int repeat = 0; repeat < 200; ++repeat) {
      for (auto& n : calls) n = 0;
      RunOnPool(pool, c.first, c.last, body, c.limit);
      for (std::size_t i = 0; i < size; ++i) {
        ASSERT_EQ(calls[i].load(), 1) << "index " << c.first + static_cast<std::int64_t>(i)
                                      << ", repeat " << repeat;
      }
    }
  }
}

TEST(ThreadPool, EmptyRangeCallsNothing) {
  TProcThreadPool pool(4);
  std::atomic<int> calls{0};
  auto body = [&](std::int32_t, TMultiThreadProcItem*) { ++calls; };
  RunOnPool(pool, 5, 4, body);
  EXPECT_EQ(calls.load(), 0);
}

TEST(ThreadPool, CallingThreadRunsTheFirstIndexItself) {
  TProcThreadPool pool(4);
  const std::thread::id caller = std::this_thread::get_id();
  for (int repeat = 0; repeat < 200; ++repeat) {
    std::atomic<bool> firstOnCaller{false};
    std::atomic<int> number{-1};
    auto body = [&](std::int32_t index, TMultiThreadProcItem* item) {
      if (index == 1) {
        firstOnCaller = std::this_thread::get_id() == caller;
        number = item->ThreadNumber();
      }
    };
    RunOnPool(pool, 1, 4, body);
    ASSERT_TRUE(firstOnCaller.load()) << "repeat " << repeat;
    ASSERT_EQ(number.load(), 0);
  }
}

TEST(ThreadPool, OneThreadRunsInIndexOrderOnTheCallingThread) {
  struct {
    const char* why;
    int threads, limit;
  } const cases[] = {
      {"a pool of one", 1, 0},
      {"a pool of four limited to one", 4, 1},
  };
  const std::thread::id caller = std::this_thread::get_id();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TProcThreadPool pool(c.threads);
    std::vector<std::int32_t> order;  // written by the calling thread only
    bool allOnCaller = true;
    auto body = [&](std::int32_t index, TMultiThreadProcItem*) {
      allOnCaller = allOnCaller && std::this_thread::get_id() == caller;
      order.push_back(index);
    };
    RunOnPool(pool, 1, 4, body, c.limit);
    EXPECT_TRUE(allOnCaller);
    EXPECT_EQ(order, (std::vector<std::int32_t>{1, 2, 3, 4}));
  }
}

TEST(ThreadPool, RunsAtMostItsThreadCountAtOnce) {
  struct {
    int threads, limit, allowed;
  } const cases[] = {{1, 0, 1}, {2, 0, 2}, {3, 0, 3}, {4, 2, 2}};
  for (const auto& c : cases) {
    SCOPED_TRACE("pool of " + std::to_string(c.threads) + ", limit " + std::to_string(c.limit));
    TProcThreadPool pool(c.threads);
    std::atomic<int> running{0}, most{0};
    auto body = [&](std::int32_t, TMultiThreadProcItem*) {
      const int now = ++running;
      int seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(500us);
      --running;
    };
    RunOnPool(pool, 1, 40, body, c.limit);
    EXPECT_LE(most.load(), c.allowed);
    EXPECT_GE(most.load(), 1);
  }
}

TEST(ThreadPool, RunsFourTasksAtOnceOnFourThreads) {
  // Each task waits for all four to have arrived: only four threads at once
  // get every one of them through.
  TProcThreadPool pool(4);
  std::atomic<int> arrived{0};
  std::mutex mutex;
  std::set<std::thread::id> threads;
  std::atomic<bool> allMet{true};
  auto body = [&](std::int32_t, TMultiThreadProcItem*) {
    {
      std::lock_guard lock(mutex);
      threads.insert(std::this_thread::get_id());
    }
    ++arrived;
    if (!WaitForCount(arrived, 4)) allMet = false;
  };
  RunOnPool(pool, 1, 4, body);
  EXPECT_TRUE(allMet.load());
  EXPECT_EQ(threads.size(), 4u);
}

TEST(ThreadPool, CreatesWorkersOnFirstUseAndKeepsThemBetweenCalls) {
  // A thread started and joined first, so that a sanitizer's helper thread,
  // which some start with the first thread, is already in the baseline.
  std::thread([] {}).join();
  const int before = SettledThreadCount();
  ASSERT_GT(before, 0);
  std::set<std::thread::id> firstWorkers, secondWorkers;
  {
    TProcThreadPool pool(4);
    EXPECT_EQ(ProcessThreadCount(), before) << "threads created with the pool";

    std::atomic<int> arrived{0};
    std::mutex mutex;
    std::set<std::thread::id>* workers = &firstWorkers;
    auto body = [&](std::int32_t, TMultiThreadProcItem* item) {
      if (item->ThreadNumber() != 0) {
        std::lock_guard lock(mutex);
        workers->insert(std::this_thread::get_id());
      }
      ++arrived;
      WaitForCount(arrived, 4);
    };
    auto nothing = [](std::int32_t, TMultiThreadProcItem*) {};
    RunOnPool(pool, 1, 1, nothing);
    EXPECT_EQ(ProcessThreadCount(), before) << "a call of one index needs no worker";
    RunOnPool(pool, 1, 2, nothing);
    EXPECT_EQ(ProcessThreadCount(), before + 1);
    RunOnPool(pool, 1, 4, body);
    EXPECT_EQ(ProcessThreadCount(), before + 3);
    arrived = 0;
    workers = &secondWorkers;
    RunOnPool(pool, 1, 4, body);
    EXPECT_EQ(ProcessThreadCount(), before + 3) << "workers not reused";
  }
  EXPECT_EQ(firstWorkers.size(), 3u);
  EXPECT_EQ(firstWorkers, secondWorkers);
  EXPECT_EQ(SettledThreadCount(), before) << "workers left after the pool";
}

// ---------------------------------------------------------------------------
// Errors.

TEST(ThreadPool, ReturnsOnlyAfterEveryStartedCallHasEnded) {
  TProcThreadPool pool(4);
  for (const bool callerThrows : {false, true}) {
    SCOPED_TRACE(callerThrows ? "the calling thread's task fails at once" : "no task fails");
    std::atomic<int> started{0}, ended{0};
    auto body = [&](std::int32_t index, TMultiThreadProcItem*) {
      ++started;
      if (index == 1) {
        WaitForCount(started, 4);
        if (callerThrows) throw std::runtime_error("caller");
        return;
      }
      std::this_thread::sleep_for(50ms);
      ++ended;
    };
    try {
      RunOnPool(pool, 1, 4, body);
      EXPECT_FALSE(callerThrows);
    } catch (const std::runtime_error&) {
      EXPECT_TRUE(callerThrows);
    }
    EXPECT_EQ(started.load(), 4);
    EXPECT_EQ(ended.load(), 3) << "returned while a worker's task was still running";
  }
}

TEST(ThreadPool, CallingThreadsOwnErrorWinsOverAWorkersEarlierOne) {
  TProcThreadPool pool(2);
  std::atomic<bool> workerThrew{false};
  auto body = [&](std::int32_t index, TMultiThreadProcItem*) {
    if (index == 2) {
      workerThrew = true;
      throw std::runtime_error("worker");
    }
    WaitFor(workerThrew);
    std::this_thread::sleep_for(20ms);  // the worker's error is recorded first
    throw EInOutError(io_error::kDiskFull);
  };
  try {
    RunOnPool(pool, 1, 2, body);
    ADD_FAILURE() << "no error";
  } catch (const EInOutError& e) {
    EXPECT_EQ(e.Number(), io_error::kDiskFull);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "got the worker's error: " << e.what();
  }
}

TEST(ThreadPool, FirstRecordedWorkerErrorWinsWhenTheCallerSucceeds) {
  TProcThreadPool pool(3);
  for (int repeat = 0; repeat < 20; ++repeat) {
    std::atomic<int> workerTickets{0};
    std::atomic<bool> firstThrew{false};
    auto body = [&](std::int32_t index, TMultiThreadProcItem*) {
      if (index == 1) {
        WaitForCount(workerTickets, 2);  // so that the workers take 2 and 3
        return;
      }
      if (workerTickets++ == 0) {
        WaitForCount(workerTickets, 2);  // both workers are inside a task
        firstThrew = true;
        throw std::runtime_error("first");
      }
      WaitFor(firstThrew);
      std::this_thread::sleep_for(20ms);
      throw std::runtime_error("second");
    };
    try {
      RunOnPool(pool, 1, 3, body);
      ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
      ASSERT_STREQ(e.what(), "first") << "repeat " << repeat;
    }
  }
}

TEST(ThreadPool, StartsNoFurtherIndexOnceATaskHasFailed) {
  struct {
    const char* why;
    int threads;
    std::int32_t failing;   // the index that throws
    std::int32_t waiting;   // an index that outlasts the failure, or 0
  } const cases[] = {
      {"serial: the rest after the failing index never start", 1, 2, 0},
      {"the calling thread's task fails while a worker runs", 2, 1, 2},
      {"a worker's task fails while the calling thread runs", 2, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    TProcThreadPool pool(c.threads);
    std::mutex mutex;
    std::set<std::int32_t> started;
    std::atomic<bool> waitingStarted{false}, failed{false};
    auto body = [&](std::int32_t index, TMultiThreadProcItem*) {
      {
        std::lock_guard lock(mutex);
        started.insert(index);
      }
      if (index == c.waiting) {
        waitingStarted = true;
        WaitFor(failed);
        std::this_thread::sleep_for(30ms);  // the failure is recorded meanwhile
      }
      if (index == c.failing) {
        if (c.waiting != 0) WaitFor(waitingStarted);
        failed = true;
        throw std::runtime_error("failed");
      }
    };
    EXPECT_THROW(RunOnPool(pool, 1, 10, body), std::runtime_error);
    std::set<std::int32_t> expected{1, 2};
    EXPECT_EQ(started, expected);

    // The pool is whole again for the next call.
    std::atomic<int> calls{0};
    auto count = [&](std::int32_t, TMultiThreadProcItem*) { ++calls; };
    RunOnPool(pool, 1, 10, count);
    EXPECT_EQ(calls.load(), 10);
  }
}

// ---------------------------------------------------------------------------
// The process's pool and thread creation.

TEST(ThreadPool, ThreadCountIsAtLeastOne) {
  for (const int asked : {0, -3, 1}) EXPECT_EQ(TProcThreadPool(asked).MaxThreadCount(), 1);
}

TEST(ThreadPool, ProcessPoolIsSizedByTheUsableProcessors) {
  // In a child bound to one processor, the pool created there has one thread.
  const int bound = testing::RunInForkedChild([] {
    cpu_set_t mask;
    CPU_ZERO(&mask);
    if (sched_getaffinity(0, sizeof mask, &mask) != 0) return 2;
    for (std::size_t cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
      if (!CPU_ISSET(cpu, &mask)) continue;
      CPU_ZERO(&mask);
      CPU_SET(cpu, &mask);
      if (sched_setaffinity(0, sizeof mask, &mask) != 0) return 2;
      return ProcThreadPool().MaxThreadCount() == 1 ? 0 : 1;
    }
    return 2;
  });
  EXPECT_EQ(bound, 0);
  EXPECT_EQ(ProcThreadPool().MaxThreadCount(), UsableProcessorCount());
  EXPECT_EQ(&ProcThreadPool(), &ProcThreadPool());
}

// What a forked child found when it could not create every thread.
enum ThreadLimitResult : int {
  kRaisedEThread = 0,
  kNoError = 10,  // the pool ran the indices without the threads it needed
  kWrongMessage = 11,
  kIndexRan = 12,
  kSetupFailed = 13,
  kWrongError = 14,
};

// In a forked child: as an unprivileged user allowed `tasks` tasks in all
// (the child itself counts as one), asks a pool of four for four indices.
int TryPoolUnderTaskLimit(rlim_t tasks) {
  return testing::RunInForkedChild([tasks] {
    ::alarm(20);  // a hang ends the child instead of the test run
    if (::geteuid() == 0) {
      // A user id of its own, so no other process counts against the limit;
      // root is not held to the limit at all.
      const auto uid = static_cast<uid_t>(60'000 + ::getpid() % 5'000);
      if (::setgid(uid) != 0 || ::setuid(uid) != 0) return int{kSetupFailed};
    }
    // First make sure the limit holds here at all: with room for the child
    // alone, not even a bare thread may start.
    const rlimit probe{1, 2};
    if (::setrlimit(RLIMIT_NPROC, &probe) != 0) return int{kSetupFailed};
    try {
      std::thread([] {}).join();
      return int{kSetupFailed};
    } catch (const std::system_error&) {
    }
    const rlimit limit{tasks, tasks};
    if (::setrlimit(RLIMIT_NPROC, &limit) != 0) return int{kSetupFailed};
    std::atomic<int> ran{0};
    try {
      TProcThreadPool pool(4);
      auto body = [&](std::int32_t, TMultiThreadProcItem*) { ++ran; };
      RunOnPool(pool, 1, 4, body);
      return int{kNoError};
    } catch (const EThread& e) {
      if (ran.load() != 0) return int{kIndexRan};
      const std::string expected = std::string("Thread creation error: ") + std::strerror(EAGAIN);
      return e.Kind() == "EThread" && e.Message() == expected ? int{kRaisedEThread}
                                                               : int{kWrongMessage};
    } catch (...) {
      return int{kWrongError};
    }
  });
}

TEST(ThreadPool, ThreadCreationFailureRaisesEThreadBeforeAnyIndex) {
  struct {
    const char* why;
    rlim_t tasks;
  } const cases[] = {
      {"no thread at all can be created", 0},
      {"the first worker starts, the second cannot", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.why);
    const int result = TryPoolUnderTaskLimit(c.tasks);
    if (result == kSetupFailed) {
      GTEST_SKIP() << "this machine does not enforce a task limit on an unprivileged user";
    }
    EXPECT_EQ(result, kRaisedEThread) << "see ThreadLimitResult";
  }
}

}  // namespace
}  // namespace quarnel
