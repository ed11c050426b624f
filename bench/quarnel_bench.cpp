// quarnel-bench N: times the plain reference and every kernel variant the
// CPU supports on the same digit count N, for each of the four series tasks
// and for the conversion of the real pi (slot 1 - slot 2 + slot 3 - slot 4),
// checks that every variant's result is the reference's word for word, and
// prints the times and the ratios to the reference. Exits 1 on a mismatch,
// 2 on a bad argument. The last line reads
//     speedup: series S.Sx conversion C.Cx
// for the best variant over the reference.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fixedpoint/kernels.h"
#include "series/series_tasks.h"

namespace quarnel {
namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Timing {
  const KernelVariant* variant;
  double task[kSeriesTaskCount];
  double series;
  double conversion;
};

bool SameWords(const WordArray& a, const WordArray& b, std::int32_t w) {
  return std::equal(a.begin(), a.begin() + w + 1, b.begin());
}

int Run(std::int32_t n) {
  W = n / 8;
  const std::int32_t groupCount = n / 5;
  std::vector<std::unique_ptr<WordArray>> reference;
  std::vector<SeriesOutcome> referenceOutcome;
  auto slot = std::make_unique<WordArray>();
  auto pi = std::make_unique<WordArray>();
  auto x = std::make_unique<WordArray>();
  std::vector<Word> referenceGroups(static_cast<std::size_t>(groupCount));
  std::vector<Word> groups(static_cast<std::size_t>(groupCount));
  bool identical = true;

  std::vector<Timing> timings;
  for (const KernelVariant& variant : KernelVariants()) {
    if (!variant.supported()) continue;
    const bool isReference = timings.empty();
    Timing timing{&variant, {}, 0, 0};
    for (int k = 1; k <= kSeriesTaskCount; ++k) {
      const auto at = static_cast<std::size_t>(k - 1);
      const Clock::time_point start = Clock::now();
      const SeriesOutcome outcome = variant.sumSeries(kSeriesTasks[at], *slot);
      timing.task[at] = SecondsSince(start);
      timing.series += timing.task[at];
      if (isReference) {
        reference.push_back(std::make_unique<WordArray>(*slot));
        referenceOutcome.push_back(outcome);
      } else if (!SameWords(*slot, *reference[at], W) ||
                 outcome.rounds != referenceOutcome[at].rounds ||
                 outcome.finalCounter != referenceOutcome[at].finalCounter) {
        std::printf("MISMATCH: %s, task %d\n", variant.name, k);
        identical = false;
      }
    }
    if (isReference) {
      *pi = *reference[0];
      SubtractWords(*pi, *reference[1], 1);
      AddWords(*pi, *reference[2], 1);
      SubtractWords(*pi, *reference[3], 1);
    }
    *x = *pi;
    const Clock::time_point start = Clock::now();
    variant.convertToGroups(*x, W, groupCount, groups.data());
    timing.conversion = SecondsSince(start);
    if (isReference) {
      referenceGroups = groups;
    } else if (groups != referenceGroups) {
      std::printf("MISMATCH: %s, conversion\n", variant.name);
      identical = false;
    }
    timings.push_back(timing);
  }

  const Timing& base = timings.front();
  std::printf("quarnel-bench: N = %d (W = %d), times in seconds, ratio = plain / variant\n", n,
              W);
  std::printf("%-9s %9s %9s %9s %9s %9s %7s %10s %7s\n", "kernel", "task 1", "task 2", "task 3",
              "task 4", "series", "ratio", "conversion", "ratio");
  double bestSeries = 0;
  double bestConversion = 0;
  for (const Timing& t : timings) {
    const double seriesRatio = base.series / t.series;
    const double conversionRatio = base.conversion / t.conversion;
    bestSeries = std::max(bestSeries, seriesRatio);
    bestConversion = std::max(bestConversion, conversionRatio);
    std::printf("%-9s %9.3f %9.3f %9.3f %9.3f %9.3f %6.1fx %10.3f %6.1fx\n", t.variant->name,
                t.task[0], t.task[1], t.task[2], t.task[3], t.series, seriesRatio, t.conversion,
                conversionRatio);
  }
  if (!identical) {
    std::printf("results differ from the plain reference\n");
    return 1;
  }
  std::printf("speedup: series %.1fx conversion %.1fx\n", bestSeries, bestConversion);
  return 0;
}

}  // namespace
}  // namespace quarnel

int main(int argc, char** argv) {
  const long n = argc == 2 ? std::strtol(argv[1], nullptr, 10) : 0;
  if (n < 1'000 || n > 10'000'000 || n % 1'000 != 0) {
    std::fprintf(stderr, "usage: quarnel-bench N  (N a multiple of 1,000 from 1,000 to 10,000,000)\n");
    return 2;
  }
  return quarnel::Run(static_cast<std::int32_t>(n));
}
