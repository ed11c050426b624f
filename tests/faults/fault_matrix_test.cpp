// The program run as a child under one fault at a time: each must end the
// run with the error report on standard error and exit status 217, never
// with the closing message, and leave pi.txt as the row says.
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/faults/child_process.h"
#include "tests/faults/transcript.h"

namespace quarnel::testing {
namespace {

namespace fs = std::filesystem;

constexpr uid_t kNobody = 65534;
constexpr const char* kPrevious = "the previous run's file\r\n";

struct FaultScene {
  TempDir work;         // the child's working directory
  TempDir bin;          // a copy of the program any user can run
  ChildSetup setup;
};

struct FaultRow {
  const char* name;
  // Arranges the scene; returns a reason to skip the row, or "".
  std::string (*arrange)(FaultScene& scene);
  std::string input;
  std::string report;       // "Kind: message"; empty where standard error is closed
  std::string outputEnds;   // how standard output ends; empty where it is not a pipe
  void (*checkPiFile)(const FaultScene& scene);
  std::string notReached = kFinished;  // a line standard output must not hold
  bool removeWorkDirAtPrompt = false;
};

void PrintTo(const FaultRow& row, std::ostream* out) { *out << row.name; }

const std::string kOnePrompt = std::string("\r\n\r\n") + kPrompt;
const std::string kConvertingEnd = std::string(kConverting) + "\r\n";

std::string PiPath(const FaultScene& scene) { return scene.work / "pi.txt"; }

// Runs the child as an unprivileged user, from a copy of the program that
// user can reach.
std::string RunAsNobody(FaultScene& scene) {
  if (::geteuid() != 0) return "needs root to run the child as user 65534";
  const std::string copy = scene.bin / "quarnel";
  fs::copy_file(QUARNEL_PROGRAM, copy);
  fs::permissions(copy, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                            fs::perms::others_read | fs::perms::others_exec);
  scene.setup.argv = {copy};
  scene.setup.user = kNobody;
  return "";
}

void PiFileAbsent(const FaultScene& scene) {
  EXPECT_FALSE(fs::exists(fs::symlink_status(PiPath(scene))));
}

void PiFileIsEmptyDirectory(const FaultScene& scene) {
  EXPECT_TRUE(fs::is_directory(PiPath(scene)));
  EXPECT_TRUE(fs::is_empty(PiPath(scene)));
}

void PiFileLinksToDevFull(const FaultScene& scene) {
  ASSERT_TRUE(fs::is_symlink(PiPath(scene)));
  EXPECT_EQ(fs::read_symlink(PiPath(scene)), "/dev/full");
}

void PiFileUnchanged(const FaultScene& scene) {
  EXPECT_EQ(ReadWholeFile(PiPath(scene)).value_or("<unreadable>"), kPrevious);
}

void WorkDirGone(const FaultScene& scene) { EXPECT_FALSE(fs::exists(scene.work.Path())); }

// Cut at the file-size limit: exactly that many bytes, all of them the
// start of the right file.
void PiFileCutAtLimit(const FaultScene& scene) {
  const std::string file = ReadWholeFile(PiPath(scene)).value_or("");
  EXPECT_EQ(file.size(), scene.setup.limits.front().value);
  const std::size_t headerEnd = file.find("\r\n");
  ASSERT_NE(headerEnd, std::string::npos);
  EXPECT_TRUE(file.starts_with("1,000 digits of the PI.  Caliculation time:"));
  const std::string body = file.substr(headerEnd + 2);
  EXPECT_EQ(body, ExpectedPiBody(1'000).substr(0, body.size()));
}

std::string LimitFileSize(FaultScene& scene, rlim_t bytes) {
  scene.setup.limits.push_back({RLIMIT_FSIZE, bytes});
  return "";
}

std::vector<FaultRow> FaultRows() {
  const std::string threadFailure =
      std::string("EThread: Thread creation error: ") + std::strerror(EAGAIN);
  return {
      // Console faults.
      {"StandardOutputClosed",
       [](FaultScene& s) { s.setup.output = Stream::kClosed; return std::string(); }, "1000\n",
       "EInOutError: Invalid file handle", "", PiFileAbsent},
      // The reader of a pipe has gone: a write error, not a death by SIGPIPE.
      {"StandardOutputReaderGone",
       [](FaultScene& s) { s.setup.output = Stream::kBrokenPipe; return std::string(); },
       "1000\n", "EInOutError: Unknown Run-Time error : 232", "", PiFileAbsent},
      {"StandardOutputOnFullDevice",
       [](FaultScene& s) { s.setup.output = Stream::kDevFull; return std::string(); }, "1000\n",
       "EInOutError: Disk Full", "", PiFileAbsent},
      // Nowhere to report: the status alone tells.
      {"StandardOutputAndErrorClosed",
       [](FaultScene& s) {
         s.setup.output = s.setup.error = Stream::kClosed;
         return std::string();
       },
       "1000\n", "", "", PiFileAbsent},
      {"StandardInputClosed",
       [](FaultScene& s) { s.setup.input = Stream::kClosed; return std::string(); }, "",
       "EInOutError: Invalid file handle", kOnePrompt, PiFileAbsent},
      // The end of input before any reply ends the run instead of prompting forever.
      {"EndOfInputBeforeReply", [](FaultScene&) { return std::string(); }, "",
       "EInOutError: Read past end of file", kOnePrompt, PiFileAbsent},
      {"EndOfInputAfterEmptyLines", [](FaultScene&) { return std::string(); }, "\r\n \t\n\n",
       "EInOutError: Read past end of file", kOnePrompt, PiFileAbsent},
      // Ctrl-Z stays unread, so the reply after it is never reached.
      {"CtrlZBeforeReply", [](FaultScene&) { return std::string(); }, "  \x1a" "1000\r\n",
       "EInOutError: Read past end of file", kOnePrompt, PiFileAbsent},
      {"EndOfInputAfterRejectedReply", [](FaultScene&) { return std::string(); }, "999\n",
       "EInOutError: Read past end of file", kOnePrompt + kPrompt, PiFileAbsent},
      {"ReplyWithComma", [](FaultScene&) { return std::string(); }, "1,000\n1000\n",
       "EInOutError: Invalid input", kOnePrompt, PiFileAbsent},

      // Result file faults: each shows once the conversion has begun.
      {"ResultFileIsDirectory",
       [](FaultScene& s) { fs::create_directory(s.work / "pi.txt"); return std::string(); },
       "1000\n", "EInOutError: Access denied", kConvertingEnd, PiFileIsEmptyDirectory},
      {"ResultFileOnFullDevice",
       [](FaultScene& s) {
         fs::create_symlink("/dev/full", s.work / "pi.txt");
         return std::string();
       },
       "1000\n", "EInOutError: Disk Full", kConvertingEnd, PiFileLinksToDevFull},
      {"ResultFileReadOnlyForUser",
       [](FaultScene& s) {
         {
           std::ofstream(s.work / "pi.txt", std::ios::binary) << kPrevious;
         }
         fs::permissions(s.work / "pi.txt",
                         fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         return RunAsNobody(s);
       },
       "1000\n", "EInOutError: Access denied", kConvertingEnd, PiFileUnchanged},
      // The working directory is removed while the program waits for its reply.
      {"WorkingDirectoryRemoved", [](FaultScene&) { return std::string(); }, "1000\n",
       "EInOutError: Invalid filename", kConvertingEnd, WorkDirGone, kFinished, true},
      // The fourth 256-byte block is cut short at the limit...
      {"FileSizeLimitMidBlock", [](FaultScene& s) { return LimitFileSize(s, 1'000); }, "1000\n",
       "EInOutError: Disk Full", kConvertingEnd, PiFileCutAtLimit},
      // ...or refused whole when the limit falls at a block's end.
      {"FileSizeLimitAtBlockEnd", [](FaultScene& s) { return LimitFileSize(s, 768); }, "1000\n",
       "EInOutError: Disk Full", kConvertingEnd, PiFileCutAtLimit},
      {"ReadOnlyFileSystem",
       [](FaultScene& s) {
         s.setup.readOnlyMount = s.work.Path();
         return std::string();
       },
       "1000\n", "EInOutError: Unknown Run-Time error : 150", kConvertingEnd, PiFileAbsent},

      // No thread can be started for an unprivileged user at its process limit.
      {"ThreadCreationFails",
       [](FaultScene& s) {
         if (UsableProcessors().size() < 2) return std::string("needs two usable processors");
         std::string skip = RunAsNobody(s);
         s.setup.limits.push_back({RLIMIT_NPROC, 0});
         // The leak check at exit needs a thread of its own, which the limit forbids.
         s.setup.extraEnv.push_back("ASAN_OPTIONS=detect_leaks=0");
         return skip;
       },
       "1000\n", threadFailure, "", PiFileAbsent, kCalculationFinished},
  };
}

class FaultMatrix : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultMatrix, EndsWithTheErrorReport) {
  const FaultRow& row = GetParam();
  FaultScene scene;
  scene.setup.argv = {QUARNEL_PROGRAM};
  scene.setup.workDir = scene.work.Path();
  if (const std::string skip = row.arrange(scene); !skip.empty()) GTEST_SKIP() << skip;

  ChildProcess child(scene.setup);
  if (row.removeWorkDirAtPrompt) {
    ASSERT_TRUE(child.AwaitOutput(kPrompt, milliseconds(30'000)));
    fs::remove_all(scene.work.Path());
  }
  child.Send(row.input);
  const ChildResult result = child.Wait(milliseconds(60'000));

  if (result.setupFailure.find("mount") != std::string::npos ||
      result.setupFailure.starts_with("unshare")) {
    GTEST_SKIP() << "no private read-only mount here: " << result.Describe();
  }
  ASSERT_TRUE(result.Ran()) << result.Describe();
  EXPECT_EQ(result.ExitCode(), 217) << result.Describe();
  if (!row.report.empty()) {
    EXPECT_TRUE(IsErrorReport(result.error, row.report));
  }
  if (scene.setup.output == Stream::kPipe) {
    EXPECT_TRUE(IsBanner(result.output.substr(0, result.output.find("\r\n"))));
    EXPECT_TRUE(result.output.ends_with(row.outputEnds)) << result.output;
    EXPECT_EQ(result.output.find(row.notReached), std::string::npos) << result.output;
    EXPECT_EQ(result.output.find("An unhandled exception"), std::string::npos);
  }
  row.checkPiFile(scene);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(FaultRows()),
                         [](const ::testing::TestParamInfo<FaultRow>& row) {
                           return std::string(row.param.name);
                         });

}  // namespace
}  // namespace quarnel::testing
