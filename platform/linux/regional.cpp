#include "platform/regional.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>

#include "platform/linux/regional_rules.h"

namespace quarnel {

// Each category is loaded on its own, so that a locale that is missing for
// one of them leaves the other's settings intact.
LocaleData ReadLocaleData(const std::string& numericLocale, const std::string& timeLocale) {
  LocaleData data;
  data.numericLocale = numericLocale;
  data.timeLocale = timeLocale;
  // The codeset belongs to LC_CTYPE: loaded from the same name, it tells how
  // the numeric strings are encoded.
  if (locale_t numeric = newlocale(LC_NUMERIC_MASK | LC_CTYPE_MASK, numericLocale.c_str(),
                                   static_cast<locale_t>(0))) {
    data.thousandsSeparator = nl_langinfo_l(THOUSEP, numeric);
    data.numericCodeset = nl_langinfo_l(CODESET, numeric);
    freelocale(numeric);
  }
  if (locale_t time = newlocale(LC_TIME_MASK, timeLocale.c_str(), static_cast<locale_t>(0))) {
    data.timeFormat = nl_langinfo_l(T_FMT, time);
    data.timeFormatAmPm = nl_langinfo_l(T_FMT_AMPM, time);
    freelocale(time);
  }
  return data;
}

RegionalSettings ReadRegionalSettings() {
  static const RegionalSettings settings = [] {
    const char* lcAll = std::getenv("LC_ALL");
    const char* lang = std::getenv("LANG");
    return RegionalSettingsFrom(
        ReadLocaleData(EffectiveLocaleName(lcAll, std::getenv("LC_NUMERIC"), lang),
                       EffectiveLocaleName(lcAll, std::getenv("LC_TIME"), lang)));
  }();
  return settings;
}

}  // namespace quarnel
