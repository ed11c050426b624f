// The decimal conversion as a wavefront over batches of passes.
//
// Pass i multiplies words GroupHighestIndex(w, i) down to 0 by 100000 (word
// 0 reset first) and yields group i from word 0. Pass i + 1 at word m needs
// only word m after pass i and its own carry from word m + 1, so a batch of
// K passes runs as one skewed sweep from the highest word down: at step t,
// pass j of the batch works on word k_0 - t + j, where k_0 is the highest
// index of the batch's first pass. Each pass keeps its own highest index, so
// every word and every group is exactly that of the plain loop.
#pragma once

#include <cstdint>

#include "fixedpoint/word_array.h"

namespace quarnel {

// The most passes any variant runs in one batch.
inline constexpr std::int32_t kMaxBatchPasses = 64;

// Passes firstPass .. firstPass + passes - 1 over x, a number of last word
// index w; groups[j] receives the group of pass firstPass + j.
struct PassBatch {
  Word* x;
  std::int32_t w;
  std::int32_t firstPass;  // 1-based, as the group index
  std::int32_t passes;     // 1 .. the variant's batch size
  Word* groups;
};

// Runs one batch, leaving x and the groups exactly as the plain passes do.
using PassBatchKernel = void (*)(const PassBatch& batch);

// The result of ConvertToGroupsPlain(x, w, groupCount, groups), with the
// passes run by kernel in batches of at most batchPasses (<= kMaxBatchPasses).
void ConvertToGroupsWavefront(WordArray& x, std::int32_t w, std::int32_t groupCount, Word* groups,
                              PassBatchKernel kernel, std::int32_t batchPasses);

}  // namespace quarnel
