// The four series tasks: their lines, their slots, their rounds, and the
// carry that the reference sum carries on beyond the leading word.
#include "series/series_tasks.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fixedpoint/series_rounds.h"
#include "fixedpoint/word_array.h"
#include "gmp_words.h"
#include "platform/run_error.h"
#include "stdout_capture.h"

namespace quarnel {
namespace {

using testing::ImportWords;
using testing::Mpz;
using testing::StdoutWrites;

std::size_t At(std::int32_t i) { return static_cast<std::size_t>(i); }

// Runs task k with its lines captured; returns them, one per write.
std::vector<std::string> RunTask(std::int32_t k) {
  return StdoutWrites([k] { RunSeriesTask(k, nullptr, nullptr); });
}

std::vector<std::string> TaskLines(std::int32_t k) {
  const std::string name = "Thread " + std::to_string(k);
  return {name + " started\r\n", name + " finished\r\n"};
}

// ---------------------------------------------------------------------------
// Rounds, final counters and leading words against the known values.

struct RoundsCase {
  std::int32_t digits;
  std::int32_t task;
  std::int32_t rounds;
  std::int32_t finalCounter;
};

TEST(SeriesTask, RunsTheKnownRoundsAndEndsOnTheKnownCounter) {
  const RoundsCase cases[] = {
      {1'000, 1, 238, 953},     {1'000, 2, 238, 955},     {1'000, 3, 341, 683},
      {1'000, 4, 251, 503},     {10'000, 1, 2'397, 9'589}, {10'000, 2, 2'396, 9'587},
      {10'000, 3, 3'427, 6'855}, {10'000, 4, 2'530, 5'061},
  };
  for (const RoundsCase& c : cases) {
    SCOPED_TRACE("N = " + std::to_string(c.digits) + ", task " + std::to_string(c.task));
    W = c.digits / 8;
    RunTask(c.task);
    EXPECT_EQ(LastSeriesOutcome(c.task).rounds, c.rounds);
    EXPECT_EQ(LastSeriesOutcome(c.task).finalCounter, c.finalCounter);
  }
}

TEST(SeriesTask, LeadingWordsForOneThousandDigits) {
  struct {
    std::int32_t task;
    Word word0, word1;
  } const cases[] = {
      {1, 2, 0xAAAAFFE7},  // 48/18 = 2.67: the only slot with an integer part
      {2, 0, 0x00B3CC37},  // 48/(3 * 18^3) = 0.0027: starts from the term, not the power
      {3, 0, 0x8FB45DC8},  // 32 atan(1/57) = 0.561
      {4, 0, 0x156C26EF},  // 20 atan(1/239) = 0.0837
  };
  W = 125;
  for (const auto& c : cases) {
    SCOPED_TRACE("task " + std::to_string(c.task));
    RunTask(c.task);
    EXPECT_EQ(ResultSlot(c.task)[0], c.word0);
    EXPECT_EQ(ResultSlot(c.task)[1], c.word1);
  }
}

// ---------------------------------------------------------------------------
// The whole slot against the series summed exactly with GMP.
//
// With P0 = floor(coefficient * 2^(32W) / firstDivisor) and P_j the power
// after j rounds, floor(floor(x / a) / b) = floor(x / (ab)) makes the word
// divisions exact integer divisions: P_j = floor(P_{j-1} / stepDivisor) and
// term_j = floor(P_j / c_j). A round runs while the power is at least 2^32,
// that is while a word below W is non-zero. The slot is the signed sum of
// the terms, with every carry kept.

struct ExactSum {
  Mpz sum;
  std::int32_t rounds = 0;
  std::int32_t finalCounter = 0;
};

void SumExactly(const SeriesRecipe& recipe, std::int32_t w, ExactSum& out) {
  Mpz power(recipe.coefficient), term, limit(1);
  mpz_mul_2exp(power.get(), power.get(), 32 * static_cast<mp_bitcnt_t>(w));
  mpz_fdiv_q_ui(power.get(), power.get(), recipe.firstDivisor);
  mpz_mul_2exp(limit.get(), limit.get(), 32);
  std::int32_t c = recipe.counterStart;
  mpz_fdiv_q_ui(out.sum.get(), power.get(), static_cast<unsigned long>(c));
  out.rounds = 0;
  while (mpz_cmp(power.get(), limit.get()) >= 0) {
    c += recipe.counterStep;
    mpz_fdiv_q_ui(power.get(), power.get(), recipe.stepDivisor);
    mpz_fdiv_q_ui(term.get(), power.get(), static_cast<unsigned long>(c));
    if (TermIsAdded(recipe.sign, c)) {
      mpz_add(out.sum.get(), out.sum.get(), term.get());
    } else {
      mpz_sub(out.sum.get(), out.sum.get(), term.get());
    }
    ++out.rounds;
  }
  out.finalCounter = c;
}

TEST(SeriesTask, EverySlotIsTheExactIntegerSumOfItsSeries) {
  for (const std::int32_t digits : {1'000, 3'000, 10'000}) {
    W = digits / 8;
    for (std::int32_t k = 1; k <= kSeriesTaskCount; ++k) {
      SCOPED_TRACE("N = " + std::to_string(digits) + ", task " + std::to_string(k));
      RunTask(k);
      ExactSum exact;
      SumExactly(kSeriesTasks[At(k - 1)], W, exact);
      Mpz slot;
      ImportWords(slot.get(), ResultSlot(k), W);
      EXPECT_EQ(mpz_cmp(slot.get(), exact.sum.get()), 0);
      EXPECT_EQ(LastSeriesOutcome(k).rounds, exact.rounds);
      EXPECT_EQ(LastSeriesOutcome(k).finalCounter, exact.finalCounter);
    }
  }
}

TEST(SeriesTask, TaskTwoStartsFromItsFirstTermNotFromThePower) {
  W = 125;
  RunTask(2);
  // first = floor(floor(48 * 2^(32W) / 18^3) / 3); every later term is
  // below 48 / (7 * 18^7) < 2^(32W) / (5 * 10^7) and they shrink 10^5-fold.
  Mpz first(48), rest, bound(1);
  mpz_mul_2exp(first.get(), first.get(), 32 * static_cast<mp_bitcnt_t>(W));
  mpz_fdiv_q_ui(first.get(), first.get(), 5'832);
  mpz_fdiv_q_ui(first.get(), first.get(), 3);
  ImportWords(rest.get(), ResultSlot(2), W);
  mpz_sub(rest.get(), rest.get(), first.get());
  mpz_mul_2exp(bound.get(), bound.get(), 32 * static_cast<mp_bitcnt_t>(W));
  mpz_fdiv_q_ui(bound.get(), bound.get(), 50'000'000);
  EXPECT_GT(mpz_sgn(rest.get()), 0);
  EXPECT_LT(mpz_cmp(rest.get(), bound.get()), 0);
}

// ---------------------------------------------------------------------------
// The tasks re-run with the six operations exactly as the rounds are
// described, dropping whatever leaves word s-1, and watching the leading
// index after every in-place division.

struct DescribedRun {
  std::unique_ptr<WordArray> slot = std::make_unique<WordArray>();
  std::int32_t droppedSpills = 0;
  std::vector<std::string> faults;  // where the leading index was not exact
};

void CheckLeadingIndex(const WordArray& power, std::int32_t s, std::int32_t round,
                       std::vector<std::string>& faults) {
  bool exact = power[At(s)] != 0;
  for (std::int32_t i = 0; i < s && exact; ++i) exact = power[At(i)] == 0;
  if (!exact) faults.push_back("round " + std::to_string(round) + ", s = " + std::to_string(s));
}

void RunAsDescribed(std::int32_t k, DescribedRun& run) {
  const SeriesRecipe& recipe = kSeriesTasks[At(k - 1)];
  const auto power = std::make_unique<WordArray>();
  const auto term = std::make_unique<WordArray>();
  WordArray& slot = *run.slot;
  ClearWords(*power);
  std::int32_t s = 1;
  std::int32_t c = recipe.counterStart;
  (*power)[0] = recipe.coefficient;
  DivideInPlace(*power, recipe.firstDivisor, s);
  if (k != 1) CheckLeadingIndex(*power, s, 0, run.faults);  // task 1 keeps its integer part
  if (c == 1) {
    slot = *power;
  } else {
    DivideInto(*power, *term, static_cast<Word>(c), s);
    slot = *term;
  }
  for (std::int32_t round = 1; s < W; ++round) {
    c += recipe.counterStep;
    DivideInPlace(*power, recipe.stepDivisor, s);
    CheckLeadingIndex(*power, s, round, run.faults);
    DivideInto(*power, *term, static_cast<Word>(c), s);
    if ((*term)[At(s - 1)] != 0) {
      run.faults.push_back("term word s-1, round " + std::to_string(round));
    }
    const Word spill = TermIsAdded(recipe.sign, c) ? AddWords(slot, *term, s)
                                                   : SubtractWords(slot, *term, s);
    if (spill != 0 && s > 1) ++run.droppedSpills;
  }
}

TEST(SeriesTask, LeadingIndexIsExactAndNothingLeavesTheLeadingWord) {
  for (const std::int32_t digits : {1'000, 4'000, 10'000}) {
    W = digits / 8;
    for (std::int32_t k = 1; k <= kSeriesTaskCount; ++k) {
      SCOPED_TRACE("N = " + std::to_string(digits) + ", task " + std::to_string(k));
      DescribedRun described;
      RunAsDescribed(k, described);
      EXPECT_TRUE(described.faults.empty()) << described.faults.front();
      EXPECT_EQ(described.droppedSpills, 0);
      RunTask(k);
      bool same = true;
      for (std::int32_t i = 0; i <= W && same; ++i) {
        same = ResultSlot(k)[At(i)] == (*described.slot)[At(i)];
        EXPECT_TRUE(same) << "first difference at word " << i;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// A carry or borrow out of word s-1 goes on into the words above it.

struct ApplyCase {
  const char* why;
  std::int32_t s;
  bool added;
  std::vector<Word> slot, term, expected;  // words 0..W, W = 4
};

TEST(ApplyTerm, CarriesAndBorrowsOnBeyondTheLeadingWord) {
  constexpr Word kOnes = 0xFFFFFFFF;
  constexpr Word kJunk = 0xDEADBEEF;  // below word s-1 of the term: never read
  const ApplyCase cases[] = {
      {"carry out of word s-1 (all ones) lands in word s-2", 3, true,
       {7, 5, kOnes, kOnes, 0x10}, {kJunk, kJunk, 0, 1, 0xFFFFFFF0}, {7, 6, 0, 1, 0}},
      {"carry runs through a run of ones into the integer part", 3, true,
       {7, kOnes, kOnes, kOnes, kOnes}, {kJunk, kJunk, 0, 0, 1}, {8, 0, 0, 0, 0}},
      {"carry out of word 0 is beyond the number", 3, true,
       {kOnes, kOnes, kOnes, kOnes, kOnes}, {kJunk, kJunk, 0, 0, 1}, {0, 0, 0, 0, 0}},
      {"borrow out of word s-1 (zero) is taken from word s-2", 3, false,
       {7, 5, 0, 0, 0}, {kJunk, kJunk, 0, 0, 1}, {7, 4, kOnes, kOnes, kOnes}},
      {"borrow runs through zeros into the integer part", 4, false,
       {7, 0, 0, 0, 0}, {kJunk, kJunk, kJunk, 0, 1}, {6, kOnes, kOnes, kOnes, kOnes}},
      {"s = 1: what leaves word 0 is dropped", 1, true,
       {kOnes, kOnes, kOnes, kOnes, kOnes}, {0, 0, 0, 0, 1}, {0, 0, 0, 0, 0}},
      {"no spill: the words above s-1 stay", 3, true,
       {7, kOnes, 1, 2, 3}, {kJunk, kJunk, 4, 5, 6}, {7, kOnes, 5, 7, 9}},
  };
  W = 4;
  for (const ApplyCase& c : cases) {
    SCOPED_TRACE(c.why);
    const auto slot = std::make_unique<WordArray>();
    const auto term = std::make_unique<WordArray>();
    for (std::size_t i = 0; i < 5; ++i) {
      (*slot)[i] = c.slot[i];
      (*term)[i] = c.term[i];
    }
    (*slot)[5] = 0x5E5E5E5E;  // beyond W: left alone
    ApplyTerm(*slot, *term, c.s, c.added);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ((*slot)[i], c.expected[i]) << "word " << i;
    EXPECT_EQ((*slot)[5], 0x5E5E5E5Eu);
  }
}

// Words with long runs of zero and one bits, where carries travel far.
Word RandomWord(std::mt19937_64& rng) {
  switch (rng() % 4) {
    case 0: return 0;
    case 1: return 0xFFFFFFFF;
    case 2: return static_cast<Word>(rng() >> (rng() % 64));
    default: return static_cast<Word>(rng());
  }
}

unsigned long TestSeed() {
  const char* text = std::getenv("QUARNEL_SEED");
  return text != nullptr ? std::strtoul(text, nullptr, 10) : 20'240'611ul;
}

TEST(ApplyTerm, EqualsSignedSumModuloTheNumberOnRandomOperands) {
  const unsigned long seed = TestSeed();
  SCOPED_TRACE("QUARNEL_SEED=" + std::to_string(seed));
  std::mt19937_64 rng(seed);
  auto slot = std::make_unique<WordArray>();
  auto term = std::make_unique<WordArray>();
  for (int trial = 0; trial < 4'000; ++trial) {
    W = 1 + static_cast<std::int32_t>(rng() % 12);
    const std::int32_t s = 1 + static_cast<std::int32_t>(rng() % static_cast<unsigned>(W));
    const bool added = rng() % 2 == 0;
    for (std::int32_t i = 0; i <= W + 1; ++i) {
      (*slot)[At(i)] = RandomWord(rng);
      (*term)[At(i)] = RandomWord(rng);
    }
    const Word beyond = (*slot)[At(W + 1)];

    Mpz a, b, expected;
    ImportWords(a.get(), *slot, W);
    // The term as the operation sees it: words s-1..W, the junk above them
    // left out.
    std::vector<Word> seen(term->begin(), term->begin() + W + 1);
    std::fill(seen.begin(), seen.begin() + (s - 1), Word{0});
    mpz_import(b.get(), seen.size(), 1, sizeof(Word), 0, 0, seen.data());
    if (added) {
      mpz_add(expected.get(), a.get(), b.get());
    } else {
      mpz_sub(expected.get(), a.get(), b.get());
    }
    mpz_fdiv_r_2exp(expected.get(), expected.get(), 32 * (static_cast<mp_bitcnt_t>(W) + 1));

    ApplyTerm(*slot, *term, s, added);
    Mpz got;
    ImportWords(got.get(), *slot, W);
    ASSERT_EQ(mpz_cmp(got.get(), expected.get()), 0)
        << "trial " << trial << ", W = " << W << ", s = " << s << (added ? ", add" : ", subtract");
    ASSERT_EQ((*slot)[At(W + 1)], beyond) << "trial " << trial;
  }
}

// ---------------------------------------------------------------------------
// Lines, indices outside 1..4 and failed writes.

TEST(SeriesTask, WritesEachLineWholeInOneWrite) {
  W = 125;
  for (std::int32_t k = 1; k <= kSeriesTaskCount; ++k) EXPECT_EQ(RunTask(k), TaskLines(k));
}

TEST(SeriesTask, IndexOutsideOneToFourWritesBothLinesAndChangesNoSlot) {
  W = 125;
  for (std::int32_t k = 1; k <= kSeriesTaskCount; ++k) {
    for (std::size_t i = 0; i < kWordCapacity; ++i) {
      ResultSlot(k)[i] = static_cast<Word>(0x9E3779B9u * (i + 1) + static_cast<Word>(k));
    }
  }
  const auto before = std::make_unique<std::array<WordArray, kSeriesTaskCount>>();
  for (std::int32_t k = 1; k <= kSeriesTaskCount; ++k) (*before)[At(k - 1)] = ResultSlot(k);

  for (const std::int32_t k : {0, 5, -1, 2'147'483'647}) {
    SCOPED_TRACE("index " + std::to_string(k));
    EXPECT_EQ(RunTask(k), TaskLines(k));
    for (std::int32_t slot = 1; slot <= kSeriesTaskCount; ++slot) {
      EXPECT_TRUE(ResultSlot(slot) == (*before)[At(slot - 1)]) << "slot " << slot;
    }
  }
}

TEST(SeriesTask, FailedStartedLineRaisesInOutErrorBeforeTouchingTheSlot) {
  W = 125;
  const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
  ASSERT_GE(full, 0) << "no /dev/full";
  ResultSlot(3).fill(0x12345678);
  {
    testing::StdoutRedirect redirect(full);
    try {
      RunSeriesTask(3, nullptr, nullptr);
      ADD_FAILURE() << "no error raised";
    } catch (const EInOutError& e) {
      EXPECT_EQ(e.Number(), io_error::kDiskFull);
    }
  }
  ::close(full);
  EXPECT_EQ(ResultSlot(3)[1], 0x12345678u);
}

TEST(SeriesTask, FailedFinishedLineRaisesInOutErrorAfterTheSum) {
  // Standard output a file under a size limit that the started line fills
  // exactly: the finished line then cannot be stored.
  W = 125;
  char path[] = "/tmp/quarnel-task-lines-XXXXXX";
  const int file = ::mkstemp(path);
  ASSERT_GE(file, 0);
  ::unlink(path);
  const std::string startedLine = TaskLines(4)[0];
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = startedLine.size();
  ResultSlot(4).fill(0);
  bool raised = false;
  {
    testing::StdoutRedirect redirect(file);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    try {
      RunSeriesTask(4, nullptr, nullptr);
    } catch (const EInOutError& error) {
      raised = error.Number() == io_error::kDiskFull;
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
  }
  std::signal(SIGXFSZ, oldHandler);
  std::string got(startedLine.size() + 16, '\0');
  const ssize_t read = ::pread(file, got.data(), got.size(), 0);
  ::close(file);
  EXPECT_TRUE(raised);
  ASSERT_EQ(read, static_cast<ssize_t>(startedLine.size()));
  EXPECT_EQ(got.substr(0, startedLine.size()), startedLine);
  EXPECT_EQ(ResultSlot(4)[1], 0x156C26EFu);  // the sum was done before the failure
}

}  // namespace
}  // namespace quarnel
