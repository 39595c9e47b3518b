#include "decks/ui/MixerWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

#include "ui/DialogBuilder.h"
#include "ui/LanguageModule.h"

namespace veltro::decks::ui {
namespace {

const QString kDialogName = QStringLiteral("MIXERDLG");

MixerSide SideOfList(int id) {
  return id == kLeftDeckList ? MixerSide::kLeft : MixerSide::kRight;
}

void SetChecked(QCheckBox* box, bool on) {
  if (box == nullptr) return;
  const QSignalBlocker blocker(box);
  box->setChecked(on);
}

void SetSpinValue(QSpinBox* spin, int value) {
  if (spin == nullptr) return;
  const QSignalBlocker blocker(spin);
  spin->setValue(value);
}

}  // namespace

MixerWindow::MixerWindow(const veltro::ui::LanguageModule* language,
                         std::function<void(int)> openHelp, int playstartSeconds,
                         int fadetimeSeconds, MixerTimers* clock)
    : openHelp_(std::move(openHelp)),
      clock_(clock),
      mixer_(*this, this, playstartSeconds, fadetimeSeconds) {
  connect(&autoTimer_, &QTimer::timeout, this, [this] { mixer_.OnAutoTick(); });
  connect(&fadeTimer_, &QTimer::timeout, this, [this] { mixer_.OnFadeTick(); });
  Build(language);
}

MixerWindow::~MixerWindow() {
  autoTimer_.stop();
  fadeTimer_.stop();
  ReleaseDialog();
}

// Stops filtering the dialog's events before it goes, so that nothing it sends while its
// widgets are torn down reaches this window.
void MixerWindow::ReleaseDialog() {
  if (dialog_ == nullptr) return;
  dialog_->removeEventFilter(this);
  for (QWidget* cut : {cutLeft_.data(), cutRight_.data()}) {
    if (cut != nullptr) cut->removeEventFilter(this);
  }
  cutLeft_ = nullptr;
  cutRight_ = nullptr;
  dialog_.reset();
}

void MixerWindow::SetLanguage(const veltro::ui::LanguageModule* language) {
  const bool visible = dialog_->isVisible();
  const QPoint position = dialog_->pos();
  Build(language);
  dialog_->move(position);
  if (visible) dialog_->show();
}

void MixerWindow::Build(const veltro::ui::LanguageModule* language) {
  const veltro::ui::DialogTemplate layout =
      language != nullptr ? language->Dialog(kDialogName) : veltro::ui::DialogTemplate{};
  ReleaseDialog();
  dialog_ = veltro::ui::BuildDialog(layout);
  dialog_->SetClosesOnStandardCommands(false);
  dialog_->setModal(false);
  Wire();
  FillDeckLists();
  ShowLogicState();
}

void MixerWindow::Wire() {
  veltro::ui::TemplateDialog& d = *dialog_;
  d.installEventFilter(this);  // F1
  cutLeft_ = d.Control(kCutLeftButton);
  cutRight_ = d.Control(kCutRightButton);
  for (QWidget* cut : {cutLeft_.data(), cutRight_.data()}) {
    if (cut != nullptr) cut->installEventFilter(this);
  }
  if (auto* fader = d.ControlById<QSlider>(kCrossfader)) {
    fader->setRange(kFaderMin, kFaderMax);
    connect(fader, &QSlider::valueChanged, this, [this](int value) { mixer_.MoveFader(value); });
  }
  if (auto* playstart = d.ControlById<QSpinBox>(kPlaystartUpDown)) {
    playstart->setRange(kMinLeadSeconds, kMaxLeadSeconds);
    connect(playstart, &QSpinBox::valueChanged, this,
            [this](int seconds) { mixer_.PlaystartTextChanged(seconds); });
  }
  if (auto* fadetime = d.ControlById<QSpinBox>(kFadetimeUpDown)) {
    fadetime->setRange(kMinLeadSeconds, kMaxLeadSeconds);
    connect(fadetime, &QSpinBox::valueChanged, this,
            [this](int seconds) { mixer_.SetFadetimeSeconds(seconds); });
  }
  WireCommands();
}

void MixerWindow::WireCommands() {
  connect(dialog_.get(), &veltro::ui::TemplateDialog::command, this,
          [this](int id) { OnCommand(id); });
}

void MixerWindow::OnCommand(int id) {
  switch (id) {
    case kCentreButton:
      mixer_.Centre();
      break;
    case kFadeNowButton:
      mixer_.FadeNow();
      break;
    case kAutomaticBox:
      if (auto* box = dialog_->ControlById<QCheckBox>(id)) mixer_.SetAutomatic(box->isChecked());
      break;
    case kCrossfadeBox:
      if (auto* box = dialog_->ControlById<QCheckBox>(id)) mixer_.SetCrossfade(box->isChecked());
      break;
    case kLeftDeckList:
    case kRightDeckList:
      if (auto* list = dialog_->ControlById<QComboBox>(id)) {
        OnDeckListChosen(SideOfList(id), list->currentIndex());
      }
      break;
    default:
      break;  // the cut buttons act on mouse press and release (eventFilter)
  }
}

void MixerWindow::OnDeckListChosen(MixerSide side, int index) {
  const bool valid = index >= 0 && index < static_cast<int>(decks_.size());
  mixer_.ChooseDeck(side, valid ? decks_.at(static_cast<size_t>(index)).second : nullptr);
}

// Shows what the logic holds: used after every (re)build, with the controls' signals blocked.
void MixerWindow::ShowLogicState() {
  veltro::ui::TemplateDialog& d = *dialog_;
  ShowFaderPosition(mixer_.FaderPosition());
  SetFadeNowEnabled(mixer_.FadeNowEnabled());
  SetChecked(d.ControlById<QCheckBox>(kAutomaticBox), mixer_.Automatic());
  SetChecked(d.ControlById<QCheckBox>(kCrossfadeBox), mixer_.Crossfade());
  SetSpinValue(d.ControlById<QSpinBox>(kPlaystartUpDown), mixer_.PlaystartSeconds());
  SetSpinValue(d.ControlById<QSpinBox>(kFadetimeUpDown), mixer_.FadetimeSeconds());
}

void MixerWindow::FillDeckLists() {
  for (int id : {kLeftDeckList, kRightDeckList}) {
    auto* list = dialog_->ControlById<QComboBox>(id);
    if (list == nullptr) continue;
    const QSignalBlocker blocker(list);
    list->clear();
    int chosen = -1;
    for (size_t i = 0; i < decks_.size(); ++i) {
      list->addItem(decks_[i].first);
      if (decks_[i].second == mixer_.Deck(SideOfList(id))) chosen = static_cast<int>(i);
    }
    list->setCurrentIndex(chosen);  // nothing shown until a deck is chosen
  }
}

void MixerWindow::AddDeck(const QString& name, MixerDeck* deck) {
  if (deck == nullptr) return;
  decks_.emplace_back(name, deck);
  FillDeckLists();
}

void MixerWindow::RemoveDeck(const MixerDeck* deck) {
  mixer_.ForgetDeck(deck);
  std::erase_if(decks_, [deck](const auto& entry) { return entry.second == deck; });
  FillDeckLists();
}

void MixerWindow::SetAutomatic(bool on) {
  SetChecked(dialog_->ControlById<QCheckBox>(kAutomaticBox), on);
  mixer_.SetAutomatic(on);
}

void MixerWindow::ChooseDeck(MixerSide side, MixerDeck* deck) {
  mixer_.ChooseDeck(side, deck);
  FillDeckLists();
}

bool MixerWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dialog_.get() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    if (openHelp_) openHelp_(kMixerHelpContext);
    return true;
  }
  if (watched != nullptr && watched == cutLeft_) return FilterCutButton(MixerSide::kLeft, event);
  if (watched != nullptr && watched == cutRight_) return FilterCutButton(MixerSide::kRight, event);
  return QObject::eventFilter(watched, event);
}

// A press of either mouse button cuts; a release is reported too (only the right one undoes
// the cut). Right-button events are consumed; left ones also let the button show its press.
bool MixerWindow::FilterCutButton(MixerSide side, QEvent* event) {
  const QEvent::Type type = event->type();
  const bool press = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
  if (!press && type != QEvent::MouseButtonRelease) return false;
  const Qt::MouseButton pressed = static_cast<QMouseEvent*>(event)->button();
  if (pressed != Qt::LeftButton && pressed != Qt::RightButton) return false;
  const MouseButton button = pressed == Qt::LeftButton ? MouseButton::kLeft : MouseButton::kRight;
  if (press) {
    mixer_.PressCut(side, button);
  } else {
    mixer_.ReleaseCut(side, button);
  }
  return button == MouseButton::kRight;
}

void MixerWindow::ShowFaderPosition(int position) {
  auto* fader = dialog_ ? dialog_->ControlById<QSlider>(kCrossfader) : nullptr;
  if (fader == nullptr) return;
  const QSignalBlocker blocker(fader);  // not a move of the user's
  fader->setValue(position);
}

void MixerWindow::SetFadeNowEnabled(bool enabled) {
  QWidget* button = dialog_ ? dialog_->Control(kFadeNowButton) : nullptr;
  if (button != nullptr) button->setEnabled(enabled);
}

void MixerWindow::Start(MixerTimer timer, std::chrono::milliseconds interval) {
  if (clock_ != nullptr) return clock_->Start(timer, interval);
  QTimer& which = timer == MixerTimer::kAutomatic ? autoTimer_ : fadeTimer_;
  which.start(interval);
}

void MixerWindow::Stop(MixerTimer timer) {
  if (clock_ != nullptr) return clock_->Stop(timer);
  (timer == MixerTimer::kAutomatic ? autoTimer_ : fadeTimer_).stop();
}

}  // namespace veltro::decks::ui
