// List rows, quick-find, search, selection and in-place writes on a loaded library.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "support/TempDir.h"

namespace veltro::library {
namespace {

using veltro::testing::ReadBytes;
using veltro::testing::TempDir;

class SampleLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteLibrary(dir_.Path(), SampleFiles());
    Reopen();
  }
  void Reopen() {
    db_.reset();
    db_ = std::make_unique<SongDatabase>(dir_.Path());
    ASSERT_EQ(db_->LoadIndexes(), 0) << db_->IndexLoadProblem();
  }
  std::vector<std::string> ResultPaths() const {
    std::vector<std::string> paths;
    for (const SongRecord& record : db_->SearchResults())
      paths.emplace_back(FieldText(record.path));
    return paths;
  }
  std::vector<std::string> SamplePaths(const std::vector<int>& records) const {
    std::vector<std::string> paths;
    for (int record : records) paths.push_back(SampleSongs()[record].path);
    return paths;
  }

  TempDir dir_;
  std::unique_ptr<SongDatabase> db_;
};

TEST_F(SampleLibrary, RowsFollowTheIndexOfTheCurrentOrder) {
  EXPECT_EQ(db_->OrderName(), "None");
  const struct {
    const char* order;
    const std::vector<uint32_t>& records;
  } orders[] = {{"Artist", kArtistOrder},
                {"Songname", kSongNameOrder},
                {"Genre", kGenreOrder},
                {"Year", kYearOrder}};
  for (const auto& order : orders) {
    db_->SetOrder(order.order);
    EXPECT_EQ(db_->OrderName(), order.order);
    for (int row = 0; row < 7; ++row) {
      EXPECT_EQ(db_->RecordForRow(row), static_cast<int>(order.records[row]))
          << order.order << " row " << row;
    }
    EXPECT_EQ(db_->RecordForRow(-1), 0) << order.order;
    EXPECT_EQ(db_->RecordForRow(7), 0) << order.order;
  }
  db_->SetOrder("Path");
  EXPECT_EQ(db_->RecordForRow(4), 4);
  EXPECT_EQ(db_->RecordForRow(7), 0);
  db_->SetOrder("None");
  EXPECT_EQ(db_->RecordForRow(3), 0);
}

TEST_F(SampleLibrary, QuickFindSelectsTheFirstEntryNotBeforeTheText) {
  EXPECT_EQ(db_->FindArtistPrefix("b"), 2);  // Beatles, before beatles
  EXPECT_EQ(db_->CurrentRecord(), 0);
  EXPECT_EQ(db_->FindArtistPrefix("T"), 5);
  EXPECT_EQ(db_->CurrentRecord(), 2);
  EXPECT_EQ(db_->FindArtistPrefix("beatles and more"), 4);  // compared in full: after Beatles
  EXPECT_EQ(db_->CurrentRecord(), 5);
  // Nothing sorts after ZZZ among the artists: the row and current record stay.
  EXPECT_EQ(db_->FindArtistPrefix("zzz"), 4);
  EXPECT_EQ(db_->CurrentRecord(), 5);
  EXPECT_EQ(db_->IndexCursor(IndexKind::Artist), 4);
  EXPECT_EQ(db_->FindArtistPrefix(""), 0);
  EXPECT_EQ(db_->CurrentRecord(), 6);

  // The song name after ZZZ is the one starting with A-umlaut.
  EXPECT_EQ(db_->FindSongNamePrefix("zzz"), 6);
  EXPECT_EQ(db_->CurrentRecord(), 6);
  EXPECT_EQ(db_->FindSongNamePrefix("pEa"), 3);
  EXPECT_EQ(db_->CurrentRecord(), 4);
  EXPECT_EQ(db_->FindGenrePrefix("p"), 2);
  EXPECT_EQ(db_->CurrentRecord(), 3);
  EXPECT_EQ(db_->FindYearPrefix("199"), 3);
  EXPECT_EQ(db_->CurrentRecord(), 2);
  EXPECT_EQ(db_->FindYearPrefix("n"), 6);
  EXPECT_EQ(db_->FindYearPrefix("zzz"), 6);
  // Each index keeps its own cursor.
  EXPECT_EQ(db_->IndexCursor(IndexKind::Artist), 0);
  EXPECT_EQ(db_->IndexCursor(IndexKind::SongName), 3);
  EXPECT_EQ(db_->IndexCursor(IndexKind::Genre), 2);
}

TEST_F(SampleLibrary, SearchFoldsTextsButMatchesTheYearExactly) {
  EXPECT_EQ(db_->Search("", "", "", ""), 7);
  EXPECT_EQ(ResultPaths(), SamplePaths({0, 1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(db_->Search("beatles", "", "", ""), 2);
  EXPECT_EQ(ResultPaths(), SamplePaths({0, 1}));
  EXPECT_EQ(db_->Search("*beatles*", "", "", ""), 3);
  EXPECT_EQ(ResultPaths(), SamplePaths({0, 1, 2}));
  EXPECT_EQ(db_->Search("*beatles*", "yes*", "ROCK", ""), 1);
  EXPECT_EQ(ResultPaths(), SamplePaths({2}));
  EXPECT_EQ(db_->Search("", "", "", "199*"), 2);
  EXPECT_EQ(ResultPaths(), SamplePaths({2, 3}));
  EXPECT_EQ(db_->Search("", "", "", "N/A"), 1);
  EXPECT_EQ(db_->Search("", "", "", "n/a"), 0);
  EXPECT_TRUE(db_->SearchResults().empty());
  EXPECT_TRUE(db_->StagingList().empty());
}

TEST_F(SampleLibrary, SelectByPathTakesTheFirstRecordNotBeforeThePath) {
  db_->SelectByPath("/music/z.MP3");
  EXPECT_EQ(db_->CurrentRecord(), 4);
  db_->SelectByPath("/MUSIC/B");  // between records 2 and 3
  EXPECT_EQ(db_->CurrentRecord(), 3);
  db_->SelectByPath("/zzz");  // after every record: unchanged
  EXPECT_EQ(db_->CurrentRecord(), 3);
  db_->SelectByPath("");
  EXPECT_EQ(db_->CurrentRecord(), 0);
  db_->SetCurrent(6);
  db_->SetCurrent(7);
  db_->SetCurrent(-1);
  EXPECT_EQ(db_->CurrentRecord(), 6);
}

TEST_F(SampleLibrary, ContainsPathIsCaseSensitive) {
  EXPECT_EQ(db_->ContainsPath("/Music/A.mp3"), 0);
  EXPECT_EQ(db_->ContainsPath("/music/a.mp3"), 0);
  EXPECT_EQ(db_->ContainsPath("/Music/a.mp3"), -1);  // folds like both, equals neither
  EXPECT_EQ(db_->ContainsPath("/music/z.mp3"), -1);
  EXPECT_EQ(db_->ContainsPath("/Music/\xC3\x84.mp3"), 0);
  EXPECT_EQ(db_->ContainsPath("/Music/A.mp"), -1);
  EXPECT_EQ(db_->ContainsPath("/zzz"), -1);

  TempDir empty;
  std::filesystem::create_directory(empty.Path() / "Data");
  SongDatabase none(empty.Path());
  none.LoadIndexes();
  EXPECT_EQ(none.ContainsPath(""), -1);
  EXPECT_EQ(none.ContainsPath("/Music/A.mp3"), -1);
  none.SelectByPath("/Music/A.mp3");
  EXPECT_EQ(none.CurrentRecord(), 0);
}

TEST_F(SampleLibrary, CuePositionChangesExactlyItsFourBytes) {
  const std::string before = ReadBytes(db_->Paths().data);
  db_->SetCurrent(5);
  ASSERT_TRUE(db_->SetCuePosition(0x11223344u)) << db_->LastWriteProblem();
  EXPECT_EQ(db_->GetCurrentRecord().cuePosition, 0x11223344u);
  std::string expected = before;
  expected.replace(2156, 4, "\x44\x33\x22\x11");
  ExpectSameBytes(ReadBytes(db_->Paths().data), expected, "Data.ndb");
  Reopen();
  EXPECT_EQ(db_->Records()[5].cuePosition, 0x11223344u);
}

TEST_F(SampleLibrary, UpdateCurrentRecordRewritesOnlyThatRecord) {
  const LibraryFiles before = ReadLibrary(dir_.Path());
  db_->SetCurrent(2);
  const Song changed{"Beatles, The", "Yesterday", "Rock", "1965", "/Music/A.mp3x", 7, 125000};
  SongRecord record = MakeRecord(changed.artist, changed.songName, changed.genre, changed.year,
                                 changed.path, changed.lengthMs);
  record.cuePosition = changed.cuePosition;
  ASSERT_TRUE(db_->UpdateCurrentRecord(record)) << db_->LastWriteProblem();
  LibraryFiles expected = before;
  expected.data.replace(8 + 360 * 2, 360, RecordBytes(changed));
  ExpectSameFiles(ReadLibrary(dir_.Path()), expected);
  EXPECT_EQ(FieldText(db_->GetCurrentRecord().artist), changed.artist);

  // The artist index still holds the old key, so the next load rebuilds it.
  db_.reset();
  SongDatabase reopened(dir_.Path());
  EXPECT_EQ(reopened.LoadIndexes(), 1);
  ASSERT_TRUE(reopened.RebuildIndexFiles()) << reopened.LastWriteProblem();
  reopened.SetOrder("Artist");
  // "Beatles" and "beatles" are prefixes of "Beatles, The", so both sort before it.
  EXPECT_EQ(reopened.RecordForRow(2), 0);
  EXPECT_EQ(reopened.RecordForRow(3), 1);
  EXPECT_EQ(reopened.RecordForRow(4), 2);
}

TEST_F(SampleLibrary, CommitToFewerRecordsKeepsCursorsAndCurrentRecordInRange) {
  EXPECT_EQ(db_->FindSongNamePrefix("zzz"), 6);
  EXPECT_EQ(db_->FindArtistPrefix("Zappa"), 6);
  db_->SetCurrent(6);
  db_->StageRecord(MakeRecord("Solo", "Only", "Pop", "2000", "/Music/b.mp3", 1000));
  db_->StageRecord(MakeRecord("Duo", "Other", "Pop", "2000", "/Music/a.mp3", 1000));
  db_->CommitStaging();
  db_->SortIndexes();
  ASSERT_EQ(db_->RecordCount(), 2);
  EXPECT_EQ(FieldText(db_->Records()[0].artist), "Duo");
  EXPECT_LT(db_->CurrentRecord(), 2);
  for (IndexKind kind :
       {IndexKind::Artist, IndexKind::SongName, IndexKind::Genre, IndexKind::Year}) {
    EXPECT_GE(db_->IndexCursor(kind), 0);
    EXPECT_LT(db_->IndexCursor(kind), 2);
  }
  EXPECT_LT(db_->FindSongNamePrefix("zzz"), 2);
  db_->SetOrder("Artist");
  EXPECT_EQ(db_->RecordForRow(0), 0);
  EXPECT_EQ(db_->RecordForRow(1), 1);
  EXPECT_EQ(db_->RecordForRow(2), 0);
  // Data.ndb still holds the old records until WriteAll: an in-place write would land in
  // another song's record.
  const std::string unsaved = ReadBytes(db_->Paths().data);
  EXPECT_FALSE(db_->UpdateCurrentRecord(db_->GetCurrentRecord()));
  EXPECT_EQ(ReadBytes(db_->Paths().data), unsaved);
  ASSERT_TRUE(db_->WriteAll()) << db_->LastWriteProblem();
  // In-place writes now go to the new file.
  db_->SetCurrent(1);
  ASSERT_TRUE(db_->SetCuePosition(77)) << db_->LastWriteProblem();
  Reopen();
  EXPECT_EQ(db_->RecordCount(), 2);
  EXPECT_EQ(db_->Records()[1].cuePosition, 77u);
}

}  // namespace
}  // namespace veltro::library
