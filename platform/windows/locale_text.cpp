#include "platform/windows/locale_text.h"

namespace quarnel {

namespace {

bool Usable(const std::optional<std::string>& setting) {
  return setting && setting->size() <= kMaxSettingBytes;
}

}  // namespace

std::string ThousandsSeparatorFrom(const std::optional<std::string>& setting) {
  if (!Usable(setting)) return ",";
  return setting->substr(0, 1);
}

char TimeSeparatorFrom(const std::optional<std::string>& setting) {
  if (!Usable(setting) || setting->empty()) return ':';
  return setting->front();
}

bool HourLeadingZeroFrom(const std::optional<std::string>& setting) {
  return setting && *setting == "1";
}

}  // namespace quarnel
