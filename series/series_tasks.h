// The four series tasks of Gauss's formula
//
//     pi = 48 atan(1/18) + 32 atan(1/57) - 20 atan(1/239)
//
// and the run-wide result slots they fill. Task 1 sums the positive terms of
// 48 atan(1/18), task 2 its negative terms (as a positive sum); the signs
// between the slots are applied by the combination.
#pragma once

#include <array>
#include <cstdint>

#include "fixedpoint/series_rounds.h"
#include "fixedpoint/word_array.h"

namespace quarnel {

class TMultiThreadProcItem;

inline constexpr int kSeriesTaskCount = 4;

// The recipe of task k (1..4) is kSeriesTasks[k - 1].
inline constexpr std::array<SeriesRecipe, kSeriesTaskCount> kSeriesTasks{{
    // coefficient, first divisor, counter start, step divisor, counter step, sign
    {48, 18, 1, 104'976, 4, TermSign::kAlwaysAdd},               // 48 (x + x^5/5 + ...), x = 1/18
    {48, 5'832, 3, 104'976, 4, TermSign::kAlwaysAdd},            // 48 (x^3/3 + x^7/7 + ...)
    {32, 57, 1, 3'249, 2, TermSign::kAlternateByCounter},        // 32 atan(1/57)
    {20, 239, 1, 57'121, 2, TermSign::kAlternateByCounter},      // 20 atan(1/239)
}};

// Result slot k (1..4), of full capacity, for the whole run.
WordArray& ResultSlot(int k);

// The task procedure in the shape the pool calls: runs task taskIndex into its
// slot between its "Thread k started" and "Thread k finished" lines. An index
// outside 1..4 writes both lines and changes no slot. A failed console write
// raises EInOutError.
void RunSeriesTask(std::int32_t taskIndex, void* userData, TMultiThreadProcItem* item);

// The outcome of the last run of task k (1..4), for tests and diagnostics.
SeriesOutcome LastSeriesOutcome(int k);

}  // namespace quarnel
