// The list's mouse rules. The viewport's mouse events are handled here and not passed on, so
// that a press on an entry of a multiple selection keeps the selection for a drag instead of
// reducing it at once as the view would. The selection model is the one record of what is
// selected; keyboard use of the list stays the view's own.
#include <QAction>
#include <QItemSelectionModel>
#include <QListView>
#include <QMenu>
#include <QMouseEvent>
#include <algorithm>

#include "playlist/ui/PlaylistModel.h"
#include "playlist/ui/PlaylistWindow.h"

namespace veltro::playlist::ui {
namespace {

constexpr Qt::KeyboardModifiers kKeys =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;

}  // namespace

bool PlaylistWindow::FilterViewport(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      const auto& mouse = static_cast<const QMouseEvent&>(*event);
      list_->setFocus(Qt::MouseFocusReason);
      if (mouse.button() == Qt::LeftButton) Press(mouse);
      return true;
    }
    case QEvent::MouseButtonRelease: {
      const auto& mouse = static_cast<const QMouseEvent&>(*event);
      if (mouse.button() == Qt::LeftButton) Release(mouse);
      if (mouse.button() == Qt::RightButton) ShowPopup(mouse);  // may close the window
      return true;
    }
    case QEvent::MouseMove:
      Move(static_cast<const QMouseEvent&>(*event));
      return true;
    case QEvent::MouseButtonDblClick: {
      const auto& mouse = static_cast<const QMouseEvent&>(*event);
      if (mouse.button() == Qt::LeftButton) DoubleClick(mouse);
      return true;
    }
    default:
      return false;
  }
}

// Without keys: the entry under the cursor is selected alone unless it is selected already.
// Shift: the range from the first selected entry to it is selected as well (it alone when
// nothing is selected). Ctrl: it joins the selection, or leaves it when it was in it. Other
// keys, or another button held too: nothing.
void PlaylistWindow::Press(const QMouseEvent& event) {
  rememberedY_ = event.position().toPoint().y();
  dragging_ = false;
  if (event.buttons() != Qt::LeftButton) return;
  const Qt::KeyboardModifiers keys = event.modifiers() & kKeys;
  const int row = RowAt(event);
  if (keys == Qt::NoModifier) {
    if (row < 0 || !IsSelected(row)) SelectOnly(row < 0 ? std::vector<int>{} : std::vector{row});
  } else if (keys == Qt::ShiftModifier && row >= 0) {
    const std::vector<int> selected = SelectedRows();
    const int first = selected.empty() ? row : selected.front();
    list_->selectionModel()->select(
        QItemSelection(model_->index(std::min(first, row)), model_->index(std::max(first, row))),
        QItemSelectionModel::Select);
  } else if (keys == Qt::ControlModifier && row >= 0) {
    SetSelected(row, !IsSelected(row));
  } else {
    return;
  }
  if (row >= 0) {
    list_->selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::NoUpdate);
  }
}

// A click without a drag on an entry of the selection leaves that entry selected alone.
void PlaylistWindow::Release(const QMouseEvent& event) {
  if (event.buttons() != Qt::NoButton || (event.modifiers() & kKeys) != Qt::NoModifier ||
      dragging_) {
    return;
  }
  const int row = RowAt(event);
  if (row >= 0 && IsSelected(row)) SelectOnly({row});
}

// Each step moves the whole selection by one entry (Playlist::DragStep) and the selection
// follows; the entry moved towards the pointer is kept in view.
void PlaylistWindow::Move(const QMouseEvent& event) {
  if (event.buttons() != Qt::LeftButton) return;
  std::vector<int> rows = SelectedRows();
  const int y = event.position().toPoint().y();
  if (rows.empty() || y == rememberedY_) return;
  dragging_ = true;
  const int before = rows.front();
  if (!model_->DragStep(rows, rememberedY_, y)) return;
  SelectOnly(rows);
  const int leading = rows.front() < before ? rows.front() : rows.back();
  list_->selectionModel()->setCurrentIndex(model_->index(leading), QItemSelectionModel::NoUpdate);
  list_->scrollTo(model_->index(leading));
}

void PlaylistWindow::DoubleClick(const QMouseEvent& event) {
  const int row = RowAt(event);
  if (row >= 0) model_->SetMarker(row);
}

void PlaylistWindow::ShowPopup(const QMouseEvent& event) {
  if (popup_ == nullptr) return;
  const QPoint at = event.globalPosition().toPoint();
  QAction* chosen = hooks_.runPopup ? hooks_.runPopup(*popup_, at) : popup_->exec(at);
  if (chosen != nullptr) RunCommand(chosen->data().toInt());
}

int PlaylistWindow::RowAt(const QMouseEvent& event) const {
  const QModelIndex index = list_->indexAt(event.position().toPoint());
  return index.isValid() ? index.row() : -1;
}

std::vector<int> PlaylistWindow::SelectedRows() const {
  std::vector<int> rows;
  if (list_ == nullptr) return rows;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows()) {
    rows.push_back(index.row());
  }
  std::sort(rows.begin(), rows.end());
  return rows;
}

void PlaylistWindow::SelectOnly(const std::vector<int>& rows) {
  QItemSelection selection;
  for (const int row : rows) selection.select(model_->index(row), model_->index(row));
  list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void PlaylistWindow::SetSelected(int row, bool selected) {
  list_->selectionModel()->select(
      model_->index(row), selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

bool PlaylistWindow::IsSelected(int row) const {
  return list_->selectionModel()->isSelected(model_->index(row));
}

}  // namespace veltro::playlist::ui
