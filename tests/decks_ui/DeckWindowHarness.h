// Shared set-up for the deck window tests: real PlayerWindows over engines on a manual sound
// device (as the transport tests use), a hand-fired playback timer, songs in a small library,
// the built language modules, and a recorder of help requests.
#pragma once

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "decks/DeckHarness.h"
#include "decks/ui/PlayerWindow.h"
#include "ui/LanguageModule.h"

namespace veltro::decks::ui {

inline QString LanguageFile(const char* module) {
  return QStringLiteral(VELTRO_LANG_DIR "/") + QLatin1String(module) + QStringLiteral(".rcc");
}

class DeckWindowTest : public DeckTest {
 protected:
  void SetUp() override {
    DeckTest::SetUp();
    ASSERT_TRUE(language.Load(LanguageFile("leng")));
  }
  void TearDown() override {
    windows.clear();  // before the device and library they use
  }
  // A deck window on the manual device with the hand-fired timer.
  PlayerWindow& MakeWindow(DeckSettings settings = {}, platform::sound::SoundDevice* main = nullptr,
                           const std::string& name = "Player 00") {
    PlayerWindowSetup setup;
    setup.deckName = name;
    setup.mainDevice = main != nullptr ? main : &device;
    setup.library = db.get();
    setup.language = &language;
    setup.openHelp = [this](int context) { helpContexts.push_back(context); };
    setup.timerFactory = timers.Factory();
    setup.settings = settings;
    windows.push_back(std::make_unique<PlayerWindow>(std::move(setup)));
    return *windows.back();
  }
  // One 100 ms period: the device plays, the timer fires, the window runs what was posted.
  void TickWindow() {
    Tick();
    QCoreApplication::processEvents();
  }
  static std::string Text(const QString& text) { return text.toStdString(); }

  veltro::ui::LanguageModule language;
  std::vector<int> helpContexts;
  std::vector<std::unique_ptr<PlayerWindow>> windows;
};

}  // namespace veltro::decks::ui
