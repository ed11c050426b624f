#include "fixedpoint/quasilinear/word_bridge.h"

#include <algorithm>

namespace quarnel {

namespace {
constexpr int kMostSignificantFirst = 1;
constexpr int kNativeEndian = 0;
}  // namespace

void ImportWords(mpz_ptr z, const WordArray& a, std::int32_t first, std::int32_t last) {
  if (last < first) {
    mpz_set_ui(z, 0);
    return;
  }
  mpz_import(z, static_cast<std::size_t>(last - first + 1), kMostSignificantFirst, sizeof(Word),
             kNativeEndian, 0, &a[static_cast<std::size_t>(first)]);
}

void ExportWords(mpz_srcptr z, WordArray& a, std::int32_t first, std::int32_t last) {
  const auto count = static_cast<std::size_t>(last - first + 1);
  Mpz low;
  mpz_tdiv_r_2exp(low.get(), z, 32 * count);
  const std::size_t used = (mpz_sizeinbase(low.get(), 2) + 31) / 32;
  Word* begin = &a[static_cast<std::size_t>(first)];
  std::fill(begin, begin + count, Word{0});
  if (mpz_sgn(low.get()) == 0) return;
  std::size_t written = 0;
  mpz_export(begin + (count - used), &written, kMostSignificantFirst, sizeof(Word), kNativeEndian,
             0, low.get());
}

}  // namespace quarnel
