// An owned GMP integer, so that the engine's big numbers live exactly as long
// as the scope that holds them.
#pragma once

#include <gmp.h>

#include <cstdint>

namespace quarnel {

class Mpz {
 public:
  Mpz() { mpz_init(value_); }
  explicit Mpz(unsigned long v) { mpz_init_set_ui(value_, v); }
  ~Mpz() { mpz_clear(value_); }
  Mpz(Mpz&& other) noexcept {
    mpz_init(value_);
    mpz_swap(value_, other.value_);
  }
  Mpz& operator=(Mpz&& other) noexcept {
    mpz_swap(value_, other.value_);
    return *this;
  }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;

  mpz_ptr get() { return value_; }
  mpz_srcptr get() const { return value_; }

 private:
  mpz_t value_;
};

// The number of bits of |x|: |x| < 2^BitLength(x); 0 for x = 0.
inline std::int64_t BitLength(mpz_srcptr x) {
  return mpz_sgn(x) == 0 ? 0 : static_cast<std::int64_t>(mpz_sizeinbase(x, 2));
}

}  // namespace quarnel
