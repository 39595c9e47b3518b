// The deck window driven like a user: clicks, keys, scroll-bar actions, drops, close, popup.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QUrl>

#include "DeckWindowHarness.h"
#include "decks/ui/DeckButtons.h"
#include "support/Mp3Encoder.h"

namespace veltro::decks::ui {
namespace {

class PlayerWindowTest : public DeckWindowTest {
 protected:
  void SetUp() override {
    DeckWindowTest::SetUp();
    MakeLibrary(
        {{"Tone Artist", "Sine Title", "Test", "2024", WriteSong("tone.wav", 4.0), 150, 4000}});
  }
  std::string Status(PlayerWindow& w) { return Text(w.Controls().status->text()); }
  void Drop(PlayerWindow& w, const std::string& path) {
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(path))});
    // As a drag does it: enter (the window becomes the drop target), then drop.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&w, &drop);
  }
};

TEST_F(PlayerWindowTest, ClicksAndKeysWalkTheStateTable) {
  PlayerWindow& w = MakeWindow();
  const PlayerWindowControls& c = w.Controls();
  EXPECT_EQ(Status(w), "Status");
  EXPECT_EQ(Text(c.timeDisplay->text()), "No Song");
  QTest::mouseClick(c.play, Qt::LeftButton);  // nothing loaded: ignored
  EXPECT_EQ(Status(w), "Status");

  QTest::keyClick(&w, 'l');
  EXPECT_EQ(Status(w), "loaded");
  EXPECT_EQ(Text(c.artist->text()), "Tone Artist");
  EXPECT_EQ(Text(c.title->text()), "Sine Title");
  EXPECT_EQ(c.positionBar->maximum(), 400);
  EXPECT_FALSE(c.play->ShownDown());
  EXPECT_TRUE(c.cue->ShownDown());

  QTest::mouseClick(c.play, Qt::LeftButton);
  EXPECT_EQ(Status(w), "playing");
  EXPECT_TRUE(c.play->ShownDown());
  EXPECT_FALSE(c.cue->ShownDown());
  for (int i = 0; i < 5; ++i) TickWindow();
  EXPECT_GT(c.positionBar->value(), 20);
  EXPECT_EQ(Text(c.timeDisplay->text()).substr(0, 6), "00:00:");

  QTest::keyClick(&w, 'P');
  EXPECT_EQ(Status(w), "paused");
  const int pausedAt = c.positionBar->value();
  QTest::keyClick(&w, 'c');
  EXPECT_EQ(Status(w), "cued");
  EXPECT_EQ(c.positionBar->value(), 150);  // the song's stored cue position
  EXPECT_NE(pausedAt, 150);

  c.positionBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(Status(w), "seeking");
  EXPECT_EQ(c.positionBar->value(), 160);
  c.positionBar->triggerAction(QAbstractSlider::SliderSingleStepSub);
  EXPECT_EQ(c.positionBar->value(), 159);
  QTest::mouseClick(c.cue, Qt::LeftButton);  // stores the new cue position
  EXPECT_EQ(Status(w), "cued");
  EXPECT_EQ(w.Transport().Song().cuePosition, 159u);
  QTest::keyClick(&w, 'C');  // a second cue changes nothing
  EXPECT_EQ(c.positionBar->value(), 159);
}

TEST_F(PlayerWindowTest, DraggingThePositionThumbTracksThenPrimesOnRelease) {
  PlayerWindow& w = MakeWindow();
  QTest::keyClick(&w, 'l');
  QScrollBar* bar = w.Controls().positionBar;
  bar->setSliderDown(true);
  bar->setSliderPosition(250);
  EXPECT_EQ(Status(w), "seeking");
  EXPECT_EQ(Text(w.Controls().timeDisplay->text()), "00:00:02:50");
  EXPECT_EQ(w.Transport().Position(), 0);  // tracking shows the time only
  bar->setSliderDown(false);
  EXPECT_EQ(w.Transport().Position(), 250);
  EXPECT_EQ(bar->value(), 250);
}

TEST_F(PlayerWindowTest, PitchBarExtremesDragAndZero) {
  PlayerWindow& w = MakeWindow();
  const PlayerWindowControls& c = w.Controls();
  c.pitchBar->triggerAction(QAbstractSlider::SliderToMaximum);  // not loaded: ignored
  EXPECT_EQ(c.pitchBar->value(), 127);
  QTest::keyClick(&w, 'l');
  c.pitchBar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(c.pitchBar->value(), 255);
  EXPECT_EQ(Text(c.pitchValue->text()), "12.7");
  EXPECT_EQ(w.Transport().Engine().MainFrequencyHz(), 44100u + 127u * 44u);
  c.pitchBar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(c.pitchBar->value(), 0);
  EXPECT_EQ(Text(c.pitchValue->text()), "-12.7");
  c.pitchBar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(c.pitchBar->value(), 10);
  EXPECT_EQ(Text(c.pitchValue->text()), "-11.7");

  c.pitchBar->setSliderDown(true);
  c.pitchBar->setSliderPosition(177);
  EXPECT_EQ(Text(c.pitchValue->text()), "5");
  EXPECT_EQ(w.Transport().Engine().MainFrequencyHz(), 46300u);
  c.pitchBar->setSliderDown(false);
  EXPECT_EQ(c.pitchBar->value(), 177);

  QTest::mouseClick(c.zero, Qt::LeftButton);
  EXPECT_EQ(c.pitchBar->value(), 127);
  EXPECT_EQ(Text(c.pitchValue->text()), "0");
  EXPECT_EQ(w.Transport().Engine().MainFrequencyHz(), 44100u);
}

TEST_F(PlayerWindowTest, MainBarSilencesAboveTwentyNineHundred) {
  PlayerWindow& w = MakeWindow();
  QTest::keyClick(&w, 'l');
  QScrollBar* bar = w.Controls().mainBar;
  bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
  EXPECT_EQ(bar->value(), 100);
  EXPECT_EQ(w.Transport().MainAttenuation(), 100);
  bar->triggerAction(QAbstractSlider::SliderToMaximum);
  EXPECT_EQ(bar->value(), 3000);
  bar->triggerAction(QAbstractSlider::SliderToMinimum);
  EXPECT_EQ(bar->value(), 0);
  EXPECT_EQ(w.Transport().MainAttenuation(), 0);
}

TEST_F(PlayerWindowTest, DroppedMp3LoadsAndMpegIsIgnored) {
  const auto samples = testing::Sine(440.0, 44100, 2.0, 2);
  const auto mp3 = testing::EncodeMp3(samples, {});
  ASSERT_FALSE(mp3.empty());
  const std::string bytes(mp3.begin(), mp3.end());
  const std::string mp3Path = dir.File("dropped.mp3");
  const std::string mpegPath = dir.File("dropped.mpeg");
  testing::WriteBytes(mp3Path, bytes);
  testing::WriteBytes(mpegPath, bytes);

  PlayerWindow& w = MakeWindow();
  Drop(w, mpegPath);
  EXPECT_EQ(w.findChild<QMessageBox*>(), nullptr);
  EXPECT_EQ(Status(w), "Status");
  Drop(w, mp3Path);
  EXPECT_EQ(w.findChild<QMessageBox*>(), nullptr);
  EXPECT_EQ(Status(w), "loaded");
  EXPECT_EQ(Text(w.Controls().artist->text()), "dropped.mp3");
  EXPECT_EQ(Text(w.Controls().title->text()), "");
  EXPECT_GE(w.Controls().positionBar->maximum(), 190);
}

TEST_F(PlayerWindowTest, CloseIsRefusedWhilePlaying) {
  PlayerWindow& w = MakeWindow();
  w.show();
  QTest::keyClick(&w, 'l');
  QTest::keyClick(&w, 'p');
  ASSERT_EQ(Status(w), "playing");
  EXPECT_FALSE(w.close());
  EXPECT_TRUE(w.isVisible());
  QTest::keyClick(&w, 'p');
  EXPECT_TRUE(w.close());
  EXPECT_FALSE(w.isVisible());
}

TEST_F(PlayerWindowTest, ResizeScalesControlsAndFonts) {
  PlayerWindow& w = MakeWindow();
  w.show();
  w.resize(250, 300);
  const PlayerWindowControls& c = w.Controls();
  const QList<QWidget*> probes = {c.cue, c.play, c.pitchBar, c.timeDisplay, c.monitorBar};
  std::vector<QRect> small;
  for (QWidget* probe : probes) small.push_back(probe->geometry());
  EXPECT_EQ(c.cue->geometry(), QRect(120, 115, 40, 40));
  EXPECT_EQ(c.timeDisplay->font().pixelSize(), 25);  // 0.0833 x 300
  w.resize(500, 600);
  for (int i = 0; i < probes.size(); ++i) {
    const QRect big = probes[i]->geometry();
    const QRect& base = small[static_cast<size_t>(i)];
    EXPECT_LE(std::abs(big.x() - 2 * base.x()), 1) << i;
    EXPECT_LE(std::abs(big.y() - 2 * base.y()), 1) << i;
    EXPECT_LE(std::abs(big.width() - 2 * base.width()), 1) << i;
    EXPECT_LE(std::abs(big.height() - 2 * base.height()), 1) << i;
  }
  EXPECT_EQ(c.timeDisplay->font().pixelSize(), 50);
  EXPECT_TRUE(c.timeDisplay->font().bold());
  EXPECT_EQ(c.artist->font().pixelSize(), 22);  // 0.0367 x 600
  EXPECT_FALSE(c.artist->font().bold());
  EXPECT_EQ(c.load->font().pixelSize(), 24);    // 0.04 x 600
  EXPECT_EQ(c.bendUp->font().pixelSize(), 32);  // 0.0533 x 600
  EXPECT_EQ(c.cue->font().pixelSize(), 26);     // 0.0433 x 600
  w.RunCommand(kCommandDefaultSize);
  EXPECT_EQ(w.size(), QSize(250, 300));
}

TEST_F(PlayerWindowTest, PaintedButtonsShowTheirEdgesUpAndDown) {
  PlayerWindow& w = MakeWindow();
  w.resize(500, 600);  // buttons 80 x 80
  const QImage up = w.Controls().play->grab().toImage();
  ASSERT_EQ(up.size(), QSize(80, 80));
  EXPECT_EQ(up.pixelColor(40, 2), QColor(0, 255, 0));   // green face
  EXPECT_EQ(up.pixelColor(0, 40), QColor(Qt::white));   // left edge, up
  EXPECT_EQ(up.pixelColor(40, 78), QColor(Qt::black));  // bottom edge, 2 px
  EXPECT_EQ(up.pixelColor(40, 79), QColor(Qt::black));
  EXPECT_EQ(up.pixelColor(20, 40), QColor(Qt::black));  // inside the triangle
  EXPECT_EQ(up.pixelColor(50, 40), QColor(0, 255, 0));  // between triangle and bars
  EXPECT_EQ(up.pixelColor(55, 40), QColor(Qt::black));  // the bars at 11/16 and 13/16
  EXPECT_EQ(up.pixelColor(60, 40), QColor(0, 255, 0));
  EXPECT_EQ(up.pixelColor(65, 40), QColor(Qt::black));
  EXPECT_EQ(up.pixelColor(65, 20), QColor(0, 255, 0));  // above the bars' top at 5/16
  QTest::keyClick(&w, 'l');                             // loaded: cue shown down
  const QImage cue = w.Controls().cue->grab().toImage();
  EXPECT_EQ(cue.pixelColor(40, 4), QColor(255, 0, 0));
  EXPECT_EQ(cue.pixelColor(0, 40), QColor(Qt::black));  // left edge, down
  EXPECT_EQ(cue.pixelColor(79, 40), QColor(Qt::white));
  int blackInside = 0;  // the "CUE" text
  for (int x = 10; x < 70; ++x) blackInside += cue.pixelColor(x, 40) == QColor(Qt::black) ? 1 : 0;
  EXPECT_GT(blackInside, 3);
}

TEST_F(PlayerWindowTest, LanguagePopupAndHelp) {
  PlayerWindow& w = MakeWindow({.mastertempo = true});
  EXPECT_EQ(Text(w.Controls().load->text()), "Load");
  ASSERT_NE(w.PopupMenu(), nullptr);
  QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(20, 20), QPoint(20, 20));
  QCoreApplication::sendEvent(&w, &rightClick);
  EXPECT_TRUE(w.PopupMenu()->isVisible());
  QAction* tempo = veltro::ui::FindCommandAction(*w.PopupMenu(), kCommandMastertempo);
  ASSERT_NE(tempo, nullptr);
  EXPECT_TRUE(tempo->isChecked());
  tempo->trigger();
  EXPECT_FALSE(w.Transport().Mastertempo());
  EXPECT_FALSE(tempo->isChecked());
  veltro::ui::FindCommandAction(*w.PopupMenu(), kCommandLoadFromPopup)->trigger();
  veltro::ui::FindCommandAction(*w.PopupMenu(), kCommandPlay)->trigger();
  EXPECT_EQ(Status(w), "playing");
  veltro::ui::FindCommandAction(*w.PopupMenu(), kCommandKeepProportions)->trigger();
  EXPECT_TRUE(w.KeepsProportions());
  EXPECT_EQ(w.width(), 250);  // 0.8333 x 300

  ASSERT_TRUE(language.Load(LanguageFile("lger")));
  w.SetLanguage(&language);
  EXPECT_EQ(Text(w.Controls().load->text()), "Laden");
  EXPECT_TRUE(veltro::ui::FindCommandAction(*w.PopupMenu(), kCommandKeepProportions)->isChecked());

  QTest::keyClick(&w, Qt::Key_F1);
  EXPECT_EQ(helpContexts, std::vector<int>{kDeckHelpContext});
}

TEST_F(PlayerWindowTest, BendButtonsNudgeWhileHeld) {
  PlayerWindow& w = MakeWindow();
  QTest::keyClick(&w, 'l');
  QTest::mousePress(w.Controls().bendUp, Qt::LeftButton);
  QTest::qWait(350);
  EXPECT_GE(w.Transport().NudgeCount(), 2);
  EXPECT_GE(w.Transport().Engine().MainFrequencyHz(), 44100u + 20u * 44u);
  QTest::mouseRelease(w.Controls().bendUp, Qt::LeftButton);
  EXPECT_EQ(w.Transport().Engine().MainFrequencyHz(), 44100u);
  const int after = w.Transport().NudgeCount();
  QTest::qWait(250);
  EXPECT_EQ(w.Transport().NudgeCount(), after);  // the timer stopped
}

TEST_F(PlayerWindowTest, MissingFileWarnsAndUnopenedDeviceShowsInStatus) {
  MakeLibrary({{"Gone", "Gone", "", "", dir.File("missing.wav"), 0, 1000}});
  platform::sound::SoundDevice closed;
  PlayerWindow& w = MakeWindow({}, &closed);
  EXPECT_NE(Status(w).find("no sound"), std::string::npos);
  QTest::mouseClick(w.Controls().load, Qt::LeftButton);
  auto* box = w.findChild<QMessageBox*>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), language.String(903));
  EXPECT_EQ(box->windowTitle(), language.String(902));
  EXPECT_NE(Status(w).find("Status"), std::string::npos);
}

}  // namespace
}  // namespace veltro::decks::ui
