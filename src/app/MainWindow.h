// The program: one MainWindow exists for the whole run. It owns the settings file, the language
// module, the song library, the sound devices, the mixer and the decks, and its window shows the
// library views and dispatches every menu and accelerator command of the program.
//
// Start-up runs in two halves, as the program entry calls them:
// - the constructor: settings path, the Playlist and Data folders, the language module (a first
//   run, recognised by a settings file that is missing or not writable, shows the language and
//   then the device dialog before any window exists), the song library, the help viewer;
// - CreateAndStart: the menu and accelerators, the window and its views at the saved rectangle,
//   the library's indexes (rebuilt when one is missing or wrong), the mixer, the serial
//   controller link (closed until command 123 opens it), the title, the sound devices by
//   [Devices] Mode, the decks by [Player] Count, the mixer shown when it was visible, and, when
//   the library is empty, the folder scan command posted to run once start-up is over.
// Settings are written only by command 132 and the dialogs, never at exit. Destruction is the
// shutdown: the controller link (closed quietly, its reader joined), language module, library,
// decks, devices, mixer, in that order.
//
// Thread: UI thread only. Decks are top-level windows owned here; closing one (refused while it
// plays) destroys it and frees its name.
#pragma once

#include <QMainWindow>
#include <QRect>
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ResourceFolders.h"
#include "decks/DeckTimer.h"
#include "decks/MixerTimers.h"
#include "platform/Profile.h"
#include "platform/sound/SoundSystem.h"
#include "ui/LanguageModule.h"

class QDialog;

namespace veltro::decks {
class ControllerLink;
}
namespace veltro::library {
class SongDatabase;
}
namespace veltro::platform::sound {
class SoundDevice;
}
namespace veltro::ui {
class HelpWindow;
class UiThreadQueue;
}  // namespace veltro::ui
namespace veltro::decks::ui {
class MixerWindow;
class PlayerWindow;
}  // namespace veltro::decks::ui
namespace veltro::playlist::ui {
class PlaylistWindow;
}
namespace veltro::tags::ui {
class TagEditor;
}

namespace veltro::app {

class LibraryViews;

// Help contexts and numbered strings of the main window.
inline constexpr int kMainHelpContext = 60;
inline constexpr int kTitleStringId = 900;
inline constexpr int kRestartNoteStringId = 901;
inline constexpr int kRestartCaptionStringId = 902;
inline constexpr int kLibraryProblemStringId = 928;
inline constexpr int kDefaultDeviceStringId = 929;

// Command numbers of the main menu and the accelerator table.
enum MainCommand : int {
  kNewDeck = 101,
  kFolderScan = 102,
  kTagEditor = 104,
  kExit = 107,
  kSearchFormPage = 108,
  kOpenPlaylist = 111,
  kLoadPlaylist = 112,
  kDeviceSettings = 121,
  kLanguageSettings = 122,
  kControllerPort = 123,
  kMixerVisibility = 131,
  kSaveSettings = 132,
  kHelpContents = 141,
  kHelpIndex = 142,
  kAbout = 143,
  kSendSong = 1001,
  kLoadDeckA = 1002,
  kPlayDeckA = 1003,
  kCueDeckA = 1004,
  kLoadDeckB = 1005,
  kPlayDeckB = 1006,
  kCueDeckB = 1007,
};

// What start-up takes from its surroundings. Every member has a working default; tests replace
// them to answer dialogs, list devices and play on the manual sound backend.
struct MainWindowHooks {
  QString workingDirectory;  // empty: the process's current directory
  // The install's data folder, where language modules and help are found when the working
  // directory has none; empty: only the working directory is looked in.
  QString installDataDirectory;
  // Runs a modal dialog and returns its result; empty: QDialog::exec.
  std::function<int(QDialog& dialog)> runModal;
  // The output devices the device dialog lists; empty: SoundSystem::Devices.
  std::function<std::vector<platform::sound::DeviceInfo>()> enumerateDevices;
  // Opens a device on a GUID text ("" = the default output); empty: SoundDevice::Open.
  std::function<bool(platform::sound::SoundDevice& device, const std::string& guidText)> openDevice;
  // The decks' playback timer; empty: the real 100 ms timer thread.
  decks::DeckTimerFactory timerFactory;
  // The mixer's automatic and fade timers (borrowed); null: the mixer window's own QTimers.
  decks::MixerTimers* mixerTimers = nullptr;
  // Shows a warning box; empty: QMessageBox::warning owned by the main window.
  std::function<void(const QString& caption, const QString& text)> warn;
  // The folder scan's chooser for "Add folder..." (empty text: none chosen); empty: the
  // platform's folder dialog.
  std::function<QString(const QString& caption)> chooseFolder;
  // The places the folder scan offers after the remembered folders; empty: the user's music
  // and home folders and the mounted volumes.
  std::function<std::vector<std::string>()> scanPlaces;
  // The playlist's file choosers (command 112 and its save button), given the owner and the
  // Playlist folder; empty text: cancelled. Empty: the platform's file dialogs.
  std::function<QString(QWidget* parent, const QString& folder)> choosePlaylistToOpen;
  std::function<QString(QWidget* parent, const QString& folder)> choosePlaylistToSave;
};

// One deck window and the devices it was given (borrowed from the device list).
struct DeckEntry {
  std::unique_ptr<decks::ui::PlayerWindow> window;
  platform::sound::SoundDevice* mainDevice = nullptr;
  platform::sound::SoundDevice* monitorDevice = nullptr;
};

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // Start-up steps up to the help file (see the file comment). UI thread, after QApplication.
  explicit MainWindow(MainWindowHooks hooks = {});
  // Shutdown (see the file comment).
  ~MainWindow() override;

  // The rest of start-up: the window, library, mixer, devices and decks. Call once.
  void CreateAndStart();
  // Carries out one command of the menu or the accelerator table; other numbers do nothing.
  void RunCommand(int command);
  // Creates one deck as command 101 does; false when the settings allow none now.
  bool CreateDeck();
  // Writes the window positions, deck settings and mixer values (command 132). False, with the
  // file unchanged, when it cannot be written.
  bool SaveSettings();

  bool WasFirstRun() const { return firstRun_; }
  QString WorkingDirectory() const { return workingDirectory_; }
  QString PlaylistDirectory() const;
  platform::Profile& Settings() { return settings_; }
  const ui::LanguageModule& Language() const { return language_; }
  library::SongDatabase& Library() { return *library_; }
  LibraryViews& Views() { return *views_; }
  decks::ui::MixerWindow& Mixer() { return *mixer_; }
  playlist::ui::PlaylistWindow& Playlist() { return *playlist_; }
  // The open tag editor (command 104), or null.
  tags::ui::TagEditor* TagEditor() { return tagEditor_.get(); }
  const std::vector<DeckEntry>& Decks() const { return decks_; }
  // The output devices opened at start, in the order of their card keys, and mode 1's monitor.
  const std::vector<std::unique_ptr<platform::sound::SoundDevice>>& Devices() const {
    return devices_;
  }
  platform::sound::SoundDevice* MonitorDevice() const { return monitorDevice_.get(); }
  // Whether the mixer is shown (the check mark of command 131).
  bool MixerShown() const { return mixerShown_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void LoadLanguageModule();
  void RunFirstRunDialogs();
  void OpenLibrary();
  void BuildMenus();
  void BuildWindow();
  void SetUpLibrary();
  void ShowSongCount(const QString& prefix);
  void ReportLibraryProblem();

  // Sound devices and decks (MainWindowDecks.cpp).
  void OpenSoundDevices();
  std::unique_ptr<platform::sound::SoundDevice> OpenCard(int output);
  void CreateStartDecks();
  std::string FreeDeckName() const;
  bool ChooseDeckDevices(const std::string& name, DeckEntry& entry) const;
  void RegisterDeck(decks::ui::PlayerWindow& deck);
  void PlaceDeck(decks::ui::PlayerWindow& deck, const std::string& name, int registered);
  void OnDeckClosed(decks::ui::PlayerWindow* deck);
  void DestroyClosedDecks();

  // Settings (MainWindowSettings.cpp).
  void RestoreWindowRect();
  bool WriteSettings(platform::ProfileDocument& document) const;
  void SetMixerShown(bool shown);

  // Commands (MainWindowCommands.cpp).
  void RunDeviceDialog();
  void RunLanguageDialog();
  void RunComPortDialog();
  void ShowRestartNote();
  void RunAboutBox();
  void SendCurrentSong();
  void DriveDeck(int command);
  void OpenHelp(int context);
  std::function<std::vector<platform::sound::DeviceInfo>()> DeviceLister() const;
  int RunModal(QDialog& dialog);
  void Warn(const QString& caption, const QString& text);

  // The places that later parts of the program fill in: each runs for its command and does
  // nothing visible until its window exists.
  void OpenFolderScan();
  void OpenTagEditor();
  void OnTagEditorClosed();
  void CreatePlaylist();
  void PlacePlaylistWindow(QWidget& window) const;
  bool AppendToOpenPlaylist();
  void CreateControllerLink();
  void OpenControllerLink(const std::string& port);
  void CloseControllerLink();

  MainWindowHooks hooks_;
  QString workingDirectory_;
  ResourceFolders resources_;
  platform::Profile settings_;
  bool firstRun_ = false;
  ui::LanguageModule language_;
  std::unique_ptr<library::SongDatabase> library_;
  std::unique_ptr<ui::HelpWindow> help_;
  LibraryViews* views_ = nullptr;  // owned by the window (its central widget)
  std::unique_ptr<decks::ui::MixerWindow> mixer_;
  // The controller link's reader posts its actions here; declared before the link, which is
  // closed (its reader joined) first thing at shutdown anyway.
  std::unique_ptr<ui::UiThreadQueue> controllerQueue_;
  std::unique_ptr<decks::ControllerLink> controller_;  // made with the mixer, acts on its decks
  std::unique_ptr<playlist::ui::PlaylistWindow> playlist_;  // made with the mixer, gone before it
  std::unique_ptr<tags::ui::TagEditor> tagEditor_;          // while the editor is open
  bool mixerShown_ = false;
  std::vector<std::unique_ptr<platform::sound::SoundDevice>> devices_;
  std::unique_ptr<platform::sound::SoundDevice> monitorDevice_;
  std::vector<DeckEntry> decks_;        // in the order they joined the mixer's lists
  std::vector<DeckEntry> closedDecks_;  // closed windows, destroyed once their close returned
  QString deviceNote_;                  // why a deck plays on the default output, shown once
};

// Moves and sizes a shown top-level window so that its frame (title bar included) covers
// `frame`, as the settings store window rectangles.
void PlaceWindow(QWidget& window, const QRect& frame);

}  // namespace veltro::app
