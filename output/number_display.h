// Digit counts rendered for people.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quarnel {

// n in decimal with `separator` between every group of three digits counted
// from the right: 1,000 and 10,000,000 with ",".
std::string RenderDigitCount(std::int32_t n, std::string_view separator);

}  // namespace quarnel
