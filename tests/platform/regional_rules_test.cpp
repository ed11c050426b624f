// The regional settings decided from raw locale data, case by case, and read
// from the locales installed on this machine.
#include <gtest/gtest.h>
#include <locale.h>

#include <cstdio>
#include <optional>
#include <string>

#include "platform/linux/regional_rules.h"

namespace quarnel {
namespace {

TEST(EffectiveLocaleName, LcAllThenCategoryThenLang) {
  struct Case {
    const char* lcAll;
    const char* lcCategory;
    const char* lang;
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, "C"},
      {"", "", "", "C"},
      {nullptr, nullptr, "de_DE.UTF-8", "de_DE.UTF-8"},
      {nullptr, "fr_FR.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"},
      {"pt_PT.UTF-8", "fr_FR.UTF-8", "de_DE.UTF-8", "pt_PT.UTF-8"},
      {"", "fr_FR.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8"},
      {"", "", "de_DE.UTF-8", "de_DE.UTF-8"},
      {"POSIX", "fr_FR.UTF-8", nullptr, "POSIX"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(EffectiveLocaleName(c.lcAll, c.lcCategory, c.lang), c.expected)
        << (c.lcAll ? c.lcAll : "-") << " " << (c.lcCategory ? c.lcCategory : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

TEST(IsDefaultLocaleName, OnlyCPosixAndCDot) {
  for (const char* name : {"C", "POSIX", "C.UTF-8", "C.utf8"}) {
    EXPECT_TRUE(IsDefaultLocaleName(name)) << name;
  }
  for (const char* name : {"", "en_US.UTF-8", "CA", "ca_ES.UTF-8", "POSIX.UTF-8x", "c"}) {
    EXPECT_FALSE(IsDefaultLocaleName(name)) << name;
  }
}

TEST(ThousandsSeparatorFrom, EveryRule) {
  struct Case {
    const char* why;
    const char* locale;
    std::optional<std::string> separator;
    const char* codeset;
    std::string expected;
  };
  const Case cases[] = {
      {"C gives the default", "C", "", "ANSI_X3.4-1968", ","},
      {"POSIX gives the default", "POSIX", "", "ANSI_X3.4-1968", ","},
      {"C.UTF-8 gives the default", "C.UTF-8", "", "UTF-8", ","},
      {"a locale's own separator", "de_DE.UTF-8", ".", "UTF-8", "."},
      {"a comma", "en_US.UTF-8", ",", "UTF-8", ","},
      {"an empty separator gives none", "pt_PT.UTF-8", "", "UTF-8", ""},
      {"cannot be read", "xx_YY.UTF-8", std::nullopt, "", ","},
      {"narrow no-break space whole", "fr_FR.UTF-8", "\xE2\x80\xAF", "UTF-8", "\xE2\x80\xAF"},
      {"right single quote whole", "de_CH.UTF-8", "\xE2\x80\x99", "UTF-8", "\xE2\x80\x99"},
      {"two-byte character", "xx.UTF-8", "\xC2\xA0", "UTF-8", "\xC2\xA0"},
      {"four-byte character", "xx.UTF-8", "\xF0\x9F\x98\x80", "UTF-8", "\xF0\x9F\x98\x80"},
      {"two characters", "xx.UTF-8", "''", "UTF-8", ","},
      {"a character and more", "xx.UTF-8", "\xE2\x80\xAF.", "UTF-8", ","},
      {"truncated sequence", "xx.UTF-8", "\xE2\x80", "UTF-8", ","},
      {"lone continuation byte", "xx.UTF-8", "\x80", "UTF-8", ","},
      {"overlong form", "xx.UTF-8", "\xC0\xA0", "UTF-8", ","},
      {"overlong three-byte form", "xx.UTF-8", "\xE0\x80\xA0", "UTF-8", ","},
      {"surrogate", "xx.UTF-8", "\xED\xA0\x80", "UTF-8", ","},
      {"beyond U+10FFFF", "xx.UTF-8", "\xF4\x90\x80\x80", "UTF-8", ","},
      {"one byte of a single-byte codeset", "fr_FR.ISO-8859-1", "\xA0", "ISO-8859-1", "\xA0"},
      {"two bytes in a single-byte codeset", "xx.ISO-8859-1", "\xC2\xA0", "ISO-8859-1", ","},
      {"codeset spelled utf8", "xx.utf8", "\xE2\x80\xAF", "utf8", "\xE2\x80\xAF"},
  };
  for (const Case& c : cases) {
    LocaleData data;
    data.numericLocale = c.locale;
    data.thousandsSeparator = c.separator;
    data.numericCodeset = c.codeset;
    EXPECT_EQ(ThousandsSeparatorFrom(data), c.expected) << c.why;
  }
}

TEST(TimeSettingsFrom, EveryRule) {
  struct Case {
    const char* why;
    const char* locale;
    std::optional<std::string> format;
    const char* ampm;
    char separator;
    bool leadingZero;
  };
  const Case cases[] = {
      {"C gives the defaults", "C", "%H:%M:%S", "%I:%M:%S %p", ':', false},
      {"POSIX gives the defaults", "POSIX", "%H.%M.%S", "", ':', false},
      {"C.UTF-8 gives the defaults", "C.UTF-8", "%H:%M:%S", "", ':', false},
      {"cannot be read", "xx_YY.UTF-8", std::nullopt, "", ':', false},
      {"%H", "de_DE.UTF-8", "%H:%M:%S", "", ':', true},
      {"%T", "de_DE.UTF-8", "%T", "", ':', true},
      {"%R", "xx.UTF-8", "%R", "", ':', true},
      {"%I", "xx.UTF-8", "%I:%M:%S %p", "", ':', true},
      {"%r with the locale's own am/pm format", "en_US.UTF-8", "%r", "%I.%M.%S %p", '.', true},
      {"%r with an hour without zero", "xx.UTF-8", "%r", "%l:%M:%S %p", ':', false},
      {"%r without an am/pm format", "xx.UTF-8", "%r", "", ':', true},
      {"%k", "xx.UTF-8", "%k:%M:%S", "", ':', false},
      {"%l", "bg_BG.UTF-8", "%l,%M,%S", "", ',', false},
      {"period", "fi_FI.UTF-8", "%H.%M.%S", "", '.', true},
      {"space", "xx.UTF-8", "%H %M %S", "", ' ', true},
      {"flag - drops the zero", "xx.UTF-8", "%-H:%M", "", ':', false},
      {"flag _ drops the zero", "xx.UTF-8", "%_H:%M", "", ':', false},
      {"flag 0 asks for it", "xx.UTF-8", "%0k:%M", "", ':', true},
      {"alternative digits", "xx.UTF-8", "%OH:%OM", "", ':', true},
      {"text before the hour", "xx.UTF-8", "at %H-%M", "", '-', true},
      {"letters between", "xx.UTF-8", "%Hh%M", "", ':', true},
      {"two characters between", "xx.UTF-8", "%H: %M", "", ':', true},
      {"nothing between", "xx.UTF-8", "%H%M", "", ':', true},
      {"multi-byte between", "xx.UTF-8", "%H\xE6\x99\x82%M", "", ':', true},
      {"hour last", "xx.UTF-8", "%M.%H", "", ':', true},
      {"percent sign as the separator", "xx.UTF-8", "%H%%%M", "", '%', true},
      {"no hour", "xx.UTF-8", "%M:%S", "", ':', false},
      {"empty format", "xx.UTF-8", "", "", ':', false},
      {"a lone percent at the end", "xx.UTF-8", "%H:%", "", ':', true},
  };
  for (const Case& c : cases) {
    LocaleData data;
    data.timeLocale = c.locale;
    data.timeFormat = c.format;
    data.timeFormatAmPm = c.ampm;
    RegionalSettings settings;
    settings.timeSeparator = '?';
    settings.hourLeadingZero = !c.leadingZero;
    TimeSettingsFrom(data, settings);
    EXPECT_EQ(settings.timeSeparator, c.separator) << c.why;
    EXPECT_EQ(settings.hourLeadingZero, c.leadingZero) << c.why;
  }
}

TEST(RegionalSettingsFrom, CategoriesDecidedApart) {
  LocaleData data;
  data.numericLocale = "xx_YY.UTF-8";
  data.thousandsSeparator = std::nullopt;
  data.timeLocale = "de_DE.UTF-8";
  data.timeFormat = "%H.%M.%S";
  const RegionalSettings settings = RegionalSettingsFrom(data);
  EXPECT_EQ(settings.thousandsSeparator, ",");
  EXPECT_EQ(settings.timeSeparator, '.');
  EXPECT_TRUE(settings.hourLeadingZero);
}

bool LocaleInstalled(const char* name) {
  locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(0));
  if (locale == static_cast<locale_t>(0)) return false;
  freelocale(locale);
  return true;
}

TEST(ReadLocaleData, InstalledLocales) {
  struct Case {
    const char* locale;
    std::string separator;
    char timeSeparator;
    bool leadingZero;
  };
  const Case cases[] = {
      {"C", ",", ':', false},
      {"POSIX", ",", ':', false},
      {"de_DE.UTF-8", ".", ':', true},
      {"en_US.UTF-8", ",", ':', true},
      {"fr_FR.UTF-8", "\xE2\x80\xAF", ':', true},
      {"de_CH.UTF-8", "\xE2\x80\x99", ':', true},
      {"pt_PT.UTF-8", "", ':', true},
      {"bg_BG.UTF-8", "", ':', false},
      {"fi_FI.UTF-8", "\xE2\x80\xAF", '.', true},
  };
  for (const Case& c : cases) {
    if (!LocaleInstalled(c.locale)) {
      std::printf("skipped %s: the locale is not installed\n", c.locale);
      continue;
    }
    const RegionalSettings settings = RegionalSettingsFrom(ReadLocaleData(c.locale, c.locale));
    EXPECT_EQ(settings.thousandsSeparator, c.separator) << c.locale;
    EXPECT_EQ(settings.timeSeparator, c.timeSeparator) << c.locale;
    EXPECT_EQ(settings.hourLeadingZero, c.leadingZero) << c.locale;
  }
}

TEST(ReadLocaleData, AMissingLocaleLeavesTheOtherCategory) {
  if (!LocaleInstalled("de_DE.UTF-8")) {
    GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed";
  }
  const LocaleData data = ReadLocaleData("xx_YY.UTF-8", "de_DE.UTF-8");
  EXPECT_FALSE(data.thousandsSeparator.has_value());
  ASSERT_TRUE(data.timeFormat.has_value());
  const RegionalSettings settings = RegionalSettingsFrom(data);
  EXPECT_EQ(settings.thousandsSeparator, ",");
  EXPECT_TRUE(settings.hourLeadingZero);

  const LocaleData swapped = ReadLocaleData("de_DE.UTF-8", "xx_YY.UTF-8");
  EXPECT_EQ(swapped.thousandsSeparator, ".");
  EXPECT_FALSE(swapped.timeFormat.has_value());
}

}  // namespace
}  // namespace quarnel
