#include "ui/MenuDescription.h"

#include <QAction>
#include <QJsonObject>
#include <QMenu>
#include <QMenuBar>

namespace veltro::ui {
namespace {

MenuItem ItemFromJson(const QJsonObject& object) {
  MenuItem item;
  item.separator = object.value("separator").toBool();
  item.text = object.value("text").toString();
  item.command = object.value("command").toInt();
  item.checkable = object.value("checkable").toBool();
  item.checked = item.checkable && object.value("checked").toBool();
  item.items = ParseMenu(object.value("items").toArray());
  return item;
}

void CollectCommands(const std::vector<MenuItem>& items, std::vector<int>& commands) {
  for (const MenuItem& item : items) {
    if (item.IsSubmenu()) {
      CollectCommands(item.items, commands);
    } else if (!item.separator && item.command != 0) {
      commands.push_back(item.command);
    }
  }
}

}  // namespace

MenuDescription ParseMenu(const QJsonArray& entries) {
  MenuDescription items;
  for (const QJsonValue& entry : entries) {
    if (entry.isObject()) items.push_back(ItemFromJson(entry.toObject()));
  }
  return items;
}

std::vector<Accelerator> ParseAccelerators(const QJsonArray& entries) {
  std::vector<Accelerator> table;
  for (const QJsonValue& entry : entries) {
    const QJsonObject object = entry.toObject();
    Accelerator accelerator;
    accelerator.key =
        QKeySequence::fromString(object.value("key").toString(), QKeySequence::PortableText);
    accelerator.command = object.value("command").toInt();
    if (accelerator.key.isEmpty() || accelerator.command == 0) continue;
    table.push_back(accelerator);
  }
  return table;
}

void AddMenuItems(QMenu& menu, const std::vector<MenuItem>& items) {
  for (const MenuItem& item : items) {
    if (item.separator) {
      menu.addSeparator();
    } else if (item.IsSubmenu()) {
      AddMenuItems(*menu.addMenu(item.text), item.items);
    } else {
      QAction* action = menu.addAction(item.text);
      action->setData(item.command);
      action->setCheckable(item.checkable);
      action->setChecked(item.checked);
    }
  }
}

std::unique_ptr<QMenuBar> BuildMenuBar(const MenuDescription& menu) {
  auto bar = std::make_unique<QMenuBar>();
  for (const MenuItem& item : menu) {
    if (!item.IsSubmenu()) continue;
    AddMenuItems(*bar->addMenu(item.text), item.items);
  }
  return bar;
}

std::unique_ptr<QMenu> BuildFirstSubmenu(const MenuDescription& menu) {
  for (const MenuItem& item : menu) {
    if (!item.IsSubmenu()) continue;
    auto popup = std::make_unique<QMenu>(item.text);
    AddMenuItems(*popup, item.items);
    return popup;
  }
  return nullptr;
}

QAction* FindCommandAction(const QWidget& menuOrBar, int command) {
  const QList<QAction*> actions = menuOrBar.findChildren<QAction*>();
  for (QAction* action : actions) {
    const QVariant data = action->data();
    if (data.isValid() && data.toInt() == command) return action;
  }
  return nullptr;
}

std::vector<int> CommandsOf(const MenuDescription& menu) {
  std::vector<int> commands;
  CollectCommands(menu, commands);
  return commands;
}

}  // namespace veltro::ui
