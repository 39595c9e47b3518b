// Window rectangles and the settings file: restoring them at start and writing them (command
// 132) in one replace of veltro.ini.
#include <QAction>
#include <QMenuBar>
#include <limits>
#include <optional>

#include "app/MainWindow.h"
#include "app/SettingsKeys.h"
#include "decks/ui/MixerWindow.h"
#include "decks/ui/PlayerWindow.h"
#include "playlist/ui/PlaylistWindow.h"
#include "ui/DialogBuilder.h"
#include "ui/MenuDescription.h"

namespace veltro::app {
namespace {

// Main window defaults: x 0, y 300, 550 x 155.
constexpr int kMainLeft = 0;
constexpr int kMainTop = 300;
constexpr int kMainWidth = 550;
constexpr int kMainHeight = 155;
// A playlist window without a saved position goes where the window system puts it.
constexpr int kUseDefaultPosition = std::numeric_limits<int>::min();

bool SetInt(platform::ProfileDocument& document, std::string_view section, std::string_view key,
            int value) {
  return document.Set(section, key, std::to_string(value));
}

bool SetRect(platform::ProfileDocument& document, std::string_view section, const QRect& frame) {
  return SetInt(document, section, kLeftKey, frame.x()) &&
         SetInt(document, section, kTopKey, frame.y()) &&
         SetInt(document, section, kWidthKey, frame.width()) &&
         SetInt(document, section, kHeightKey, frame.height());
}

}  // namespace

void PlaceWindow(QWidget& window, const QRect& frame) {
  const QSize decoration = window.frameGeometry().size() - window.geometry().size();
  window.move(frame.topLeft());
  window.resize(frame.size() - decoration);
}

// The playlist window opens at its saved rectangle; without a saved position it keeps the
// place the window system gives it and takes only the saved (or default) size.
void MainWindow::PlacePlaylistWindow(QWidget& window) const {
  const int left = settings_.GetInt(kPlaylistSection, kLeftKey, kUseDefaultPosition);
  const int top = settings_.GetInt(kPlaylistSection, kTopKey, kUseDefaultPosition);
  const int width = settings_.GetInt(kPlaylistSection, kWidthKey, playlist::ui::kPlaylistWidth);
  const int height = settings_.GetInt(kPlaylistSection, kHeightKey, playlist::ui::kPlaylistHeight);
  if (left == kUseDefaultPosition || top == kUseDefaultPosition) {
    window.resize(width, height);
  } else {
    PlaceWindow(window, QRect(left, top, width, height));
  }
}

void MainWindow::RestoreWindowRect() {
  PlaceWindow(*this, QRect(settings_.GetInt(kMainSection, kLeftKey, kMainLeft),
                           settings_.GetInt(kMainSection, kTopKey, kMainTop),
                           settings_.GetInt(kMainSection, kWidthKey, kMainWidth),
                           settings_.GetInt(kMainSection, kHeightKey, kMainHeight)));
}

bool MainWindow::SaveSettings() {
  std::string error;
  return settings_.Update(
      [this](platform::ProfileDocument& document) { return WriteSettings(document); }, &error);
}

// The main window, the mixer (position, the check mark as 8 or 0, the lead times) and every
// deck in the order of the mixer's lists, then how many decks were written.
bool MainWindow::WriteSettings(platform::ProfileDocument& document) const {
  bool ok = SetRect(document, kMainSection, frameGeometry());
  const QPoint mixerAt = mixer_->Dialog().frameGeometry().topLeft();
  ok = ok && SetInt(document, kMixerSection, kLeftKey, mixerAt.x()) &&
       SetInt(document, kMixerSection, kTopKey, mixerAt.y()) &&
       SetInt(document, kMixerSection, kVisibleKey, mixerShown_ ? kVisibleChecked : 0) &&
       SetInt(document, kMixerSection, kFadetimeKey, mixer_->Logic().FadetimeSeconds() & 0xFFFF) &&
       SetInt(document, kMixerSection, kPlaystartKey, mixer_->Logic().PlaystartSeconds() & 0xFFFF);
  if (const std::optional<QRect> playlistFrame = playlist_->FrameGeometry()) {
    ok = ok && SetRect(document, kPlaylistSection, *playlistFrame);
  }
  for (const DeckEntry& entry : decks_) {
    decks::ui::PlayerWindow& deck = *entry.window;
    const std::string& name = deck.DeckName();
    ok = ok && SetRect(document, name, deck.frameGeometry()) &&
         SetInt(document, name, kElapseKey, deck.Transport().ElapsedMode()) &&
         SetInt(document, name, kAutoCueKey, deck.Transport().AutoCue() ? 1 : 0) &&
         SetInt(document, name, kMastertempoKey, deck.Transport().Mastertempo() ? 1 : 0);
  }
  return ok && SetInt(document, kPlayerSection, kCountKey, static_cast<int>(decks_.size()));
}

// Shows the mixer at its saved position (or hides it) and sets command 131's check mark.
void MainWindow::SetMixerShown(bool shown) {
  mixerShown_ = shown;
  QWidget& dialog = mixer_->Dialog();
  if (shown) {
    dialog.show();
    dialog.move(settings_.GetInt(kMixerSection, kLeftKey, 0),
                settings_.GetInt(kMixerSection, kTopKey, 0));
    dialog.raise();
  } else {
    dialog.hide();
  }
  if (QAction* item = ui::FindCommandAction(*menuBar(), kMixerVisibility)) item->setChecked(shown);
}

}  // namespace veltro::app
