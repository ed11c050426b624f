// The batch kernels of every variant and the batch sizes they run best at.
// The portable kernels build and run everywhere; the others may be called
// only where the dispatch point has found their instructions.
#pragma once

#include <cstdint>

#include "fixedpoint/kernels/conversion_wavefront.h"
#include "fixedpoint/kernels/series_wavefront.h"

namespace quarnel {

// Scalar C++, reciprocal division in 64-by-64-bit products.
inline constexpr std::int32_t kPortableBatchRounds = 16;
inline constexpr std::int32_t kPortableBatchPasses = 16;
void RunRoundBatchPortable(const RoundBatch& batch);
void RunPassBatchPortable(const PassBatch& batch);

// Four lanes of doubles (series) or 64-bit integers (conversion), with FMA.
inline constexpr std::int32_t kAvx2BatchRounds = 16;
inline constexpr std::int32_t kAvx2BatchPasses = 32;
void RunRoundBatchAvx2(const RoundBatch& batch);
void RunPassBatchAvx2(const PassBatch& batch);

// Eight lanes of doubles (series) or 64-bit integers (conversion).
inline constexpr std::int32_t kAvx512BatchRounds = 32;
inline constexpr std::int32_t kAvx512BatchPasses = 64;
void RunRoundBatchAvx512(const RoundBatch& batch);
void RunPassBatchAvx512(const PassBatch& batch);

}  // namespace quarnel
