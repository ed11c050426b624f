#include "app/reply_reader.h"

#include <algorithm>

#include "platform/run_error.h"

namespace quarnel {

namespace {

constexpr std::size_t kMaxConverted = 255;
constexpr std::size_t kChunkSize = 4096;
constexpr int kFirstPrintable = 33;

// The value of digit ch in base `radix`, or -1.
int DigitValue(char ch, int radix) {
  int value = -1;
  if (ch >= '0' && ch <= '9') value = ch - '0';
  if (ch >= 'a' && ch <= 'f') value = ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') value = ch - 'A' + 10;
  return value < radix ? value : -1;
}

}  // namespace

std::optional<std::int32_t> ParseReplyNumber(const std::string& run) {
  std::size_t at = 0;
  bool negative = false;
  if (at < run.size() && (run[at] == '+' || run[at] == '-')) negative = run[at++] == '-';

  int radix = 10;
  if (at < run.size()) {
    const char ch = run[at];
    if (ch == '$' || ch == 'x' || ch == 'X') {
      radix = 16, ++at;
    } else if (ch == '0' && at + 1 < run.size() && (run[at + 1] == 'x' || run[at + 1] == 'X')) {
      radix = 16, at += 2;
    } else if (ch == '%') {
      radix = 2, ++at;
    } else if (ch == '&') {
      radix = 8, ++at;
    }
  }
  if (at == run.size()) return std::nullopt;  // a sign or prefix with no digits

  // Decimal numbers stop at 2^31 - 1 (2^31 after "-"); prefixed ones at 2^32 - 1.
  const std::uint64_t limit =
      radix == 10 ? (negative ? 0x8000'0000u : 0x7FFF'FFFFu) : 0xFFFF'FFFFu;
  std::uint64_t value = 0;
  for (; at < run.size(); ++at) {
    const int digit = DigitValue(run[at], radix);
    if (digit < 0) return std::nullopt;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  // Two's complement: the low 32 bits, negated modulo 2^32 after "-".
  const auto bits = static_cast<std::uint32_t>(negative ? 0 - value : value);
  return static_cast<std::int32_t>(bits);
}

int ReplyReader::Peek() {
  if (position_ == buffer_.size() && !ended_) {
    buffer_.resize(kChunkSize);
    const std::size_t got = std::min(source_(buffer_.data(), buffer_.size()), buffer_.size());
    buffer_.resize(got);
    position_ = 0;
    ended_ = got == 0;
  }
  if (position_ == buffer_.size()) return -1;
  return static_cast<unsigned char>(buffer_[position_]);
}

void ReplyReader::DiscardRestOfLine() {
  // A CR ends the line at once, without waiting to see whether an LF
  // follows: an LF after it is below 33 and skipped by the next reading, so
  // CR LF still counts as one line end.
  for (int ch = Peek(); ch != -1 && ch != kCtrlZ; ch = Peek()) {
    Take();
    if (ch == '\n' || ch == '\r') return;
  }
}

std::optional<std::int32_t> ReplyReader::ReadReply() {
  int ch = Peek();
  while (ch != -1 && ch != kCtrlZ && ch < kFirstPrintable) {
    Take();
    ch = Peek();
  }
  if (ch == -1 || ch == kCtrlZ) return std::nullopt;

  std::string run;
  while (ch >= kFirstPrintable && run.size() < kMaxConverted) {
    run += static_cast<char>(ch);
    Take();
    ch = Peek();
  }
  const std::optional<std::int32_t> value = ParseReplyNumber(run);
  if (!value) throw EInOutError(io_error::kInvalidInput);
  DiscardRestOfLine();
  return value;
}

}  // namespace quarnel
