// What a stored cell reaches: the record in Data.ndb at once, the song's own tag by its type
// (ID3v1, Vorbis comments, nothing for WAV), the index files only when the editor closes; a
// song file that cannot be written is reported while the library keeps the new text; and
// veltro-cli reads back what was typed.
#include <QLabel>

#include "support/ShellRun.h"
#include "tags/Id3Tag.h"
#include "tags/OggComments.h"
#include "tags_ui/TagEditorHarness.h"

namespace veltro::tags::ui {
namespace {

using library::FieldText;

TEST_F(TagEditorTest, AYearGoesToDataNdbAndTheId3TagAtOnceAndToTheIndexesOnClose) {
  MakeLibrary({{"a.mp3", "Alpha", "One", "Pop", "1990"}, {"b.mp3", "Beta", "Two", "Rock", "1991"}});
  const std::string indexes = IndexFiles();
  Open();
  EXPECT_FALSE(owner.isEnabled());
  Edit(0, kYearColumn, QStringLiteral("2024"));
  Key(Qt::Key_Tab);
  EXPECT_EQ(FieldText(OnDisk()[0].year), "2024");
  const auto tag = ReadId3Tag(Path("a.mp3"));
  ASSERT_TRUE(tag.has_value());
  EXPECT_EQ(tag->year, "2024");
  EXPECT_EQ(tag->artist, "Alpha");
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(FieldText(saved[0].year), "2024");
  EXPECT_EQ(IndexFiles(), indexes) << "the index files wait for the close";

  editor->Close();
  bool consistent = false;
  OnDisk(&consistent);
  EXPECT_TRUE(consistent) << "the rebuilt index files hold the new year";
  EXPECT_TRUE(owner.isEnabled());
  EXPECT_EQ(closedCount, 1);
}

TEST_F(TagEditorTest, EachSongFileGetsTheTagOfItsTypeAndAWavFileNone) {
  MakeLibrary(
      {{"a.mp3", "A0"}, {"b.MP3", "A1"}, {"c.ogg", "A2"}, {"d.wav", "A3"}, {"e.Ogg", "A4"}});
  const std::string wav = testing::ReadBytes(Path("d.wav"));
  Open();
  for (int row = 0; row < 5; ++row)
    Edit(row, kArtistColumn, QStringLiteral("Edited %1 é").arg(row));
  editor->Close();  // stores the last cell
  const std::vector<library::SongRecord> records = OnDisk();
  for (size_t row = 0; row < 5; ++row) {
    EXPECT_EQ(FieldText(records[row].artist), "Edited " + std::to_string(row) + " é");
  }
  EXPECT_EQ(ReadId3Tag(Path("a.mp3"))->artist, "Edited 0 \xE9") << "Windows-1252 in ID3v1";
  EXPECT_EQ(ReadId3Tag(Path("b.MP3"))->artist, "Edited 1 \xE9");
  for (const auto& [name, artist] : {std::pair{"c.ogg", "Edited 2 é"}, {"e.Ogg", "Edited 4 é"}}) {
    const auto comments = ReadOggComments(Path(name));
    ASSERT_TRUE(comments.has_value()) << name;
    EXPECT_EQ(comments->tags.artist, artist);
  }
  EXPECT_EQ(testing::ReadBytes(Path("d.wav")), wav);
  EXPECT_TRUE(editor->StatusLine()->isHidden());
}

// Closed by its close box, by the owner going away, or destroyed while open (without the
// signal): the changed cell is stored first, then the indexes are rebuilt.
TEST_F(TagEditorTest, ClosingInAnyWayStoresTheOpenCellThenRebuildsTheIndexes) {
  enum How { kCloseBox, kOwnerGoes, kEditorGoes };
  for (const How how : {kCloseBox, kOwnerGoes, kEditorGoes}) {
    SCOPED_TRACE(how);
    MakeLibrary({{"a.wav", "Alpha"}, {"b.wav", "Beta"}});
    closedCount = 0;
    auto mainWindow = std::make_unique<QWidget>();
    Open(mainWindow.get());
    Edit(0, kArtistColumn, QStringLiteral("Zulu"));
    if (how == kCloseBox) editor->Window()->close();
    if (how == kOwnerGoes) mainWindow.reset();
    if (how == kEditorGoes) editor.reset();
    bool consistent = false;
    EXPECT_EQ(FieldText(OnDisk(&consistent)[0].artist), "Zulu");
    EXPECT_TRUE(consistent);
    EXPECT_EQ(testing::ReadBytes(Path("Data/a.ndx")).substr(36 + 4, 5), std::string("Zulu\0", 5))
        << "Zulu now sorts last";
    EXPECT_EQ(closedCount, how == kEditorGoes ? 0 : 1);
    EXPECT_TRUE(mainWindow == nullptr || mainWindow->isEnabled());
  }
}

TEST_F(TagEditorTest, AnUnwritableSongFileIsReportedOnceAndTheLibraryKeepsTheText) {
  MakeLibrary({{"gone.mp3", "A"}, {"folder.ogg", "B"}, {"fine.mp3", "C"}});
  std::filesystem::remove(Path("gone.mp3"));
  std::filesystem::remove(Path("folder.ogg"));
  std::filesystem::create_directory(Path("folder.ogg"));  // a folder named like a song
  Open();
  const QString prefix =
      language.String(kTagWriteFailedStringId).section(QStringLiteral("%1"), 0, 0);
  const QString gone = QString::fromStdString(Path("gone.mp3"));
  const QLabel* status = editor->StatusLine();
  Edit(0, kArtistColumn, QStringLiteral("New A"));
  Key(Qt::Key_Down);
  EXPECT_TRUE(status->isVisibleTo(editor->Window()));
  EXPECT_TRUE(status->text().startsWith(prefix) && status->text().contains(gone))
      << status->text().toStdString();
  Type(QStringLiteral("New B"));
  Key(Qt::Key_Down);
  EXPECT_EQ(status->text().count(prefix), 1) << "replaced, not added";
  EXPECT_TRUE(status->text().contains(QString::fromStdString(Path("folder.ogg"))));
  EXPECT_FALSE(status->text().contains(gone));
  EXPECT_EQ(FieldText(OnDisk()[0].artist), "New A");
  EXPECT_EQ(FieldText(OnDisk()[1].artist), "New B");
  EXPECT_FALSE(std::filesystem::exists(Path("gone.mp3"))) << "a missing song is not created";
}

TEST_F(TagEditorTest, TheCommandLineCompanionReadsBackWhatWasTyped) {
  MakeLibrary({{"song.mp3", "Old"}, {"tune.ogg", "Other"}});
  Open();
  Edit(0, kSongNameColumn, QStringLiteral("Größte Hits"));
  Key(Qt::Key_Tab);
  Type(QStringLiteral("Jazz"));
  Key(Qt::Key_Down);
  Type(QStringLiteral("Ambient"));
  editor->Close();

  const std::string cli(VELTRO_CLI);
  const testing::ShellRun mp3 = testing::RunShell(cli + " tags read '" + Path("song.mp3") + "'");
  EXPECT_EQ(mp3.status, 0);
  EXPECT_NE(mp3.output.find("title: Größte Hits\ngenre: Jazz\n"), std::string::npos) << mp3.output;
  const testing::ShellRun ogg = testing::RunShell(cli + " tags read '" + Path("tune.ogg") + "'");
  EXPECT_NE(ogg.output.find("genre: Ambient\n"), std::string::npos) << ogg.output;
  const testing::ShellRun list =
      testing::RunShell("cd '" + dir.Path().string() + "' && " + cli + " library list");
  EXPECT_EQ(list.status, 0);
  EXPECT_NE(list.output.find("\tOld\tGrößte Hits\tJazz\t1999\t"), std::string::npos) << list.output;
  EXPECT_NE(list.output.find("\tOther\tSong\tAmbient\t1999\t"), std::string::npos) << list.output;
}

}  // namespace
}  // namespace veltro::tags::ui
