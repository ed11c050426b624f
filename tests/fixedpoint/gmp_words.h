// Test helpers: word ranges as GMP integers, random operands in the style of
// GMP's mpn_random2, and a seed that can be replayed.
#pragma once

#include <gmpxx.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>
#include <string>

#include "fixedpoint/word_array.h"

namespace quarnel::testing {

inline std::size_t At(std::int32_t i) { return static_cast<std::size_t>(i); }

// The bit count of `words` words, as GMP's shifts take it.
inline mp_bitcnt_t Bits(std::int32_t words) {
  return mp_bitcnt_t{32} * static_cast<mp_bitcnt_t>(words);
}

// The seed from QUARNEL_SEED when set, otherwise a fresh one; printed, so a
// failing run can be replayed with QUARNEL_SEED=<seed>.
inline std::uint64_t TestSeed(const char* testName) {
  std::uint64_t seed = 0;
  if (const char* text = std::getenv("QUARNEL_SEED"); text != nullptr && *text != '\0') {
    seed = std::strtoull(text, nullptr, 0);
  } else {
    seed = (std::uint64_t{std::random_device{}()} << 32) | std::random_device{}();
  }
  std::cout << testName << ": QUARNEL_SEED=" << seed << "\n";
  return seed;
}

// Words first..last of a (first most significant) as one non-negative integer.
inline mpz_class RangeValue(const WordArray& a, std::int32_t first, std::int32_t last) {
  mpz_class value;
  mpz_import(value.get_mpz_t(), At(last - first + 1), 1, sizeof(Word), 0, 0, a.data() + first);
  return value;
}

// Word `index` (0 = least significant) of the integer v.
inline Word WordOf(const mpz_class& v, std::int32_t index) {
  const mpz_class shifted = v >> Bits(index);
  return static_cast<Word>(mpz_getlimbn(shifted.get_mpz_t(), 0) & 0xFFFF'FFFFu);
}

// `count` words in hexadecimal, most significant first, for a failure
// message; long ranges show their first 64 and last 16 words.
inline std::string DumpWords(const Word* words, std::int32_t count) {
  std::ostringstream out;
  out << std::hex;
  for (std::int32_t i = 0; i < count; ++i) {
    out << (i == 0 ? "" : " ") << words[i];
    if (i == 63 && count > 100) {
      out << " ... (" << std::dec << count - 80 << " words) ..." << std::hex;
      i = count - 17;
    }
  }
  return out.str();
}

// Sets bits begin..end-1 of the range that starts at word `first`, bit 0
// being the most significant bit of that word.
inline void SetBits(WordArray& a, std::int32_t first, std::int64_t begin, std::int64_t end) {
  while (begin < end) {
    const std::int64_t wordEnd = std::min(end, (begin / 32 + 1) * 32);
    const auto count = static_cast<int>(wordEnd - begin);
    const auto shift = static_cast<int>(32 - wordEnd % 32) % 32;  // below the run in its word
    const Word mask = static_cast<Word>(((std::uint64_t{1} << count) - 1) << shift);
    a[At(first + static_cast<std::int32_t>(begin / 32))] |= mask;
    begin = wordEnd;
  }
}

// Fills words first..last with long runs of one bits and zero bits of random
// lengths, as GMP's mpn_random2 does; such operands drive carries, borrows
// and remainders through many words at once.
inline void FillRandomRuns(std::mt19937_64& random, WordArray& a, std::int32_t first,
                           std::int32_t last) {
  const std::int64_t bits = std::int64_t{32} * (last - first + 1);
  std::uniform_int_distribution<std::int64_t> runLength(1, 2 * bits);
  std::uniform_int_distribution<std::int64_t> shortRun(1, 40);
  bool ones = (random() & 1) != 0;
  for (std::int32_t i = first; i <= last; ++i) a[At(i)] = 0;
  std::int64_t bit = 0;  // counted from the most significant bit of word first
  while (bit < bits) {
    // Mostly short runs, now and then one longer than the whole range.
    const std::int64_t length = (random() % 4 == 0) ? runLength(random) : shortRun(random);
    if (ones) SetBits(a, first, bit, std::min(bits, bit + length));
    bit += length;
    ones = !ones;
  }
}

// Fills words first..last with uniformly random words.
inline void FillUniform(std::mt19937_64& random, WordArray& a, std::int32_t first,
                        std::int32_t last) {
  for (std::int32_t i = first; i <= last; ++i) a[At(i)] = static_cast<Word>(random());
}

// An operand over words first..last: one of the shapes that catch faults.
inline void FillOperand(std::mt19937_64& random, WordArray& a, std::int32_t first,
                        std::int32_t last) {
  switch (random() % 8) {
    case 0:
      for (std::int32_t i = first; i <= last; ++i) a[At(i)] = 0;
      break;
    case 1:
      for (std::int32_t i = first; i <= last; ++i) a[At(i)] = 0xFFFF'FFFFu;
      break;
    case 2:
    case 3:
      FillUniform(random, a, first, last);
      break;
    default:
      FillRandomRuns(random, a, first, last);
      break;
  }
}

}  // namespace quarnel::testing
