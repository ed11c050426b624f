#include "output/result_file.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "output/buffered_file.h"
#include "output/elapsed_time.h"
#include "output/number_display.h"
#include "platform/clock.h"
#include "series/computation_engine.h"
#include "series/series_tasks.h"

namespace quarnel {

namespace {

constexpr std::int32_t kDigitsPerGroup = 5;
constexpr std::int32_t kGroupsPerLine = 10;
// The word-array kernels convert and write groups in batches of this many
// (fifty lines), so a failed write stops the run after little more
// conversion than it needs. Even, so that every batch starts at an odd step.
// The quasi-linear engine converts the whole number in one batch.
constexpr std::int32_t kGroupsPerBatch = 500;
static_assert(kGroupsPerBatch % 2 == 0 && kGroupsPerBatch % kGroupsPerLine == 0);

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

  // Steps first..first+count-1 of the conversion of a number with last word
  // index w, for an odd first step, are the steps 1..count of the conversion
  // with last word index w - (first - 1) / 2: step i has the highest index
  // w - i div 2, and (first - 1 + j) div 2 = (first - 1) / 2 + j div 2.
  const std::int32_t groupCount = n / kDigitsPerGroup;
  const std::int32_t batch = UsesQuasiLinearEngine(n) ? groupCount : kGroupsPerBatch;
  std::vector<Word> groups(static_cast<std::size_t>(batch));
  for (std::int32_t first = 1; first <= groupCount; first += batch) {
    const std::int32_t count = std::min(batch, groupCount - first + 1);
    ConvertToGroupsForRun(n, x, w - (first - 1) / 2, count, groups.data());
    for (std::int32_t j = 0; j < count; ++j) {
      const std::int32_t i = first + j;  // the group's step, 1..groupCount
      const auto text = GroupText(groups[static_cast<std::size_t>(j)]);
      file.Write({text.data(), text.size()});
      if (i % kGroupsPerLine == 0) {
        file.Write("\r\n");
      } else if (i % 2 == 0) {
        file.Write(" ");
      }
    }
  }
  file.Close();
}

}  // namespace quarnel
