#include "platform/linux/regional_rules.h"

#include <cstddef>
#include <vector>

namespace quarnel {

namespace {

constexpr const char* kDefaultThousandsSeparator = ",";

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

bool IsUtf8Codeset(std::string_view codeset) {
  return codeset == "UTF-8" || codeset == "utf-8" || codeset == "UTF8" || codeset == "utf8";
}

// True if text is exactly one well-formed UTF-8 sequence (no overlong form,
// no surrogate, nothing above U+10FFFF).
bool IsOneUtf8Character(std::string_view text) {
  if (text.empty()) return false;
  const auto lead = static_cast<unsigned char>(text[0]);
  std::size_t length = 0;
  unsigned char low = 0x80;   // the range of the second byte, narrowed for
  unsigned char high = 0xBF;  // the lead bytes that could be overlong or out of range
  if (lead < 0x80) {
    length = 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return false;
  }
  if (text.size() != length) return false;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < (i == 1 ? low : 0x80) || byte > (i == 1 ? high : 0xBF)) return false;
  }
  return true;
}

// One element of a time format: a literal byte, or a conversion with its
// padding flag ('\0' when none was given).
struct FormatToken {
  bool isConversion = false;
  char value = '\0';  // the byte, or the conversion letter
  char padFlag = '\0';
};

// Appends the tokens of format, with %T, %R and %r replaced by what they
// stand for (%r by ampm, which is not expanded further).
void Tokenize(std::string_view format, std::string_view ampm, int depth,
              std::vector<FormatToken>& tokens) {
  std::size_t at = 0;
  while (at < format.size()) {
    if (format[at] != '%' || at + 1 == format.size()) {
      tokens.push_back({false, format[at++], '\0'});
      continue;
    }
    ++at;
    char padFlag = '\0';
    while (at < format.size() && std::string_view("_-0^#").find(format[at]) != std::string_view::npos) {
      if (format[at] == '_' || format[at] == '-' || format[at] == '0') padFlag = format[at];
      ++at;
    }
    while (at < format.size() && format[at] >= '0' && format[at] <= '9') ++at;
    if (at < format.size() && (format[at] == 'E' || format[at] == 'O')) ++at;
    if (at == format.size()) break;
    const char conversion = format[at++];
    switch (conversion) {
      case '%': tokens.push_back({false, '%', '\0'}); break;
      case 'n': tokens.push_back({false, '\n', '\0'}); break;
      case 't': tokens.push_back({false, '\t', '\0'}); break;
      case 'T': Tokenize("%H:%M:%S", "", depth + 1, tokens); break;
      case 'R': Tokenize("%H:%M", "", depth + 1, tokens); break;
      case 'r':
        if (depth == 0 && !ampm.empty()) {
          Tokenize(ampm, "", depth + 1, tokens);
        } else {
          Tokenize("%I:%M:%S %p", "", depth + 1, tokens);
        }
        break;
      default: tokens.push_back({true, conversion, padFlag});
    }
  }
}

bool IsHourConversion(char conversion) {
  return conversion == 'H' || conversion == 'I' || conversion == 'k' || conversion == 'l';
}

bool IsSeparatorByte(char byte) {
  const auto code = static_cast<unsigned char>(byte);
  const bool punctuation = (code >= 0x21 && code <= 0x2F) || (code >= 0x3A && code <= 0x40) ||
                           (code >= 0x5B && code <= 0x60) || (code >= 0x7B && code <= 0x7E);
  return punctuation || byte == ' ';
}

}  // namespace

std::string EffectiveLocaleName(const char* lcAll, const char* lcCategory, const char* lang) {
  if (IsSet(lcAll)) return lcAll;
  if (IsSet(lcCategory)) return lcCategory;
  if (IsSet(lang)) return lang;
  return "C";
}

bool IsDefaultLocaleName(std::string_view name) {
  return name == "C" || name == "POSIX" || name.substr(0, 2) == "C.";
}

std::string ThousandsSeparatorFrom(const LocaleData& data) {
  if (IsDefaultLocaleName(data.numericLocale) || !data.thousandsSeparator) {
    return kDefaultThousandsSeparator;
  }
  const std::string& separator = *data.thousandsSeparator;
  if (separator.empty()) return separator;
  const bool oneCharacter = IsUtf8Codeset(data.numericCodeset) ? IsOneUtf8Character(separator)
                                                               : separator.size() == 1;
  return oneCharacter ? separator : kDefaultThousandsSeparator;
}

void TimeSettingsFrom(const LocaleData& data, RegionalSettings& settings) {
  settings.timeSeparator = ':';
  settings.hourLeadingZero = false;
  if (IsDefaultLocaleName(data.timeLocale) || !data.timeFormat) return;

  std::vector<FormatToken> tokens;
  Tokenize(*data.timeFormat, data.timeFormatAmPm, 0, tokens);
  std::size_t hour = 0;
  while (hour < tokens.size() && !(tokens[hour].isConversion && IsHourConversion(tokens[hour].value))) {
    ++hour;
  }
  if (hour == tokens.size()) return;

  const FormatToken& hourToken = tokens[hour];
  const bool zeroPadded = hourToken.value == 'H' || hourToken.value == 'I';
  settings.hourLeadingZero =
      hourToken.padFlag == '\0' ? zeroPadded : hourToken.padFlag == '0';

  // The separator is the literal text up to the next conversion (minutes).
  std::string between;
  std::size_t next = hour + 1;
  for (; next < tokens.size() && !tokens[next].isConversion; ++next) between += tokens[next].value;
  if (next < tokens.size() && between.size() == 1 && IsSeparatorByte(between[0])) {
    settings.timeSeparator = between[0];
  }
}

RegionalSettings RegionalSettingsFrom(const LocaleData& data) {
  RegionalSettings settings;
  settings.thousandsSeparator = ThousandsSeparatorFrom(data);
  TimeSettingsFrom(data, settings);
  return settings;
}

}  // namespace quarnel
