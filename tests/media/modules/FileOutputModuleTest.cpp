// The file output module: identity, formats chosen by prefix, the WAV header and its sizes at
// close, standard output, open and write failures, and a whole MP3 decoded from a file to a
// WAV file through the framework.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "media/framework/MediaFrameworkFakes.h"
#include "media/modules/FileInputModule.h"
#include "media/modules/FileOutputModule.h"
#include "media/modules/FrameworkDecoding.h"
#include "media/modules/MpegAudioCodec.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace veltro::media {
namespace {

using testing::ReadBytes;
using testing::TempDir;

// The 44 header bytes expected for 16-bit PCM, spelled out byte by byte.
std::string ExpectedWavHeader(uint32_t dataBytes, uint16_t channels, uint32_t rateHz) {
  const auto le = [](uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
  };
  return "RIFF" + le(dataBytes + 36, 4) + "WAVE" + "fmt " + le(16, 4) + le(1, 2) + le(channels, 2) +
         le(rateHz, 4) + le(uint64_t{rateHz} * channels * 2, 4) + le(channels * 2u, 2) + le(16, 2) +
         "data" + le(dataBytes, 4);
}

std::string SampleBytes(size_t count, int seed) {
  std::string bytes(count, '\0');
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<char>(i * 13 + seed);
  return bytes;
}

class FileOutputModuleTest : public FrameworkTest {
 protected:
  void SetUp() override {
    FrameworkTest::SetUp();
    FileOutputModuleDescriptor(&module_);
  }

  // Creates and opens an instance for `name`; null when either step fails (code in *result).
  void* OpenOutput(const std::string& name, int* result = nullptr) {
    void* instance = nullptr;
    int code = module_.newInstance(&instance, name.c_str(), nullptr, decoder_);
    if (code == kMfOk) code = module_.open(instance);
    if (result != nullptr) *result = code;
    if (code != kMfOk && instance != nullptr) module_.deleteInstance(instance);
    return code == kMfOk ? instance : nullptr;
  }

  // Opens `name`, writes the blocks, closes and deletes.
  void WriteBlocks(const std::string& name, const std::vector<std::string>& blocks, int channels,
                   int rateHz) {
    void* instance = OpenOutput(name);
    ASSERT_NE(instance, nullptr) << name;
    for (const std::string& block : blocks) {
      ASSERT_EQ(module_.write(instance, block.data(), static_cast<uint32_t>(block.size()), 2,
                              channels, rateHz),
                kMfOk);
    }
    EXPECT_EQ(module_.close(instance), kMfOk);
    EXPECT_EQ(module_.deleteInstance(instance), kMfOk);
  }

  MfOutputModule module_{};
  TempDir dir_;
};

TEST_F(FileOutputModuleTest, DescriptorAndQueryAnswers) {
  EXPECT_EQ(module_.version, 0x00040400u);
  EXPECT_EQ(module_.getBuffer, nullptr);
  EXPECT_EQ(module_.setControl, nullptr);
  EXPECT_EQ(module_.getControl, nullptr);
  EXPECT_EQ(module_.getStatus, nullptr);
  EXPECT_EQ(module_.getCaps, nullptr);
  EXPECT_EQ(module_.sendMessage, nullptr);
  EXPECT_EQ(module_.probe("wav:x.wav"), 0);
  EXPECT_EQ(module_.probe("anything"), 0);
  MfModuleInfo info{};
  ASSERT_EQ(module_.query(&info, kMfQueryName | kMfQueryDeviceCount), kMfOk);
  EXPECT_STREQ(info.name, "Output To File");
  EXPECT_STREQ(info.description, "Version 1.2");
  EXPECT_EQ(info.index, 0);  // the call ended after the name
  ASSERT_EQ(module_.query(&info, kMfQueryDeviceCount), kMfOk);
  EXPECT_EQ(info.index, 3);
  const struct {
    const char* name;
    const char* description;
    int flags;
  } devices[] = {{"*, or raw:*", "file name (raw PCM format)", 1},
                 {"wav:*", "file name (WAV format)", 1},
                 {"-", "standard output", 0}};
  for (int index = 0; index < 3; ++index) {
    info.index = index;
    ASSERT_EQ(module_.query(&info, kMfQueryDevice), kMfOk);
    EXPECT_STREQ(info.name, devices[index].name);
    EXPECT_STREQ(info.description, devices[index].description);
    EXPECT_EQ(info.flags, devices[index].flags);
  }
  info.index = 3;
  EXPECT_EQ(module_.query(&info, kMfQueryDevice), kMfInvalidParameter);
}

TEST_F(FileOutputModuleTest, EmptyNameCreatesNoInstance) {
  ASSERT_EQ(mf_output_module_register(decoder_, &module_), 0);
  EXPECT_EQ(mf_output_new(decoder_, "", 0), kMfInvalidParameter);
  EXPECT_EQ(decoder_->output->instance, nullptr);
  EXPECT_EQ(gLog.messages.back(), "internal error");
  EXPECT_EQ(LastReason(), "null params or null/empty output name");
}

TEST_F(FileOutputModuleTest, WavHeaderGetsFinalSizesAtClose) {
  const std::string first = SampleBytes(4000, 1);
  const std::string second = SampleBytes(608, 2);
  const std::string path = dir_.File("out.wav");
  // The second block's format does not change the header: the first block's format counts.
  void* instance = OpenOutput("wav:" + path);
  ASSERT_NE(instance, nullptr);
  ASSERT_EQ(module_.write(instance, first.data(), 4000, 2, 1, 22050), kMfOk);
  ASSERT_EQ(module_.write(instance, second.data(), 608, 2, 2, 48000), kMfOk);
  ASSERT_EQ(module_.close(instance), kMfOk);
  module_.deleteInstance(instance);
  const std::string file = ReadBytes(path);
  ASSERT_EQ(file.size(), 44u + 4608u);
  EXPECT_EQ(file.substr(0, 44), ExpectedWavHeader(4608, 1, 22050));
  EXPECT_EQ(file.substr(44), first + second);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("wav:out.wav")));
}

TEST_F(FileOutputModuleTest, WavWithoutSamplesIsAnEmptyWaveFile) {
  const std::string path = dir_.File("empty.wav");
  WriteBlocks("wav:" + path, {}, 0, 0);
  EXPECT_EQ(ReadBytes(path), ExpectedWavHeader(0, 2, 44100));
}

TEST_F(FileOutputModuleTest, OtherFormatsHoldTheSamplesAlone) {
  const std::string block = SampleBytes(1152 * 4, 5);
  const struct {
    const char* prefix;
    const char* file;
  } cases[] = {{"", "out.pcm"}, {"raw:", "out.raw"}, {"aiff:", "out.aiff"}, {"sun:", "out.au"}};
  for (const auto& c : cases) {
    const std::string path = dir_.File(c.file);
    WriteBlocks(c.prefix + path, {block, block}, 2, 44100);
    EXPECT_EQ(ReadBytes(path), block + block) << c.prefix << c.file;
  }
  // An unknown prefix is part of the file name.
  const std::string odd = dir_.File("mp3:x.pcm");
  WriteBlocks(odd, {block}, 2, 44100);
  EXPECT_EQ(ReadBytes(odd), block);
}

TEST_F(FileOutputModuleTest, OpenReplacesAnExistingFile) {
  const std::string path = dir_.File("again.pcm");
  testing::WriteBytes(path, std::string(10000, 'x'));
  WriteBlocks(path, {"abcd"}, 2, 44100);
  EXPECT_EQ(ReadBytes(path), "abcd");
}

TEST_F(FileOutputModuleTest, OpenFailuresGiveTheirCodesAndNotifications) {
  int result = 0;
  EXPECT_EQ(OpenOutput("wav:" + dir_.File("no/such/dir.wav"), &result), nullptr);
  EXPECT_EQ(result, kMfOpenFailed);
  EXPECT_EQ(gLog.messages.back(), "cannot open output file");
  EXPECT_EQ(LastReason(), std::strerror(ENOENT));

  // Root writes anywhere, so as root the opening is tried in a child that runs as "nobody".
  const std::string locked = dir_.File("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0555), 0);
  ASSERT_EQ(chmod(dir_.Path().c_str(), 0755), 0);
  const auto tryOpen = [&]() {
    int code = 0;
    if (OpenOutput(locked + "/out.pcm", &code) != nullptr) return 40;
    if (code != kMfPermissionDenied) return 41;
    return LastReason() == "permission denied" ? 0 : 42;
  };
  EXPECT_EQ(testing::RunUnprivileged(tryOpen), 0);
}

TEST_F(FileOutputModuleTest, FailedWriteReturnsMinusOne) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  void* instance = OpenOutput("raw:/dev/full");
  ASSERT_NE(instance, nullptr);
  const std::string block = SampleBytes(1 << 16, 3);  // larger than the stream's buffer
  EXPECT_EQ(module_.write(instance, block.data(), 1 << 16, 2, 2, 44100), kMfFailed);
  EXPECT_EQ(module_.close(instance), kMfOk);
  module_.deleteInstance(instance);
}

// Runs the module in a child whose standard output is `target` (a pipe's write end or a file);
// the child writes one block to "wav:-" and closes, then reports whether stdout was closed.
int WriteWavToStandardOutput(const MfOutputModule& module, int target, const std::string& block) {
  std::fflush(nullptr);  // the child must not flush the test's own pending output
  const pid_t child = fork();
  if (child == 0) {
    dup2(target, 1);
    close(target);
    void* instance = nullptr;
    if (module.newInstance(&instance, "wav:-", nullptr, nullptr) != kMfOk) _exit(50);
    if (module.open(instance) != kMfOk) _exit(51);
    if (module.write(instance, block.data(), static_cast<uint32_t>(block.size()), 2, 2, 32000) !=
        kMfOk) {
      _exit(52);
    }
    if (module.close(instance) != kMfOk) _exit(53);
    _exit(fcntl(1, F_GETFD) == -1 ? 0 : 54);  // standard output was closed too
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileOutputModuleTest, DashWritesStandardOutput) {
  const std::string block = SampleBytes(256, 9);
  // A pipe cannot go back: the header keeps the sizes it was first written with (no samples).
  int pipeEnds[2];
  ASSERT_EQ(pipe(pipeEnds), 0);
  EXPECT_EQ(WriteWavToStandardOutput(module_, pipeEnds[1], block), 0);
  close(pipeEnds[1]);
  std::string piped;
  char chunk[512];
  for (ssize_t got; (got = read(pipeEnds[0], chunk, sizeof chunk)) > 0;) piped.append(chunk, got);
  close(pipeEnds[0]);
  EXPECT_EQ(piped, ExpectedWavHeader(0, 2, 32000) + block);

  // Standard output redirected to a file can go back, so the sizes are completed.
  const std::string path = dir_.File("stdout.wav");
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(file, 0);
  EXPECT_EQ(WriteWavToStandardOutput(module_, file, block), 0);
  close(file);
  EXPECT_EQ(ReadBytes(path), ExpectedWavHeader(256, 2, 32000) + block);
}

// The whole path a client uses: file input, MPEG codec and file output joined by mf_play.
TEST_F(FileOutputModuleTest, Mp3FileDecodesToTheSameWavAsTheMemoryPath) {
  const std::vector<uint8_t> mp3 =
      testing::EncodeMp3(testing::MusicLike(44100, 1.5, 2, 7), testing::Mp3EncoderOptions{});
  ASSERT_FALSE(mp3.empty());
  const std::string mp3Path = dir_.File("music.mp3");
  testing::WriteBytes(mp3Path, std::string(mp3.begin(), mp3.end()));
  const FrameworkDecoding reference = DecodeThroughFramework(mp3);
  ASSERT_EQ(reference.setupResult, 0);
  ASSERT_EQ(reference.endCode, kMfEndOfStream);
  ASSERT_GT(reference.frames.size(), 50u);

  MfCodecModule codec{};
  MpegAudioCodecDescriptor(&codec);
  MfInputModule input{};
  FileInputModuleDescriptor(&input);
  ASSERT_EQ(mf_codec_module_register(decoder_, &codec), 0);
  ASSERT_EQ(mf_input_module_register(decoder_, &input), 0);
  ASSERT_EQ(mf_output_module_register(decoder_, &module_), 0);
  const std::string wavPath = dir_.File("music.wav");
  ASSERT_EQ(mf_input_new(decoder_, mp3Path.c_str(), -1), kMfOk);
  ASSERT_EQ(mf_input_open(decoder_), kMfOk);
  ASSERT_EQ(mf_output_new(decoder_, ("wav:" + wavPath).c_str(), -1), kMfOk);
  ASSERT_EQ(mf_output_open(decoder_), kMfOk);
  int result = kMfOk;
  size_t plays = 0;
  while ((result = mf_play(decoder_)) == kMfOk) ++plays;
  EXPECT_EQ(result, kMfEndOfStream);
  EXPECT_EQ(plays, reference.frames.size());
  ASSERT_EQ(mf_output_close(decoder_), kMfOk);

  const std::string wav = ReadBytes(wavPath);
  const std::string pcm = testing::Pcm16Bytes(reference.pcm);
  EXPECT_EQ(wav.substr(0, 44), ExpectedWavHeader(static_cast<uint32_t>(pcm.size()), 2, 44100));
  EXPECT_TRUE(wav.substr(44) == pcm) << "decoded samples differ";
}

}  // namespace
}  // namespace veltro::media
