// Times the quasi-linear engine beside the word-array rounds and checks that
// both give the same slots and digits.
//
//     quarnel-engine-bench N            each task and the conversion, both ways
//                                       (the rounds only for N <= 200,000)
//     quarnel-engine-bench --whole N    the whole computation with the engine:
//                                       four tasks on four threads, combine, convert
//     quarnel-engine-bench --crossover  engine and rounds side by side for rising N
#include <sys/resource.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "fixedpoint/quasilinear/crossover.h"
#include "fixedpoint/quasilinear/quasilinear.h"
#include "series/series_tasks.h"

namespace quarnel {
namespace {

constexpr std::int32_t kLargestReferenceCount = 200'000;

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

bool ValidCount(std::int32_t n) { return n >= 1'000 && n <= 10'000'000 && n % 1'000 == 0; }

// slot 1 := slot 1 - slot 2 + slot 3 - slot 4, as the combination does.
void Combine(WordArray* const slots[4]) {
  SubtractWords(*slots[0], *slots[1], 1);
  AddWords(*slots[0], *slots[2], 1);
  SubtractWords(*slots[0], *slots[3], 1);
}

int CompareEachStage(std::int32_t n) {
  W = n / 8;
  const bool reference = n <= kLargestReferenceCount;
  std::vector<std::unique_ptr<WordArray>> engine(4);
  std::vector<std::unique_ptr<WordArray>> rounds(4);
  bool same = true;
  std::printf("N = %d (W = %d)\n", n, W);
  std::printf("%-12s %12s %12s %9s  %s\n", "stage", "rounds s", "engine s", "ratio", "result");
  for (int k = 0; k < 4; ++k) {
    engine[static_cast<std::size_t>(k)] = std::make_unique<WordArray>();
    auto start = std::chrono::steady_clock::now();
    const SeriesOutcome e = SumSeriesQuasiLinear(kSeriesTasks[static_cast<std::size_t>(k)],
                                                 *engine[static_cast<std::size_t>(k)]);
    const double engineSeconds = Seconds(start);
    std::string verdict = "rounds " + std::to_string(e.rounds);
    double roundSeconds = 0;
    if (reference) {
      rounds[static_cast<std::size_t>(k)] = std::make_unique<WordArray>();
      start = std::chrono::steady_clock::now();
      const SeriesOutcome r = SumSeriesPlain(kSeriesTasks[static_cast<std::size_t>(k)],
                                             *rounds[static_cast<std::size_t>(k)]);
      roundSeconds = Seconds(start);
      bool equal = r.rounds == e.rounds && r.finalCounter == e.finalCounter &&
                   std::memcmp(rounds[static_cast<std::size_t>(k)]->data(),
                               engine[static_cast<std::size_t>(k)]->data(),
                               sizeof(Word) * static_cast<std::size_t>(W + 1)) == 0;
      verdict += equal ? ", identical" : ", DIFFERENT";
      same = same && equal;
      std::printf("task %-7d %12.3f %12.3f %9.1f  %s\n", k + 1, roundSeconds, engineSeconds,
                  roundSeconds / engineSeconds, verdict.c_str());
    } else {
      std::printf("task %-7d %12s %12.3f %9s  %s\n", k + 1, "-", engineSeconds, "-",
                  verdict.c_str());
    }
  }

  WordArray* slots[4];
  for (int k = 0; k < 4; ++k) slots[k] = engine[static_cast<std::size_t>(k)].get();
  Combine(slots);
  const auto groupCount = static_cast<std::size_t>(n / 5);
  std::vector<Word> engineGroups(groupCount);
  auto pi = std::make_unique<WordArray>(*slots[0]);
  auto start = std::chrono::steady_clock::now();
  ConvertToGroupsQuasiLinear(*pi, W, n / 5, engineGroups.data());
  const double engineSeconds = Seconds(start);
  if (reference) {
    std::vector<Word> roundGroups(groupCount);
    pi = std::make_unique<WordArray>(*slots[0]);
    start = std::chrono::steady_clock::now();
    ConvertToGroupsPlain(*pi, W, n / 5, roundGroups.data());
    const double roundSeconds = Seconds(start);
    const bool equal = roundGroups == engineGroups;
    same = same && equal;
    std::printf("%-12s %12.3f %12.3f %9.1f  %s\n", "conversion", roundSeconds, engineSeconds,
                roundSeconds / engineSeconds, equal ? "identical" : "DIFFERENT");
  } else {
    std::printf("%-12s %12s %12.3f %9s\n", "conversion", "-", engineSeconds, "-");
  }
  std::printf("first groups %05u %05u, peak %.0f MB\n", engineGroups[0], engineGroups[1],
              PeakMegabytes());
  return same ? 0 : 1;
}

int RunWhole(std::int32_t n) {
  W = n / 8;
  for (int k = 1; k <= 4; ++k) ResultSlot(k);
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::thread> threads;
  for (int k = 1; k <= 4; ++k) {
    threads.emplace_back([k] {
      SumSeriesQuasiLinear(kSeriesTasks[static_cast<std::size_t>(k - 1)], ResultSlot(k));
    });
  }
  for (auto& t : threads) t.join();
  const double seriesSeconds = Seconds(start);
  WordArray* slots[4] = {&ResultSlot(1), &ResultSlot(2), &ResultSlot(3), &ResultSlot(4)};
  Combine(slots);
  const auto convertStart = std::chrono::steady_clock::now();
  std::vector<Word> groups(static_cast<std::size_t>(n / 5));
  ConvertToGroupsQuasiLinear(ResultSlot(1), W, n / 5, groups.data());
  const double convertSeconds = Seconds(convertStart);
  std::printf("N = %d: series %.2f s, conversion %.2f s, total %.2f s, peak %.0f MB\n", n,
              seriesSeconds, convertSeconds, Seconds(start), PeakMegabytes());
  std::printf("first groups %05u %05u, last group %05u\n", groups[0], groups[1], groups.back());
  return 0;
}

// The whole series and conversion work, one thread, one way or the other.
double TimeAll(std::int32_t n, bool engine) {
  W = n / 8;
  auto slot = std::make_unique<WordArray>();
  std::vector<Word> groups(static_cast<std::size_t>(n / 5));
  const auto start = std::chrono::steady_clock::now();
  for (const SeriesRecipe& recipe : kSeriesTasks) {
    if (engine) {
      SumSeriesQuasiLinear(recipe, *slot);
    } else {
      SumSeriesPlain(recipe, *slot);
    }
  }
  if (engine) {
    ConvertToGroupsQuasiLinear(*slot, W, n / 5, groups.data());
  } else {
    ConvertToGroupsPlain(*slot, W, n / 5, groups.data());
  }
  return Seconds(start);
}

int RunCrossover() {
  std::printf("%10s %12s %12s %9s\n", "N", "rounds s", "engine s", "ratio");
  for (std::int32_t n : {1'000, 2'000, 3'000, 4'000, 6'000, 8'000, 12'000, 16'000, 24'000}) {
    const int repeats = n <= 4'000 ? 20 : 3;
    double best[2] = {1e9, 1e9};
    for (int r = 0; r < repeats; ++r) {
      for (int way = 0; way < 2; ++way) {
        const double s = TimeAll(n, way == 1);
        if (s < best[way]) best[way] = s;
      }
    }
    std::printf("%10d %12.4f %12.4f %9.2f\n", n, best[0], best[1], best[0] / best[1]);
  }
  std::printf("stated crossover: %d digits\n", kQuasiLinearCrossoverDigits);
  return 0;
}

}  // namespace
}  // namespace quarnel

int main(int argc, char** argv) {
  using namespace quarnel;
  if (argc == 2 && std::strcmp(argv[1], "--crossover") == 0) return RunCrossover();
  const bool whole = argc == 3 && std::strcmp(argv[1], "--whole") == 0;
  if (argc == 2 || whole) {
    const long n = std::strtol(argv[argc - 1], nullptr, 10);
    if (ValidCount(static_cast<std::int32_t>(n))) {
      return whole ? RunWhole(static_cast<std::int32_t>(n))
                   : CompareEachStage(static_cast<std::int32_t>(n));
    }
  }
  std::fprintf(stderr,
               "usage: quarnel-engine-bench N | --whole N | --crossover\n"
               "       N a multiple of 1,000 from 1,000 to 10,000,000\n");
  return 2;
}
