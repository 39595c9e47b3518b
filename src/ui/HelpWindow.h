// The help viewer: a text browser window showing one language's help page,
// <help directory>/<help name>.html, scrolled to the anchor of a context number (20 deck,
// 30 folder scan, 40 devices, 50 playlist, 60 main window, 70 mixer, 80 tag editor,
// 90 language). When the page named by the language module cannot be opened, the default
// page "veltro_e.html" is shown instead.
//
// Thread: UI thread only. The window is an ordinary top-level widget; its creator owns it.
#pragma once

#include <QString>
#include <QTextBrowser>

namespace veltro::ui {

class HelpWindow : public QTextBrowser {
  Q_OBJECT

 public:
  // `helpName` is the base name from the language module (string 921, may be empty);
  // `helpDirectory` is the folder holding the pages (normally "help" in the working directory).
  HelpWindow(QString helpName, QString helpDirectory, QWidget* parent = nullptr);

  // The page that will be shown: the named one when it can be opened for reading, else the
  // default page; empty when neither exists.
  QString PagePath() const;

  // Shows the window with the page scrolled to `context`'s anchor and raises it. Returns
  // false (and shows nothing) when no page exists.
  bool Open(int context);

 private:
  QString helpName_;
  QString helpDirectory_;
};

}  // namespace veltro::ui
