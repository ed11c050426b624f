#include "series/combine.h"

#include "fixedpoint/word_array.h"
#include "series/series_tasks.h"
#include "series/thread_pool.h"

namespace quarnel {

void RunAndCombine() {
  for (int k = 1; k <= kSeriesTaskCount; ++k) ResultSlot(k);  // allocated before any task runs
  ProcThreadPool().DoParallel(RunSeriesTask, 1, kSeriesTaskCount, nullptr, 0);
  WordArray& pi = ResultSlot(1);
  SubtractWords(pi, ResultSlot(2), 1);  // 48 atan(1/18): positive minus negative half
  AddWords(pi, ResultSlot(3), 1);       // + 32 atan(1/57)
  SubtractWords(pi, ResultSlot(4), 1);  // - 20 atan(1/239)
}

}  // namespace quarnel
