// The extension test that picks a song's decoder, shared by the decks, the engine and the
// command-line program: only the file name's last dot counts, in any letter case.
#include <gtest/gtest.h>

#include <string>

#include "platform/SongFileType.h"

namespace veltro::platform {
namespace {

TEST(SongFileType, ExtensionIsTheFileNamesLastDotOnUpperCased) {
  const struct {
    const char* path;
    const char* extension;
  } cases[] = {
      {"/music/a.mp3", ".MP3"},
      {"x.MP3", ".MP3"},
      {"/x/song.flac", ".FLAC"},
      {"/music/Mixed.Case.oGg", ".OGG"},
      {".ogg", ".OGG"},  // a hidden file named only by its extension
      {"x.", "."},       // a trailing dot is an empty extension
      {"noext", ""},
      {"/x/song", ""},
      {"/a.b/c", ""},  // a dot in a folder name is no extension
      {"/music.mp3/noextension", ""},
      {"C:\\a.b\\c", ""},  // nor with the other separator
      {"C:\\music\\c.WAV", ".WAV"},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpperExtension(c.path), c.extension) << c.path;
  }
}

TEST(SongFileType, OnlyThreeExtensionsNameASongInAnyLetterCase) {
  const struct {
    const char* extension;
    SongFileType type;
  } cases[] = {
      {".MP3", SongFileType::kMp3},      {".mp3", SongFileType::kMp3},
      {".Ogg", SongFileType::kOgg},      {".WAV", SongFileType::kWav},
      {".wAv", SongFileType::kWav},      {"MP3", SongFileType::kUnknown},
      {".MP", SongFileType::kUnknown},   {".MP3 ", SongFileType::kUnknown},
      {".MPEG", SongFileType::kUnknown}, {".FLAC", SongFileType::kUnknown},
      {"", SongFileType::kUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SongFileTypeOf(c.extension), c.type) << '"' << c.extension << '"';
  }
}

}  // namespace
}  // namespace veltro::platform
