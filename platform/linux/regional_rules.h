// How the C library's locale data become the regional settings: the pure
// decision, apart from reading the data, so that it can be checked case by case.
//
//   thousands separator (LC_NUMERIC's THOUSEP):
//     locale C, POSIX or C.*      -> ","  (no regional settings)
//     cannot be read              -> ","
//     empty                       -> none
//     one character of the locale's codeset (one byte, or one well-formed
//     UTF-8 sequence in a UTF-8 locale)   -> that character, every byte
//     anything longer             -> ","
//   time separator and leading zero (LC_TIME's T_FMT, %r via T_FMT_AMPM):
//     locale C, POSIX or C.*, or no hour in the format -> ":", no leading zero
//     the first hour conversion: %H %I (and %T %r) -> leading zero, %k %l -> none;
//     the flags "-" and "_" drop the zero, "0" asks for it
//     the text between it and the next conversion, when it is one ASCII
//     punctuation character or a blank -> the separator, otherwise ":"
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/regional.h"

namespace quarnel {

// The locale name in force for one category: the first of LC_ALL, the
// category's own variable and LANG that is set and not empty; "C" if none is.
std::string EffectiveLocaleName(const char* lcAll, const char* lcCategory, const char* lang);

// True for the locales that stand for no regional settings: C, POSIX and C.*.
bool IsDefaultLocaleName(std::string_view name);

// The raw data the settings are decided from. A value that could not be read
// (the locale is not installed) is empty.
struct LocaleData {
  std::string numericLocale = "C";
  std::optional<std::string> thousandsSeparator;
  std::string numericCodeset;  // the codeset the separator is written in
  std::string timeLocale = "C";
  std::optional<std::string> timeFormat;  // T_FMT
  std::string timeFormatAmPm;             // T_FMT_AMPM, what %r stands for
};

// The data of the installed locales with these names (regional.cpp).
LocaleData ReadLocaleData(const std::string& numericLocale, const std::string& timeLocale);

// The thousands separator for the numeric locale's data, by the rules above.
std::string ThousandsSeparatorFrom(const LocaleData& data);

// The time separator and leading-zero choice for the time locale's data.
void TimeSettingsFrom(const LocaleData& data, RegionalSettings& settings);

// All three settings.
RegionalSettings RegionalSettingsFrom(const LocaleData& data);

}  // namespace quarnel
