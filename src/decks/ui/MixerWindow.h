// The mixer window: the "MIXERDLG" dialog of the language module, wired to the Mixer logic.
// 801/803 choose the left and right deck, 802 centres the crossfader, 804/806 cut (a left
// press switches and stays, a right press switches while held), 805 is the crossfader
// (-3000 ... 3000), 807 fades to the idle deck now, 808/809 Playstart and 811/812 Fadetime
// (seconds), 810 automatic mode, 813 crossfade. Timers 10 (automatic, 500 ms) and 20 (fade
// step, 100 ms) are QTimers. F1 opens help context 70.
//
// Threads: UI thread only. Ownership: the window owns its dialog and the Mixer logic; the decks
// are borrowed (a deck leaves through RemoveDeck before it goes), the language module too.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "decks/Mixer.h"
#include "decks/MixerTimers.h"

namespace veltro::ui {
class LanguageModule;
class TemplateDialog;
}  // namespace veltro::ui

namespace veltro::decks::ui {

inline constexpr int kMixerHelpContext = 70;

// Control ids of the mixer dialog.
enum MixerControl : int {
  kLeftDeckList = 801,
  kCentreButton = 802,
  kRightDeckList = 803,
  kCutLeftButton = 804,
  kCrossfader = 805,
  kCutRightButton = 806,
  kFadeNowButton = 807,
  kPlaystartEdit = 808,
  kPlaystartUpDown = 809,
  kAutomaticBox = 810,
  kFadetimeEdit = 811,
  kFadetimeUpDown = 812,
  kCrossfadeBox = 813,
};

class MixerWindow : public QObject, private MixerView, private MixerTimers {
  Q_OBJECT

 public:
  // Builds the dialog from `language` (null or a module without "MIXERDLG": an empty dialog
  // whose controls are missing; the logic still works). Lead times in seconds. `clock`, when
  // not null, runs the automatic and fade timers instead of the window's own QTimers (tests
  // advance it by hand and call the logic's tick handlers); it is borrowed. UI thread.
  MixerWindow(const veltro::ui::LanguageModule* language, std::function<void(int)> openHelp,
              int playstartSeconds = kDefaultPlaystartSeconds,
              int fadetimeSeconds = kDefaultFadetimeSeconds, MixerTimers* clock = nullptr);
  ~MixerWindow() override;

  Mixer& Logic() { return mixer_; }
  // The dialog (the mixer's top-level window); replaced by SetLanguage.
  veltro::ui::TemplateDialog& Dialog() { return *dialog_; }
  // Rebuilds the dialog from `language` (possibly the same module object, reloaded), keeping
  // the decks, choices, fader, boxes, lead times, position and visibility.
  void SetLanguage(const veltro::ui::LanguageModule* language);

  // Adds a deck to both lists under `name`. A deck must leave (RemoveDeck) before it goes.
  void AddDeck(const QString& name, MixerDeck* deck);
  // Removes a deck from both lists (clearing a list that shows it) and from the mixer.
  void RemoveDeck(const MixerDeck* deck);
  // Chooses a deck as if picked in the list of `side` (null clears the choice).
  void ChooseDeck(MixerSide side, MixerDeck* deck);
  // Read by each deck as it loads a song.
  int PlaystartSeconds() const { return mixer_.PlaystartSeconds(); }
  // Sets or clears the automatic-mode box (810) as a click would: the box shows it and the
  // automatic timer starts or stops (the playlist's Auto and close buttons).
  void SetAutomatic(bool on);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // MixerView
  void ShowFaderPosition(int position) override;
  void SetFadeNowEnabled(bool enabled) override;
  // MixerTimers
  void Start(MixerTimer timer, std::chrono::milliseconds interval) override;
  void Stop(MixerTimer timer) override;

  void Build(const veltro::ui::LanguageModule* language);
  void ReleaseDialog();
  void Wire();
  void WireCommands();
  void ShowLogicState();
  void FillDeckLists();
  void OnCommand(int id);
  void OnDeckListChosen(MixerSide side, int index);
  bool FilterCutButton(MixerSide side, QEvent* event);

  std::function<void(int)> openHelp_;
  MixerTimers* clock_;
  QTimer autoTimer_;
  QTimer fadeTimer_;
  Mixer mixer_;
  std::vector<std::pair<QString, MixerDeck*>> decks_;
  std::unique_ptr<veltro::ui::TemplateDialog> dialog_;
  // The two cut buttons this window filters events of. Guarded pointers: while a dialog is
  // destroyed its children still send events, and its id table is already gone by then.
  QPointer<QWidget> cutLeft_;
  QPointer<QWidget> cutRight_;
};

}  // namespace veltro::decks::ui
