// Shared set-up for the program's start-up and command tests: a working directory with the
// built language modules, hooks that answer the first-run dialogs, list made-up sound devices
// and open every device on the manual backend, a hand-fired deck timer, warnings recorded.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <memory>
#include <string>
#include <vector>

#include "app/MainWindow.h"
#include "decks/DeckHarness.h"
#include "decks/ui/PlayerWindow.h"
#include "library/LibraryFileBytes.h"
#include "platform/sound/SoundDevice.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"
#include "ui/DialogBuilder.h"
#include "ui/UiTestSupport.h"

namespace veltro::app {

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* module : {"leng", "lger"}) {
      const QString target = Folder() + QStringLiteral("/") + module + QStringLiteral(".rcc");
      ASSERT_TRUE(QFile::copy(testing::ModulePath(module), target));
    }
  }
  void TearDown() override { window.reset(); }

  QString Folder() const { return QString::fromStdString(dir.Path().string()); }
  std::string IniPath() const { return dir.File("veltro.ini"); }
  void WriteIni(const std::string& text) { testing::WriteBytes(IniPath(), text); }

  // Settings for `decks` decks on `devices` made-up devices in `mode`, all known to be present.
  void WriteDeviceSettings(int mode, int devices, int decks, const std::string& extra = "") {
    std::string text = "[MainWnd]\nLanguage=leng.dll\n[Devices]\nMode=" + std::to_string(mode) +
                       "\nCount=" + std::to_string(devices) + "\n";
    for (int i = 0; i < devices; ++i) {
      text += "Card_" + std::to_string(i) + "=Card " + std::to_string(i) + "\n";
    }
    text += "[present Devices]\n";
    for (int i = 0; i < devices; ++i) text += "Card " + std::to_string(i) + "=" + Guid(i) + "\n";
    WriteIni(text + "[Player]\nCount=" + std::to_string(decks) + "\n" + extra);
  }

  // Data/Data.ndb with two 2 s sine songs, Alpha.wav and Beta.wav (artists "Alpha", "Beta").
  std::vector<library::Song> WriteTwoSongLibrary() {
    std::vector<library::Song> songs;
    for (const char* name : {"Alpha", "Beta"}) {
      const std::string path = dir.File(std::string(name) + ".wav");
      const auto samples = testing::Sine(440.0, 44100, 2.0, 2);
      testing::WriteBytes(
          path, testing::MakeWav(testing::PcmLayout(2, 44100), testing::Pcm16Bytes(samples)));
      songs.push_back({name, std::string(name) + " song", "Test", "2024", path, 0, 2000});
    }
    QDir(Folder()).mkpath(QStringLiteral("Data"));
    testing::WriteBytes(dir.File("Data/Data.ndb"), library::DataFileBytes(songs));
    return songs;
  }

  static std::string Guid(int i) {
    return "{00000000-0000-0000-0000-00000000000" + std::to_string(i) + "}";
  }

  MainWindowHooks Hooks() {
    MainWindowHooks hooks;
    hooks.workingDirectory = Folder();
    hooks.installDataDirectory = installDataDirectory;
    hooks.runModal = [this](QDialog& dialog) {
      shownDialogs.push_back(dialog.objectName().toStdString());
      return answer ? answer(static_cast<ui::TemplateDialog&>(dialog)) : 0;
    };
    hooks.enumerateDevices = [this] {
      std::vector<platform::sound::DeviceInfo> devices;
      for (int i = 0; i < presentDevices; ++i) {
        devices.push_back({Guid(i), "Card " + std::to_string(i)});
      }
      return devices;
    };
    hooks.openDevice = [this](platform::sound::SoundDevice& device, const std::string& guid) {
      openedGuids.push_back(guid);
      return !refuseGuid.empty() && guid == refuseGuid ? false : device.OpenManual();
    };
    hooks.timerFactory = timers.Factory();
    hooks.warn = [this](const QString&, const QString& text) {
      warnings.push_back(text.toStdString());
    };
    return hooks;
  }

  // Runs the whole start-up as the program entry does.
  MainWindow& Start() {
    window = std::make_unique<MainWindow>(Hooks());
    window->CreateAndStart();
    return *window;
  }

  std::vector<std::string> DeckNames() const {
    std::vector<std::string> names;
    for (const DeckEntry& deck : window->Decks()) names.push_back(deck.window->DeckName());
    return names;
  }

  testing::TempDir dir;
  decks::ManualTimers timers;
  std::function<int(ui::TemplateDialog&)> answer;  // empty: every dialog is cancelled
  int presentDevices = 2;
  QString installDataDirectory;  // empty: no install
  std::string refuseGuid;
  std::vector<std::string> shownDialogs;
  std::vector<std::string> openedGuids;
  std::vector<std::string> warnings;
  std::unique_ptr<MainWindow> window;
};

}  // namespace veltro::app
