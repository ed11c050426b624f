#include "app/run_sequence.h"

#include "fixedpoint/word_array.h"
#include "output/number_display.h"
#include "output/result_file.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/regional.h"
#include "platform/run_error.h"
#include "series/combine.h"

namespace quarnel {

namespace {
constexpr const char* kBanner =
    "Quarnel version 3.10 (c) the Quarnel authors / multithread - parallel processing";
constexpr const char* kPrompt = "Digits to calculate (multiple of 1,000, upto 10,000,000) = ";
}  // namespace

std::int32_t AskDigitCount(ReplyReader& reader) {
  for (;;) {
    WriteConsoleText(kPrompt);
    const std::optional<std::int32_t> reply = reader.ReadReply();
    if (!reply) throw EInOutError(io_error::kReadPastEnd);
    if (IsValidDigitCount(*reply)) return *reply;
  }
}

void RunSequence(ReplyReader& reader) {
  WriteConsoleLine(kBanner);
  WriteConsoleLine("");
  const std::int32_t n = AskDigitCount(reader);
  W = n / 8;
  const double startTime = LocalTimestampNow();
  WriteConsoleLine("");
  WriteConsoleLine(RenderDigitCount(n, ReadRegionalSettings().thousandsSeparator) +
                   " digits of the PI calculation started...");
  RunAndCombine();
  WriteConsoleLine("Calculation finished.");
  WriteConsoleLine("Now converting the result to decimal");
  WriteResultFile(n, W, startTime);
  WriteConsoleLine("Finished successfully. Saved in pi.txt.");
}

int RunProgram() {
  try {
    ReplyReader reader(ReadConsoleBytes);
    RunSequence(reader);
    return 0;
  } catch (const RunError& error) {
    WriteErrorText(FormatErrorReport(error));
    return kErrorExitStatus;
  }
}

}  // namespace quarnel
