#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/RiffReader.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using veltro::testing::TempDir;

constexpr uint32_t kWave = FourCC('W', 'A', 'V', 'E');
constexpr uint32_t kFmt = FourCC('f', 'm', 't', ' ');
constexpr uint32_t kData = FourCC('d', 'a', 't', 'a');
constexpr uint32_t kList = FourCC('L', 'I', 'S', 'T');
constexpr uint32_t kInfo = FourCC('I', 'N', 'F', 'O');
constexpr uint32_t kName = FourCC('I', 'N', 'A', 'M');

std::string Le32(uint32_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>(value >> (8 * i));
  return bytes;
}

std::string Id(const char* fourcc) {
  return std::string(fourcc, 4);
}

// A chunk with its stored size taken from the payload (or forced) and a pad byte after odd data.
std::string Chunk(const char* id, const std::string& payload, bool pad = true) {
  std::string bytes = Id(id) + Le32(static_cast<uint32_t>(payload.size())) + payload;
  if (pad && payload.size() % 2 == 1) bytes += '\0';
  return bytes;
}

std::string Riff(const char* form, const std::string& body) {
  return Chunk("RIFF", Id(form) + body);
}

std::string RawChunk(const char* id, uint32_t declaredSize, const std::string& payload) {
  return Id(id) + Le32(declaredSize) + payload;
}

// Runs every test once on a memory source and once on a file source holding the same bytes.
class RiffReaderTest : public ::testing::TestWithParam<bool> {
 protected:
  RiffReader& Reader(const std::string& bytes) {
    bytes_ = bytes;
    if (GetParam()) {
      const std::string path = dir_.File("chunks.riff");
      veltro::testing::WriteBytes(path, bytes_);
      source_ = FileByteSource::Open(path);
    } else {
      source_ = std::make_unique<MemoryByteSource>(reinterpret_cast<const uint8_t*>(bytes_.data()),
                                                   bytes_.size());
    }
    reader_ = std::make_unique<RiffReader>(*source_);
    return *reader_;
  }
  std::string ReadString(RiffReader& reader, size_t bytes) {
    std::string text(bytes, '\0');
    text.resize(reader.Read(text.data(), bytes));
    return text;
  }

  TempDir dir_;
  std::string bytes_;
  std::unique_ptr<ByteSource> source_;
  std::unique_ptr<RiffReader> reader_;
};

TEST_P(RiffReaderTest, FindsChunksInOrderAndSkipsOthers) {
  const std::string file = Riff("WAVE", Chunk("junk", "xyz") + Chunk("fmt ", "FORMAT") +
                                            Chunk("LIST", Id("INFO") + Chunk("INAM", "Song")) +
                                            Chunk("data", "PCMDATA!"));
  RiffReader& reader = Reader(file);
  RiffChunk riff, fmt, data;
  ASSERT_TRUE(reader.DescendRiff(kWave, riff));
  EXPECT_EQ(riff.formType, kWave);
  EXPECT_EQ(riff.size, file.size() - 8);
  EXPECT_EQ(reader.Tell(), 12u);

  ASSERT_TRUE(reader.Descend(riff, kFmt, fmt));
  EXPECT_EQ(fmt.size, 6u);
  EXPECT_EQ(fmt.dataOffset, 12u + 12u + 8u);  // after "junk" (3 bytes + pad)
  EXPECT_EQ(ReadString(reader, fmt.size), "FORMAT");
  ASSERT_TRUE(reader.Ascend(fmt));
  ASSERT_TRUE(reader.Descend(riff, kData, data));
  EXPECT_EQ(ReadString(reader, data.size), "PCMDATA!");

  // Searching again from the start finds the nested chunk only by descending into its list.
  ASSERT_TRUE(reader.Seek(12));
  RiffChunk list, name, none;
  EXPECT_FALSE(reader.Descend(riff, kName, none));
  EXPECT_EQ(reader.Tell(), 12u) << "a failed search keeps the offset";
  ASSERT_TRUE(reader.Descend(riff, kList, list));
  EXPECT_EQ(list.formType, kInfo);
  EXPECT_EQ(reader.Tell(), list.dataOffset + 4);
  ASSERT_TRUE(reader.Descend(list, kName, name));
  EXPECT_EQ(ReadString(reader, name.size), "Song");
  // The data chunk lies outside the list: not found within it.
  EXPECT_FALSE(reader.Descend(list, kData, none));
}

TEST_P(RiffReaderTest, HonoursPadBytesAndAscendsPastThem) {
  const std::string file = Riff("WAVE", Chunk("odd ", "abc") + Chunk("data", "Z"));
  RiffReader& reader = Reader(file);
  RiffChunk riff, odd, data;
  ASSERT_TRUE(reader.DescendRiff(kWave, riff));
  ASSERT_TRUE(reader.Descend(riff, FourCC('o', 'd', 'd', ' '), odd));
  EXPECT_EQ(odd.size, 3u);
  ASSERT_TRUE(reader.Ascend(odd));
  EXPECT_EQ(reader.Tell(), odd.dataOffset + 4) << "past data and pad byte";
  ASSERT_TRUE(reader.Descend(riff, kData, data));
  EXPECT_EQ(data.dataOffset, 12u + 12u + 8u);
  // The last chunk's pad byte is there too: ascending lands exactly on the end.
  ASSERT_TRUE(reader.Ascend(data));
  EXPECT_EQ(reader.Tell(), file.size());
}

TEST_P(RiffReaderTest, ToleratesMissingPadByteAtTheEnd) {
  const std::string file = Riff("WAVE", Chunk("data", "abc", /*pad=*/false));
  RiffReader& reader = Reader(file);
  RiffChunk riff, data;
  ASSERT_TRUE(reader.DescendRiff(kWave, riff));
  ASSERT_TRUE(reader.Descend(riff, kData, data));
  EXPECT_EQ(data.size, 3u);
  ASSERT_TRUE(reader.Ascend(data));
  EXPECT_EQ(reader.Tell(), file.size());
  RiffChunk none;
  EXPECT_FALSE(reader.Descend(riff, kData, none));
}

TEST_P(RiffReaderTest, ClampsTruncatedDataChunk) {
  // A recording cut off: "data" claims 1000 bytes, 10 are present; the RIFF size is stale too.
  std::string file = Id("RIFF") + Le32(2000) + Id("WAVE") + Chunk("fmt ", "FORMAT") +
                     RawChunk("data", 1000, "0123456789");
  RiffReader& reader = Reader(file);
  RiffChunk riff, fmt, data;
  ASSERT_TRUE(reader.DescendRiff(kWave, riff));
  EXPECT_EQ(riff.declaredSize, 2000u);
  EXPECT_EQ(riff.size, file.size() - 8);
  ASSERT_TRUE(reader.Descend(riff, kFmt, fmt));
  ASSERT_TRUE(reader.Ascend(fmt));
  ASSERT_TRUE(reader.Descend(riff, kData, data));
  EXPECT_EQ(data.declaredSize, 1000u);
  EXPECT_EQ(data.size, 10u);
  std::vector<char> buffer(2000);
  EXPECT_EQ(reader.Read(buffer.data(), buffer.size()), 10u);
  const uint64_t end = reader.Tell();
  EXPECT_FALSE(reader.Ascend(data)) << "the declared end lies past the source";
  EXPECT_EQ(reader.Tell(), end);
}

TEST_P(RiffReaderTest, ClampsChildToItsParent) {
  // The list's child claims more than the list holds: it is cut at the list's end.
  const std::string list = Id("LIST") + Le32(4 + 8 + 4) + Id("INFO") + RawChunk("INAM", 50, "abcd");
  const std::string file = Riff("WAVE", list + Chunk("data", "after!"));
  RiffReader& reader = Reader(file);
  RiffChunk riff, info, name;
  ASSERT_TRUE(reader.DescendRiff(kWave, riff));
  ASSERT_TRUE(reader.Descend(riff, kList, info));
  ASSERT_TRUE(reader.Descend(info, kName, name));
  EXPECT_EQ(name.declaredSize, 50u);
  EXPECT_EQ(name.size, 4u);
  ASSERT_TRUE(reader.Ascend(info));
  RiffChunk data;
  ASSERT_TRUE(reader.Descend(riff, kData, data));
  EXPECT_EQ(ReadString(reader, data.size), "after!");
}

TEST_P(RiffReaderTest, SurvivesHugeAndZeroSizes) {
  // A chunk claiming 0xFFFFFFFF bytes hides everything after it; zero-sized chunks are skipped.
  const std::string file = Riff(
      "WAVE", Chunk("zero", "") + Chunk("zer2", "") + RawChunk("big ", 0xFFFFFFFFu, "tail-data"));
  RiffReader& reader = Reader(file);
  RiffChunk riff, big, none;
  ASSERT_TRUE(reader.DescendRiff(kWave, riff));
  EXPECT_FALSE(reader.Descend(riff, kData, none));
  ASSERT_TRUE(reader.Descend(riff, FourCC('b', 'i', 'g', ' '), big));
  EXPECT_EQ(big.declaredSize, 0xFFFFFFFFu);
  EXPECT_EQ(big.size, 9u);
  EXPECT_FALSE(reader.Ascend(big));

  // The RIFF header itself claiming 0xFFFFFFFF: clamped to the source.
  const std::string huge = Id("RIFF") + Le32(0xFFFFFFFFu) + Id("WAVE") + Chunk("data", "ab");
  RiffReader& hugeReader = Reader(huge);
  ASSERT_TRUE(hugeReader.DescendRiff(kWave, riff));
  EXPECT_EQ(riff.size, huge.size() - 8);
  RiffChunk data;
  ASSERT_TRUE(hugeReader.Descend(riff, kData, data));
  EXPECT_EQ(data.size, 2u);
}

TEST_P(RiffReaderTest, HeaderCutShortIsNotFound) {
  const std::string file = Riff("WAVE", Chunk("fmt ", "FORMAT")) + "dat";  // 3 of 8 bytes
  std::string patched = file;
  patched.replace(4, 4, Le32(static_cast<uint32_t>(file.size() - 8)));
  RiffReader& reader = Reader(patched);
  RiffChunk riff, fmt, none;
  ASSERT_TRUE(reader.DescendRiff(kWave, riff));
  ASSERT_TRUE(reader.Descend(riff, kFmt, fmt));
  ASSERT_TRUE(reader.Ascend(fmt));
  EXPECT_FALSE(reader.Descend(riff, kData, none));
  EXPECT_FALSE(reader.Descend(riff, FourCC('d', 'a', 't', '\0'), none));
}

TEST_P(RiffReaderTest, RefusesWhatIsNotTheRequestedRiffForm) {
  RiffChunk riff;
  EXPECT_FALSE(Reader("").DescendRiff(kWave, riff));
  EXPECT_FALSE(Reader("RIFF").DescendRiff(kWave, riff));
  EXPECT_FALSE(Reader(Id("RIFF") + Le32(4) + "WA").DescendRiff(kWave, riff));
  EXPECT_FALSE(Reader(Id("RIFF") + Le32(2) + "WAVE").DescendRiff(kWave, riff));
  EXPECT_FALSE(Reader(Riff("AVI ", Chunk("data", "xx"))).DescendRiff(kWave, riff));
  EXPECT_FALSE(Reader("ID3\x03 not a wave file at all").DescendRiff(kWave, riff));
  EXPECT_FALSE(Reader(Chunk("RIFX", "WAVE")).DescendRiff(kWave, riff));
  EXPECT_TRUE(Reader(Riff("WAVE", "")).DescendRiff(kWave, riff));
  RiffChunk none;
  EXPECT_FALSE(reader_->Descend(riff, kData, none));
}

INSTANTIATE_TEST_SUITE_P(MemoryAndFile, RiffReaderTest, ::testing::Values(false, true),
                         [](const auto& param) { return param.param ? "File" : "Memory"; });

}  // namespace
}  // namespace veltro::platform
