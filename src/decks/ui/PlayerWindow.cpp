#include "decks/ui/PlayerWindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QUrl>
#include <QWheelEvent>
#include <vector>

#include "decks/ui/DeckButtons.h"
#include "decks/ui/MixerWindow.h"
#include "platform/TextEncoding.h"
#include "ui/LanguageModule.h"
#include "ui/MenuDescription.h"

namespace veltro::decks::ui {
namespace {

constexpr int kBendTickMs = 100;

// Library texts are UTF-8; bytes that are not (a library written elsewhere) are Windows-1252.
QString DisplayText(const std::string& text) {
  if (platform::IsValidUtf8(text)) return QString::fromStdString(text);
  return QString::fromStdString(platform::Windows1252ToUtf8(text));
}

}  // namespace

PlayerWindow::PlayerWindow(PlayerWindowSetup setup, QWidget* parent)
    : QWidget(parent), deckName_(std::move(setup.deckName)), openHelp_(std::move(setup.openHelp)) {
  setWindowTitle(QString::fromStdString(deckName_));
  setAcceptDrops(true);
  setFocusPolicy(Qt::StrongFocus);
  CreateControls();
  resize(kBaseWidth, kBaseHeight);
  LayOut();

  DeckCollaborators parts;
  parts.mainDevice = setup.mainDevice;
  parts.monitorDevice = setup.monitorDevice;
  parts.library = setup.library;
  parts.view = this;
  parts.postToUi = [this](std::function<void()> work) { PostToUi(std::move(work)); };
  parts.timerFactory =
      setup.timerFactory ? std::move(setup.timerFactory) : PeriodicDeckTimerFactory();
  parts.playstartSeconds = [this] { return mixer_ ? mixer_->PlaystartSeconds() : 0; };
  transport_ = std::make_unique<DeckTransport>(std::move(parts), setup.settings);

  controls_.cueLoad->setChecked(transport_->AutoCue());
  ConnectControls();
  ConnectScrollBars();
  SetLanguage(setup.language);
}

PlayerWindow::~PlayerWindow() {
  bendTimer_.stop();
  if (mixer_) mixer_->RemoveDeck(transport_.get());
  transport_.reset();  // stops the timer thread before any widget goes
}

void PlayerWindow::SetMixerWindow(MixerWindow* mixer) {
  mixer_ = mixer;
}

void PlayerWindow::PostToUi(std::function<void()> work) {
  // Any thread: queues `work` on this window's (UI) thread; dropped if the window is gone.
  uiQueue_.Post(std::move(work));
}

void PlayerWindow::ConnectControls() {
  const PlayerWindowControls& c = controls_;
  connect(c.load, &QPushButton::clicked, this, [this] { RunCommand(kCommandLoad); });
  connect(c.zero, &QPushButton::clicked, this, [this] { RunCommand(kCommandZero); });
  connect(c.timeButton, &QPushButton::clicked, this, [this] { RunCommand(kCommandTimeMode); });
  connect(c.monitorSwitch, &QPushButton::clicked, this, [this] { RunCommand(kCommandMonitor); });
  connect(c.play, &DeckButton::clicked, this, [this] { RunCommand(kCommandPlay); });
  connect(c.cue, &DeckButton::clicked, this, [this] { RunCommand(kCommandCue); });
  connect(c.cueLoad, &QCheckBox::toggled, this, [this](bool on) { transport_->SetAutoCue(on); });
  connect(c.bendUp, &QPushButton::pressed, this, [this] { StartBend(BendDirection::kUp); });
  connect(c.bendDown, &QPushButton::pressed, this, [this] { StartBend(BendDirection::kDown); });
  connect(c.bendUp, &QPushButton::released, this, [this] { StopBend(); });
  connect(c.bendDown, &QPushButton::released, this, [this] { StopBend(); });
  bendTimer_.setInterval(kBendTickMs);
  connect(&bendTimer_, &QTimer::timeout, this, [this] { transport_->BendTick(); });
}

void PlayerWindow::StartBend(BendDirection direction) {
  StopBend();
  if (!transport_->PressBend(direction)) return;
  bending_ = true;
  bendTimer_.start();
}

void PlayerWindow::StopBend() {
  if (!bending_) return;
  bendTimer_.stop();
  bending_ = false;
  transport_->ReleaseBend();
}

void PlayerWindow::RunCommand(int command) {
  DeckTransport& deck = *transport_;
  switch (command) {
    case kCommandLoad:
    case kCommandLoadFromPopup:
      deck.LoadFromLibrary();
      break;
    case kCommandZero:
      deck.ZeroPitch();
      break;
    case kCommandMonitor:
      deck.ToggleMonitor();
      break;
    case kCommandTimeMode:
      deck.ToggleElapsed();
      break;
    case kCommandKeepProportions:
      keepProportions_ = !keepProportions_;
      if (keepProportions_) resize(KeptWidth(height()), height());
      break;
    case kCommandDefaultSize:
      resize(kBaseWidth, kBaseHeight);
      break;
    case kCommandPlay:
      deck.PressPlay();
      break;
    case kCommandCue:
      deck.PressCue();
      break;
    case kCommandMastertempo:
      deck.SetMastertempo(!deck.Mastertempo());
      break;
    default:
      return;
  }
  UpdatePopupChecks();
}

void PlayerWindow::SetLanguage(const veltro::ui::LanguageModule* language) {
  language_ = language;
  controls_.load->setText(language_ != nullptr ? language_->String(kLoadTextId) : QString());
  LayOut();  // the fonts fit the new texts
  ShowMonitorLed(ledOn_);
  popup_.reset();
  if (language_ == nullptr) return;
  popup_ = veltro::ui::BuildFirstSubmenu(language_->Menu(QStringLiteral("PLAYERPOPUP")));
  if (!popup_) return;
  connect(popup_.get(), &QMenu::triggered, this,
          [this](QAction* action) { RunCommand(action->data().toInt()); });
  UpdatePopupChecks();
}

void PlayerWindow::UpdatePopupChecks() {
  if (!popup_) return;
  if (QAction* keep = veltro::ui::FindCommandAction(*popup_, kCommandKeepProportions)) {
    keep->setCheckable(true);
    keep->setChecked(keepProportions_);
  }
  if (QAction* tempo = veltro::ui::FindCommandAction(*popup_, kCommandMastertempo)) {
    tempo->setCheckable(true);
    tempo->setChecked(transport_->Mastertempo());
  }
}

void PlayerWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
  if (keepProportions_ && width() != KeptWidth(height())) resize(KeptWidth(height()), height());
}

void PlayerWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    if (openHelp_) openHelp_(kDeckHelpContext);
    return;
  }
  const QString typed = event->text().toLower();
  if (typed == QStringLiteral("l")) {
    RunCommand(kCommandLoad);
  } else if (typed == QStringLiteral("p")) {
    RunCommand(kCommandPlay);
  } else if (typed == QStringLiteral("c")) {
    RunCommand(kCommandCue);
  } else {
    QWidget::keyPressEvent(event);
  }
}

void PlayerWindow::contextMenuEvent(QContextMenuEvent* event) {
  if (!popup_) return;
  UpdatePopupChecks();
  popup_->popup(event->globalPos());
}

void PlayerWindow::closeEvent(QCloseEvent* event) {
  if (transport_->State() == DeckState::kPlaying) {
    event->ignore();
    return;
  }
  QWidget::closeEvent(event);
  emit closed();
}

void PlayerWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void PlayerWindow::dropEvent(QDropEvent* event) {
  std::vector<std::string> paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths.push_back(url.toLocalFile().toStdString());
  }
  if (paths.empty()) return;
  event->acceptProposedAction();
  transport_->DropFiles(paths);
}

bool PlayerWindow::eventFilter(QObject* watched, QEvent* event) {
  auto* bar = qobject_cast<QScrollBar*>(watched);
  if (bar == nullptr || event->type() != QEvent::Wheel) return QWidget::eventFilter(watched, event);
  const int delta = static_cast<QWheelEvent*>(event)->angleDelta().y();
  if (delta != 0) {
    bar->triggerAction(delta > 0 ? QAbstractSlider::SliderSingleStepSub
                                 : QAbstractSlider::SliderSingleStepAdd);
  }
  return true;
}

// DeckView -----------------------------------------------------------------------------------

void PlayerWindow::ShowStatus(const std::string& text) {
  controls_.status->setText(QString::fromStdString(text));
}

void PlayerWindow::ShowTime(const std::string& text) {
  controls_.timeDisplay->setText(QString::fromStdString(text));
}

void PlayerWindow::ShowPositionRange(int length) {
  controls_.positionBar->setRange(0, length);
}

void PlayerWindow::ShowPosition(int position) {
  if (!controls_.positionBar->isSliderDown()) controls_.positionBar->setValue(position);
}

void PlayerWindow::ShowPitch(int sliderPosition, const std::string& label) {
  if (!controls_.pitchBar->isSliderDown()) controls_.pitchBar->setValue(sliderPosition);
  controls_.pitchValue->setText(QString::fromStdString(label));
}

void PlayerWindow::ShowMainAttenuation(int sliderPosition) {
  if (!controls_.mainBar->isSliderDown()) controls_.mainBar->setValue(sliderPosition);
}

void PlayerWindow::ShowMonitorAttenuation(int sliderPosition) {
  if (!controls_.monitorBar->isSliderDown()) controls_.monitorBar->setValue(sliderPosition);
}

void PlayerWindow::ShowButtons(bool playDown, bool cueDown) {
  controls_.play->SetShownDown(playDown);
  controls_.cue->SetShownDown(cueDown);
}

void PlayerWindow::ShowSong(const std::string& artist, const std::string& title) {
  controls_.artist->setText(DisplayText(artist));
  controls_.title->setText(DisplayText(title));
}

void PlayerWindow::ShowMonitorLed(bool on) {
  ledOn_ = on;
  const QPixmap led = language_ != nullptr ? language_->Bitmap(on ? QStringLiteral("LED_ON")
                                                                  : QStringLiteral("LED_OFF"))
                                           : QPixmap();
  controls_.monitorSwitch->setIcon(QIcon(led));
}

void PlayerWindow::EnableMonitorControls(bool enabled) {
  controls_.monitorSwitch->setEnabled(enabled);
  controls_.monitorBar->setEnabled(enabled);
  controls_.headLabel->setEnabled(enabled);
}

void PlayerWindow::ShowStatusNote(int textId) {
  // The next state change replaces it (ShowStatus).
  controls_.status->setText(language_ != nullptr ? language_->String(textId) : QString());
}

void PlayerWindow::ShowWarning(int textId, int captionId) {
  const QString caption = language_ != nullptr ? language_->String(captionId) : QString();
  const QString text = language_ != nullptr ? language_->String(textId) : QString();
  auto* box = new QMessageBox(QMessageBox::Warning, caption, text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();  // window-modal, does not block the deck's event processing
}

}  // namespace veltro::decks::ui
