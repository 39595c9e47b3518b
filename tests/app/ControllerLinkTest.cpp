// The serial controller driving the running program: command 123, confirmed, opens the link on
// the port the settings name (a pseudo-terminal here, whose master plays the controller); the
// controller's lines then load, pitch, play, step and cue the mixer's deck A and deck B through
// the main window's own UI-thread queue; unplugging it closes the link with one message.
// The suite stays out of the thread-sanitizer pass: the program's windows are shown and painted,
// and Qt's own image thread pool (not instrumented) shows as races in every painted frame. The
// link's own threading is checked there by the decks' ControllerLinkThreaded suite.
#include <unistd.h>

#include <QScrollBar>
#include <QtTest/QTest>
#include <string>
#include <vector>

#include "app/MainWindowHarness.h"
#include "app/SettingsKeys.h"
#include "decks/ControllerLink.h"
#include "decks/ui/MixerWindow.h"
#include "library/LibraryFileBytes.h"
#include "support/Fixtures.h"
#include "support/PseudoTerminal.h"

namespace veltro::app {
namespace {

using decks::DeckState;

constexpr int kWaitMs = 10000;

class ControllerLinkEndToEndTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    WriteTwoSongLibrary();
    // Without Mastertempo the pitch shows in the decks' output frequency.
    WriteDeviceSettings(
        kOneDevice, 1, 2,
        "[" + DeckName(0) + "]\nMastertempo=0\n[" + DeckName(1) + "]\nMastertempo=0\n");
    ASSERT_TRUE(pty.Valid());
    slavePath = pty.SlavePath();
    Start();
  }
  void TearDown() override {
    MainWindowTest::TearDown();
  }
  decks::DeckTransport& Deck(size_t i) { return window->Decks()[i].window->Transport(); }
  void Send(const std::string& bytes) {
    ASSERT_TRUE(pty.Write(bytes));
  }

  std::string slavePath;
  testing::PseudoTerminal pty;
};

TEST_F(ControllerLinkEndToEndTest, ControllerDrivesTheMixersDecksUntilUnplugged) {
  ASSERT_EQ(window->Mixer().Logic().Deck(decks::MixerSide::kLeft), &Deck(0));
  ASSERT_EQ(window->Mixer().Logic().Deck(decks::MixerSide::kRight), &Deck(1));
  ASSERT_TRUE(window->Settings().WriteString(kDevicesSection, kComportKey, slavePath));
  answer = [](ui::TemplateDialog&) { return 1; };  // OK, the port as stored
  window->RunCommand(kControllerPort);
  ASSERT_EQ(warnings, std::vector<std::string>{decks::kControllerOpenedText});

  // Each line and what deck A and deck B show once it has been carried out. A pitch line before
  // a load would change nothing (the slider waits for a song), so the decks are loaded first.
  const struct {
    std::string bytes;
    DeckState stateA, stateB;
    int pitchA, pitchB, positionA;
  } rows[] = {
      {"14\r\n", DeckState::kLoaded, DeckState::kNoSong, 127, 127, 0},
      {"10\r\n", DeckState::kLoaded, DeckState::kLoaded, 127, 127, 0},
      {"Pitch_A=140\r\n", DeckState::kLoaded, DeckState::kLoaded, 140, 127, 0},
      {"Pitch_B=100\r\n", DeckState::kLoaded, DeckState::kLoaded, 140, 100, 0},
      {"12\r\n", DeckState::kPlaying, DeckState::kLoaded, 140, 100, 0},
      {"22", DeckState::kSeeking, DeckState::kLoaded, 140, 100, 1},
      {"13\r\n", DeckState::kCued, DeckState::kLoaded, 140, 100, 1},
  };
  for (const auto& row : rows) {
    Send(row.bytes);
    const auto shows = [&] {
      return Deck(0).State() == row.stateA && Deck(1).State() == row.stateB &&
             Deck(0).PitchPosition() == row.pitchA && Deck(1).PitchPosition() == row.pitchB &&
             Deck(0).Position() == row.positionA;
    };
    EXPECT_TRUE(QTest::qWaitFor(shows, kWaitMs))
        << row.bytes << ": A " << static_cast<int>(Deck(0).State()) << " pitch "
        << Deck(0).PitchPosition() << " at " << Deck(0).Position() << ", B "
        << static_cast<int>(Deck(1).State()) << " pitch " << Deck(1).PitchPosition();
  }
  EXPECT_EQ(Deck(0).Song().cuePosition, 1u) << "the cue after a step stores the new place";
  // The pitch lines took effect as slider drags do: deck A plays faster, deck B slower, and the
  // windows' sliders stand where the controller put them.
  EXPECT_GT(Deck(0).Engine().MainFrequencyHz(), 44100u);
  EXPECT_LT(Deck(1).Engine().MainFrequencyHz(), 44100u);
  EXPECT_EQ(window->Decks()[0].window->Controls().pitchBar->value(), 140);
  EXPECT_EQ(window->Decks()[1].window->Controls().pitchBar->value(), 100);
  EXPECT_EQ(warnings.size(), 1u);

  answer = nullptr;  // cancelled: closes the link
  window->RunCommand(kControllerPort);
  answer = [](ui::TemplateDialog&) { return 1; };
  window->RunCommand(kControllerPort);
  Send("8\r\n");  // deck B plays: the link is open again
  EXPECT_TRUE(QTest::qWaitFor([&] { return Deck(1).State() == DeckState::kPlaying; }, kWaitMs));

  pty.CloseMaster();  // the controller is unplugged
  EXPECT_TRUE(QTest::qWaitFor([&] { return warnings.size() >= 4; }, kWaitMs));
  QTest::qWait(50);
  EXPECT_EQ(warnings,
            (std::vector<std::string>{decks::kControllerOpenedText, decks::kControllerClosedText,
                                      decks::kControllerOpenedText, decks::kControllerClosedText}));
  EXPECT_EQ(Deck(0).State(), DeckState::kCued);
  EXPECT_EQ(Deck(1).State(), DeckState::kPlaying) << "the decks go on";
  answer = nullptr;  // cancelled: closes the link, which is closed already
  window->RunCommand(kControllerPort);
  EXPECT_EQ(warnings.size(), 4u);
}

}  // namespace
}  // namespace veltro::app
