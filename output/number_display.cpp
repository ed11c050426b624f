#include "output/number_display.h"

namespace quarnel {

std::string RenderDigitCount(std::int32_t n, std::string_view separator) {
  const bool negative = n < 0;
  std::string digits = std::to_string(n);
  if (negative) digits.erase(0, 1);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (digits.size() - i) % 3 == 0) text += separator;
    text += digits[i];
  }
  return negative ? "-" + text : text;
}

}  // namespace quarnel
