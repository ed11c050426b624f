#include "platform/regional.h"

#include <windows.h>

#include <array>
#include <optional>
#include <string>

#include "platform/windows/locale_text.h"

namespace quarnel {

namespace {

// The user's setting `type` in the ANSI code page, or nothing where it
// cannot be read.
std::optional<std::string> ReadLocaleText(LCTYPE type) {
  // Room for any of the settings read here; a longer one is unreadable.
  std::array<wchar_t, 80> wide{};
  if (::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, type, wide.data(),
                        static_cast<int>(wide.size())) == 0) {
    return std::nullopt;
  }
  const int bytes = ::WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::nullopt;
  std::string text(static_cast<std::size_t>(bytes), '\0');
  if (::WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text.data(), bytes, nullptr, nullptr) !=
      bytes) {
    return std::nullopt;
  }
  text.pop_back();  // the terminating zero
  return text;
}

}  // namespace

RegionalSettings ReadRegionalSettings() {
  RegionalSettings settings;
  settings.thousandsSeparator = ThousandsSeparatorFrom(ReadLocaleText(LOCALE_STHOUSAND));
  settings.timeSeparator = TimeSeparatorFrom(ReadLocaleText(LOCALE_STIME));
  settings.hourLeadingZero = HourLeadingZeroFrom(ReadLocaleText(LOCALE_ITLZERO));
  return settings;
}

}  // namespace quarnel
