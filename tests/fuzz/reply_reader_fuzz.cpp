// Feeds arbitrary bytes to ReplyReader, in chunks of varying size, and holds
// every verdict (value, invalid input, end of input) and the bytes consumed
// to a separately written model of the reading rules.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/reply_reader.h"
#include "platform/run_error.h"

namespace {

enum class Verdict { kValue, kInvalid, kEnd };

struct Step {
  Verdict verdict;
  std::int32_t value;
  std::size_t consumed;  // bytes taken from the stream after this reading
};

// The digit's value in `digits`, or -1.
int ModelDigit(unsigned char ch, std::string_view digits) {
  const std::size_t at = digits.find(static_cast<char>(ch >= 'a' && ch <= 'f' ? ch - 32 : ch));
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// The model's reading of one run of bytes above 32.
std::optional<std::int32_t> ModelNumber(std::string_view run) {
  bool negative = false;
  if (!run.empty() && (run[0] == '-' || run[0] == '+')) {
    negative = run[0] == '-';
    run.remove_prefix(1);
  }
  std::string_view digits = "0123456789";
  bool prefixed = true;
  if (run.starts_with("0x") || run.starts_with("0X")) {
    digits = "0123456789ABCDEF", run.remove_prefix(2);
  } else if (run.starts_with("$") || run.starts_with("x") || run.starts_with("X")) {
    digits = "0123456789ABCDEF", run.remove_prefix(1);
  } else if (run.starts_with("%")) {
    digits = "01", run.remove_prefix(1);
  } else if (run.starts_with("&")) {
    digits = "01234567", run.remove_prefix(1);
  } else {
    prefixed = false;
  }
  if (run.empty()) return std::nullopt;
  // Saturates far above any allowed value, so no overflow hides a bad one.
  unsigned __int128 value = 0;
  for (const char ch : run) {
    const int digit = ModelDigit(static_cast<unsigned char>(ch), digits);
    if (digit < 0) return std::nullopt;
    value = value * digits.size() + static_cast<unsigned>(digit);
    if (value > (static_cast<unsigned __int128>(1) << 40)) value = static_cast<unsigned __int128>(1) << 40;
  }
  const std::int64_t largest = prefixed ? 0xFFFFFFFFll : (negative ? 0x80000000ll : 0x7FFFFFFFll);
  if (value > static_cast<unsigned __int128>(largest)) return std::nullopt;
  std::int64_t signedValue = static_cast<std::int64_t>(value);
  if (prefixed && signedValue > 0x7FFFFFFFll) signedValue -= 0x100000000ll;  // the same 32 bits
  if (negative) signedValue = -signedValue;
  // -$80000000 negates the most negative value: two's complement keeps it.
  if (signedValue > 0x7FFFFFFFll) signedValue -= 0x100000000ll;
  return static_cast<std::int32_t>(signedValue);
}

// The model: the whole input at once, reply after reply, to the end or
// the first invalid reply.
std::vector<Step> ModelReplies(std::string_view in) {
  std::vector<Step> steps;
  std::size_t at = 0;
  for (;;) {
    while (at < in.size() && static_cast<unsigned char>(in[at]) < 33 && in[at] != 26) ++at;
    if (at == in.size() || in[at] == 26) {
      steps.push_back({Verdict::kEnd, 0, at});
      return steps;
    }
    std::size_t end = at;
    while (end < in.size() && static_cast<unsigned char>(in[end]) > 32 && end - at < 255) ++end;
    const std::optional<std::int32_t> value = ModelNumber(in.substr(at, end - at));
    if (!value) {
      steps.push_back({Verdict::kInvalid, 0, end});
      return steps;
    }
    at = end;
    while (at < in.size() && in[at] != 26) {
      const char ch = in[at++];
      // A CR ends the line at once; an LF after it is skipped by the next
      // reading like any byte below 33, so CR LF still counts once.
      if (ch == '\n' || ch == '\r') break;
    }
    steps.push_back({Verdict::kValue, *value, at});
  }
}

// The reader under test, fed in chunks whose sizes come from `sizes`.
std::vector<Step> ReaderReplies(std::string_view in, std::string_view sizes) {
  std::size_t fed = 0;
  std::size_t chunk = 0;
  quarnel::ReplyReader reader([&](char* buffer, std::size_t size) {
    const std::size_t want =
        sizes.empty() ? size : 1 + static_cast<unsigned char>(sizes[chunk++ % sizes.size()]);
    const std::size_t n = std::min({size, want, in.size() - fed});
    std::copy_n(in.data() + fed, n, buffer);
    fed += n;
    return n;
  });
  std::vector<Step> steps;
  for (;;) {
    try {
      const std::optional<std::int32_t> value = reader.ReadReply();
      if (!value) {
        steps.push_back({Verdict::kEnd, 0, reader.Consumed()});
        // The end stays: reading again changes nothing.
        if (reader.ReadReply() || reader.Consumed() != steps.back().consumed) std::abort();
        return steps;
      }
      steps.push_back({Verdict::kValue, *value, reader.Consumed()});
    } catch (const quarnel::EInOutError& error) {
      if (error.Number() != quarnel::io_error::kInvalidInput) std::abort();
      steps.push_back({Verdict::kInvalid, 0, reader.Consumed()});
      return steps;
    }
  }
}

void Report(const char* who, const std::vector<Step>& steps) {
  std::fprintf(stderr, "%s:", who);
  for (const Step& s : steps) {
    std::fprintf(stderr, " [%s %d @%zu]",
                 s.verdict == Verdict::kValue ? "value" : s.verdict == Verdict::kEnd ? "end" : "invalid",
                 s.value, s.consumed);
  }
  std::fprintf(stderr, "\n");
}

}  // namespace

// The first byte (when present) picks the chunk sizes: none means whole
// buffers; otherwise the next few bytes are the sizes.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::string_view sizes;
  if (!bytes.empty()) {
    const std::size_t count = std::min<std::size_t>(static_cast<unsigned char>(bytes[0]) % 4, bytes.size() - 1);
    sizes = bytes.substr(1, count);
    bytes.remove_prefix(1 + count);
  }
  const std::vector<Step> model = ModelReplies(bytes);
  const std::vector<Step> reader = ReaderReplies(bytes, sizes);
  bool same = model.size() == reader.size();
  for (std::size_t i = 0; same && i < model.size(); ++i) {
    same = model[i].verdict == reader[i].verdict && model[i].value == reader[i].value &&
           model[i].consumed == reader[i].consumed;
  }
  if (!same) {
    Report("model ", model);
    Report("reader", reader);
    std::abort();
  }
  return 0;
}
