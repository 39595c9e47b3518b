// veltro-shots: the whole program started in a scratch working directory, its windows rendered
// to PNG files, offscreen and on "Null output".
//
//   veltro-shots OUT_DIR WORK_DIR MODULE
//
// WORK_DIR must hold the language modules, help/ and a library (scripts/screenshots prepares
// it); MODULE ("leng", ...) is written as the language. Files, each ending in "-MODULE.png":
// main-library, main-search, main-results (the three pages at 550 x 260), the dialogs
// devicedlg, languagedlg, comdlg and aboutbox, scandlg (as it opens) and scandlg-scanning (a
// scan of /usr under way, then cancelled: the library stays as it was), playlist (the three
// songs, the second marked as the next, the third selected), tageditor (the title cell of the
// second row open), and desktop (every window where start-up put it: two decks, the main
// window, the mixer and the playlist).
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTableView>
#include <QTest>
#include <cstdio>

#include "app/LibraryViews.h"
#include "app/MainWindow.h"
#include "app/SettingsKeys.h"
#include "library/SongDatabase.h"
#include "library/ui/ScanDialog.h"
#include "playlist/Playlist.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tags/ui/TagEditor.h"
#include "platform/sound/SoundSystem.h"

namespace {

using veltro::app::MainWindow;

QString outDir;
QString module;

bool Save(const QPixmap& picture, const QString& name) {
  const QString path = QStringLiteral("%1/%2-%3.png").arg(outDir, name, module);
  if (picture.save(path, "PNG")) return true;
  std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
  return false;
}

void WriteSettings(const QString& workDir) {
  QFile ini(workDir + QStringLiteral("/veltro.ini"));
  if (!ini.open(QIODevice::WriteOnly | QIODevice::Truncate)) return;
  ini.write(QStringLiteral("[MainWnd]\nLanguage=%1.dll\nLeft=0\nTop=300\nWidth=550\nHeight=260\n"
                           "[Devices]\nMode=0\nCount=1\nCard_0=Null output\n"
                           "[present Devices]\nNull output=%2\n[Player]\nCount=2\n"
                           "[Mixer]\nVisible=8\nLeft=0\nTop=570\n"
                           "[Playlist]\nLeft=290\nTop=570\nWidth=500\nHeight=220\n")
                .arg(module,
                     QString::fromStdString(veltro::platform::sound::SoundSystem::NullOutputGuid()))
                .toUtf8());
}

// A library of three songs, copies of the demo tone (WORK_DIR/Demo Tone.wav), unless the
// folder already holds one.
void MakeLibrary(const QString& workDir) {
  QDir(workDir).mkpath(QLatin1String(veltro::app::kDataFolder));
  veltro::library::SongDatabase library(workDir.toStdString());
  library.LoadIndexes();
  if (library.RecordCount() > 0) return;
  const char* songs[][4] = {{"Veltro Demo", "Tone in A", "Demo", "2024"},
                            {"Acid Collective", "Morning Rise", "House", "1999"},
                            {"Ella Winter", "Slow Lights", "Lounge", "2011"}};
  for (const auto& song : songs) {
    const QString path = QStringLiteral("%1/%2.wav").arg(workDir, QLatin1String(song[1]));
    QFile::copy(workDir + QStringLiteral("/Demo Tone.wav"), path);
    library.StageRecord(
        veltro::library::MakeRecord(song[0], song[1], song[2], song[3], path.toStdString(), 3000));
  }
  library.CommitStaging();
  library.SortIndexes();
  if (!library.WriteAll()) std::fprintf(stderr, "the library was not written\n");
}

// Every top-level window painted where it stands on a desktop of the screen's size.
QPixmap Desktop() {
  QPixmap desktop(QGuiApplication::primaryScreen()->size());
  desktop.fill(QColor(0x30, 0x38, 0x40));
  QPainter painter(&desktop);
  for (QWidget* window : QApplication::topLevelWidgets()) {
    if (window->isVisible()) painter.drawPixmap(window->frameGeometry().topLeft(), window->grab());
  }
  return desktop;
}

bool SavePages(MainWindow& window) {
  bool ok = true;
  const char* names[] = {"main-library", "main-search", "main-results"};
  window.Views().QuickSearch(0)->setText(QStringLiteral("V"));
  window.Views().SearchField(0)->setText(QStringLiteral("*"));
  window.Views().RunSearchForm();
  for (int page = 0; page < 3; ++page) {
    window.Views().ShowPage(page);
    ok = Save(window.grab(), QLatin1String(names[page])) && ok;
  }
  window.Views().ShowPage(0);
  return ok;
}

// The scan dialog as it opens, then while it scans a large folder (the first count shown),
// then cancelled, which leaves the library as it was.
bool SaveScanDialog(veltro::ui::TemplateDialog& dialog) {
  namespace scan = veltro::library::ui;
  dialog.show();
  bool ok = Save(dialog.grab(), QStringLiteral("scandlg"));
  dialog.SendCommand(scan::kScanAddFolderButton);
  dialog.SendCommand(scan::kScanNewButton);
  const auto* count = dialog.ControlById<QLabel>(scan::kScanCountText);
  for (int turn = 0; turn < 1000 && count != nullptr && count->text().isEmpty(); ++turn) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
  }
  ok = Save(dialog.grab(), QStringLiteral("scandlg-scanning")) && ok;
  dialog.SendCommand(veltro::ui::kCancelCommand);
  return ok;
}

// The playlist of the library's three songs, sent as a double click sends them.
bool SavePlaylist(MainWindow& window) {
  window.RunCommand(veltro::app::kOpenPlaylist);
  for (int record = 0; record < window.Library().RecordCount(); ++record) {
    window.Library().SetCurrent(record);
    window.RunCommand(veltro::app::kSendSong);
  }
  veltro::playlist::ui::PlaylistWindow& playlist = window.Playlist();
  playlist.Logic().SetMarker(1);
  playlist.Refresh();
  QListView* list = playlist.List();
  list->selectionModel()->select(list->model()->index(2, 0), QItemSelectionModel::Select);
  QApplication::processEvents();
  return Save(playlist.Window()->grab(), QStringLiteral("playlist"));
}

// The tag editor with the second row's title cell open, then closed unchanged.
bool SaveTagEditor(MainWindow& window) {
  window.RunCommand(veltro::app::kTagEditor);
  veltro::tags::ui::TagEditor* editor = window.TagEditor();
  if (editor == nullptr) return false;
  QTableView* list = editor->List();
  const QRect cell = list->visualRect(list->model()->index(1, 1));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
  QApplication::processEvents();
  const bool ok = Save(editor->Window()->grab(), QStringLiteral("tageditor"));
  editor->Close();
  QApplication::processEvents();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: veltro-shots OUT_DIR WORK_DIR MODULE\n");
    return 2;
  }
  outDir = QString::fromLocal8Bit(argv[1]);
  module = QString::fromLocal8Bit(argv[3]);
  WriteSettings(QString::fromLocal8Bit(argv[2]));
  MakeLibrary(QString::fromLocal8Bit(argv[2]));
  bool ok = true;
  veltro::app::MainWindowHooks hooks;
  hooks.workingDirectory = QString::fromLocal8Bit(argv[2]);
  hooks.runModal = [&ok](QDialog& dialog) {
    if (dialog.objectName() == QStringLiteral("SCANDLG")) {
      ok = SaveScanDialog(static_cast<veltro::ui::TemplateDialog&>(dialog)) && ok;
      return 0;
    }
    dialog.show();
    ok = Save(dialog.grab(), dialog.objectName().toLower()) && ok;
    dialog.hide();
    return 0;
  };
  hooks.warn = [](const QString&, const QString& text) {
    std::fprintf(stderr, "%s\n", qPrintable(text));
  };
  hooks.chooseFolder = [](const QString&) { return QStringLiteral("/usr"); };
  MainWindow window(hooks);
  window.CreateAndStart();
  QApplication::processEvents();
  ok = SavePages(window) && ok;
  for (const int command :
       {veltro::app::kDeviceSettings, veltro::app::kLanguageSettings, veltro::app::kControllerPort,
        veltro::app::kAbout, veltro::app::kFolderScan}) {
    window.RunCommand(command);
  }
  ok = SaveTagEditor(window) && ok;
  ok = SavePlaylist(window) && ok;
  ok = Save(Desktop(), QStringLiteral("desktop")) && ok;
  return ok ? 0 : 1;
}
