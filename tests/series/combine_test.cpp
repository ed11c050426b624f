// The four tasks run on the process's pool and combined: slot 1 against pi
// computed independently, by Machin's formula in GMP integers.
#include "series/combine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "fixedpoint/word_array.h"
#include "gmp_words.h"
#include "platform/run_error.h"
#include "series/series_tasks.h"
#include "stdout_capture.h"

namespace quarnel {
namespace {

using testing::ImportWords;
using testing::Mpz;

// sum := floor(2^bits * atan(1/x)), give or take one unit per term.
void ArctanOfInverse(unsigned long x, mp_bitcnt_t bits, mpz_ptr sum) {
  Mpz power(1), term;
  mpz_mul_2exp(power.get(), power.get(), bits);
  mpz_fdiv_q_ui(power.get(), power.get(), x);
  mpz_set_ui(sum, 0);
  for (unsigned long n = 1; mpz_sgn(power.get()) != 0; n += 2) {
    mpz_fdiv_q_ui(term.get(), power.get(), n);
    if (n % 4 == 1) {
      mpz_add(sum, sum, term.get());
    } else {
      mpz_sub(sum, sum, term.get());
    }
    mpz_fdiv_q_ui(power.get(), power.get(), x * x);
  }
}

// pi = 16 atan(1/5) - 4 atan(1/239), as the integer nearest pi * 2^(32w).
// Worked with 64 guard bits, whose per-term truncations (a few ten thousand
// terms, weighted 16 and 4) stay far below one unit of the result.
void MachinPi(std::int32_t w, mpz_ptr pi) {
  constexpr mp_bitcnt_t kGuardBits = 64;
  const mp_bitcnt_t bits = 32 * static_cast<mp_bitcnt_t>(w) + kGuardBits;
  Mpz a, b;
  ArctanOfInverse(5, bits, a.get());
  ArctanOfInverse(239, bits, b.get());
  mpz_mul_ui(a.get(), a.get(), 16);
  mpz_submul_ui(a.get(), b.get(), 4);
  mpz_fdiv_q_2exp(pi, a.get(), kGuardBits - 1);  // round to nearest
  mpz_add_ui(pi, pi, 1);
  mpz_fdiv_q_2exp(pi, pi, 1);
}

// How far slot 1 may lie from pi * 2^(32W), in units of its last word.
//
// Each term a task adds is floor(exact term): floor(floor(x / a) / b) =
// floor(x / (ab)) makes every chain of word divisions one exact division,
// so each of its rounds + 1 terms is short by less than one unit. A task
// stops once its power P is below 2^32 (words 0..W-1 zero); the exact power
// is then below 2^32 as well, and the terms it leaves out, each at most the
// previous over the step divisor D and over an odd counter of at least
// c = final counter + step, sum to less than 2^32 / (c (D - 1)). Carries are
// all kept, so the errors of the four slots add up, and pi itself is within
// half a unit of the Machin value: the bound is the sum of both parts plus 1.
unsigned long ErrorBound() {
  double bound = 1;
  for (int k = 1; k <= kSeriesTaskCount; ++k) {
    const SeriesRecipe& recipe = kSeriesTasks[static_cast<std::size_t>(k - 1)];
    const SeriesOutcome outcome = LastSeriesOutcome(k);
    const double nextCounter = outcome.finalCounter + recipe.counterStep;
    bound += outcome.rounds + 1;
    bound += 4'294'967'296.0 / (nextCounter * (recipe.stepDivisor - 1.0));
  }
  return static_cast<unsigned long>(bound) + 1;
}

TEST(RunAndCombine, SlotOneIsPiWithinTheRoundingOfTheFourSeries) {
  for (const std::int32_t digits : {1'000, 2'000, 9'000, 10'000, 40'000}) {
    SCOPED_TRACE("N = " + std::to_string(digits));
    W = digits / 8;
    const std::vector<std::string> lines = testing::StdoutWrites(RunAndCombine);

    const WordArray& pi = ResultSlot(1);
    EXPECT_EQ(pi[0], 3u);
    EXPECT_EQ(pi[1], 0x243F6A88u);

    Mpz got, expected, error;
    ImportWords(got.get(), pi, W);
    MachinPi(W, expected.get());
    mpz_sub(error.get(), got.get(), expected.get());
    mpz_abs(error.get(), error.get());
    const unsigned long bound = ErrorBound();
    EXPECT_LE(mpz_cmp_ui(error.get(), bound), 0)
        << "off by " << mpz_get_d(error.get()) << " units, bound " << bound;
    // The bound is worth something: about 8.6 W + 2,200 units, below 2^24
    // even for 10,000,000 digits, so all but the last word's low bits (and a
    // carry out of them) are pi's own.
    EXPECT_LT(bound, 1ul << 24);
    std::printf("N = %d: off by %.0f units of 2^-32W, bound %lu\n", digits,
                mpz_get_d(error.get()), bound);

    // Every task line once, each in a write of its own; their order is free.
    std::vector<std::string> expectedLines;
    for (int k = 1; k <= kSeriesTaskCount; ++k) {
      expectedLines.push_back("Thread " + std::to_string(k) + " started\r\n");
      expectedLines.push_back("Thread " + std::to_string(k) + " finished\r\n");
    }
    std::vector<std::string> sorted = lines;
    std::sort(sorted.begin(), sorted.end());
    std::sort(expectedLines.begin(), expectedLines.end());
    EXPECT_EQ(sorted, expectedLines);
  }
}

TEST(RunAndCombine, FailedTaskLineReachesTheCallerAsInOutError) {
  W = 125;
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0) << "no /dev/full";
  bool raised = false;
  {
    testing::StdoutRedirect redirect(full);
    try {
      RunAndCombine();
    } catch (const EInOutError& e) {
      raised = e.Number() == io_error::kDiskFull;
    }
  }
  ::close(full);
  EXPECT_TRUE(raised);
}

}  // namespace
}  // namespace quarnel
