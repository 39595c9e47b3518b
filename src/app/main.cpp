// veltro: the DJ program. Works in the current directory: veltro.ini, Data/, Playlist/, the
// language modules (*.rcc) and help/ (scripts/run prepares $XDG_DATA_HOME/veltro for it).
#include <QApplication>

#include "app/MainWindow.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  // The program ends when its main window closes, whatever deck or mixer windows are open.
  QApplication::setQuitOnLastWindowClosed(false);
  veltro::app::MainWindow window;
  window.CreateAndStart();
  return QApplication::exec();
}
