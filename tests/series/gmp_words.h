// GMP integers to and from word arrays, for the oracles of this room's
// tests. Words 0..w read as one integer: a[0] * 2^(32w) + ... + a[w].
#pragma once

#include <gmp.h>

#include <cstdint>
#include <vector>

#include "fixedpoint/word_array.h"

namespace quarnel::testing {

// An mpz_t that clears itself.
class Mpz {
 public:
  Mpz() { mpz_init(value_); }
  explicit Mpz(unsigned long v) { mpz_init_set_ui(value_, v); }
  ~Mpz() { mpz_clear(value_); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  mpz_ptr get() { return value_; }
  mpz_srcptr get() const { return value_; }

 private:
  mpz_t value_;
};

// x := the integer held in words 0..w of a.
inline void ImportWords(mpz_ptr x, const WordArray& a, std::int32_t w) {
  mpz_import(x, static_cast<std::size_t>(w) + 1, 1, sizeof(Word), 0, 0, a.data());
}

// Words 0..w of a := x modulo 2^(32(w+1)); the words above w are untouched.
inline void ExportWords(mpz_srcptr x, WordArray& a, std::int32_t w) {
  const auto count = static_cast<std::size_t>(w) + 1;
  Mpz reduced;
  mpz_fdiv_r_2exp(reduced.get(), x, 32 * count);
  std::vector<Word> words(count, 0);
  std::size_t written = 0;
  mpz_export(words.data(), &written, 1, sizeof(Word), 0, 0, reduced.get());
  for (std::size_t i = 0; i < count; ++i) {
    a[i] = i + written < count ? 0 : words[i + written - count];
  }
}

}  // namespace quarnel::testing
