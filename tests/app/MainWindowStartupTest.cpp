// Start-up from the settings file: first run, devices, decks, positions, saving and restoring.
#include <sys/stat.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QStatusBar>

#include "app/MainWindowHarness.h"
#include "app/ProgramOptions.h"
#include "app/SettingsKeys.h"
#include "decks/ui/MixerWindow.h"
#include "decks/ui/PlayerWindow.h"

namespace veltro::app {
namespace {

using testing::ReadBytes;

TEST_F(MainWindowTest, FirstRunAsksLanguageThenDevicesAndStartsWithTheirChoice) {
  answer = [](ui::TemplateDialog& dialog) {
    if (dialog.objectName() == QStringLiteral("LANGUAGEDLG")) {
      dialog.ControlById<QComboBox>(401)->setCurrentText(QStringLiteral("Deutsch"));
    }
    dialog.SendCommand(ui::kOkCommand);
    return dialog.result();
  };
  MainWindow& main = Start();
  EXPECT_TRUE(main.WasFirstRun());
  EXPECT_EQ(shownDialogs, (std::vector<std::string>{"LANGUAGEDLG", "DEVICEDLG"}));
  const platform::Profile written(IniPath());
  EXPECT_EQ(written.GetString(kMainSection, kLanguageKey, ""), "lger.dll");
  EXPECT_EQ(written.GetInt(kDevicesSection, kCountKey, -1), 2);
  EXPECT_EQ(main.Language().LanguageLabel(), QStringLiteral("Deutsch"));
  EXPECT_EQ(DeckNames(), (std::vector<std::string>{"Player 00", "Player 01"}));
  EXPECT_TRUE(QDir(Folder() + "/Playlist").exists());
  EXPECT_TRUE(QDir(Folder() + "/Data").exists());
  EXPECT_TRUE(main.windowTitle().endsWith(QStringLiteral("0 Songs")));
}

// The working folder holds English and German only; the build's module folder stands in for an
// install's data folder with all five languages and the help pages.
TEST_F(MainWindowTest, ModulesMissingFromTheWorkingFolderComeFromTheInstall) {
  installDataDirectory = testing::LanguageDir();
  QStringList listed;
  answer = [&listed](ui::TemplateDialog& dialog) {
    if (dialog.objectName() == QStringLiteral("LANGUAGEDLG")) {
      auto* list = dialog.ControlById<QComboBox>(401);
      for (int i = 0; i < list->count(); ++i) listed << list->itemText(i);
      list->setCurrentText(QStringLiteral("Italiano"));
    }
    dialog.SendCommand(ui::kOkCommand);
    return dialog.result();
  };
  MainWindow& main = Start();
  EXPECT_EQ(listed.size(), 5) << listed.join(',').toStdString();
  EXPECT_EQ(main.Language().LanguageLabel(), QStringLiteral("Italiano"));

  const ResourceFolders withoutHelp{Folder(), testing::LanguageDir()};
  EXPECT_EQ(withoutHelp.HelpDirectory(), testing::LanguageDir() + "/help");
  EXPECT_EQ(withoutHelp.ModuleFile("lger.dll"), Folder() + "/lger.rcc");  // the working copy wins
  EXPECT_EQ(withoutHelp.ModuleFile("lxxx.dll"), Folder() + "/lxxx.rcc");  // found nowhere
  ASSERT_TRUE(QDir(Folder()).mkpath(QStringLiteral("help")));
  EXPECT_EQ(withoutHelp.HelpDirectory(), Folder() + "/help");
  EXPECT_EQ((ResourceFolders{Folder(), {}}).ModuleFile("lita.dll"), Folder() + "/lita.rcc");
}

TEST_F(MainWindowTest, CancelledFirstRunStillWritesTheLanguageAndCreatesNoDeck) {
  Start();
  EXPECT_EQ(shownDialogs, (std::vector<std::string>{"LANGUAGEDLG", "DEVICEDLG"}));
  EXPECT_EQ(ReadBytes(IniPath()), "[MainWnd]\nLanguage=leng.dll\n\n[present Devices]\nCard 0=" +
                                      Guid(0) + "\nCard 1=" + Guid(1) + "\n");
  EXPECT_TRUE(DeckNames().empty()) << "Devices/Count is missing";
}

TEST_F(MainWindowTest, WritableSettingsShowNoDialog) {
  WriteDeviceSettings(kOneDevice, 1, 2);
  EXPECT_FALSE(Start().WasFirstRun());
  EXPECT_TRUE(shownDialogs.empty());
  EXPECT_EQ(DeckNames(), (std::vector<std::string>{"Player 00", "Player 01"}));
}

TEST_F(MainWindowTest, ReadOnlySettingsCountAsFirstRunAndStayUntouched) {
  WriteDeviceSettings(kOneDevice, 1, 2);
  const std::string before = ReadBytes(IniPath());
  ASSERT_EQ(chmod(IniPath().c_str(), 0444), 0);
  EXPECT_TRUE(Start().WasFirstRun());
  EXPECT_EQ(shownDialogs, (std::vector<std::string>{"LANGUAGEDLG", "DEVICEDLG"}));
  EXPECT_EQ(ReadBytes(IniPath()), before);
}

TEST_F(MainWindowTest, DeckCountFollowsDeviceModeAndCount) {
  struct Case {
    int mode, devices, players;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {kOneDevice, 0, 4, {}},                              // no device: no deck
      {kDevicePerDeck, 2, 4, {"Player 00", "Player 01"}},  // one deck per device
      {kMainAndMonitor, 2, 3, {"Player 00", "Player 01", "Player 02"}},
      {7, 2, 2, {}},  // unknown mode
  };
  for (const Case& c : cases) {
    WriteDeviceSettings(c.mode, c.devices, c.players);
    Start();
    EXPECT_EQ(DeckNames(), c.names) << "mode " << c.mode << ", " << c.devices << " devices";
    window.reset();
  }
}

TEST_F(MainWindowTest, DevicesGoToDecksByMode) {
  WriteDeviceSettings(kDevicePerDeck, 2, 4);
  MainWindow& main = Start();
  ASSERT_EQ(main.Decks().size(), 2u);
  EXPECT_EQ(main.Decks()[0].mainDevice, main.Devices()[0].get());
  EXPECT_EQ(main.Decks()[1].mainDevice, main.Devices()[1].get());
  EXPECT_EQ(openedGuids, (std::vector<std::string>{Guid(0), Guid(1)}));
  window.reset();

  WriteDeviceSettings(kMainAndMonitor, 2, 2);
  MainWindow& monitored = Start();
  for (const DeckEntry& deck : monitored.Decks()) {
    EXPECT_EQ(deck.mainDevice, monitored.Devices()[0].get());
    EXPECT_EQ(deck.monitorDevice, monitored.MonitorDevice());
  }
}

TEST_F(MainWindowTest, MissingDevicePlaysOnTheDefaultOutputAndSaysSo) {
  WriteDeviceSettings(kOneDevice, 1, 1);
  refuseGuid = Guid(0);
  MainWindow& main = Start();
  EXPECT_EQ(openedGuids, (std::vector<std::string>{Guid(0), ""}));
  ASSERT_EQ(main.Decks().size(), 1u);
  EXPECT_TRUE(main.statusBar()->currentMessage().contains(QStringLiteral("Card 0")));
}

TEST_F(MainWindowTest, DecksTakeDefaultPositionsAndTheLowestFreeName) {
  WriteDeviceSettings(kOneDevice, 1, 4);
  MainWindow& main = Start();
  const QPoint expected[] = {{0, 0}, {250, 0}, {20, 20}, {30, 30}};
  ASSERT_EQ(main.Decks().size(), 4u);
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(main.Decks()[i].window->frameGeometry().topLeft(), expected[i]) << i;
  }
  decks::MixerDeck* first = &main.Decks()[0].window->Transport();
  EXPECT_EQ(main.Mixer().Logic().Deck(decks::MixerSide::kLeft), first);
  ASSERT_TRUE(main.Decks()[0].window->close());
  EXPECT_EQ(main.Mixer().Logic().Deck(decks::MixerSide::kLeft), nullptr);
  for (const int list : {decks::ui::kLeftDeckList, decks::ui::kRightDeckList}) {
    const QComboBox* names = main.Mixer().Dialog().ControlById<QComboBox>(list);
    ASSERT_NE(names, nullptr);
    EXPECT_EQ(names->count(), 3);
    EXPECT_EQ(names->findText(QStringLiteral("Player 00")), -1) << list;
  }
  EXPECT_EQ(DeckNames(), (std::vector<std::string>{"Player 01", "Player 02", "Player 03"}));
  QCoreApplication::processEvents();  // the closed window is destroyed
  ASSERT_TRUE(main.CreateDeck());
  EXPECT_EQ(DeckNames().back(), "Player 00");
  EXPECT_EQ(main.Mixer().Logic().Deck(decks::MixerSide::kLeft),
            &main.Decks()[3].window->Transport());
}

TEST_F(MainWindowTest, ClosingWithoutSavingLeavesTheSettingsByteIdentical) {
  WriteDeviceSettings(kOneDevice, 1, 2, "[Mixer]\r\nVisible=1\r\n; a comment\r\n");
  const std::string before = ReadBytes(IniPath());
  MainWindow& main = Start();
  EXPECT_TRUE(main.MixerShown()) << "any non-zero Visible shows the mixer";
  main.RunCommand(kMixerVisibility);
  main.Decks()[0].window->move(40, 50);
  main.close();
  window.reset();
  EXPECT_EQ(ReadBytes(IniPath()), before);
}

TEST_F(MainWindowTest, SavedSettingsComeBackAtTheNextStart) {
  WriteDeviceSettings(kOneDevice, 1, 2, "[Player 01]\nelapse=0\n");
  MainWindow& main = Start();
  main.RunCommand(kMixerVisibility);
  main.move(70, 80);
  main.Decks()[1].window->move(300, 20);
  main.Decks()[1].window->Transport().SetAutoCue(true);
  main.Decks()[1].window->Transport().SetMastertempo(false);
  main.Mixer().Logic().SetFadetimeSeconds(9);
  main.Mixer().Logic().PlaystartTextChanged(12);
  main.RunCommand(kSaveSettings);
  const platform::Profile saved(IniPath());
  EXPECT_EQ(saved.GetInt(kMixerSection, kVisibleKey, -1), kVisibleChecked);
  EXPECT_EQ(saved.GetInt(kPlayerSection, kCountKey, -1), 2);
  window.reset();

  MainWindow& again = Start();
  EXPECT_EQ(again.frameGeometry().topLeft(), QPoint(70, 80));
  EXPECT_TRUE(again.MixerShown());
  const decks::DeckTransport& deck = again.Decks()[1].window->Transport();
  EXPECT_EQ(again.Decks()[1].window->frameGeometry().topLeft(), QPoint(300, 20));
  EXPECT_TRUE(deck.AutoCue());
  EXPECT_EQ(deck.ElapsedMode(), 0);
  EXPECT_FALSE(deck.Mastertempo());
  EXPECT_EQ(again.Mixer().Logic().FadetimeSeconds(), 9);
  EXPECT_EQ(again.Mixer().Logic().PlaystartSeconds(), 12);
  again.RunCommand(kMixerVisibility);
  again.RunCommand(kSaveSettings);
  EXPECT_EQ(platform::Profile(IniPath()).GetInt(kMixerSection, kVisibleKey, -1), 0);
}

TEST_F(MainWindowTest, UnusableLibraryIsReportedOnceAndTheProgramStarts) {
  WriteDeviceSettings(kOneDevice, 1, 1);
  ASSERT_TRUE(QDir(Folder()).mkpath(QStringLiteral("Data/Data.ndb")));  // a folder in its place
  MainWindow& main = Start();
  EXPECT_EQ(warnings.size(), 1u);
  EXPECT_EQ(main.Decks().size(), 1u);
}

// The program's own words, after Qt took its options: --version and --help win wherever they
// stand, anything unknown is refused rather than ignored.
TEST(ProgramOptionsTest, ActionsAndRefusals) {
  using Action = ProgramOptions::Action;
  const struct {
    QStringList words;
    Action action;
    bool home;
  } cases[] = {
      {{}, Action::kRun, false},
      {{"--home"}, Action::kRun, true},
      {{"--home", "--version"}, Action::kPrintVersion, false},
      {{"-h"}, Action::kPrintHelp, false},
      {{"--bogus", "--help"}, Action::kPrintHelp, false},
      {{"--home", "song.mp3"}, Action::kRefuse, true},
      {{"-home"}, Action::kRefuse, false},
  };
  for (const auto& each : cases) {
    const ProgramOptions options = ParseProgramOptions(each.words);
    EXPECT_EQ(options.action, each.action) << each.words.join(' ').toStdString();
    EXPECT_EQ(options.inUserDataFolder, each.home) << each.words.join(' ').toStdString();
  }
  EXPECT_EQ(ParseProgramOptions({"x"}).refusal, QStringLiteral("unknown argument: x"));
}

}  // namespace
}  // namespace veltro::app
