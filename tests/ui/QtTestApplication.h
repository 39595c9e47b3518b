// One QApplication for a whole widget test program, on the offscreen platform unless the
// environment chose another. Widgets need it; it must be gone before Qt's globals are torn
// down at exit, so a test environment owns it rather than a static. Each Qt test program
// registers it once with AddGlobalTestEnvironment.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace veltro::testing {

class QtTestApplication : public ::testing::Environment {
 public:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    application_ = std::make_unique<QApplication>(argc_, argv_);
  }
  void TearDown() override { application_.reset(); }

 private:
  int argc_ = 1;
  char name_[16] = "veltro_qt_tests";
  char* argv_[2] = {name_, nullptr};
  std::unique_ptr<QApplication> application_;
};

}  // namespace veltro::testing
