// The path parts of a deck's load: which files are songs and the file name.
#include <gtest/gtest.h>

#include "decks/PathParts.h"

namespace veltro::decks {
namespace {

TEST(PathParts, OnlyMp3OggAndWavInAnyCaseAreSongs) {
  EXPECT_EQ(SongExtension("/music/a.mp3"), ".MP3");
  EXPECT_EQ(SongExtension("/music/b.Ogg"), ".OGG");
  EXPECT_EQ(SongExtension("C:\\music\\c.WAV"), ".WAV");
  EXPECT_FALSE(SongExtension("/music/d.mpeg").has_value());
  EXPECT_FALSE(SongExtension("/music/e.mp").has_value());
  EXPECT_FALSE(SongExtension("/music.mp3/noextension").has_value());
  EXPECT_FALSE(SongExtension("").has_value());
  EXPECT_EQ(FileNamePart("/music/Artist - Title.mp3"), "Artist - Title.mp3");
  EXPECT_EQ(FileNamePart("C:\\music\\x.wav"), "x.wav");
  EXPECT_EQ(FileNamePart("plain.ogg"), "plain.ogg");
}

}  // namespace
}  // namespace veltro::decks
