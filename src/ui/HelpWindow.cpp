#include "ui/HelpWindow.h"

#include <QDir>
#include <QFile>
#include <QUrl>
#include <utility>

#include "ui/LanguageModule.h"

namespace veltro::ui {
namespace {

bool CanRead(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly);
}

}  // namespace

HelpWindow::HelpWindow(QString helpName, QString helpDirectory, QWidget* parent)
    : QTextBrowser(parent),
      helpName_(std::move(helpName)),
      helpDirectory_(std::move(helpDirectory)) {
  setWindowFlag(Qt::Window);
  setOpenExternalLinks(false);
  resize(520, 420);
}

QString HelpWindow::PagePath() const {
  const QDir directory(helpDirectory_);
  if (!helpName_.isEmpty() && !helpName_.contains('/') && !helpName_.contains('\\')) {
    const QString named = directory.filePath(helpName_ + QStringLiteral(".html"));
    if (CanRead(named)) return named;
  }
  const QString fallback = directory.filePath(QStringLiteral("%1.html").arg(kDefaultHelpName));
  return CanRead(fallback) ? fallback : QString();
}

bool HelpWindow::Open(int context) {
  const QString page = PagePath();
  if (page.isEmpty()) return false;
  QUrl url = QUrl::fromLocalFile(page);
  url.setFragment(QString::number(context));
  show();
  setSource(url);
  scrollToAnchor(url.fragment());
  raise();
  activateWindow();
  return true;
}

}  // namespace veltro::ui
