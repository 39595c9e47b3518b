// The test program's one QApplication.
#include "ui/QtTestApplication.h"

namespace {

[[maybe_unused]] ::testing::Environment* const kQtApplication =
    ::testing::AddGlobalTestEnvironment(new veltro::testing::QtTestApplication);

}  // namespace
