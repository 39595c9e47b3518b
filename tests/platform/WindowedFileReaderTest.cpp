// The windowed file reader: reads that cross the boundaries of its head read and of later
// windows deliver exactly the file's bytes, the end of the file gives short reads, seeks past
// the end read nothing, positional reads leave the position alone, and opening tells a
// missing file from one that cannot be opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowedFileReader.h"
#include "support/TempDir.h"

namespace veltro::platform {
namespace {

using testing::TempDir;

// Bytes that differ from their neighbours, so a misplaced read shows.
std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 131 + i / 251) & 0xFF);
  return bytes;
}

class WindowedFileReaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reader_ = WindowedFileReader::Create();
    ASSERT_NE(reader_, nullptr);
    bytes_ = Pattern(200000);
    path_ = dir_.File("data.bin");
    testing::WriteBytes(path_, std::string(bytes_.begin(), bytes_.end()));
    ASSERT_EQ(reader_->Open(path_.c_str()), WindowedFileReader::kOpened);
  }

  // Reads `count` bytes at `offset` through Read and checks them against the file.
  void ExpectReadAt(int64_t offset, int count) {
    reader_->SeekTo(offset);
    std::vector<uint8_t> got(static_cast<size_t>(count));
    ASSERT_EQ(reader_->Read(got.data(), count), count) << "at " << offset;
    EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes_.begin() + offset)) << "at " << offset;
    EXPECT_EQ(reader_->Position(), offset + count);
  }

  TempDir dir_;
  std::unique_ptr<WindowedFileReader> reader_;
  std::vector<uint8_t> bytes_;
  std::string path_;
};

TEST_F(WindowedFileReaderTest, ReadsAcrossWindowBoundariesDeliverTheFileBytes) {
  EXPECT_EQ(reader_->Size(), 200000);
  const int64_t head = WindowedFileReader::kHeadBytes;
  const int64_t window = WindowedFileReader::kWindowBytes;
  ExpectReadAt(0, 10);
  ExpectReadAt(head - 2, 4);  // half in the head, half in the next window
  ExpectReadAt(head + window - 1, 128);
  ExpectReadAt(5, 3 * window);  // longer than a window
  ExpectReadAt(150000, 4);      // a jump forward
  ExpectReadAt(100, 4);         // and back
  // Byte by byte over a boundary.
  reader_->SeekTo(head - 3);
  for (int64_t i = head - 3; i < head + 3; ++i) {
    EXPECT_EQ(reader_->ReadByte(), bytes_[static_cast<size_t>(i)]);
  }
  reader_->Skip(1000);
  EXPECT_EQ(reader_->Position(), head + 1003);
  EXPECT_EQ(reader_->ReadByte(), bytes_[static_cast<size_t>(head + 1003)]);
}

TEST_F(WindowedFileReaderTest, EndOfFileGivesShortReadsAndSeeksPastItReadNothing) {
  uint8_t buffer[16] = {};
  reader_->SeekTo(199994);
  EXPECT_EQ(reader_->Read(buffer, 16), 6);
  EXPECT_EQ(buffer[5], bytes_[199999]);
  EXPECT_EQ(reader_->Position(), 200000);
  EXPECT_EQ(reader_->Read(buffer, 4), 0);
  EXPECT_EQ(reader_->ReadByte(), WindowedFileReader::kEndOfFile);
  reader_->SeekTo(250000);
  EXPECT_EQ(reader_->Read(buffer, 4), 0);
  EXPECT_EQ(reader_->Position(), 250000);
  reader_->Skip(-250001);
  EXPECT_EQ(reader_->Position(), 0);
}

TEST_F(WindowedFileReaderTest, PositionalReadsLeaveThePositionAndTheWindow) {
  ExpectReadAt(1000, 4);
  uint8_t tail[128] = {};
  ASSERT_EQ(reader_->ReadAt(200000 - 128, tail, 128), 128);
  EXPECT_TRUE(std::equal(tail, tail + 128, bytes_.end() - 128));
  EXPECT_EQ(reader_->Position(), 1004);
  ExpectReadAt(1004, 4);
  EXPECT_EQ(reader_->ReadAt(199990, tail, 128), 10);
  EXPECT_EQ(tail[9], bytes_[199999]);
  EXPECT_EQ(reader_->ReadAt(200000, tail, 4), 0);
}

TEST_F(WindowedFileReaderTest, SmallFilesAndOpenFailures) {
  const std::vector<uint8_t> small = Pattern(300);
  const std::string smallPath = dir_.File("small.bin");
  testing::WriteBytes(smallPath, std::string(small.begin(), small.end()));
  ASSERT_EQ(reader_->Open(smallPath.c_str()), WindowedFileReader::kOpened);
  EXPECT_EQ(reader_->Position(), 0);
  uint8_t tail[128] = {};
  ASSERT_EQ(reader_->ReadAt(300 - 128, tail, 128), 128);
  EXPECT_TRUE(std::equal(tail, tail + 128, small.end() - 128));
  std::vector<uint8_t> all(400);
  EXPECT_EQ(reader_->Read(all.data(), 400), 300);
  EXPECT_TRUE(std::equal(small.begin(), small.end(), all.begin()));

  EXPECT_EQ(reader_->Open(dir_.File("missing").c_str()), WindowedFileReader::kNotFound);
  EXPECT_FALSE(reader_->IsOpen());
  EXPECT_EQ(reader_->Open(dir_.Path().c_str()), WindowedFileReader::kCannotOpen);
  EXPECT_EQ(reader_->Open(nullptr), WindowedFileReader::kCannotOpen);
  EXPECT_FALSE(reader_->IsOpen());
}

}  // namespace
}  // namespace veltro::platform
