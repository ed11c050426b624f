#include "output/result_file.h"

#include <array>
#include <string>
#include <vector>

#include "fixedpoint/kernels.h"
#include "output/buffered_file.h"
#include "output/elapsed_time.h"
#include "output/number_display.h"
#include "platform/clock.h"
#include "series/series_tasks.h"

namespace quarnel {

namespace {

constexpr std::int32_t kDigitsPerGroup = 5;
constexpr std::int32_t kGroupsPerLine = 10;

// The five digits of a group, leading zeros kept.
std::array<char, kDigitsPerGroup> GroupText(Word group) {
  std::array<char, kDigitsPerGroup> text{};
  for (int i = kDigitsPerGroup - 1; i >= 0; --i) {
    text[static_cast<std::size_t>(i)] = static_cast<char>('0' + group % 10);
    group /= 10;
  }
  return text;
}

}  // namespace

void WriteResultFile(std::int32_t n, std::int32_t w, double startTime,
                     const ResultFileSetting& setting) {
  const RegionalSettings regional =
      setting.regional != nullptr ? *setting.regional : ReadRegionalSettings();
  BufferedFile file(setting.path);
  const double now = setting.clock != nullptr ? setting.clock() : LocalTimestampNow();

  file.Write(RenderDigitCount(n, regional.thousandsSeparator) +
             " digits of the PI.  Caliculation time:" +
             FormatElapsedTime(startTime, now, regional) + "\r\n");

  WordArray& x = ResultSlot(1);
  file.Write(std::to_string(x[0]) + ".\r\n");

  const std::int32_t groupCount = n / kDigitsPerGroup;
  std::vector<Word> groups(static_cast<std::size_t>(groupCount));
  ConvertToGroups(x, w, groupCount, groups.data());

  for (std::int32_t i = 1; i <= groupCount; ++i) {
    const auto text = GroupText(groups[static_cast<std::size_t>(i - 1)]);
    file.Write({text.data(), text.size()});
    if (i % kGroupsPerLine == 0) {
      file.Write("\r\n");
    } else if (i % 2 == 0) {
      file.Write(" ");
    }
  }
  file.Close();
}

}  // namespace quarnel
