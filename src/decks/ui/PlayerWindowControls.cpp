// The deck window's widgets: creation, placement on resize, and the scroll bars' wiring.
#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <optional>

#include "decks/ui/DeckButtons.h"
#include "decks/ui/PlayerWindow.h"
#include "ui/LanguageModule.h"
#include "ui/TextFit.h"

namespace veltro::decks::ui {
namespace {

const QColor kDisplayYellow(255, 255, 0);

// The widest texts the changing displays show: a remaining time (every digit of the font is
// equally wide), the time display before a load, the largest pitch change, and the suffix a
// deck without an output device gives its state word (DeckTransport's texts).
const QString kWidestTime = QStringLiteral("-00:00:00:00");
const QString kWidestPitch = QStringLiteral("-12.7");
constexpr DeckState kEveryDeckState[] = {DeckState::kNoSong,  DeckState::kLoaded, DeckState::kCued,
                                         DeckState::kPlaying, DeckState::kPaused, DeckState::kEnded,
                                         DeckState::kSeeking};

// A scroll bar's action as the transport understands it; nullopt for no action.
std::optional<ScrollAction> ToScrollAction(int action) {
  switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
      return ScrollAction::kLineIncrease;
    case QAbstractSlider::SliderSingleStepSub:
      return ScrollAction::kLineDecrease;
    case QAbstractSlider::SliderPageStepAdd:
      return ScrollAction::kPageIncrease;
    case QAbstractSlider::SliderPageStepSub:
      return ScrollAction::kPageDecrease;
    case QAbstractSlider::SliderToMinimum:
      return ScrollAction::kToMinimum;
    case QAbstractSlider::SliderToMaximum:
      return ScrollAction::kToMaximum;
    case QAbstractSlider::SliderMove:
      return ScrollAction::kThumbTrack;
    default:
      return std::nullopt;
  }
}

// Routes `bar`'s actions to `apply`. The transport decides where the bar goes: a stepping
// action is undone before `apply` runs (the transport then moves the bar through the view),
// a drag reports the tracked position, and the release reports the final thumb position.
void RouteScrollBar(QScrollBar* bar, QObject* context,
                    std::function<void(ScrollAction, int)> apply) {
  QObject::connect(bar, &QAbstractSlider::actionTriggered, context, [bar, apply](int action) {
    const std::optional<ScrollAction> mapped = ToScrollAction(action);
    if (!mapped) return;
    if (*mapped == ScrollAction::kThumbTrack) {
      apply(*mapped, bar->sliderPosition());
      return;
    }
    bar->setSliderPosition(bar->value());
    apply(*mapped, 0);
  });
  QObject::connect(bar, &QAbstractSlider::sliderReleased, context,
                   [bar, apply] { apply(ScrollAction::kThumbPosition, bar->sliderPosition()); });
}

QLabel* MakeDisplayLabel(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Qt::black);
  palette.setColor(QPalette::WindowText, kDisplayYellow);
  label->setPalette(palette);
  label->setAutoFillBackground(true);
  return label;
}

QFrame* MakePanel(QWidget* parent) {
  auto* panel = new QFrame(parent);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  QPalette palette = panel->palette();
  palette.setColor(QPalette::Window, Qt::black);
  panel->setPalette(palette);
  panel->setAutoFillBackground(true);
  return panel;
}

QScrollBar* MakeBar(Qt::Orientation orientation, int maximum, int value, int pageStep,
                    QWidget* parent) {
  auto* bar = new QScrollBar(orientation, parent);
  bar->setRange(0, maximum);
  bar->setPageStep(pageStep);
  bar->setValue(value);
  bar->setContextMenuPolicy(Qt::NoContextMenu);  // right-click opens the deck's popup
  bar->setFocusPolicy(Qt::NoFocus);
  return bar;
}

QPushButton* MakeButton(const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setFocusPolicy(Qt::NoFocus);
  button->setAutoDefault(false);
  return button;
}

}  // namespace

void PlayerWindow::CreateControls() {
  PlayerWindowControls& c = controls_;
  auto place = [&c](DeckControl control, QWidget* widget) {
    c.byPlace.at(static_cast<size_t>(control)) = widget;
  };
  // Panels first, so that the labels on them are drawn above.
  place(DeckControl::kTimePanel, MakePanel(this));
  place(DeckControl::kSongPanel, MakePanel(this));
  auto* separator = new QFrame(this);
  separator->setFrameStyle(QFrame::HLine | QFrame::Sunken);
  place(DeckControl::kSeparator, separator);

  place(DeckControl::kLoad, c.load = MakeButton(QString(), this));
  place(DeckControl::kBendDown, c.bendDown = MakeButton(QStringLiteral("-"), this));
  place(DeckControl::kBendUp, c.bendUp = MakeButton(QStringLiteral("+"), this));
  place(DeckControl::kPitchBar,
        c.pitchBar = MakeBar(Qt::Vertical, kPitchSliderMax, kPitchCentre, 10, this));
  place(DeckControl::kTimeButton, c.timeButton = MakeButton(QStringLiteral("Time"), this));
  auto* pitchCaption = MakeDisplayLabel(QStringLiteral("Pitch:"), this);
  pitchCaption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);  // beside the value
  place(DeckControl::kPitchCaption, pitchCaption);
  place(DeckControl::kPitchValue, c.pitchValue = MakeDisplayLabel(QStringLiteral("0"), this));
  c.pitchValue->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  place(DeckControl::kTimeDisplay,
        c.timeDisplay = MakeDisplayLabel(QString::fromLatin1(kNoSongTime), this));
  place(DeckControl::kZero, c.zero = MakeButton(QStringLiteral("Zero"), this));
  place(DeckControl::kPositionBar, c.positionBar = MakeBar(Qt::Horizontal, 0, 0, 10, this));
  place(DeckControl::kCue, c.cue = new DeckButton(DeckButton::Face::kCue, this));
  place(DeckControl::kPlay, c.play = new DeckButton(DeckButton::Face::kPlay, this));
  place(DeckControl::kStatus, c.status = new QLabel(QStringLiteral("Status"), this));
  place(DeckControl::kMainBar, c.mainBar = MakeBar(Qt::Vertical, kAttenuationMax, 0, 100, this));
  place(DeckControl::kMonitorSwitch, c.monitorSwitch = MakeButton(QString(), this));
  place(DeckControl::kMonitorBar,
        c.monitorBar = MakeBar(Qt::Vertical, kAttenuationMax, 0, 100, this));
  place(DeckControl::kArtist, c.artist = MakeDisplayLabel(QString(), this));
  place(DeckControl::kTitle, c.title = MakeDisplayLabel(QString(), this));
  place(DeckControl::kCueLoad, c.cueLoad = new QCheckBox(QStringLiteral("Cue-Load"), this));
  c.cueLoad->setFocusPolicy(Qt::NoFocus);
  place(DeckControl::kAuxLabel, new QLabel(QStringLiteral("Aux"), this));
  place(DeckControl::kHeadLabel, c.headLabel = new QLabel(QStringLiteral("Head"), this));
}

void PlayerWindow::LayOut() {
  const QSize area = size();
  for (int i = 0; i < kDeckControlCount; ++i) {
    const auto control = static_cast<DeckControl>(i);
    QWidget* widget = controls_.byPlace.at(static_cast<size_t>(i));
    if (widget == nullptr) continue;
    widget->setGeometry(ScaledRect(control, area));
    const DeckFont font = FontOf(control);
    if (font != DeckFont::kCount) FitControlFont(control, ScaledFont(font, area.height()));
  }
  controls_.monitorSwitch->setIconSize(controls_.monitorSwitch->size());
}

// Gives the control the largest font, up to `font`, in which its texts fit whole: the one it
// shows now and, for the displays whose text changes while the deck runs, the widest they can
// show, so that their size holds still between layouts. Artist and title are the library's
// texts, not the window's: they keep the layout's font.
void PlayerWindow::FitControlFont(DeckControl control, const QFont& font) {
  QWidget& widget = *controls_.byPlace.at(static_cast<size_t>(control));
  switch (control) {
    case DeckControl::kArtist:
    case DeckControl::kTitle:
      widget.setFont(font);
      break;
    case DeckControl::kCue:
      widget.setFont(
          veltro::ui::FittingFont(font, veltro::ui::ShownTexts(widget),
                                  [this](const QFont&) { return controls_.cue->TextArea(); }));
      break;
    case DeckControl::kTimeDisplay:
      veltro::ui::FitFont(widget, font, {kWidestTime, QString::fromLatin1(kNoSongTime)});
      break;
    case DeckControl::kPitchValue:
      veltro::ui::FitFont(widget, font, {kWidestPitch});
      break;
    case DeckControl::kStatus:
      veltro::ui::FitFont(widget, font, StatusTexts());
      break;
    default:
      veltro::ui::FitFont(widget, font);
      break;
  }
}

QStringList PlayerWindow::StatusTexts() const {
  QStringList texts;
  if (language_ != nullptr) texts.append(language_->String(kCueNotStoredTextId));
  for (const DeckState state : kEveryDeckState) {
    const QString word = QString::fromLatin1(DeckStateWord(state));
    texts << word << word + QString::fromLatin1(kNoSoundSuffix);
  }
  return texts;
}

void PlayerWindow::ConnectScrollBars() {
  DeckTransport* deck = transport_.get();
  RouteScrollBar(controls_.positionBar, this,
                 [deck](ScrollAction action, int at) { deck->PositionSlider(action, at); });
  RouteScrollBar(controls_.pitchBar, this,
                 [deck](ScrollAction action, int at) { deck->PitchSlider(action, at); });
  RouteScrollBar(controls_.mainBar, this,
                 [deck](ScrollAction action, int at) { deck->MainAttenuationSlider(action, at); });
  RouteScrollBar(controls_.monitorBar, this, [deck](ScrollAction action, int at) {
    deck->MonitorAttenuationSlider(action, at);
  });
  for (QScrollBar* bar :
       {controls_.positionBar, controls_.pitchBar, controls_.mainBar, controls_.monitorBar}) {
    bar->installEventFilter(this);  // wheel turns become line steps
  }
}

}  // namespace veltro::decks::ui
