// Builds the dialogs of the language modules and checks the controls that code finds by id:
// their kinds, ranges, geometry and the command signal of their buttons.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <utility>
#include <vector>

#include "ui/DialogBuilder.h"
#include "ui/LanguageModule.h"
#include "ui/TextFit.h"
#include "ui/UiTestSupport.h"

namespace veltro::testing {
namespace {

using ui::ControlKind;
using Ids = std::vector<std::pair<int, ControlKind>>;

// The controls each dialog must hold, as the code that runs the dialog uses them.
const std::pair<const char*, Ids> kFixedControls[] = {
    {"DEVICEDLG",
     {{204, ControlKind::kStatic},
      {201, ControlKind::kRadioButton},
      {202, ControlKind::kRadioButton},
      {203, ControlKind::kRadioButton}}},
    {"LANGUAGEDLG",
     {{401, ControlKind::kComboBox},
      {1, ControlKind::kPushButton},
      {2, ControlKind::kPushButton},
      {9, ControlKind::kPushButton}}},
    {"COMDLG",
     {{1202, ControlKind::kComboBox},
      {1, ControlKind::kPushButton},
      {2, ControlKind::kPushButton},
      {9, ControlKind::kPushButton}}},
    {"AboutBox", {{1, ControlKind::kPushButton}}},
    {"SCANDLG",
     {{701, ControlKind::kListBox},
      {702, ControlKind::kPushButton},
      {703, ControlKind::kPushButton},
      {704, ControlKind::kPushButton},
      {2, ControlKind::kPushButton},
      {9, ControlKind::kPushButton},
      {706, ControlKind::kStatic},
      {707, ControlKind::kStatic},
      {708, ControlKind::kCheckBox},
      {709, ControlKind::kCheckBox},
      {710, ControlKind::kCheckBox}}},
    {"MIXERDLG",
     {{801, ControlKind::kComboBox},
      {802, ControlKind::kPushButton},
      {803, ControlKind::kComboBox},
      {804, ControlKind::kPushButton},
      {805, ControlKind::kTrackbar},
      {806, ControlKind::kPushButton},
      {807, ControlKind::kPushButton},
      {808, ControlKind::kEdit},
      {809, ControlKind::kUpDown},
      {810, ControlKind::kCheckBox},
      {811, ControlKind::kEdit},
      {812, ControlKind::kUpDown},
      {813, ControlKind::kCheckBox}}},
};

class DialogBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    EnsureApplication();
    ASSERT_TRUE(module.Load(ModulePath("leng")));
  }
  ui::LanguageModule module;
};

TEST_F(DialogBuilderTest, EveryTemplateHoldsItsFixedControls) {
  for (const char* name : kModules) {
    ui::LanguageModule language;
    ASSERT_TRUE(language.Load(ModulePath(name)));
    for (const auto& [dialogName, ids] : kFixedControls) {
      SCOPED_TRACE(std::string(name) + " " + dialogName);
      const ui::DialogTemplate dialog = language.Dialog(dialogName);
      ASSERT_FALSE(dialog.IsNull());
      EXPECT_FALSE(dialog.title.isEmpty());
      for (const auto& [id, kind] : ids) {
        const ui::ControlTemplate* control = dialog.FindControl(id);
        ASSERT_NE(control, nullptr) << id;
        EXPECT_EQ(control->kind, kind) << id;
        EXPECT_FALSE(control->rect.isEmpty()) << id;
        EXPECT_TRUE(QRect(QPoint(0, 0), dialog.size).contains(control->rect)) << id;
      }
    }
  }
}

// Every text of every dialog fits its control whole, and in the template font itself: the
// layouts leave room for every translation, so no control has to shrink its font.
TEST_F(DialogBuilderTest, EveryTextFitsItsControlInTheTemplateFont) {
  for (const char* name : kModules) {
    ui::LanguageModule language;
    ASSERT_TRUE(language.Load(ModulePath(name)));
    for (const auto& entry : kFixedControls) {
      SCOPED_TRACE(std::string(name) + " " + entry.first);
      const auto dialog = ui::BuildDialog(language.Dialog(entry.first));
      EXPECT_EQ(dialog->font().family(), QStringLiteral("Arial"));
      for (const QWidget* child : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QRect area = ui::TextArea(*child, child->font());
        const auto* label = qobject_cast<const QLabel*>(child);
        const int flags = label != nullptr && label->wordWrap() ? Qt::TextWordWrap : 0;
        const QFontMetrics metrics(child->font());
        for (const QString& text : ui::ShownTexts(*child)) {
          const QRect needed = metrics.boundingRect(area.translated(-area.topLeft()), flags, text);
          EXPECT_LE(needed.width(), area.width()) << text.toStdString();
          EXPECT_LE(needed.height(), area.height()) << text.toStdString();
          EXPECT_EQ(child->font().pixelSize(), 11) << text.toStdString();
        }
      }
    }
  }
}

TEST_F(DialogBuilderTest, MixerControlsHaveTheRightWidgetsAndRanges) {
  const auto mixer = ui::BuildDialog(module.Dialog("MIXERDLG"));
  EXPECT_EQ(mixer->size(), QSize(280, 170));
  for (int id : {801, 803}) EXPECT_NE(mixer->ControlById<QComboBox>(id), nullptr) << id;
  EXPECT_FALSE(mixer->ControlById<QComboBox>(801)->isEditable());
  for (int id : {802, 804, 806, 807}) EXPECT_NE(mixer->ControlById<QPushButton>(id), nullptr);
  for (int id : {810, 813}) EXPECT_NE(mixer->ControlById<QCheckBox>(id), nullptr) << id;
  QSlider* fader = mixer->ControlById<QSlider>(805);
  ASSERT_NE(fader, nullptr);
  EXPECT_EQ(fader->orientation(), Qt::Horizontal);
  EXPECT_EQ(fader->minimum(), -3000);
  EXPECT_EQ(fader->maximum(), 3000);
  EXPECT_EQ(fader->value(), 0);
  EXPECT_EQ(fader->pageStep(), 10);
  EXPECT_EQ(fader->tickInterval(), 100);
  QSpinBox* playstart = mixer->ControlById<QSpinBox>(809);
  QSpinBox* fadetime = mixer->ControlById<QSpinBox>(812);
  ASSERT_NE(playstart, nullptr);
  ASSERT_NE(fadetime, nullptr);
  EXPECT_EQ(mixer->Control(808), playstart) << "the buddy edit is the spin box";
  EXPECT_EQ(mixer->Control(811), fadetime);
  EXPECT_EQ(mixer->ControlById<QLineEdit>(808), nullptr);
  EXPECT_EQ(playstart->value(), 7);
  EXPECT_EQ(fadetime->value(), 5);
  EXPECT_EQ(playstart->maximum(), 100);
  EXPECT_EQ(mixer->findChildren<QSpinBox*>().size(), 2) << "the buddy edits were replaced";
  EXPECT_EQ(playstart->geometry(), QRect(71, 104, 54, 22));
}

TEST_F(DialogBuilderTest, ReversedUpDownStepsTowardTheMinimum) {
  const auto mixer = ui::BuildDialog(module.Dialog("MIXERDLG"));
  QSpinBox* playstart = mixer->ControlById<QSpinBox>(809);
  ASSERT_NE(playstart, nullptr);
  playstart->stepUp();
  EXPECT_EQ(playstart->value(), 6);
  playstart->stepDown();
  playstart->stepDown();
  EXPECT_EQ(playstart->value(), 8);
}

TEST_F(DialogBuilderTest, ButtonsAndChoicesSendTheirCommand) {
  const auto mixer = ui::BuildDialog(module.Dialog("MIXERDLG"));
  mixer->show();
  QSignalSpy commands(mixer.get(), &ui::TemplateDialog::command);
  QTest::mouseClick(mixer->ControlById<QPushButton>(802), Qt::LeftButton);
  QTest::mouseClick(mixer->ControlById<QCheckBox>(810), Qt::LeftButton);
  QComboBox* left = mixer->ControlById<QComboBox>(801);
  left->addItems({"Player 00", "Player 01"});
  emit left->activated(1);
  ASSERT_EQ(commands.size(), 3);
  EXPECT_EQ(commands[0][0].toInt(), 802);
  EXPECT_EQ(commands[1][0].toInt(), 810);
  EXPECT_EQ(commands[2][0].toInt(), 801);
  EXPECT_TRUE(mixer->ControlById<QCheckBox>(810)->isChecked());
}

TEST_F(DialogBuilderTest, StandardCommandsEndTheDialog) {
  const auto ok = ui::BuildDialog(module.Dialog("LANGUAGEDLG"));
  ok->open();
  QSignalSpy okCommands(ok.get(), &ui::TemplateDialog::command);
  QTest::mouseClick(ok->ControlById<QPushButton>(ui::kOkCommand), Qt::LeftButton);
  EXPECT_EQ(okCommands.size(), 1);
  EXPECT_EQ(ok->result(), 1);
  EXPECT_FALSE(ok->isVisible());

  const auto escape = ui::BuildDialog(module.Dialog("COMDLG"));
  escape->open();
  QSignalSpy escapeCommands(escape.get(), &ui::TemplateDialog::command);
  QTest::keyClick(escape.get(), Qt::Key_Escape);
  ASSERT_EQ(escapeCommands.size(), 1);
  EXPECT_EQ(escapeCommands[0][0].toInt(), ui::kCancelCommand);
  EXPECT_EQ(escape->result(), 0);
  EXPECT_FALSE(escape->isVisible());

  const auto help = ui::BuildDialog(module.Dialog("LANGUAGEDLG"));
  help->SetClosesOnStandardCommands(false);
  help->open();
  QTest::mouseClick(help->ControlById<QPushButton>(ui::kHelpCommand), Qt::LeftButton);
  QTest::mouseClick(help->ControlById<QPushButton>(ui::kOkCommand), Qt::LeftButton);
  EXPECT_TRUE(help->isVisible()) << "the owner closes it";
}

TEST_F(DialogBuilderTest, OtherKindsBecomeTheirWidgets) {
  const auto scan = ui::BuildDialog(module.Dialog("SCANDLG"));
  QListWidget* drives = scan->ControlById<QListWidget>(701);
  ASSERT_NE(drives, nullptr);
  EXPECT_EQ(drives->selectionMode(), QAbstractItemView::MultiSelection);
  EXPECT_NE(scan->ControlById<QLabel>(706), nullptr);
  EXPECT_EQ(scan->ControlById<QPushButton>(701), nullptr) << "wrong type gives null";
  EXPECT_EQ(scan->Control(-1), nullptr);
  const auto devices = ui::BuildDialog(module.Dialog("DEVICEDLG"));
  EXPECT_EQ(devices->ControlById<QLabel>(204)->text(), "Sound devices found:");
  QRadioButton* one = devices->ControlById<QRadioButton>(201);
  QRadioButton* two = devices->ControlById<QRadioButton>(202);
  one->setChecked(true);
  two->setChecked(true);
  EXPECT_FALSE(one->isChecked()) << "mode buttons exclude each other";
  const auto com = ui::BuildDialog(module.Dialog("COMDLG"));
  EXPECT_TRUE(com->ControlById<QComboBox>(1202)->isEditable());
}

TEST_F(DialogBuilderTest, ScaleMultipliesEveryRectangle) {
  const auto mixer = ui::BuildDialog(module.Dialog("MIXERDLG"), nullptr, 1.5);
  EXPECT_EQ(mixer->size(), QSize(420, 255));
  EXPECT_EQ(mixer->font().pixelSize(), 17);  // 11 x 1.5, rounded
  EXPECT_EQ(mixer->Control(805)->geometry(), QRect(75, 51, 270, 45));
}

TEST_F(DialogBuilderTest, NullOrOddTemplatesBuildWithoutControls) {
  const auto empty = ui::BuildDialog(ui::DialogTemplate{});
  EXPECT_EQ(empty->Control(1), nullptr);
  const ui::DialogTemplate odd = ui::ParseDialogTemplate(
      R"({"name": "X", "size": [10], "controls": [7, {"kind": "dial", "id": 5},
          {"kind": "updown", "id": 6, "buddy": 99, "rect": [0, 0, 10, 10]}]})");
  ASSERT_FALSE(odd.IsNull());
  EXPECT_EQ(odd.controls.size(), 2u);
  const auto built = ui::BuildDialog(odd);
  EXPECT_EQ(built->Control(5), nullptr) << "unknown kinds are skipped";
  EXPECT_NE(built->ControlById<QSpinBox>(6), nullptr) << "an up-down without its buddy";
  EXPECT_TRUE(ui::ParseDialogTemplate("{").IsNull());
  EXPECT_TRUE(ui::ParseDialogTemplate("[1,2]").IsNull());
  EXPECT_TRUE(ui::ParseDialogTemplate(R"({"title": "no name"})").IsNull());
}

}  // namespace
}  // namespace veltro::testing
