// Runs `veltro-cli scan` as a real process on generated song folders and checks its counts,
// its exit statuses and the library it leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/Fixtures.h"
#include "support/ShellRun.h"
#include "support/TempDir.h"

namespace veltro::cli {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempDir;
using testing::WriteBytes;

constexpr uint16_t kFloatSamples = 3;

std::string OneSecondWav(uint16_t formatTag = 1) {
  testing::WavLayout layout = testing::PcmLayout(2, 44100);
  layout.formatTag = formatTag;
  return testing::MakeWav(layout, std::string(176'400, '\0'));
}

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

class ScanCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(music_ / "sub");
    WriteBytes(File("a.wav"), OneSecondWav());
    WriteBytes(File("float.wav"), OneSecondWav(kFloatSamples));
    WriteBytes(File("c.mp3"), "no MPEG audio");  // still a song, with length 0
    WriteBytes(File("sub/b.ogg"),
               testing::EncodeOggVorbis(testing::Sine(440, 44100, 1, 2), 2, 44100, {"ARTIST=B"}));
  }
  std::string File(const std::string& name) const { return (music_ / name).string(); }

  // Runs veltro-cli with `arguments` in the test's folder; `prefix` goes before the program.
  RunResult Run(const std::string& arguments, const std::string& prefix = "") {
    const std::string errors = scratch_.File("stderr");
    const std::string command = "cd '" + dir_.Path().string() + "' && " + prefix + VELTRO_CLI +
                                " " + arguments + " 2>'" + errors + "'";
    const testing::ShellRun run = testing::RunShell(command);
    return RunResult{run.status, run.output, ReadBytes(errors)};
  }
  std::string LibraryBytes() const {
    std::string bytes;
    for (const char* name : {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx"}) {
      bytes += ReadBytes((dir_.Path() / "Data" / name).string());
    }
    return bytes;
  }

  TempDir dir_;
  TempDir scratch_;  // holds the captured standard error, outside the scanned folders
  const fs::path music_ = dir_.Path() / "music";
};

TEST_F(ScanCliTest, ScansCountWhatTheyAddFindAndRemove) {
  const std::string notPcm = "  WAV files that are not PCM: 1\n";
  const struct {
    const char* arguments;
    const char* removeFirst;
    std::string out;
  } runs[] = {
      {"scan music --no-ogg --progress", nullptr,
       "added: 2\nalready known: 0\nremoved: 0\nskipped: 1\n" + notPcm + "records: 2\n"},
      {"scan music music/sub", nullptr,
       "added: 1\nalready known: 2\nremoved: 0\nskipped: 2\n  files reached a second time: 1\n" +
           notPcm + "records: 3\n"},
      {"scan --clean", "c.mp3", "added: 0\nalready known: 0\nremoved: 1\nskipped: 0\nrecords: 2\n"},
      {"scan --clean --no-wav --no-mp3 music", "sub/b.ogg",
       "added: 0\nalready known: 0\nremoved: 1\nskipped: 0\nrecords: 1\n"},
  };
  for (const auto& run : runs) {
    if (run.removeFirst != nullptr) fs::remove(File(run.removeFirst));
    const RunResult result = Run(run.arguments);
    EXPECT_EQ(result.status, 0) << run.arguments;
    EXPECT_EQ(result.out, run.out) << run.arguments;
    EXPECT_EQ(result.err, "") << run.arguments;  // --progress: standard error is no terminal
  }
  // Paths are stored absolute and as listed.
  const RunResult list = Run("library list --order path");
  EXPECT_EQ(list.out, "0\t0\ta.wav\t\t\t\t0:01\t" + File("a.wav") + "\n");
}

TEST_F(ScanCliTest, ExitStatusesSayWhatWentWrongAndAFailedWriteKeepsTheLibrary) {
  ASSERT_EQ(Run("scan music").status, 0);
  const std::string before = LibraryBytes();
  WriteBytes(File("new.wav"), OneSecondWav());
  const struct {
    const char* arguments;
    const char* prefix;
    int status;
    const char* error;
  } runs[] = {
      {"scan", "", 2, "no folder to scan"},
      {"scan music --mp3", "", 2, "unknown option: --mp3"},
      // Files larger than one block cannot be written: the new Data.ndb fails.
      {"scan music", "trap '' XFSZ; ulimit -f 1; ", 1, "cannot write the library"},
  };
  for (const auto& run : runs) {
    const RunResult result = Run(run.arguments, run.prefix);
    EXPECT_EQ(result.status, run.status) << run.arguments;
    EXPECT_NE(result.err.find(run.error), std::string::npos) << result.err;
    EXPECT_EQ(LibraryBytes(), before) << run.arguments;
  }
}

}  // namespace
}  // namespace veltro::cli
