// Menus and accelerator tables read from a language module, and the Qt menus built from them.
// Each command item carries its command number as the QAction's data (an int), so a window
// connects QMenu::triggered / QMenuBar::triggered and dispatches on action->data().toInt().
//
// Thread: the Build*/Find* functions create or search widgets and must run on the UI thread;
// parsing is plain data and may run anywhere.
#pragma once

#include <QJsonArray>
#include <QKeySequence>
#include <QString>
#include <memory>
#include <vector>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace veltro::ui {

struct MenuItem {
  QString text;     // with '&' before the mnemonic letter
  int command = 0;  // 0 for submenus and separators
  bool separator = false;
  bool checkable = false;       // the item can carry a check mark
  bool checked = false;         // the check mark's state when the menu is built
  std::vector<MenuItem> items;  // non-empty for a submenu

  bool IsSubmenu() const { return !items.empty(); }
};

// The top-level entries of one menu resource; empty when the resource is missing.
using MenuDescription = std::vector<MenuItem>;

struct Accelerator {
  QKeySequence key;
  int command = 0;
};

// Reads a menu from its JSON array; entries that are not objects are skipped.
MenuDescription ParseMenu(const QJsonArray& entries);

// Reads an accelerator table: entries {"key": "Ctrl+N", "command": 101} in Qt's portable key
// text. Entries with an unreadable key or no command are skipped.
std::vector<Accelerator> ParseAccelerators(const QJsonArray& entries);

// Appends `items` to `menu` (submenus become child QMenus owned by `menu`).
void AddMenuItems(QMenu& menu, const std::vector<MenuItem>& items);

// A menu bar whose top-level submenus are those of `menu`. The caller owns the result (or
// hands it to a QMainWindow). An empty description gives an empty bar.
std::unique_ptr<QMenuBar> BuildMenuBar(const MenuDescription& menu);

// The context menu: the first submenu of `menu`, as popup resources are laid out. Returns
// nullptr when `menu` has no submenu. The caller owns the result.
std::unique_ptr<QMenu> BuildFirstSubmenu(const MenuDescription& menu);

// The action carrying `command` anywhere inside `menuOrBar` (searched recursively), or nullptr.
// The action stays owned by its menu.
QAction* FindCommandAction(const QWidget& menuOrBar, int command);

// Every command number in `menu`, depth first in menu order.
std::vector<int> CommandsOf(const MenuDescription& menu);

}  // namespace veltro::ui
