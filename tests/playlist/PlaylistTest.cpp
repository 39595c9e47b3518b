// The playlist's entries: display texts, removing and moving entries (the marker keeps its
// index), drag steps, and taking the next entry's song into the library's current record.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "playlist/Playlist.h"
#include "support/TempDir.h"

namespace veltro::playlist {
namespace {

// A list of entries "A" ... named by their paths "/m/A.mp3" ...
Playlist ListOf(const std::string& names) {
  Playlist list;
  for (char name : names) {
    list.Append("Artist " + std::string(1, name), "Title", "/m/" + std::string(1, name) + ".mp3");
  }
  return list;
}

std::string NamesOf(const Playlist& list) {
  std::string names;
  for (const PlaylistEntry& entry : list.Entries()) names += entry.path.substr(3, 1);
  return names;
}

TEST(Playlist, DisplayTextCountsFromOne) {
  const Playlist list = ListOf("ABC");
  const std::pair<int, const char*> cases[] = {
      {0, "1. Artist A - Title"}, {2, "3. Artist C - Title"}, {-1, ""}, {3, ""}};
  for (const auto& [index, text] : cases) EXPECT_EQ(list.DisplayText(index), text) << index;
}

TEST(Playlist, RemoveIgnoresDuplicatesAndOutsidersAndKeepsTheMarker) {
  Playlist list = ListOf("ABCDE");
  list.SetMarker(3);
  list.Remove({3, 0, 3, -1, 5, 9});
  EXPECT_EQ(NamesOf(list), "BCE");
  EXPECT_EQ(list.Marker(), 3);
}

TEST(Playlist, MoveUpAndDownShiftTheSelectionByOne) {
  struct Case {
    bool up;
    std::vector<int> selection;
    bool moved;
    const char* order;
    std::vector<int> selectionAfter;
  };
  const Case cases[] = {
      {true, {1, 3}, true, "BADC", {0, 2}},   {true, {2, 3}, true, "ACDB", {1, 2}},
      {true, {0, 2}, false, "ABCD", {0, 2}},  {true, {}, false, "ABCD", {}},
      {false, {0, 2}, true, "BADC", {1, 3}},  {false, {0, 1}, true, "CABD", {1, 2}},
      {false, {1, 3}, false, "ABCD", {1, 3}}, {false, {4}, false, "ABCD", {4}},
  };
  for (const Case& c : cases) {
    Playlist list = ListOf("ABCD");
    list.SetMarker(1);
    std::vector<int> selection = c.selection;
    EXPECT_EQ(c.up ? list.MoveUp(selection) : list.MoveDown(selection), c.moved);
    EXPECT_EQ(NamesOf(list), c.order) << (c.up ? "up " : "down ") << c.selectionAfter.size();
    EXPECT_EQ(selection, c.selectionAfter);
    EXPECT_EQ(list.Marker(), 1);
  }
}

TEST(Playlist, DragStepMovesOneEntryPerCallBeyondElevenPixels) {
  struct Case {
    int selected;
    int y;  // the press was at 100
    bool moved;
    int selectedAfter;
    int rememberedAfter;
  };
  const Case cases[] = {
      {1, 89, false, 1, 100}, {1, 88, true, 0, 88},     {1, 111, false, 1, 100},
      {1, 112, true, 2, 112}, {1, -500, true, 0, -500}, {1, 900, true, 2, 900},
      {0, 50, false, 0, 100}, {3, 150, false, 3, 100},
  };
  for (const Case& c : cases) {
    Playlist list = ListOf("ABCD");
    std::vector<int> selection = {c.selected};
    int remembered = 100;
    EXPECT_EQ(list.DragStep(selection, remembered, c.y), c.moved) << c.selected << " " << c.y;
    EXPECT_EQ(selection, std::vector<int>{c.selectedAfter}) << c.selected << " " << c.y;
    EXPECT_EQ(remembered, c.rememberedAfter) << c.selected << " " << c.y;
  }
}

// The library holds "/m/A.mp3" ... "/m/D.mp3" as records 0 ... 3; "/m/X.mp3" and "/m/Y.mp3"
// are in no record.
class PlaylistTakeNextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::vector<library::Song> songs;
    for (char name : std::string("ABCD")) {
      songs.push_back({"Artist", "Title", "", "", "/m/" + std::string(1, name) + ".mp3"});
    }
    std::filesystem::create_directories(dir_.Path() / "Data");
    testing::WriteBytes((dir_.Path() / "Data" / "Data.ndb").string(),
                        library::DataFileBytes(songs));
    library_ = std::make_unique<library::SongDatabase>(dir_.Path());
    library_->LoadIndexes();
    ASSERT_EQ(library_->RecordCount(), 4);
  }

  testing::TempDir dir_;
  std::unique_ptr<library::SongDatabase> library_;
};

TEST_F(PlaylistTakeNextTest, TakesTheMarkedEntryAndSkipsMissingSongs) {
  struct Case {
    const char* entries;
    int marker;
    bool taken;
    int current;  // 3 (D, in no list below) when nothing was taken
    int markerAfter;
  };
  const Case cases[] = {
      {"BAC", 0, true, 1, 1},  {"BAC", 2, true, 2, 0},  {"BAC", 7, true, 1, 1},
      {"BAC", -3, true, 1, 1}, {"BXYA", 1, true, 0, 0}, {"BXAC", 1, true, 0, 3},
      {"XY", 1, false, 3, 1},  {"XY", 5, false, 3, 5},  {"", 2, false, 3, 2},
  };
  for (const Case& c : cases) {
    Playlist list = ListOf(c.entries);
    list.SetMarker(c.marker);
    library_->SetCurrent(3);
    EXPECT_EQ(list.TakeNext(*library_), c.taken) << c.entries << " from " << c.marker;
    EXPECT_EQ(library_->CurrentRecord(), c.current) << c.entries << " from " << c.marker;
    EXPECT_EQ(list.Marker(), c.markerAfter) << c.entries << " from " << c.marker;
  }
}

}  // namespace
}  // namespace veltro::playlist
