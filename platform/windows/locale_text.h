// The rules that turn a regional setting's text into the separators the
// program renders, apart from how the text is read.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace quarnel {

// The longest setting text, in bytes of the ANSI code page, that is used;
// a longer one counts as unreadable.
inline constexpr std::size_t kMaxSettingBytes = 3;

// The thousands separator a setting gives: its first byte; none where the
// setting is empty; "," where it is unreadable (nothing) or too long.
std::string ThousandsSeparatorFrom(const std::optional<std::string>& setting);

// The time separator a setting gives: its first byte; ":" where it is
// empty, unreadable or too long (a time needs a separator).
char TimeSeparatorFrom(const std::optional<std::string>& setting);

// Whether hours get a leading zero: the setting reads "1".
bool HourLeadingZeroFrom(const std::optional<std::string>& setting);

}  // namespace quarnel
