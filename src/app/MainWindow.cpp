#include "app/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>

#include "app/DeviceDialog.h"
#include "app/LanguageDialog.h"
#include "app/LibraryViews.h"
#include "app/SettingsKeys.h"
#include "decks/ControllerLink.h"
#include "decks/ui/MixerWindow.h"
#include "decks/ui/PlayerWindow.h"
#include "library/SongDatabase.h"
#include "platform/sound/SoundDevice.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tags/ui/TagEditor.h"
#include "ui/HelpWindow.h"
#include "ui/MenuDescription.h"
#include "ui/UiThreadQueue.h"

namespace veltro::app {
namespace {

QString ResolveWorkingDirectory(const QString& given) {
  return QDir(given.isEmpty() ? QDir::currentPath() : given).absolutePath();
}

std::string SettingsPath(const QString& workingDirectory) {
  return QDir(workingDirectory).filePath(QLatin1String(kSettingsFileName)).toStdString();
}

// The Playlist and Data folders, created when missing (a failure shows later, where they are used).
void CreateWorkingFolders(const QString& workingDirectory) {
  QDir directory(workingDirectory);
  directory.mkpath(QLatin1String(kPlaylistFolder));
  directory.mkpath(QLatin1String(kDataFolder));
}

}  // namespace

MainWindow::MainWindow(MainWindowHooks hooks)
    : hooks_(std::move(hooks)),
      workingDirectory_(ResolveWorkingDirectory(hooks_.workingDirectory)),
      resources_{workingDirectory_, hooks_.installDataDirectory},
      settings_(SettingsPath(workingDirectory_)) {
  CreateWorkingFolders(workingDirectory_);
  firstRun_ = !settings_.Writable();  // missing or read-only
  if (firstRun_) {
    RunFirstRunDialogs();
  } else {
    LoadLanguageModule();
  }
  OpenLibrary();
}

MainWindow::~MainWindow() {
  // The controller's reader ends before anything it could act on goes.
  controller_.reset();
  // The window's own controls go with the window, before the objects they show.
  delete takeCentralWidget();
  views_ = nullptr;
  // The tag editor saves an open cell and rebuilds the indexes as it closes; the playlist
  // goes before the library and language it reads, and the mixer stops taking from it.
  tagEditor_.reset();
  if (mixer_ != nullptr) mixer_->Logic().SetTakeNextEntry({});
  playlist_.reset();
  language_.Unload();
  library_.reset();
  closedDecks_.clear();
  decks_.clear();
  monitorDevice_.reset();
  devices_.clear();
  mixer_.reset();
}

QString MainWindow::PlaylistDirectory() const {
  return QDir(workingDirectory_).filePath(QLatin1String(kPlaylistFolder));
}

void MainWindow::LoadLanguageModule() {
  const std::string setting = settings_.GetString(kMainSection, kLanguageKey, kDefaultLanguage);
  language_.Load(resources_.ModuleFile(QString::fromStdString(setting)));
}

// The language dialog (in English) writes the language, whose module then shows the device
// dialog. Both run before any window exists, owned by nothing.
void MainWindow::RunFirstRunDialogs() {
  language_.Load(resources_.ModuleFile(QLatin1String(kDefaultLanguage)));
  settings_.WriteString(kMainSection, kLanguageKey, kDefaultLanguage);
  {
    LanguageDialog dialog(&language_, settings_, resources_,
                          [this](int context) { OpenHelp(context); });
    RunModal(dialog.Dialog());
  }
  LoadLanguageModule();
  help_.reset();  // the device dialog's help is in the chosen language
  DeviceDialog dialog(
      &language_, settings_, [this](int context) { OpenHelp(context); }, nullptr, DeviceLister());
  RunModal(dialog.Dialog());
  help_.reset();
}

void MainWindow::OpenLibrary() {
  library_ = std::make_unique<library::SongDatabase>(workingDirectory_.toStdString());
}

void MainWindow::CreateAndStart() {
  BuildMenus();
  BuildWindow();
  SetUpLibrary();
  CreateControllerLink();
  show();
  RestoreWindowRect();
  ReportLibraryProblem();
  OpenSoundDevices();
  CreateStartDecks();
  if (settings_.GetInt(kMixerSection, kVisibleKey, 0) != 0) SetMixerShown(true);
  if (library_->RecordCount() <= 0) {
    QMetaObject::invokeMethod(
        this, [this] { RunCommand(kFolderScan); }, Qt::QueuedConnection);
  }
}

// The menu bar from "MAINMENU" and the accelerators of "MAINACCELERATOR". Each accelerator is an
// application-wide shortcut of the main window, so it works from every window of the program.
void MainWindow::BuildMenus() {
  setMenuBar(ui::BuildMenuBar(language_.Menu(QStringLiteral("MAINMENU"))).release());
  connect(menuBar(), &QMenuBar::triggered, this,
          [this](QAction* action) { RunCommand(action->data().toInt()); });
  for (const ui::Accelerator& accelerator :
       language_.Accelerators(QStringLiteral("MAINACCELERATOR"))) {
    auto* action = new QAction(this);
    action->setShortcut(accelerator.key);
    action->setShortcutContext(Qt::ApplicationShortcut);
    const int command = accelerator.command;
    connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    addAction(action);
  }
}

void MainWindow::BuildWindow() {
  const QIcon icon = language_.Icon(QStringLiteral("MAINICON"));
  setWindowIcon(icon);
  QApplication::setWindowIcon(icon);
  setWindowTitle(language_.String(kTitleStringId));
  setAcceptDrops(false);
  views_ = new LibraryViews(*library_, &language_, this);
  setCentralWidget(views_);
  connect(views_, &LibraryViews::sendSongRequested, this, [this] { SendCurrentSong(); });
  statusBar()->hide();
  connect(statusBar(), &QStatusBar::messageChanged, this,
          [this](const QString& message) { statusBar()->setVisible(!message.isEmpty()); });
}

// Indexes loaded (or rebuilt), the mixer's window made, the library listed in artist order.
void MainWindow::SetUpLibrary() {
  if (library_->LoadIndexes() != 0) library_->RebuildIndexFiles();
  mixer_ = std::make_unique<decks::ui::MixerWindow>(
      &language_, [this](int context) { OpenHelp(context); },
      settings_.GetInt(kMixerSection, kPlaystartKey, decks::kDefaultPlaystartSeconds),
      settings_.GetInt(kMixerSection, kFadetimeKey, decks::kDefaultFadetimeSeconds),
      hooks_.mixerTimers);
  mixer_->Dialog().move(settings_.GetInt(kMixerSection, kLeftKey, 0),
                        settings_.GetInt(kMixerSection, kTopKey, 0));
  CreatePlaylist();
  views_->ShowLibrary();
  ShowSongCount(language_.String(kTitleStringId));
}

void MainWindow::ShowSongCount(const QString& prefix) {
  setWindowTitle(prefix + QString::number(library_->RecordCount()) + QStringLiteral(" Songs"));
}

// A library that could be neither opened nor created is said once; the program goes on with an
// empty one.
void MainWindow::ReportLibraryProblem() {
  if (library_->HasDataFile()) return;
  QString text = language_.String(kLibraryProblemStringId);
  const QString reason = QString::fromStdString(library_->OpenProblem());
  if (!reason.isEmpty()) text += QStringLiteral("\n\n") + reason;
  Warn(language_.String(kRestartCaptionStringId), text);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  QMainWindow::closeEvent(event);
  if (event->isAccepted()) QCoreApplication::quit();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    OpenHelp(kMainHelpContext);
    return;
  }
  QMainWindow::keyPressEvent(event);
}

int MainWindow::RunModal(QDialog& dialog) {
  return hooks_.runModal ? hooks_.runModal(dialog) : dialog.exec();
}

void MainWindow::Warn(const QString& caption, const QString& text) {
  if (hooks_.warn) {
    hooks_.warn(caption, text);
    return;
  }
  QMessageBox::warning(isVisible() ? this : nullptr, caption, text);
}

// The help viewer of the loaded language, made when first asked for.
void MainWindow::OpenHelp(int context) {
  if (!help_) {
    help_ = std::make_unique<ui::HelpWindow>(language_.HelpFileName(), resources_.HelpDirectory());
  }
  help_->Open(context);
}

std::function<std::vector<platform::sound::DeviceInfo>()> MainWindow::DeviceLister() const {
  if (hooks_.enumerateDevices) return hooks_.enumerateDevices;
  return platform::sound::SoundSystem::Devices;
}

}  // namespace veltro::app
