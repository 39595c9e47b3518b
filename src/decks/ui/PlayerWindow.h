// One deck's window: a thin Qt layer over DeckTransport. It turns button presses, scroll-bar
// actions, keys (l, p, c in either case; F1 for help), dropped files and the right-click popup
// into transport calls, and shows what the transport tells it (DeckView). The controls sit at
// fixed fractions of the window (DeckLayout.h) and their fonts follow the window's height.
//
// Threads: everything here runs on the UI thread. While the deck plays, its 100 ms tick runs
// on the transport's timer thread, which only posts work to this window's UiThreadQueue; no
// widget is touched from there.
//
// Ownership: the window owns its transport (and through it the engine) and its child widgets.
// The devices, library and language module are borrowed and must outlive the window. The
// mixer window is watched through a QPointer and may go first.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>

#include "decks/DeckTransport.h"
#include "decks/DeckView.h"
#include "decks/ui/DeckLayout.h"
#include "ui/UiThreadQueue.h"

class QCheckBox;
class QLabel;
class QMenu;
class QPushButton;
class QScrollBar;

namespace veltro::ui {
class LanguageModule;
}

namespace veltro::decks::ui {

class DeckButton;
class MixerWindow;

// Help context of the deck window.
inline constexpr int kDeckHelpContext = 20;
// String id of the Load button's text.
inline constexpr int kLoadTextId = 914;

// Command numbers of the deck's buttons and popup items.
enum DeckCommand : int {
  kCommandLoad = 301,
  kCommandZero = 304,
  kCommandMonitor = 307,
  kCommandTimeMode = 308,
  kCommandKeepProportions = 320,
  kCommandDefaultSize = 321,
  kCommandPlay = 322,
  kCommandCue = 323,
  kCommandLoadFromPopup = 324,
  kCommandMastertempo = 325,
};

struct PlayerWindowSetup {
  std::string deckName;  // "Player 00": the window title
  platform::sound::SoundDevice* mainDevice = nullptr;
  platform::sound::SoundDevice* monitorDevice = nullptr;
  library::SongDatabase* library = nullptr;
  const veltro::ui::LanguageModule* language = nullptr;  // null: no texts, menu or bitmaps
  // Opens the help viewer at a context number; null ignores F1.
  std::function<void(int context)> openHelp;
  // The playback timer; null uses the real 100 ms timer thread (PeriodicDeckTimerFactory).
  DeckTimerFactory timerFactory;
  DeckSettings settings;
};

// The deck window's widgets, for the window's owner and for tests. Non-owning.
struct PlayerWindowControls {
  QPushButton* load = nullptr;
  QPushButton* bendDown = nullptr;
  QPushButton* bendUp = nullptr;
  QScrollBar* pitchBar = nullptr;
  QPushButton* timeButton = nullptr;
  QLabel* pitchValue = nullptr;
  QLabel* timeDisplay = nullptr;
  QPushButton* zero = nullptr;
  QScrollBar* positionBar = nullptr;
  DeckButton* cue = nullptr;
  DeckButton* play = nullptr;
  QLabel* status = nullptr;
  QScrollBar* mainBar = nullptr;
  QPushButton* monitorSwitch = nullptr;
  QScrollBar* monitorBar = nullptr;
  QLabel* artist = nullptr;
  QLabel* title = nullptr;
  QCheckBox* cueLoad = nullptr;
  QLabel* headLabel = nullptr;
  std::array<QWidget*, kDeckControlCount> byPlace{};  // every control, by DeckControl
};

class PlayerWindow : public QWidget, private DeckView {
  Q_OBJECT

 public:
  // Builds the controls at 250 x 300, then the transport. UI thread.
  explicit PlayerWindow(PlayerWindowSetup setup, QWidget* parent = nullptr);
  // Stops playback (waiting for a running tick), leaves the mixer's deck lists. UI thread.
  ~PlayerWindow() override;

  DeckTransport& Transport() { return *transport_; }
  const PlayerWindowControls& Controls() const { return controls_; }
  const std::string& DeckName() const { return deckName_; }

  // The mixer whose Playstart each load reads and whose deck lists this deck leaves when it
  // goes away. Null: Playstart 0.
  void SetMixerWindow(MixerWindow* mixer);
  // Re-reads the texts, the LED bitmaps and the popup menu from `language` (which may be the
  // same module object, reloaded with another language). Null clears them.
  void SetLanguage(const veltro::ui::LanguageModule* language);

  // Carries out a command of the buttons or the popup menu (see DeckCommand).
  void RunCommand(int command);
  // The popup menu built from the language module (null without one), for its owner and tests.
  QMenu* PopupMenu() const { return popup_.get(); }
  bool KeepsProportions() const { return keepProportions_; }

 signals:
  // The window was closed by the user (a close that is refused while playing sends nothing).
  // The owner destroys the deck in answer, later, outside this event.
  void closed();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // DeckView
  void ShowStatus(const std::string& text) override;
  void ShowTime(const std::string& text) override;
  void ShowPositionRange(int length) override;
  void ShowPosition(int position) override;
  void ShowPitch(int sliderPosition, const std::string& label) override;
  void ShowMainAttenuation(int sliderPosition) override;
  void ShowMonitorAttenuation(int sliderPosition) override;
  void ShowButtons(bool playDown, bool cueDown) override;
  void ShowSong(const std::string& artist, const std::string& title) override;
  void ShowMonitorLed(bool on) override;
  void EnableMonitorControls(bool enabled) override;
  void ShowStatusNote(int textId) override;
  void ShowWarning(int textId, int captionId) override;

  void CreateControls();
  void ConnectControls();
  void ConnectScrollBars();
  void LayOut();
  void FitControlFont(DeckControl control, const QFont& font);
  QStringList StatusTexts() const;
  void StartBend(BendDirection direction);
  void StopBend();
  void UpdatePopupChecks();
  void PostToUi(std::function<void()> work);

  std::string deckName_;
  const veltro::ui::LanguageModule* language_ = nullptr;
  std::function<void(int)> openHelp_;
  QPointer<MixerWindow> mixer_;
  PlayerWindowControls controls_;
  std::unique_ptr<QMenu> popup_;
  QTimer bendTimer_;
  veltro::ui::UiThreadQueue uiQueue_;  // outlives the transport's timer thread
  bool bending_ = false;
  bool keepProportions_ = false;
  bool ledOn_ = false;
  std::unique_ptr<DeckTransport> transport_;  // made last, destroyed first (see destructor)
};

}  // namespace veltro::decks::ui
