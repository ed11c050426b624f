#include "fixedpoint/kernels.h"

#include <array>

#include "fixedpoint/kernels/conversion_wavefront.h"
#include "fixedpoint/kernels/series_wavefront.h"
#include "fixedpoint/kernels/variants.h"

namespace quarnel {

namespace {

bool Always() { return true; }

bool HasAvx2() { return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"); }

bool HasAvx512() {
  return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
}

// A recipe outside the bounds the wavefront kernels are proven for runs with
// the plain operations instead.
template <RoundBatchKernel kKernel, std::int32_t kRounds>
SeriesOutcome SumSeriesWith(const SeriesRecipe& recipe, WordArray& slot) {
  if (!WavefrontFits(recipe, W)) return SumSeriesPlain(recipe, slot);
  return SumSeriesWavefront(recipe, slot, kKernel, kRounds);
}

template <PassBatchKernel kKernel, std::int32_t kPasses>
void ConvertToGroupsWith(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups) {
  ConvertToGroupsWavefront(x, w, groupCount, groups, kKernel, kPasses);
}

constexpr std::array kVariants{
    KernelVariant{"plain", Always, SumSeriesPlain, ConvertToGroupsPlain},
    KernelVariant{"portable", Always,
                  SumSeriesWith<RunRoundBatchPortable, kPortableBatchRounds>,
                  ConvertToGroupsWith<RunPassBatchPortable, kPortableBatchPasses>},
    KernelVariant{"avx2", HasAvx2, SumSeriesWith<RunRoundBatchAvx2, kAvx2BatchRounds>,
                  ConvertToGroupsWith<RunPassBatchAvx2, kAvx2BatchPasses>},
    KernelVariant{"avx512", HasAvx512, SumSeriesWith<RunRoundBatchAvx512, kAvx512BatchRounds>,
                  ConvertToGroupsWith<RunPassBatchAvx512, kAvx512BatchPasses>},
};

const KernelVariant& ChooseBestVariant() {
  const KernelVariant* best = &kVariants.front();
  for (const KernelVariant& variant : kVariants) {
    if (variant.supported()) best = &variant;
  }
  return *best;
}

}  // namespace

std::span<const KernelVariant> KernelVariants() { return kVariants; }

const KernelVariant& BestKernelVariant() {
  static const KernelVariant& best = ChooseBestVariant();
  return best;
}

SeriesOutcome SumSeries(const SeriesRecipe& recipe, WordArray& slot) {
  return BestKernelVariant().sumSeries(recipe, slot);
}

void ConvertToGroups(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups) {
  BestKernelVariant().convertToGroups(x, w, groupCount, groups);
}

}  // namespace quarnel
