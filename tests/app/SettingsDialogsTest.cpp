// The three settings dialogs, filled from and written to a real settings file in a temporary
// folder: which languages are offered and preselected, which device keys each mode writes (and
// which it leaves alone), the device list rewritten on every opening, the stored port kept as
// typed, and every text of every dialog whole inside its control in all five languages.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <filesystem>
#include <string>
#include <vector>

#include "app/ComPortDialog.h"
#include "app/DeviceDialog.h"
#include "app/LanguageDialog.h"
#include "app/SettingsKeys.h"
#include "platform/Profile.h"
#include "support/TempDir.h"
#include "ui/DialogBuilder.h"
#include "ui/LanguageModule.h"
#include "ui/TextFit.h"
#include "ui/UiTestSupport.h"

namespace veltro::app {
namespace {

using platform::sound::DeviceInfo;

const std::vector<DeviceInfo> kThreeDevices = {
    {"{00000000-0000-0000-0000-00000000000A}", "Speakers"},
    {"{00000000-0000-0000-0000-00000000000B}", "Headphones"},
    {"{00000000-0000-0000-0000-00000000000C}", "Null output"},
};

class SettingsDialogsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(language.Load(veltro::testing::ModulePath("leng"))); }

  std::string IniPath() const { return dir.File(kSettingsFileName); }
  QString WorkingDir() const { return QString::fromStdString(dir.Path().string()); }
  void AddModule(const char* module) {
    std::filesystem::copy_file(veltro::testing::ModulePath(module).toStdString(),
                               dir.Path() / (std::string(module) + ".rcc"));
  }
  std::unique_ptr<DeviceDialog> OpenDevices(std::vector<DeviceInfo> devices) {
    return std::make_unique<DeviceDialog>(&language, settings, help, nullptr,
                                          [devices] { return devices; });
  }
  std::string Device(const std::string& key) const {
    return platform::Profile(IniPath()).GetString(kDevicesSection, key, "<none>");
  }

  veltro::testing::TempDir dir;
  ui::LanguageModule language;
  platform::Profile settings{IniPath()};
  std::vector<int> helpContexts;
  std::function<void(int)> help = [this](int context) { helpContexts.push_back(context); };
};

QStringList Entries(const QComboBox& list) {
  QStringList entries;
  for (int i = 0; i < list.count(); ++i) entries << list.itemText(i);
  return entries;
}

TEST_F(SettingsDialogsTest, LanguageDialogOffersPresentModulesAndPreselectsTheStoredOne) {
  AddModule("lger");  // added out of order: the list keeps the fixed order
  AddModule("leng");
  {
    LanguageDialog first(&language, settings, {WorkingDir(), {}}, help);  // no settings file yet
    const auto* list = first.Dialog().ControlById<QComboBox>(kLanguageList);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Entries(*list), QStringList({"English", "Deutsch"}));
    EXPECT_EQ(list->currentIndex(), -1);
  }
  ASSERT_TRUE(settings.WriteString(kMainSection, kLanguageKey, "LGER.dll"));
  LanguageDialog dialog(&language, settings, {WorkingDir(), {}}, help);
  auto* list = dialog.Dialog().ControlById<QComboBox>(kLanguageList);
  EXPECT_EQ(list->currentText(), "Deutsch");
  QTest::keyClick(&dialog.Dialog(), Qt::Key_F1);
  dialog.Dialog().SendCommand(ui::kHelpCommand);
  EXPECT_EQ(helpContexts, std::vector<int>({kLanguageHelpContext, kLanguageHelpContext}));
  list->setCurrentIndex(0);
  dialog.Dialog().SendCommand(ui::kOkCommand);
  EXPECT_EQ(dialog.Dialog().result(), 1);
  EXPECT_EQ(platform::Profile(IniPath()).GetString(kMainSection, kLanguageKey, ""), "leng.dll");
}

TEST_F(SettingsDialogsTest, DeviceModesWriteOnlyTheirOwnCards) {
  const struct {
    int storedMode;
    int rows;
    std::vector<std::string> cards;  // Card_0 ... Card_2 afterwards
  } cases[] = {
      {kOneDevice, 1, {"Speakers", "<none>", "<none>"}},  // row 0 shows the first device
      {kMainAndMonitor, 2, {"Headphones", "Speakers", "<none>"}},
      {kDevicePerDeck, 3, {"Null output", "Speakers", "Headphones"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.storedMode);
    veltro::testing::WriteBytes(IniPath(), "[Devices]\nCard_5=stale\n");
    ASSERT_TRUE(settings.Reload());
    ASSERT_TRUE(settings.WriteInt(kDevicesSection, kModeKey, c.storedMode));
    auto devices = OpenDevices(kThreeDevices);
    ASSERT_EQ(devices->RowCount(), c.rows);
    // Mode 0 keeps the first device its row proposes; the other modes get other choices.
    for (int row = c.storedMode == kOneDevice ? 1 : 0; row < c.rows; ++row) {
      devices->RowList(row)->setEditText(QString::fromStdString(c.cards[row]));
    }
    devices->Dialog().SendCommand(ui::kOkCommand);
    EXPECT_EQ(devices->Dialog().result(), 1);
    EXPECT_EQ(Device(kCountKey), "3");
    EXPECT_EQ(Device(kModeKey), std::to_string(c.storedMode));
    for (int out = 0; out < 3; ++out) EXPECT_EQ(Device(CardKey(out)), c.cards[out]) << out;
    EXPECT_EQ(Device("Card_5"), "stale");
  }
}

TEST_F(SettingsDialogsTest, DeviceListIsRewrittenOnEveryOpeningEvenWhenCancelled) {
  veltro::testing::WriteBytes(IniPath(), "[present Devices]\nSpeakers={old}\nGone={gone}\n");
  ASSERT_TRUE(settings.Reload());
  auto devices = OpenDevices(kThreeDevices);
  devices->Dialog().reject();
  EXPECT_EQ(devices->Dialog().result(), 0);
  const platform::Profile stored(IniPath());
  for (const DeviceInfo& device : kThreeDevices) {
    EXPECT_EQ(stored.GetString(kPresentDevicesSection, device.description, ""), device.guidText);
  }
  EXPECT_EQ(stored.GetString(kPresentDevicesSection, "Gone", ""), "{gone}");
  EXPECT_EQ(Device(kCountKey), "<none>");
  const auto* count = devices->Dialog().ControlById<QLabel>(kDeviceCountText);
  ASSERT_NE(count, nullptr);
  EXPECT_TRUE(count->text().endsWith(" 3")) << count->text().toStdString();
}

TEST_F(SettingsDialogsTest, ModeButtonsRebuildTheRowsAndTheDialogHeight) {
  ASSERT_TRUE(settings.WriteString(kDevicesSection, "Card_1", "Null output"));
  auto devices = OpenDevices(kThreeDevices);
  ui::TemplateDialog& d = devices->Dialog();
  d.show();
  const struct {
    int button;
    int height;
    QStringList labels;
    QStringList texts;
  } steps[] = {
      {kDevicePerDeckButton, 265, {"Player 0", "Player 1", "Player 2"}, {"", "Null output", ""}},
      {kMainAndMonitorButton,
       225,
       {"Main output", "Monitor (headphones)"},
       {"Speakers", "Headphones"}},
      {kOneDeviceButton, 185, {"Output device"}, {"Speakers"}},
  };
  for (const auto& step : steps) {
    auto* button = d.ControlById<QRadioButton>(step.button);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(devices->Mode(), step.button - kOneDeviceButton);
    EXPECT_EQ(d.height(), step.height);
    ASSERT_EQ(devices->RowCount(), step.labels.size());
    for (int row = 0; row < devices->RowCount(); ++row) {
      EXPECT_EQ(devices->RowLabel(row)->text(), step.labels[row]);
      EXPECT_EQ(devices->RowList(row)->currentText(), step.texts[row]);
      EXPECT_EQ(devices->RowList(row)->y(), 85 + 40 * row);
      EXPECT_EQ(devices->RowList(row)->count(), 3);
    }
    EXPECT_EQ(d.Control(ui::kOkCommand)->y(), step.height - 60);
  }
  QTest::keyClick(&d, Qt::Key_F1);
  QTest::mouseClick(d.Control(ui::kHelpCommand), Qt::LeftButton);
  EXPECT_EQ(helpContexts, std::vector<int>({kDeviceHelpContext, kDeviceHelpContext}));
}

TEST_F(SettingsDialogsTest, OneDeviceAllowsOnlyTheFirstModeWhateverIsStored) {
  ASSERT_TRUE(settings.WriteInt(kDevicesSection, kModeKey, kDevicePerDeck));
  auto devices = OpenDevices({kThreeDevices.back(), {"", "Primary driver without a GUID"}});
  ui::TemplateDialog& d = devices->Dialog();
  EXPECT_TRUE(d.ControlById<QRadioButton>(kOneDeviceButton)->isChecked());
  EXPECT_FALSE(d.Control(kMainAndMonitorButton)->isEnabled());
  EXPECT_FALSE(d.Control(kDevicePerDeckButton)->isEnabled());
  ASSERT_EQ(devices->RowCount(), 1);
  EXPECT_EQ(devices->RowList(0)->count(), 1);
  EXPECT_EQ(d.height(), 185);
}

TEST_F(SettingsDialogsTest, LongDeviceNamesAreWrittenWholeAndFailedWritesStillEndTheDialog) {
  const std::string name = "ALSA: USB Audio CODEC with a name far longer than forty-eight bytes";
  auto devices = OpenDevices({{"{00000000-0000-0000-0000-000000000001}", name}});
  devices->Dialog().SendCommand(ui::kOkCommand);
  EXPECT_EQ(Device(CardKey(0)), name);

  platform::Profile unwritable(dir.File("missing/veltro.ini"));
  DeviceDialog failing(&language, unwritable, help, nullptr, [] { return kThreeDevices; });
  failing.Dialog().SendCommand(ui::kOkCommand);
  EXPECT_EQ(failing.Dialog().result(), 1);
  ComPortDialog port(&language, unwritable, help, nullptr,
                     [] { return std::vector<std::string>(); });
  port.Dialog().SendCommand(ui::kOkCommand);
  EXPECT_EQ(port.Dialog().result(), 1);
}

TEST_F(SettingsDialogsTest, PortDialogShowsTheStoredPortAndWritesTheTextWhole) {
  const std::vector<std::string> ports = {"/dev/ttyS0", "/dev/ttyUSB0"};
  const auto list = [ports] { return ports; };
  ComPortDialog fresh(&language, settings, help, nullptr, list);
  EXPECT_EQ(fresh.Dialog().ControlById<QComboBox>(kComPortList)->currentText(), "COM1");

  ASSERT_TRUE(settings.WriteString(kDevicesSection, kComportKey, "COM7"));
  ComPortDialog dialog(&language, settings, help, nullptr, list);
  auto* combo = dialog.Dialog().ControlById<QComboBox>(kComPortList);
  EXPECT_EQ(combo->currentText(), "COM7");
  EXPECT_EQ(Entries(*combo), QStringList({"/dev/ttyS0", "/dev/ttyUSB0"}));
  dialog.Dialog().SendCommand(ui::kHelpCommand);
  EXPECT_TRUE(helpContexts.empty());
  const QString path = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
  combo->setEditText(path);
  dialog.Dialog().SendCommand(ui::kOkCommand);
  EXPECT_EQ(Device(kComportKey), path.toStdString());
}

// Every text a control of `dialog` shows fits whole inside the area the control draws it in.
void ExpectTextsFit(const QWidget& dialog, const std::string& what) {
  int withText = 0;
  for (const QWidget* child : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    const QStringList texts = veltro::ui::ShownTexts(*child);
    if (texts.isEmpty() || child->isHidden()) continue;
    ++withText;
    const auto* label = qobject_cast<const QLabel*>(child);
    const bool wrap = label != nullptr && label->wordWrap();
    for (const QString& text : texts) {
      EXPECT_TRUE(ui::TextFits(child->font(), text, ui::TextArea(*child, child->font()), wrap))
          << what << ": \"" << text.toStdString() << "\" at " << child->font().pixelSize() << " px";
    }
  }
  EXPECT_GE(withText, 4) << what;  // a dialog that lost its texts fails too
}

class SettingsDialogsTextTest : public SettingsDialogsTest,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(SettingsDialogsTextTest, EveryTextFitsItsControl) {
  ASSERT_TRUE(language.Load(veltro::testing::ModulePath(GetParam())));
  for (const char* module : veltro::testing::kModules) AddModule(module);
  ASSERT_TRUE(settings.WriteString(kMainSection, kLanguageKey, "lfra.dll"));
  LanguageDialog languages(&language, settings, {WorkingDir(), {}}, help);
  EXPECT_EQ(languages.Dialog().ControlById<QComboBox>(kLanguageList)->count(), 5);
  ExpectTextsFit(languages.Dialog(), "LANGUAGEDLG");
  ComPortDialog port(&language, settings, help, nullptr, [] {
    return std::vector<std::string>{"/dev/ttyS0", "/dev/ttyACM0"};
  });
  ExpectTextsFit(port.Dialog(), "COMDLG");
  auto devices = OpenDevices(kThreeDevices);
  for (int button : {kDevicePerDeckButton, kMainAndMonitorButton, kOneDeviceButton}) {
    devices->Dialog().SendCommand(button);
    ExpectTextsFit(devices->Dialog(), "DEVICEDLG mode " + std::to_string(devices->Mode()));
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, SettingsDialogsTextTest,
                         ::testing::ValuesIn(veltro::testing::kModules));

}  // namespace
}  // namespace veltro::app
