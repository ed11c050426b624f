#include "app/reply_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "platform/run_error.h"

namespace quarnel {
namespace {

enum class Outcome { kValue, kEnd, kInvalid };

// One reading: what it gives and how many bytes are consumed after it.
struct Reading {
  Outcome outcome;
  std::int32_t value;
  std::size_t consumed;
};

Reading Value(std::int32_t value, std::size_t consumed) { return {Outcome::kValue, value, consumed}; }
Reading End(std::size_t consumed) { return {Outcome::kEnd, 0, consumed}; }
Reading Invalid(std::size_t consumed) { return {Outcome::kInvalid, 0, consumed}; }

struct ReaderCase {
  const char* why;
  std::string input;
  std::vector<Reading> readings;
};

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

const std::string kZeros251(251, '0');

const std::vector<ReaderCase> kCases = {
    // The dialogue's own examples.
    {"below the minimum", "999\n", {Value(999, 4)}},
    {"not a multiple of 1,000", "1500\n", {Value(1500, 5)}},
    {"zero", "0\n", {Value(0, 2)}},
    {"negative", "-1000\n", {Value(-1000, 6)}},
    {"above the maximum", "10001000\n", {Value(10001000, 9)}},
    {"the minimum", "1000\n", {Value(1000, 5), End(5)}},
    {"the maximum", "10000000\n", {Value(10000000, 9)}},
    {"blanks and words around the number", "   2000   more words\n", {Value(2000, 21)}},
    {"empty lines are skipped", "\n\n\r\n1000\n", {Value(1000, 9)}},
    {"a comma is not a digit", "1,000\n", {Invalid(5)}},
    {"all 32 bits set read as -1", "$FFFFFFFF\n", {Value(-1, 10)}},
    {"minus negates the prefixed value", "-$FFFFFC18\n", {Value(1000, 11)}},
    {"hex prefix $", "$3E8\n", {Value(1000, 5)}},

    // Line ends and what each reading takes.
    {"two lines with LF", "999\n1000\n", {Value(999, 4), Value(1000, 9), End(9)}},
    {"CR alone ends a line", "999\r1000\r", {Value(999, 4), Value(1000, 9), End(9)}},
    {"CR LF counts once; its LF is skipped next", "999\r\n1000\r\n",
     {Value(999, 4), Value(1000, 10), End(11)}},
    {"LF CR is two line ends", "999\n\r1000\n", {Value(999, 4), Value(1000, 10)}},
    {"rest of line discarded through LF only", "5000 6000\n7000\n", {Value(5000, 10), Value(7000, 15)}},
    {"a tab ends the number", "1000\tjunk\n", {Value(1000, 10)}},
    {"control bytes before the number are skipped", "\x01\x02\x1f\t 1000\n", {Value(1000, 10)}},
    {"input ending without a line end", "1000", {Value(1000, 4), End(4)}},
    {"empty input", "", {End(0), End(0)}},
    {"only blanks", " \t\n", {End(3)}},

    // Ctrl-Z marks the end of input and is never consumed.
    {"Ctrl-Z where the reply starts", "\x1a" "1000\n", {End(0), End(0)}},
    {"Ctrl-Z after blanks", "  \x1a", {End(2)}},
    {"Ctrl-Z ends the number", "1000\x1a\n", {Value(1000, 4), End(4)}},
    {"discarding stops short of Ctrl-Z", "1000 abc\x1a def\n", {Value(1000, 8), End(8)}},
    {"Ctrl-Z on the next line", "999\n\x1a", {Value(999, 4), End(4)}},

    // Only the first 255 bytes of a run are converted; the rest goes with the line.
    {"255 bytes converted whole", kZeros251 + "1000\n", {Value(1000, 256)}},
    {"byte 256 dropped", kZeros251 + "0" + "1000\n", {Value(100, 257)}},
    {"an invalid byte beyond 255 is never looked at", kZeros251 + "1000abc\n", {Value(1000, 259)}},
    {"an invalid run consumes at most 255 bytes", std::string(300, 'a') + "\n", {Invalid(255)}},

    // Decimal numbers: signed 32-bit.
    {"plus sign", "+1000\n", {Value(1000, 6)}},
    {"largest decimal", "2147483647\n", {Value(kMax, 11)}},
    {"one past it", "2147483648\n", {Invalid(10)}},
    {"smallest decimal", "-2147483648\n", {Value(kMin, 12)}},
    {"one below it", "-2147483649\n", {Invalid(11)}},
    {"leading zeros", "00000000000000002147483647\n", {Value(kMax, 27)}},
    {"far out of range", "99999999999999999999\n", {Invalid(20)}},

    // Prefixed numbers: all 32 bits, read as signed, negated after "-".
    {"prefix x", "x3e8\n", {Value(1000, 5)}},
    {"prefix X", "X3E8\n", {Value(1000, 5)}},
    {"prefix 0x", "0x3e8\n", {Value(1000, 6)}},
    {"prefix 0X", "0X3E8\n", {Value(1000, 6)}},
    {"hex digits in either case", "$aBcD\n", {Value(0xABCD, 6)}},
    {"minus before 0x", "-0x3E8\n", {Value(-1000, 7)}},
    {"largest positive hex", "$7FFFFFFF\n", {Value(kMax, 10)}},
    {"sign bit", "$80000000\n", {Value(kMin, 10)}},
    {"minus sign bit stays", "-$80000000\n", {Value(kMin, 11)}},
    {"33 bits", "$100000000\n", {Invalid(10)}},
    {"leading zeros beyond 8 digits", "$000000000FFFFFFFF\n", {Value(-1, 19)}},
    {"binary", "%1111101000\n", {Value(1000, 12)}},
    {"32 binary ones", "%" + std::string(32, '1') + "\n", {Value(-1, 34)}},
    {"33 binary digits", "%1" + std::string(32, '0') + "\n", {Invalid(34)}},
    {"octal", "&1750\n", {Value(1000, 6)}},
    {"largest octal", "&37777777777\n", {Value(-1, 13)}},
    {"octal over 32 bits", "&40000000000\n", {Invalid(12)}},

    // Not integers.
    {"sign alone", "-\n", {Invalid(1)}},
    {"plus alone", "+ 1000\n", {Invalid(1)}},
    {"two signs", "+-1000\n", {Invalid(6)}},
    {"prefix alone", "$\n", {Invalid(1)}},
    {"0x alone", "0x\n", {Invalid(2)}},
    {"sign after prefix", "$-1\n", {Invalid(3)}},
    {"no hex digit", "$G\n", {Invalid(2)}},
    {"no binary digit", "%2\n", {Invalid(2)}},
    {"no octal digit", "&8\n", {Invalid(2)}},
    {"hex digits without prefix", "3E8\n", {Invalid(3)}},
    {"letters", "abc\n", {Invalid(3)}},
    {"digits then a letter", "  12a rest\n", {Invalid(5)}},
    {"a fraction", "1000.0\n", {Invalid(6)}},
    {"an exponent", "1e3\n", {Invalid(3)}},
    {"0x after a zero", "00x10\n", {Invalid(5)}},
    {"a byte above 127 belongs to the run", "1000\xA0\n", {Invalid(5)}},
    {"DEL belongs to the run", "1000\x7f\n", {Invalid(5)}},
};

// A source over `input` that hands out at most `chunk` bytes per read.
ByteSource SourceOf(const std::string& input, std::size_t chunk, std::size_t& reads) {
  return [&input, chunk, &reads, at = std::size_t{0}](char* buffer, std::size_t size) mutable {
    ++reads;
    const std::size_t count = std::min({chunk, size, input.size() - at});
    input.copy(buffer, count, at);
    at += count;
    return count;
  };
}

void CheckCase(const ReaderCase& c, std::size_t chunk) {
  std::size_t reads = 0;
  ReplyReader reader(SourceOf(c.input, chunk, reads));
  for (std::size_t i = 0; i < c.readings.size(); ++i) {
    const Reading& expected = c.readings[i];
    SCOPED_TRACE(testing::Message() << c.why << ", reading " << i + 1 << ", chunk " << chunk);
    if (expected.outcome == Outcome::kInvalid) {
      try {
        reader.ReadReply();
        ADD_FAILURE() << "no error";
      } catch (const EInOutError& error) {
        EXPECT_EQ(error.Number(), io_error::kInvalidInput);
        EXPECT_EQ(error.Message(), "Invalid input");
      }
    } else {
      const std::optional<std::int32_t> got = reader.ReadReply();
      if (expected.outcome == Outcome::kEnd) {
        EXPECT_FALSE(got.has_value()) << *got;
      } else {
        ASSERT_TRUE(got.has_value());
        EXPECT_EQ(*got, expected.value);
      }
    }
    EXPECT_EQ(reader.Consumed(), expected.consumed);
  }
}

TEST(ReplyReader, EveryRuleWithTheWholeInputAtOnce) {
  for (const ReaderCase& c : kCases) CheckCase(c, 1 << 16);
}

// One byte per read exposes any reading that looks past a buffer's end.
TEST(ReplyReader, EveryRuleOneBytePerRead) {
  for (const ReaderCase& c : kCases) CheckCase(c, 1);
}

TEST(ReplyReader, EveryRuleInChunksOfThree) {
  for (const ReaderCase& c : kCases) CheckCase(c, 3);
}

// Input typed at a console arrives a line at a time, and the next line only
// after the program has answered: a reply must be acted on without asking
// for bytes beyond its line end.
TEST(ReplyReader, NeverReadsBeyondTheLineEndOfAReply) {
  struct LineCase {
    const char* why;
    std::vector<std::string> lines;  // what each read delivers
    std::int32_t value;
  };
  const std::vector<LineCase> cases = {
      {"LF", {"1000\n"}, 1000},
      {"CR alone", {"1000\r"}, 1000},
      {"words then CR", {"  2000 more\r"}, 2000},
      {"empty line first", {"\n", "3000\n"}, 3000},
  };
  for (const LineCase& c : cases) {
    std::size_t next = 0;
    ReplyReader reader([&](char* buffer, std::size_t size) -> std::size_t {
      if (next == c.lines.size()) {
        ADD_FAILURE() << c.why << ": read past the reply's line";
        return 0;
      }
      const std::string& line = c.lines[next++];
      EXPECT_LE(line.size(), size);
      return line.copy(buffer, size);
    });
    EXPECT_EQ(reader.ReadReply(), c.value) << c.why;
    EXPECT_EQ(next, c.lines.size()) << c.why;
  }
}

}  // namespace
}  // namespace quarnel
