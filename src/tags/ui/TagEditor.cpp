#include "tags/ui/TagEditor.h"

#include <QCloseEvent>
#include <QFont>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QStringList>
#include <QTableView>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <string>

#include "library/SongDatabase.h"
#include "platform/SongFileType.h"
#include "platform/TextEncoding.h"
#include "tags/Id3Tag.h"
#include "tags/OggComments.h"
#include "tags/ui/TagEditorModel.h"
#include "ui/LanguageModule.h"

namespace veltro::tags::ui {
namespace {

constexpr int kWindowWidth = 500;
constexpr int kWindowHeight = 300;
constexpr int kFontPixels = 11;
// Room above and below the text of a row, as a report list spaces its rows.
constexpr int kRowPaddingPixels = 4;
// The line edit reaches this far above and below its row: its frame needs the room to show the
// text whole, and the neighbouring rows keep their texts in sight (it covers only their
// padding, half of kRowPaddingPixels).
constexpr int kEditOverhangPixels = kRowPaddingPixels / 2;

const QString kWindowClass = QStringLiteral("IdEdit");
const QString kWindowTitle = QStringLiteral("Id3Editor");

// An 11-pixel sans serif of normal weight: Arial where installed, its metric twin otherwise.
QFont EditorFont() {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(kFontPixels);
  font.setWeight(QFont::Normal);
  return font;
}

std::string Utf8Field(std::string_view stored) {
  return platform::ToUtf8FromTagText(stored);
}

// The tags a song file gets from its record: the four texts as the editor shows them (a text
// an older library stored as Windows-1252 goes out as UTF-8, as the tag writers expect).
SongTags TagsOf(const library::SongRecord& record) {
  return {Utf8Field(library::FieldText(record.artist)),
          Utf8Field(library::FieldText(record.songName)),
          Utf8Field(library::FieldText(record.genre)), Utf8Field(library::FieldText(record.year))};
}

// Writes the tag of the song file of `record`, chosen by its extension in any letter case;
// other files get none. The path is the one stored, letter case and all.
bool WriteSongTags(const library::SongRecord& record, std::string& reason) {
  const std::string path(library::FieldText(record.path));
  switch (platform::SongFileTypeOf(platform::UpperExtension(path))) {
    case platform::SongFileType::kMp3:
      return WriteId3Tag(path, TagsOf(record), &reason);
    case platform::SongFileType::kOgg:
      return WriteOggComments(path, TagsOf(record), &reason);
    default:
      return true;
  }
}

bool IsTab(int key, Qt::KeyboardModifiers modifiers) {
  return key == Qt::Key_Tab && !(modifiers & Qt::ShiftModifier);
}

bool IsBacktab(int key, Qt::KeyboardModifiers modifiers) {
  return key == Qt::Key_Backtab || (key == Qt::Key_Tab && (modifiers & Qt::ShiftModifier));
}

// The keys the cell handles itself, ahead of the focus chain and of any shortcut.
bool IsCellKey(int key) {
  switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F1:
      return true;
    default:
      return false;
  }
}

}  // namespace

TagEditor::TagEditor(library::SongDatabase& library, const veltro::ui::LanguageModule* language,
                     QWidget* owner, TagEditorHooks hooks)
    : library_(library),
      language_(language),
      owner_(owner),
      hooks_(std::move(hooks)),
      model_(std::make_unique<TagEditorModel>(library, language)) {
  if (owner != nullptr) {
    // The owner's own destructor reports it; from then on it must not be touched.
    connect(owner, &QObject::destroyed, this, [this] {
      owner_ = nullptr;
      Close();
    });
  }
}

TagEditor::~TagEditor() {
  Finish(false);
  if (!window_) return;
  // The window's children go before the window itself; none may reach the filter meanwhile.
  for (QObject* watched :
       {static_cast<QObject*>(window_.get()), viewport_, static_cast<QObject*>(edit_)}) {
    watched->removeEventFilter(this);
  }
}

void TagEditor::Show() {
  if (!window_) Build();
  if (!open_) {
    CloseCell();
    model_->Reset();
    row_ = -1;
    column_ = -1;
    saved_ = false;
    status_->hide();
    open_ = true;
    if (owner_) owner_->setEnabled(false);
  }
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void TagEditor::Close() {
  if (open_ && window_) window_->close();
}

void TagEditor::Build() {
  window_ = std::make_unique<QWidget>(nullptr, Qt::Window);
  window_->setObjectName(kWindowClass);
  window_->setWindowTitle(kWindowTitle);
  window_->setAcceptDrops(false);
  window_->setFont(EditorFont());  // before the children, which inherit it
  window_->resize(kWindowWidth, kWindowHeight);
  window_->installEventFilter(this);
  BuildList();
  BuildEdit();
  status_ = new QLabel(window_.get());
  status_->setWordWrap(true);
  status_->setContentsMargins(4, 2, 4, 2);
  status_->hide();
  auto* layout = new QVBoxLayout(window_.get());
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(list_, 1);
  layout->addWidget(status_);
  // Owned like a dialog: kept above the owner's window, without sharing its enabled state.
  if (owner_ && owner_->window()->windowHandle() != nullptr) {
    window_->winId();
    window_->windowHandle()->setTransientParent(owner_->window()->windowHandle());
  }
}

void TagEditor::BuildList() {
  list_ = new QTableView(window_.get());
  list_->setModel(model_.get());
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setSortingEnabled(false);
  list_->setTabKeyNavigation(false);
  list_->setFocusPolicy(Qt::NoFocus);  // keys belong to the cell
  list_->setAcceptDrops(false);
  list_->viewport()->setAcceptDrops(false);
  list_->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  list_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  list_->setShowGrid(false);
  list_->setWordWrap(false);
  list_->setCornerButtonEnabled(false);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->verticalHeader()->setMinimumSectionSize(1);
  list_->verticalHeader()->setDefaultSectionSize(QFontMetrics(list_->font()).height() +
                                                 kRowPaddingPixels);
  QHeaderView* header = list_->horizontalHeader();
  header->setSectionsClickable(false);
  header->setSectionsMovable(false);
  header->setHighlightSections(false);
  header->setSortIndicatorShown(false);
  header->setStretchLastSection(false);
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setMinimumSectionSize(1);
  // A title wider than its column (a translation) widens the column to show it whole.
  for (int column = 0; column < kTagColumnCount; ++column) {
    header->resizeSection(
        column, std::max(kTagColumns[column].initialWidth, header->sectionSizeHint(column)));
  }
  viewport_ = list_->viewport();
  viewport_->installEventFilter(this);
  connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { PlaceEdit(); });
  connect(list_->horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { PlaceEdit(); });
  connect(header, &QHeaderView::sectionResized, this, [this] { PlaceEdit(); });
}

void TagEditor::BuildEdit() {
  edit_ = new QLineEdit(window_.get());  // over the list, not inside its viewport
  edit_->setObjectName(QStringLiteral("TagCell"));
  edit_->setAcceptDrops(false);
  edit_->hide();
  for (int column = 0; column < kTagColumnCount; ++column) {
    limits_[column] = new Utf8ByteLimit(kTagColumns[column].byteLimit, edit_);
  }
  edit_->installEventFilter(this);
  connect(edit_, &QLineEdit::textEdited, this, [this] { modified_ = true; });
}

bool TagEditor::eventFilter(QObject* watched, QEvent* event) {
  if (!window_) return false;
  if (watched == window_.get()) return OnWindowEvent(event);
  if (watched == viewport_) return OnListEvent(event);
  if (watched == edit_ &&
      (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (!IsCellKey(key->key())) return false;
    if (event->type() == QEvent::ShortcutOverride) {
      event->accept();  // a key press follows, for the cell
      return true;
    }
    return OnEditKey(key->key(), key->modifiers());
  }
  return false;
}

bool TagEditor::OnWindowEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::Close:
      window_->hide();
      Finish(true);
      return false;
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1) return false;
      if (event->type() == QEvent::KeyPress && hooks_.openHelp) {
        hooks_.openHelp(kTagEditorHelpContext);
      }
      event->accept();
      return true;
    default:
      return false;
  }
}

// The list's own mouse handling would select rows by dragging and start its editors: a left
// press opens a cell, every other button press, release, drag and double click is dropped.
bool TagEditor::OnListEvent(QEvent* event) {
  switch (event->type()) {
    case QEvent::MouseButtonPress: {
      auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() == Qt::LeftButton) OnListClick(mouse->position().toPoint());
      return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
      return true;
    case QEvent::MouseMove:
      return static_cast<QMouseEvent*>(event)->buttons() != Qt::NoButton;
    case QEvent::Resize:
      FollowResize();
      return false;
    default:
      return false;
  }
}

bool TagEditor::OnEditKey(int key, Qt::KeyboardModifiers modifiers) {
  if (IsTab(key, modifiers)) {
    Step(+1);
  } else if (IsBacktab(key, modifiers)) {
    Step(-1);
  } else if (key == Qt::Key_Up) {
    if (row_ > 0) MoveToRow(row_ - 1);
  } else if (key == Qt::Key_Down) {
    if (row_ < LastRow()) MoveToRow(row_ + 1);
  } else if (key == Qt::Key_PageUp) {
    MoveToRow(std::max(0, row_ - RowsPerPage()));
  } else if (key == Qt::Key_PageDown) {
    MoveToRow(std::min(LastRow(), row_ + RowsPerPage()));
  } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    MoveToRow(row_);
  } else {
    return false;  // F1: on to the window
  }
  return true;
}

// `position` is in the list's viewport; the column is chosen by its distance from the first
// column's left edge, against the columns' widths now.
void TagEditor::OnListClick(const QPoint& position) {
  SaveIfModified();
  const int row = list_->rowAt(position.y());
  if (row < 0 || row > LastRow()) {
    CloseCell();
    return;
  }
  const QHeaderView* header = list_->horizontalHeader();
  int widths[kTagColumnCount];
  for (int column = 0; column < kTagColumnCount; ++column) {
    widths[column] = header->sectionSize(column);
  }
  OpenCell(row, TagColumnAt(position.x() + header->offset(), widths));
}

// Tab and Shift+Tab: the next or previous cell in reading order; past either end of the list
// the same cell opens again.
void TagEditor::Step(int direction) {
  SaveIfModified();
  int row = row_;
  int column = column_ + direction;
  if (column >= kTagColumnCount) {
    if (row < LastRow()) ++row;
    column = row == row_ ? kYearColumn : kArtistColumn;
  } else if (column < 0) {
    if (row > 0) --row;
    column = row == row_ ? kArtistColumn : kYearColumn;
  }
  OpenCell(row, column);
}

void TagEditor::MoveToRow(int row) {
  SaveIfModified();
  OpenCell(row, column_);
}

// Opens the line edit over (row, column) with the field of a fresh copy of the row's record.
// The record number is kept with the copy, so the store goes to the record that was read even
// when something else changed the current record meanwhile.
void TagEditor::OpenCell(int row, int column) {
  cellOpen_ = false;  // the scrolling below must not store or move the old cell
  if (row != row_) {
    const int left = row_;
    row_ = row;
    model_->RowChanged(left);
  }
  column_ = column;
  record_ = model_->RecordAt(row);
  library_.SetCurrent(record_);
  working_ = library_.GetCurrentRecord();
  const QModelIndex cell = model_->index(row, column);
  list_->selectionModel()->setCurrentIndex(
      cell, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  list_->scrollTo(cell, QAbstractItemView::EnsureVisible);
  edit_->setValidator(limits_[column]);
  edit_->setText(TagCellText(working_, column));
  modified_ = false;
  cellOpen_ = true;
  PlaceEdit();
  edit_->show();
  edit_->raise();
  edit_->selectAll();
  edit_->setFocus(Qt::OtherFocusReason);
}

void TagEditor::CloseCell() {
  cellOpen_ = false;
  modified_ = false;
  if (edit_ != nullptr) edit_->hide();
}

// Keeps the line edit over its cell when the list scrolls or a column is resized. A cell whose
// row left the visible rows is stored and closed.
void TagEditor::PlaceEdit() {
  if (!cellOpen_) return;
  const QRect cell = list_->visualRect(model_->index(row_, column_));
  const QRect visible = list_->viewport()->rect();
  if (cell.top() < visible.top() || cell.bottom() > visible.bottom()) {
    SaveIfModified();
    CloseCell();
    return;
  }
  const QPoint topLeft = list_->viewport()->mapTo(window_.get(), cell.topLeft());
  edit_->setGeometry(topLeft.x(), topLeft.y() - kEditOverhangPixels, cell.width(),
                     cell.height() + 2 * kEditOverhangPixels);
}

// A smaller list (the status line appeared, the window shrank) keeps the open cell in sight.
void TagEditor::FollowResize() {
  if (!cellOpen_) return;
  cellOpen_ = false;
  list_->scrollTo(model_->index(row_, column_), QAbstractItemView::EnsureVisible);
  cellOpen_ = true;
  PlaceEdit();
}

void TagEditor::SaveIfModified() {
  if (cellOpen_ && modified_) Save();
}

// The library first (memory and Data.ndb), then the song's tag: a song file that cannot be
// written still leaves its new texts in the library.
void TagEditor::Save() {
  StoreTagField(working_, column_, edit_->text().toStdString());
  library_.SetCurrent(record_);
  QStringList problems;
  if (!library_.UpdateCurrentRecord(working_)) {
    problems << QString::fromStdString(library_.LastWriteProblem());
  }
  std::string reason;
  if (!WriteSongTags(working_, reason)) {
    const QString text =
        language_ != nullptr ? language_->String(kTagWriteFailedStringId) : QString();
    const QString shown = QString::fromStdString(reason);
    problems << (text.contains(QStringLiteral("%1")) ? text.arg(shown) : shown);
  }
  modified_ = false;
  saved_ = true;
  if (!problems.isEmpty()) ShowStatus(problems.join(QStringLiteral("  ")));
  model_->RowChanged(row_);
  if (hooks_.saved) hooks_.saved(library_.GetCurrentRecord());
}

void TagEditor::ShowStatus(const QString& text) {
  status_->setText(text);
  status_->setToolTip(text);
  status_->show();
}

// The end of an open editor: the changed cell stored, the indexes rebuilt after any store, the
// owner enabled again.
void TagEditor::Finish(bool notify) {
  if (!open_) return;
  SaveIfModified();
  CloseCell();
  open_ = false;
  if (saved_) library_.RebuildIndexFiles();
  saved_ = false;
  if (owner_) owner_->setEnabled(true);
  if (notify) emit closed();
}

int TagEditor::LastRow() const {
  return model_->rowCount() - 1;
}

int TagEditor::RowsPerPage() const {
  const int rowHeight = std::max(1, list_->verticalHeader()->defaultSectionSize());
  return std::max(1, list_->viewport()->height() / rowHeight);
}

}  // namespace veltro::tags::ui
