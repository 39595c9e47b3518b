#include "app/LibraryList.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

namespace veltro::app {
namespace {

// Room above and below the text of a row, in pixels, as a report list spaces its rows.
constexpr int kRowPaddingPixels = 4;
// How far short of a whole page a quick-search hit scrolls, so the rows above it stay in sight.
constexpr int kQuickSearchScrollShortfallPixels = 10;

}  // namespace

LibraryList::LibraryList(QWidget* parent) : QTableView(parent) {
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSortingEnabled(false);
  setTabKeyNavigation(false);
  setAutoScroll(false);  // only the rules in the header scroll the list
  setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  setShowGrid(false);
  setWordWrap(false);
  setCornerButtonEnabled(false);
  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  QHeaderView* header = horizontalHeader();
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setHighlightSections(false);
  header->setStretchLastSection(false);
  header->setSortIndicatorShown(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setMinimumSectionSize(1);
  header->setSectionResizeMode(QHeaderView::Interactive);
}

void LibraryList::ApplyColumnLayout() {
  const int rowHeight = QFontMetrics(font()).height() + kRowPaddingPixels;
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(rowHeight);
  QHeaderView* header = horizontalHeader();
  const int columns = std::min<int>(header->count(), static_cast<int>(std::size(kColumnWidths)));
  for (int column = 0; column < columns; ++column) {
    header->resizeSection(column, std::max(kColumnWidths[column], header->sectionSizeHint(column)));
  }
}

int LibraryList::RowHeight() const {
  return verticalHeader()->defaultSectionSize();
}

int LibraryList::RowsPerPage() const {
  return std::max(1, viewport()->height() / std::max(1, RowHeight()));
}

int LibraryList::RowCount() const {
  return model() != nullptr ? model()->rowCount() : 0;
}

int LibraryList::SelectedRow() const {
  if (selectionModel() == nullptr) return -1;
  const QModelIndexList rows = selectionModel()->selectedRows();
  return rows.isEmpty() ? -1 : rows.front().row();
}

void LibraryList::SelectRow(int row) {
  selectionModel()->setCurrentIndex(
      model()->index(row, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void LibraryList::MoveCursor(int row, bool byClick) {
  cursor_ = row;
  SelectRow(row);
  scrollTo(model()->index(row, 0), QAbstractItemView::EnsureVisible);
  emit cursorMoved(row, byClick);
}

void LibraryList::ShowQuickSearchHit(int row) {
  if (row < 0 || row >= RowCount()) return;
  SelectRow(row);
  const QModelIndex index = model()->index(row, 0);
  if (!visualRect(index).intersects(viewport()->rect())) {
    scrollTo(index, QAbstractItemView::EnsureVisible);
  }
  // The row's bottom edge in the client area: below the header, when the header is shown.
  const QRect rect = visualRect(index);
  const int headerHeight = horizontalHeader()->isVisible() ? horizontalHeader()->height() : 0;
  const int bottom = headerHeight + rect.y() + rect.height();
  const int pageHeight = RowsPerPage() * RowHeight();
  if (bottom > pageHeight) ScrollDownByPixels(pageHeight - kQuickSearchScrollShortfallPixels);
}

// The list scrolls in whole rows: a distance in pixels is rounded to the nearest row.
void LibraryList::ScrollDownByPixels(int pixels) {
  const int rows =
      static_cast<int>(std::lround(static_cast<double>(pixels) / std::max(1, RowHeight())));
  if (rows <= 0) return;
  QScrollBar* bar = verticalScrollBar();
  bar->setValue(bar->value() + rows);
}

void LibraryList::keyboardSearch(const QString&) {}

void LibraryList::keyPressEvent(QKeyEvent* event) {
  event->accept();  // every key stops here, used or not
  const int count = RowCount();
  if (count <= 0) return;
  int row = cursor_;
  switch (event->key()) {
    case Qt::Key_PageUp:
      row = std::max(0, cursor_ - RowsPerPage());
      break;
    case Qt::Key_PageDown:
      row = cursor_ + RowsPerPage() < count ? cursor_ + RowsPerPage() : count - 1;
      break;
    case Qt::Key_End:
      row = count - 1;
      break;
    case Qt::Key_Home:
      row = 0;
      break;
    case Qt::Key_Up:
      if (cursor_ > 0) row = cursor_ - 1;
      break;
    case Qt::Key_Down:
      if (cursor_ >= count - 1) return;
      row = cursor_ + 1;
      break;
    default:
      return;
  }
  MoveCursor(std::min(row, count - 1), false);
}

void LibraryList::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() != Qt::LeftButton) return;
  const int row = rowAt(event->position().toPoint().y());
  if (row >= 0 && row < RowCount()) MoveCursor(row, true);
}

// Dragging with a button held must not select other rows.
void LibraryList::mouseMoveEvent(QMouseEvent* event) {
  if (event->buttons() != Qt::NoButton) {
    event->accept();
    return;
  }
  QTableView::mouseMoveEvent(event);
}

void LibraryList::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) setFocus(Qt::MouseFocusReason);
}

void LibraryList::mouseDoubleClickEvent(QMouseEvent* event) {
  event->accept();
  if (event->button() == Qt::LeftButton) emit sendSongRequested();
}

}  // namespace veltro::app
