// One QApplication for the whole test program, on the offscreen platform unless the
// environment chose another. Widgets need it; it must be gone before Qt's globals are torn
// down at exit, so the test environment owns it rather than a static.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace veltro::testing {
namespace {

class QtApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "veltro_ui_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

[[maybe_unused]] ::testing::Environment* const kQtEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment);

}  // namespace
}  // namespace veltro::testing
