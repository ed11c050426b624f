#include "series/series_tasks.h"

#include <memory>
#include <string>

#include "series/computation_engine.h"
#include "platform/console.h"

namespace quarnel {

namespace {

std::array<std::unique_ptr<WordArray>, kSeriesTaskCount> gSlots;
std::array<SeriesOutcome, kSeriesTaskCount> gOutcomes{};

}  // namespace

WordArray& ResultSlot(int k) {
  // Created on first use, before the tasks start: the run sequence and the
  // tests touch every slot before any task runs.
  auto& slot = gSlots[static_cast<std::size_t>(k - 1)];
  if (!slot) slot = std::make_unique<WordArray>();
  return *slot;
}

SeriesOutcome LastSeriesOutcome(int k) { return gOutcomes[static_cast<std::size_t>(k - 1)]; }

void RunSeriesTask(std::int32_t taskIndex, void* /*userData*/, TMultiThreadProcItem* /*item*/) {
  const std::string name = "Thread " + std::to_string(taskIndex);
  WriteConsoleLine(name + " started");
  if (taskIndex >= 1 && taskIndex <= kSeriesTaskCount) {
    const auto at = static_cast<std::size_t>(taskIndex - 1);
    gOutcomes[at] = SumSeriesForRun(kSeriesTasks[at], ResultSlot(taskIndex));
  }
  WriteConsoleLine(name + " finished");
}

}  // namespace quarnel
