// Loads every built language module and checks that it holds every resource the program looks
// up, and that a missing or damaged module answers nothing without crashing.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <algorithm>
#include <set>

#include "support/TempDir.h"
#include "ui/LanguageModule.h"
#include "ui/UiTestSupport.h"

namespace veltro::testing {
namespace {

using ui::LanguageModule;

const int kNumberedStrings[] = {900, 901, 902, 903, 910, 911, 912, 913, 914, 915, 916,
                                917, 918, 919, 920, 921, 922, 923, 924, 925, 926};
const char* const kDialogs[] = {"DEVICEDLG", "LANGUAGEDLG", "COMDLG",
                                "AboutBox",  "SCANDLG",     "MIXERDLG"};

std::set<int> CommandSet(const ui::MenuDescription& menu) {
  const std::vector<int> commands = ui::CommandsOf(menu);
  return std::set<int>(commands.begin(), commands.end());
}

const ui::MenuItem* FindItem(const std::vector<ui::MenuItem>& items, int command) {
  for (const ui::MenuItem& item : items) {
    if (item.command == command) return &item;
    if (const ui::MenuItem* inner = FindItem(item.items, command)) return inner;
  }
  return nullptr;
}

class LanguageModuleTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
};

TEST_F(LanguageModuleTest, EveryModuleHoldsEveryNamedResource) {
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    LanguageModule module;
    ASSERT_TRUE(module.Load(ModulePath(name)));
    EXPECT_FALSE(module.LanguageLabel().isEmpty());
    for (int id : kNumberedStrings) EXPECT_FALSE(module.String(id).isEmpty()) << id;
    EXPECT_FALSE(module.Menu("MAINMENU").empty());
    EXPECT_TRUE(module.Menu("PLAYERPOPUP").at(0).IsSubmenu());
    EXPECT_TRUE(module.Menu("PLAYLISTPOPUP").at(0).IsSubmenu());
    EXPECT_FALSE(module.Accelerators("MAINACCELERATOR").empty());
    for (const char* dialog : kDialogs) EXPECT_EQ(module.Dialog(dialog).name, dialog);
    const QIcon icon = module.Icon("MAINICON");
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_FALSE(module.Bitmap("LED_ON").isNull());
    EXPECT_FALSE(module.Bitmap("LED_OFF").isNull());
    EXPECT_NE(module.Bitmap("LED_ON").toImage(), module.Bitmap("LED_OFF").toImage());
  }
}

TEST_F(LanguageModuleTest, HelpNamesAreShortDistinctAndHavePages) {
  std::set<QString> names;
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    LanguageModule module;
    ASSERT_TRUE(module.Load(ModulePath(name)));
    const QString help = module.HelpFileName();
    EXPECT_FALSE(help.isEmpty());
    EXPECT_LE(module.String(921).size(), 9);
    EXPECT_EQ(help, module.String(921));
    EXPECT_TRUE(QFileInfo::exists(LanguageDir() + "/help/" + help + ".html"));
    names.insert(help);
  }
  EXPECT_EQ(names.size(), std::size(kModules));
  EXPECT_EQ(names.count(QString(ui::kDefaultHelpName)), 1u);
}

TEST_F(LanguageModuleTest, MenusCarryTheCommandNumbers) {
  const std::set<int> mainCommands = {101, 102, 104, 107, 108, 111, 112, 121,
                                      122, 123, 131, 132, 141, 142, 143};
  const std::set<int> deckCommands = {304, 307, 308, 320, 321, 322, 323, 324, 325};
  for (const char* name : kModules) {
    SCOPED_TRACE(name);
    LanguageModule module;
    ASSERT_TRUE(module.Load(ModulePath(name)));
    const ui::MenuDescription mainMenu = module.Menu("MAINMENU");
    EXPECT_EQ(CommandSet(mainMenu), mainCommands);
    ASSERT_NE(FindItem(mainMenu, 131), nullptr);
    EXPECT_TRUE(FindItem(mainMenu, 131)->checkable);
    EXPECT_FALSE(FindItem(mainMenu, 131)->checked);
    const ui::MenuDescription deckMenu = module.Menu("PLAYERPOPUP");
    EXPECT_EQ(CommandSet(deckMenu[0].items), deckCommands);
    EXPECT_TRUE(FindItem(deckMenu, 320)->checkable);
    EXPECT_TRUE(FindItem(deckMenu, 325)->checked);
    EXPECT_TRUE(CommandSet(module.Menu("PLAYLISTPOPUP")[0].items).count(510));
  }
}

TEST_F(LanguageModuleTest, AcceleratorsProduceMainWindowCommands) {
  const std::set<int> known = {101, 102, 104, 107, 108,  111,  112,  121,  122,  123,  131,
                               132, 141, 142, 143, 1001, 1002, 1003, 1004, 1005, 1006, 1007};
  LanguageModule module;
  ASSERT_TRUE(module.Load(ModulePath("leng")));
  std::set<int> commands;
  std::set<QString> keys;
  for (const ui::Accelerator& accelerator : module.Accelerators("MAINACCELERATOR")) {
    EXPECT_TRUE(known.count(accelerator.command)) << accelerator.command;
    commands.insert(accelerator.command);
    keys.insert(accelerator.key.toString(QKeySequence::PortableText));
  }
  for (int command = 1001; command <= 1007; ++command) EXPECT_TRUE(commands.count(command));
  EXPECT_EQ(keys.size(), module.Accelerators("MAINACCELERATOR").size()) << "a key used twice";
  EXPECT_TRUE(keys.count("Ctrl+N"));
}

TEST_F(LanguageModuleTest, BuiltMenusCarryCommandDataAndCheckMarks) {
  LanguageModule module;
  ASSERT_TRUE(module.Load(ModulePath("lger")));
  const auto bar = ui::BuildMenuBar(module.Menu("MAINMENU"));
  EXPECT_EQ(bar->actions().size(), 4);
  QAction* mixer = ui::FindCommandAction(*bar, 131);
  ASSERT_NE(mixer, nullptr);
  EXPECT_EQ(mixer->data().toInt(), 131);
  EXPECT_TRUE(mixer->isCheckable());
  EXPECT_EQ(mixer->text(), "&Mischpult");
  EXPECT_EQ(ui::FindCommandAction(*bar, 999), nullptr);
  const auto popup = ui::BuildFirstSubmenu(module.Menu("PLAYERPOPUP"));
  ASSERT_NE(popup, nullptr);
  ASSERT_NE(ui::FindCommandAction(*popup, 325), nullptr);
  EXPECT_TRUE(ui::FindCommandAction(*popup, 325)->isChecked());
  EXPECT_FALSE(ui::FindCommandAction(*popup, 320)->isChecked());
  EXPECT_EQ(ui::BuildFirstSubmenu({}), nullptr);
}

TEST_F(LanguageModuleTest, SwitchingModulesChangesTexts) {
  LanguageModule module;
  ASSERT_TRUE(module.Load(ModulePath("leng")));
  EXPECT_EQ(module.String(914), "Load");
  EXPECT_EQ(module.Dialog("MIXERDLG").title, "Mixer");
  ASSERT_TRUE(module.Load(ModulePath("lger")));
  EXPECT_EQ(module.String(914), "Laden");
  EXPECT_EQ(module.String(926), QString::fromUtf8("Länge"));
  EXPECT_EQ(module.Dialog("MIXERDLG").title, "Mischpult");
  EXPECT_EQ(module.HelpFileName(), "veltro_d");
  // Two modules loaded at once answer independently.
  LanguageModule french;
  ASSERT_TRUE(french.Load(ModulePath("lfra")));
  EXPECT_EQ(french.String(914), "Charger");
  EXPECT_EQ(french.LanguageLabel(), QString::fromUtf8("Français"));
  EXPECT_EQ(module.String(914), "Laden");
}

TEST_F(LanguageModuleTest, MissingModuleAnswersNothing) {
  LanguageModule module;
  EXPECT_FALSE(module.Load(LanguageDir() + "/lxyz.rcc"));
  EXPECT_FALSE(module.IsLoaded());
  EXPECT_TRUE(module.String(914).isEmpty());
  EXPECT_TRUE(module.Menu("MAINMENU").empty());
  EXPECT_TRUE(module.Accelerators("MAINACCELERATOR").empty());
  EXPECT_TRUE(module.Dialog("MIXERDLG").IsNull());
  EXPECT_TRUE(module.Icon("MAINICON").isNull());
  EXPECT_TRUE(module.Bitmap("LED_ON").isNull());
  EXPECT_TRUE(module.HelpFileName().isEmpty());
}

TEST_F(LanguageModuleTest, FailedLoadForgetsThePreviousModule) {
  LanguageModule module;
  ASSERT_TRUE(module.Load(ModulePath("leng")));
  EXPECT_FALSE(module.Load(LanguageDir() + "/missing.rcc"));
  EXPECT_TRUE(module.String(914).isEmpty());
  EXPECT_TRUE(module.Dialog("AboutBox").IsNull());
}

TEST_F(LanguageModuleTest, DamagedFilesAreRefused) {
  TempDir dir;
  QFile original(ModulePath("leng"));
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  const QByteArray bytes = original.readAll();
  ASSERT_GT(bytes.size(), 100);
  const std::string cases[] = {
      "", "qres", std::string("not a resource file at all, just some text"),
      std::string(bytes.constData(), static_cast<size_t>(bytes.size() / 2)),
      std::string("qres\0\0\0\3\x7f\xff\xff\xff\0\0\0\x14\0\0\0\x14\0\0\0\0", 24)};
  int index = 0;
  for (const std::string& content : cases) {
    SCOPED_TRACE(index);
    const std::string path = dir.File("bad" + std::to_string(index++) + ".rcc");
    WriteBytes(path, content);
    LanguageModule module;
    EXPECT_FALSE(module.Load(QString::fromStdString(path)));
    EXPECT_TRUE(module.String(900).isEmpty());
  }
}

TEST_F(LanguageModuleTest, MissingResourcesAnswerEmptyOrNull) {
  LanguageModule module;
  ASSERT_TRUE(module.Load(ModulePath("leng")));
  EXPECT_TRUE(module.String(999).isEmpty());
  EXPECT_TRUE(module.String(-1).isEmpty());
  EXPECT_TRUE(module.Menu("NOMENU").empty());
  EXPECT_TRUE(module.Accelerators("MAINMENU").empty());
  EXPECT_TRUE(module.Dialog("NODLG").IsNull());
  EXPECT_TRUE(module.Dialog("../strings").IsNull());
  EXPECT_TRUE(module.Icon("LED_ON").isNull()) << "bitmaps are not icons";
  EXPECT_TRUE(module.Bitmap("MAINICON").isNull());
  EXPECT_TRUE(module.Bitmap("").isNull());
}

TEST_F(LanguageModuleTest, SettingNamesModuleFileInDirectory) {
  EXPECT_EQ(ui::ModuleFileForSetting("lger.dll", "/work/x"), "/work/x/lger.rcc");
  EXPECT_EQ(ui::ModuleFileForSetting(" leng.dll ", "/w"), "/w/leng.rcc");
  EXPECT_EQ(ui::ModuleFileForSetting("lfra", "/w"), "/w/lfra.rcc");
  EXPECT_EQ(ui::ModuleFileForSetting("lita.rcc", "/w"), "/w/lita.rcc");
  EXPECT_TRUE(ui::ModuleFileForSetting("", "/w").isEmpty());
  EXPECT_TRUE(ui::ModuleFileForSetting("../evil.dll", "/w").isEmpty());
  LanguageModule module;
  EXPECT_TRUE(module.Load(ui::ModuleFileForSetting("lesp.dll", LanguageDir())));
  EXPECT_EQ(module.String(914), "Cargar");
}

}  // namespace
}  // namespace veltro::testing
