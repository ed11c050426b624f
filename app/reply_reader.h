// Reads the digit-count reply from a byte stream.
//
// Bytes below 33 before the number are skipped, except 26 (Ctrl-Z), which
// marks the end of input there and is left unread. The number is the next
// run of bytes above 32, of which at most the first 255 are converted: an
// optional sign, then decimal digits, or "$", "x", "X", "0x", "0X" and hex
// digits, "%" and binary digits, or "&" and octal digits. A decimal number
// must fit in signed 32 bits; a prefixed one may use all 32 bits and reads
// as the signed value with those bits, negated after "-". After the number
// the rest of the line is discarded through its line end (LF, CR, or CR LF
// once), stopping short of a Ctrl-Z. A CR is acted on at once: the reader
// never waits for input beyond the line end of an accepted reply.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

namespace quarnel {

inline constexpr char kCtrlZ = 26;

// Reads up to `size` bytes into `buffer`; returns 0 at the end of input.
using ByteSource = std::function<std::size_t(char* buffer, std::size_t size)>;

class ReplyReader {
 public:
  explicit ReplyReader(ByteSource source) : source_(std::move(source)) {}

  // The next reply, or nothing where the input ends (or a Ctrl-Z stands)
  // before a number. A run that is not such a number raises EInOutError
  // "Invalid input" (106) without reading the rest of its line.
  std::optional<std::int32_t> ReadReply();

  // Bytes taken from the stream so far (read and not left unread). The LF of
  // a CR LF line end is taken by the next reading, with the blanks before
  // the next reply.
  std::size_t Consumed() const { return consumed_; }

 private:
  // The next byte without taking it; -1 at the end of input.
  int Peek();
  void Take() { ++position_; ++consumed_; }
  void DiscardRestOfLine();

  ByteSource source_;
  std::string buffer_;
  std::size_t position_ = 0;
  std::size_t consumed_ = 0;
  bool ended_ = false;
};

// Converts one run of bytes (no byte below 33) by the rules above; nothing if
// it is not a valid number.
std::optional<std::int32_t> ParseReplyNumber(const std::string& run);

}  // namespace quarnel
