// The process-wide thread pool and its one operation, run in parallel.
//
// Contract of DoParallel(proc, first, last, userData, limit):
//   1. Each index first..last is passed to proc exactly once (unless a call
//      fails, see 5).
//   2. It returns only after every call of proc it started has returned.
//   3. At most T calls run at once, T = limit if 0 < limit < P, else P (the
//      pool's maximum); each on its own thread. The calling thread is one of
//      them and runs index `first` itself.
//   4. With T = 1 every index runs on the calling thread, in index order.
//   5. Once a call has failed (thrown), no thread starts a further index.
//      After every started call has ended, the error is rethrown in the
//      caller: the calling thread's own error if it had one, otherwise the
//      first error recorded by a worker.
// Worker threads are created on first use, when a call needs them, and idle
// in the pool between calls until the pool is destroyed. A thread that
// cannot be created raises EThread before any index is started.
// DoParallel is not reentrant: one call at a time, from one thread.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace quarnel {

// What the pool hands each call of the task procedure.
class TMultiThreadProcItem {
 public:
  // The pool thread running the call: 0 for the calling thread.
  int ThreadNumber() const { return threadNumber_; }

 private:
  friend class TProcThreadPool;
  int threadNumber_ = 0;
};

using TMultiThreadProc = void (*)(std::int32_t index, void* userData, TMultiThreadProcItem* item);

class TProcThreadPool {
 public:
  explicit TProcThreadPool(int maxThreadCount);
  ~TProcThreadPool();
  TProcThreadPool(const TProcThreadPool&) = delete;
  TProcThreadPool& operator=(const TProcThreadPool&) = delete;

  int MaxThreadCount() const { return maxThreadCount_; }

  void DoParallel(TMultiThreadProc proc, std::int32_t first, std::int32_t last, void* userData,
                  int threadLimit = 0);

 private:
  struct Job {
    TMultiThreadProc proc = nullptr;
    void* userData = nullptr;
    // Wider than an index, so that stepping past `last` cannot overflow.
    std::int64_t next = 0;  // the next index to start
    std::int64_t last = 0;
    int helpers = 0;        // workers taking part in this job
    int helpersDone = 0;
    bool failed = false;
    std::exception_ptr firstWorkerError;
  };

  void EnsureWorkers(int count);
  void WorkerLoop(int threadNumber);
  // Runs indices of the current job until none is left or one has failed;
  // returns the error of this thread's own failed call, if any.
  std::exception_ptr RunIndices(int threadNumber);

  const int maxThreadCount_;
  std::vector<std::thread> workers_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  Job job_;
  std::uint64_t generation_ = 0;  // counts the jobs handed out
  bool stopping_ = false;
};

// The one pool of the process, with the usable processor count as its
// maximum; created by the entry point before the run begins.
TProcThreadPool& ProcThreadPool();

}  // namespace quarnel
