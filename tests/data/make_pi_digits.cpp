// Writes the first `count` decimals of pi (default 100,000) to standard
// output, one line, for the digits fixture of the tests. Not part of the build:
//
//     g++ -O2 -std=c++20 tests/data/make_pi_digits.cpp -lgmp -o make_pi_digits
//     ./make_pi_digits 100000 > tests/data/pi-100000.txt
//
// It uses Machin's formula pi = 16 atan(1/5) - 4 atan(1/239), a different
// formula and a different number base from the program's, in decimal fixed
// point with GMP integers and guard digits that absorb the truncation of
// every term.
#include <gmp.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr unsigned long kGuardDigits = 30;

// sum += sign * scale * atan(1/x), truncating each term; the error is below
// one unit of `scale` per term.
void AddArctangent(mpz_t sum, const mpz_t scale, unsigned long x, long factor) {
  mpz_t power, term;
  mpz_init(power);
  mpz_init(term);
  mpz_tdiv_q_ui(power, scale, x);  // scale / x^(2k+1)
  const unsigned long xSquared = x * x;
  for (unsigned long k = 0; mpz_sgn(power) != 0; ++k) {
    mpz_tdiv_q_ui(term, power, 2 * k + 1);
    mpz_mul_si(term, term, k % 2 == 0 ? factor : -factor);
    mpz_add(sum, sum, term);
    mpz_tdiv_q_ui(power, power, xSquared);
  }
  mpz_clear(term);
  mpz_clear(power);
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned long count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100'000;
  mpz_t scale, pi;
  mpz_init(scale);
  mpz_init(pi);
  mpz_ui_pow_ui(scale, 10, count + kGuardDigits);
  AddArctangent(pi, scale, 5, 16);
  AddArctangent(pi, scale, 239, -4);

  char* text = mpz_get_str(nullptr, 10, pi);
  const std::string digits(text);
  std::free(text);
  // "3" followed by count + guard digits. The two sums have about 0.93 * count
  // terms, each off by less than 16 units of the last guard digit: below 10^8
  // units for up to a million decimals. So the cut is safe unless the first
  // 22 guard digits are all 0 or all 9.
  const std::string guard = digits.substr(1 + count, kGuardDigits - 8);
  if (digits.size() != 1 + count + kGuardDigits || digits[0] != '3' ||
      guard.find_first_not_of('0') == std::string::npos ||
      guard.find_first_not_of('9') == std::string::npos) {
    std::fprintf(stderr, "cannot cut the digits safely\n");
    return 1;
  }
  std::printf("%s\n", digits.substr(1, count).c_str());
  mpz_clear(pi);
  mpz_clear(scale);
  return 0;
}
