// The command table of the main window: every menu item and accelerator of the program ends here.
#include "app/ComPortDialog.h"
#include "app/DeviceDialog.h"
#include "app/LanguageDialog.h"
#include "app/LibraryViews.h"
#include "app/MainWindow.h"
#include "app/SettingsKeys.h"
#include "decks/ControllerLink.h"
#include "decks/ui/MixerWindow.h"
#include "decks/ui/PlayerWindow.h"
#include "library/SongDatabase.h"
#include "library/ui/ScanDialog.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tags/ui/TagEditor.h"
#include "ui/DialogBuilder.h"
#include "ui/UiThreadQueue.h"

namespace veltro::app {
namespace {

// The help page opened at its top (contents and index alike: the page is its own index).
constexpr int kHelpTopContext = 0;
// The search form's tab: 1001 runs the form there and sends the current song elsewhere.
constexpr int kSearchFormTab = 1;
constexpr int kSettingsNotSavedStringId = 930;

}  // namespace

void MainWindow::RunCommand(int command) {
  switch (command) {
    case kNewDeck:
      CreateDeck();
      break;
    case kFolderScan:
      OpenFolderScan();
      break;
    case kTagEditor:
      OpenTagEditor();
      break;
    case kExit:
      close();
      break;
    case kSearchFormPage:
      views_->ShowPage(kSearchFormTab);
      break;
    case kOpenPlaylist:
      playlist_->Open();
      break;
    case kLoadPlaylist:
      playlist_->ChooseAndLoad(this);
      break;
    case kDeviceSettings:
      RunDeviceDialog();
      break;
    case kLanguageSettings:
      RunLanguageDialog();
      break;
    case kControllerPort:
      RunComPortDialog();
      break;
    case kMixerVisibility:
      SetMixerShown(!mixerShown_);
      break;
    case kSaveSettings:
      if (!SaveSettings()) {
        Warn(language_.String(kRestartCaptionStringId),
             language_.String(kSettingsNotSavedStringId));
      }
      break;
    case kHelpContents:
    case kHelpIndex:
      OpenHelp(kHelpTopContext);
      break;
    case kAbout:
      RunAboutBox();
      break;
    case kSendSong:
      if (views_->FocusedTab() == kSearchFormTab) {
        views_->RunSearchForm();
      } else {
        SendCurrentSong();
      }
      break;
    default:
      DriveDeck(command);
      break;
  }
}

// 1002 ... 1007: load, play and cue on deck A, then the same on deck B.
void MainWindow::DriveDeck(int command) {
  if (command < kLoadDeckA || command > kCueDeckB) return;
  const bool deckA = command <= kCueDeckA;
  decks::MixerDeck* deck =
      mixer_->Logic().Deck(deckA ? decks::MixerSide::kLeft : decks::MixerSide::kRight);
  if (deck == nullptr) return;
  switch ((command - kLoadDeckA) % 3) {
    case 0:
      deck->LoadFromLibrary();
      break;
    case 1:
      deck->PressPlay();
      break;
    default:
      deck->PressCue();
      break;
  }
}

// The library's current record goes to the open playlist, or else onto deck A and deck B (a deck
// that is playing keeps its song).
void MainWindow::SendCurrentSong() {
  if (library_->RecordCount() < 1 || AppendToOpenPlaylist()) return;
  for (const decks::MixerSide side : {decks::MixerSide::kLeft, decks::MixerSide::kRight}) {
    if (decks::MixerDeck* deck = mixer_->Logic().Deck(side)) deck->LoadFromLibrary();
  }
}

void MainWindow::RunDeviceDialog() {
  DeviceDialog dialog(
      &language_, settings_, [this](int context) { OpenHelp(context); }, this, DeviceLister());
  if (RunModal(dialog.Dialog()) == 1) ShowRestartNote();
}

void MainWindow::RunLanguageDialog() {
  LanguageDialog dialog(
      &language_, settings_, resources_, [this](int context) { OpenHelp(context); }, this);
  if (RunModal(dialog.Dialog()) == 1) ShowRestartNote();
}

// A confirmed port opens the controller link on it; a cancelled dialog closes the link.
void MainWindow::RunComPortDialog() {
  ComPortDialog dialog(
      &language_, settings_, [this](int context) { OpenHelp(context); }, this);
  if (RunModal(dialog.Dialog()) == 1) {
    OpenControllerLink(settings_.GetString(kDevicesSection, kComportKey, kDefaultComport));
  } else {
    CloseControllerLink();
  }
}

// The device and language choices take effect at the next start.
void MainWindow::ShowRestartNote() {
  Warn(language_.String(kRestartCaptionStringId), language_.String(kRestartNoteStringId));
}

void MainWindow::RunAboutBox() {
  const std::unique_ptr<ui::TemplateDialog> about =
      ui::BuildDialog(language_.Dialog(QStringLiteral("AboutBox")), this);
  RunModal(*about);
}

// The scan dialog changes the library only through its commit; whatever it did, the list shows
// the library in artist order afterwards and the title its song count.
void MainWindow::OpenFolderScan() {
  library::ui::ScanDialogHooks scanHooks{
      hooks_.chooseFolder, hooks_.scanPlaces,
      [this](const QString& caption, const QString& text) { Warn(caption, text); }};
  library::ui::ScanDialog scan(
      *library_, &language_, settings_, [this](int context) { OpenHelp(context); }, this,
      std::move(scanHooks));
  RunModal(scan.Dialog());
  views_->ShowLibrary();
  ShowSongCount(language_.String(kTitleStringId));
}

// One editor at a time: the main window is disabled while it is open, so the command comes only
// from another window's accelerator, and then brings the open editor forward.
void MainWindow::OpenTagEditor() {
  if (tagEditor_ != nullptr) {
    tagEditor_->Window()->raise();
    return;
  }
  tags::ui::TagEditorHooks editorHooks;
  editorHooks.openHelp = [this](int context) { OpenHelp(context); };
  editorHooks.saved = [this](const library::SongRecord& record) {
    for (const DeckEntry& deck : decks_) deck.window->Transport().SongEdited(record);
  };
  tagEditor_ =
      std::make_unique<tags::ui::TagEditor>(*library_, &language_, this, std::move(editorHooks));
  connect(
      tagEditor_.get(), &tags::ui::TagEditor::closed, this, [this] { OnTagEditorClosed(); },
      Qt::QueuedConnection);
  tagEditor_->Show();
}

// The indexes were rebuilt with the edited keys: the library list shows the same songs in the
// new order of its keys.
void MainWindow::OnTagEditorClosed() {
  tagEditor_.reset();
  views_->RefreshLibrary();
}

// The playlist lives as long as the mixer, which takes its songs through it.
void MainWindow::CreatePlaylist() {
  playlist::ui::PlaylistWindowHooks playlistHooks;
  playlistHooks.setAutomatic = [this](bool on) { mixer_->SetAutomatic(on); };
  playlistHooks.openHelp = [this](int context) { OpenHelp(context); };
  playlistHooks.placeWindow = [this](QWidget& window) { PlacePlaylistWindow(window); };
  playlistHooks.chooseSaveFile = hooks_.choosePlaylistToSave;
  playlistHooks.chooseOpenFile = hooks_.choosePlaylistToOpen;
  playlistHooks.warn = [this](const QString& caption, const QString& text) { Warn(caption, text); };
  playlist_ = std::make_unique<playlist::ui::PlaylistWindow>(*library_, &language_,
                                                             PlaylistDirectory(), playlistHooks);
  mixer_->Logic().SetTakeNextEntry([this] { playlist_->TakeNextEntry(); });
}

bool MainWindow::AppendToOpenPlaylist() {
  if (!playlist_->IsOpen()) return false;
  const library::SongRecord record = library_->GetCurrentRecord();
  playlist_->Append(library::FieldText(record.artist), library::FieldText(record.songName),
                    library::FieldText(record.path));
  return true;
}

// The link acts on the mixer's deck A and B as they are chosen when each action arrives, and
// shows its messages as the main window's warnings.
void MainWindow::CreateControllerLink() {
  controllerQueue_ = std::make_unique<ui::UiThreadQueue>();
  decks::ControllerLinkHooks linkHooks;
  linkHooks.postToUi = [queue = controllerQueue_.get()](std::function<void()> work) {
    queue->Post(std::move(work));
  };
  linkHooks.deck = [this](decks::MixerSide side) { return mixer_->Logic().Deck(side); };
  linkHooks.message = [this](const std::string& caption, const std::string& text) {
    Warn(QString::fromStdString(caption), QString::fromStdString(text));
  };
  controller_ = std::make_unique<decks::ControllerLink>(std::move(linkHooks));
}

void MainWindow::OpenControllerLink(const std::string& port) {
  controller_->Open(port);
}

void MainWindow::CloseControllerLink() {
  controller_->Close();
}

}  // namespace veltro::app
