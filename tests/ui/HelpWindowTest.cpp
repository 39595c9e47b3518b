// Opens the built help pages at context anchors and checks the fall-back to the default page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFileInfo>
#include <QScrollBar>

#include "support/TempDir.h"
#include "ui/HelpWindow.h"
#include "ui/UiTestSupport.h"

namespace veltro::testing {
namespace {

class HelpWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  static QString HelpDir() { return LanguageDir() + "/help"; }
  static int ScrollAfterOpening(ui::HelpWindow& window, int context) {
    EXPECT_TRUE(window.Open(context));
    QApplication::processEvents();
    return window.verticalScrollBar()->value();
  }
};

TEST_F(HelpWindowTest, OpensContextAtItsAnchor) {
  ui::HelpWindow window("veltro_e", HelpDir());
  window.resize(320, 160);
  const int top = ScrollAfterOpening(window, 60);
  const int mixer = ScrollAfterOpening(window, 70);
  EXPECT_EQ(window.source().fragment(), "70");
  const int language = ScrollAfterOpening(window, 90);
  EXPECT_TRUE(window.isVisible());
  EXPECT_GT(mixer, top);
  EXPECT_GT(language, mixer);
  EXPECT_EQ(QFileInfo(window.source().toLocalFile()).fileName(), "veltro_e.html");
  EXPECT_TRUE(window.toPlainText().contains("Mixer"));
}

TEST_F(HelpWindowTest, ShowsTheModulesOwnLanguage) {
  ui::HelpWindow window("veltro_d", HelpDir());
  ASSERT_TRUE(window.Open(70));
  EXPECT_EQ(QFileInfo(window.PagePath()).fileName(), "veltro_d.html");
  EXPECT_TRUE(window.toPlainText().contains("Mischpult"));
}

TEST_F(HelpWindowTest, FallsBackToTheDefaultPage) {
  for (const QString& name : {QString("veltro_x"), QString(), QString("../help/veltro_d")}) {
    SCOPED_TRACE(name.toStdString());
    ui::HelpWindow window(name, HelpDir());
    ASSERT_TRUE(window.Open(70));
    EXPECT_EQ(QFileInfo(window.PagePath()).fileName(), "veltro_e.html");
    EXPECT_EQ(window.source().fragment(), "70");
  }
}

TEST_F(HelpWindowTest, NoPagesMeansNothingShown) {
  TempDir empty;
  ui::HelpWindow window("veltro_e", QString::fromStdString(empty.Path().string()));
  EXPECT_TRUE(window.PagePath().isEmpty());
  EXPECT_FALSE(window.Open(20));
  EXPECT_FALSE(window.isVisible());
}

}  // namespace
}  // namespace veltro::testing
