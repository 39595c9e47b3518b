// Shared by the widget tests: the program's QApplication and the folder of the built language
// modules.
#pragma once

#include <QApplication>
#include <QByteArray>
#include <QString>
#include <cstdlib>

namespace veltro::testing {

// The program's QApplication, made by the global test environment (UiTestEnvironment.cpp)
// before the first test and destroyed after the last, while Qt's own globals still exist.
inline QApplication& EnsureApplication() {
  auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
  if (application == nullptr) std::abort();
  return *application;
}

inline QString LanguageDir() {
  return QStringLiteral(VELTRO_LANG_DIR);
}

inline QString ModulePath(const char* module) {
  return LanguageDir() + QStringLiteral("/") + QLatin1String(module) + QStringLiteral(".rcc");
}

inline const char* const kModules[] = {"leng", "lger", "lfra", "lita", "lesp"};

}  // namespace veltro::testing
