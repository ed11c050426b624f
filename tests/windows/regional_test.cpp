#include "platform/regional.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/windows/locale_text.h"

namespace quarnel {
namespace {

using Setting = std::optional<std::string>;

TEST(ThousandsSeparatorFrom, TakesTheFirstByteOfAShortSetting) {
  struct Case {
    Setting setting;
    std::string separator;
  };
  const Case cases[] = {
      {",", ","},
      {".", "."},
      {"\xA0", "\xA0"},      // no-break space in the ANSI code page: kept as the byte
      {"", ""},              // present but empty: no separator at all
      {"'.", "'"},           // only the first byte counts
      {"abc", "a"},          // three bytes: still read
      {"abcd", ","},         // longer than three bytes: the default
      {std::nullopt, ","},   // unreadable: the default
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ThousandsSeparatorFrom(c.setting), c.separator) << c.setting.value_or("(none)");
  }
}

TEST(TimeSeparatorFrom, FallsBackToColonWhereNoByteCanBeUsed) {
  struct Case {
    Setting setting;
    char separator;
  };
  const Case cases[] = {
      {":", ':'},
      {".", '.'},
      {"-:", '-'},
      {"", ':'},            // a time of day needs a separator
      {"abcd", ':'},        // too long
      {std::nullopt, ':'},  // unreadable
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TimeSeparatorFrom(c.setting), c.separator) << c.setting.value_or("(none)");
  }
}

TEST(HourLeadingZeroFrom, OnlyOneAsksForIt) {
  EXPECT_TRUE(HourLeadingZeroFrom("1"));
  EXPECT_FALSE(HourLeadingZeroFrom("0"));
  EXPECT_FALSE(HourLeadingZeroFrom(""));
  EXPECT_FALSE(HourLeadingZeroFrom(std::nullopt));
}

// The user's setting through the ANSI interface, which converts it itself.
Setting AnsiSetting(LCTYPE type) {
  char text[80] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, type, text, sizeof text) == 0) return std::nullopt;
  return std::string(text);
}

TEST(ReadRegionalSettings, AgreesWithTheAnsiLocaleInterface) {
  const RegionalSettings settings = ReadRegionalSettings();
  EXPECT_EQ(settings.thousandsSeparator, ThousandsSeparatorFrom(AnsiSetting(LOCALE_STHOUSAND)));
  EXPECT_EQ(settings.timeSeparator, TimeSeparatorFrom(AnsiSetting(LOCALE_STIME)));
  EXPECT_EQ(settings.hourLeadingZero, HourLeadingZeroFrom(AnsiSetting(LOCALE_ITLZERO)));
}

}  // namespace
}  // namespace quarnel
