#include "series/thread_pool.h"

#include <algorithm>
#include <system_error>

#include "platform/processors.h"
#include "platform/run_error.h"

namespace quarnel {

TProcThreadPool::TProcThreadPool(int maxThreadCount)
    : maxThreadCount_(std::max(1, maxThreadCount)) {}

TProcThreadPool::~TProcThreadPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void TProcThreadPool::EnsureWorkers(int count) {
  while (static_cast<int>(workers_.size()) < count) {
    const int threadNumber = static_cast<int>(workers_.size()) + 1;
    try {
      workers_.emplace_back([this, threadNumber] { WorkerLoop(threadNumber); });
    } catch (const std::system_error& e) {
      throw EThread(e.code().message());
    }
  }
}

std::exception_ptr TProcThreadPool::RunIndices(int threadNumber) {
  TMultiThreadProcItem item;
  item.threadNumber_ = threadNumber;
  for (;;) {
    std::int32_t index = 0;
    {
      std::lock_guard lock(mutex_);
      if (job_.failed || job_.next > job_.last) return nullptr;
      index = static_cast<std::int32_t>(job_.next++);
    }
    try {
      job_.proc(index, job_.userData, &item);
    } catch (...) {
      std::lock_guard lock(mutex_);
      job_.failed = true;
      // Recorded at once, so "first" means first to fail.
      if (threadNumber != 0 && !job_.firstWorkerError) {
        job_.firstWorkerError = std::current_exception();
      }
      return std::current_exception();
    }
  }
}

void TProcThreadPool::WorkerLoop(int threadNumber) {
  std::uint64_t seen = 0;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      // A worker takes part in a job only if the job asked for it.
      wake_.wait(lock, [&] {
        return stopping_ || (generation_ != seen && threadNumber <= job_.helpers);
      });
      if (stopping_) return;
      seen = generation_;
    }
    RunIndices(threadNumber);
    {
      std::lock_guard lock(mutex_);
      ++job_.helpersDone;
    }
    done_.notify_all();
  }
}

void TProcThreadPool::DoParallel(TMultiThreadProc proc, std::int32_t first, std::int32_t last,
                                 void* userData, int threadLimit) {
  if (last < first) return;
  const int limit = threadLimit > 0 ? std::min(threadLimit, maxThreadCount_) : maxThreadCount_;
  const std::int64_t count = std::int64_t{last} - first + 1;
  const int helpers = static_cast<int>(std::min<std::int64_t>(limit, count)) - 1;
  EnsureWorkers(helpers);

  {
    std::lock_guard lock(mutex_);
    job_ = Job{};
    job_.proc = proc;
    job_.userData = userData;
    job_.next = std::int64_t{first} + 1;  // index `first` is the calling thread's own
    job_.last = last;
    job_.helpers = helpers;
    ++generation_;
  }
  if (helpers > 0) wake_.notify_all();

  TMultiThreadProcItem item;
  std::exception_ptr ownError;
  try {
    proc(first, userData, &item);
  } catch (...) {
    std::lock_guard lock(mutex_);
    job_.failed = true;
    ownError = std::current_exception();
  }
  if (!ownError) ownError = RunIndices(0);

  std::exception_ptr workerError;
  {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return job_.helpersDone == job_.helpers; });
    workerError = job_.firstWorkerError;
  }
  if (ownError) std::rethrow_exception(ownError);
  if (workerError) std::rethrow_exception(workerError);
}

TProcThreadPool& ProcThreadPool() {
  static TProcThreadPool pool(UsableProcessorCount());
  return pool;
}

}  // namespace quarnel
