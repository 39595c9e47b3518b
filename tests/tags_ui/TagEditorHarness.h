// Shared set-up for the tag editor tests: real song files and a real library in a temporary
// folder (listed by artist, as the main window lists it), an owner window, the English
// language module, and the editor driven with QTest clicks and keys.
#pragma once

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "platform/SongFileType.h"
#include "support/Fixtures.h"
#include "support/Mp3Encoder.h"
#include "support/TempDir.h"
#include "tags/ui/TagEditor.h"
#include "tags/ui/TagEditorModel.h"
#include "ui/LanguageModule.h"
#include "ui/UiTestSupport.h"

namespace veltro::tags::ui {

// A song of the library whose file is `name` in the test's folder.
struct SongFile {
  std::string name, artist, songName = "Song", genre = "Pop", year = "1999";
};

class TagEditorTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(language.Load(testing::ModulePath("leng"))); }
  void TearDown() override { editor.reset(); }

  std::string Path(const std::string& name) const { return dir.File(name); }

  // A real file of the type its extension names, in any letter case; none for other names.
  static void WriteSong(const std::string& path) {
    static const std::vector<uint8_t> mp3 = [] {
      testing::Mp3EncoderOptions options;
      options.mode = testing::Mp3Mode::kMono;
      return testing::EncodeMp3(testing::Sine(440, 44100, 0.2, 1), options);
    }();
    using platform::SongFileType;
    const SongFileType type = platform::SongFileTypeOf(platform::UpperExtension(path));
    if (type == SongFileType::kMp3) testing::WriteBytes(path, std::string(mp3.begin(), mp3.end()));
    if (type == SongFileType::kOgg)
      testing::WriteOgg(path, testing::Sine(440, 44100, 0.2, 1), 1, 44100);
    if (type == SongFileType::kWav) {
      testing::WriteBytes(path,
                          testing::MakeWav(testing::PcmLayout(1, 44100),
                                           testing::Pcm16Bytes(testing::Sine(440, 44100, 0.1, 1))));
    }
  }

  // The songs' files, their Data.ndb and its four index files; the library listed by artist.
  void MakeLibrary(const std::vector<SongFile>& songs) {
    editor.reset();  // it borrows the library replaced below
    std::vector<library::Song> records;
    for (const SongFile& song : songs) {
      WriteSong(Path(song.name));
      records.push_back({song.artist, song.songName, song.genre, song.year, Path(song.name)});
    }
    std::filesystem::create_directories(dir.Path() / "Data");
    testing::WriteBytes(Path("Data/Data.ndb"), library::DataFileBytes(records));
    library = std::make_unique<library::SongDatabase>(dir.Path());
    library->LoadIndexes();
    ASSERT_TRUE(library->RebuildIndexFiles());
    library->SetOrder("Artist");
  }

  void Open(QWidget* ownerWindow = nullptr) {
    if (ownerWindow == nullptr) ownerWindow = &owner;
    TagEditorHooks hooks;
    hooks.openHelp = [this](int context) { helpContexts.push_back(context); };
    hooks.saved = [this](const library::SongRecord& record) { saved.push_back(record); };
    editor = std::make_unique<TagEditor>(*library, &language, ownerWindow, std::move(hooks));
    QObject::connect(editor.get(), &TagEditor::closed, [this] { ++closedCount; });
    ownerWindow->show();
    editor->Show();
    QCoreApplication::processEvents();  // the window's layout
  }

  QRect CellRect(int row, int column) const {
    return editor->List()->visualRect(editor->List()->model()->index(row, column));
  }
  void ClickAt(QPoint point) {
    QTest::mouseClick(editor->List()->viewport(), Qt::LeftButton, {}, point);
  }
  void Click(int row, int column) { ClickAt(CellRect(row, column).center()); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(editor->CellEdit(), key, modifiers);
  }
  // A key per character into the open cell (QTest's own typing knows ASCII only).
  void Type(const QString& text) {
    for (const QChar c : text) {
      const Qt::Key key = c.unicode() < 0x80 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
      QTest::sendKeyEvent(QTest::Click, editor->CellEdit(), key, QString(c), Qt::NoModifier);
    }
  }
  void Edit(int row, int column, const QString& text) {
    Click(row, column);
    Type(text);
  }
  std::string Shown(int row, int column) const {
    return editor->List()->model()->index(row, column).data().toString().toStdString();
  }

  // The records as a fresh load reads them; `consistent`: the index files matched them.
  std::vector<library::SongRecord> OnDisk(bool* consistent = nullptr) const {
    library::SongDatabase reread(dir.Path(), library::MissingDataFile::kLeave);
    const int problem = reread.LoadIndexes();
    if (consistent != nullptr) *consistent = problem == 0;
    return {reread.Records().begin(), reread.Records().end()};
  }
  std::string IndexFiles() const {
    std::string bytes;
    for (const char* name : {"a.ndx", "s.ndx", "g.ndx", "y.ndx"}) {
      bytes += testing::ReadBytes(Path(std::string("Data/") + name)) + "|";
    }
    return bytes;
  }

  testing::TempDir dir;
  veltro::ui::LanguageModule language;
  std::unique_ptr<library::SongDatabase> library;
  QWidget owner;
  std::unique_ptr<TagEditor> editor;
  std::vector<int> helpContexts;
  std::vector<library::SongRecord> saved;
  int closedCount = 0;
};

}  // namespace veltro::tags::ui
