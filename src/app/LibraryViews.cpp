#include "app/LibraryViews.h"

#include <QEvent>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegion>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>
#include <QTabBar>
#include <algorithm>
#include <functional>
#include <utility>

#include "app/LibraryList.h"
#include "library/SongDatabase.h"
#include "ui/LanguageModule.h"

namespace veltro::app {
namespace {

constexpr int kFontPixels = 11;
constexpr int kPageCount = 3;
constexpr int kFieldCount = 4;

// Library orders taken by the quick-search edits, artist first.
constexpr const char* kQuickSearchOrders[kFieldCount] = {"Artist", "Songname", "Genre", "Year"};
constexpr const char kArtistOrder[] = "Artist";
constexpr const char kPathOrder[] = "Path";

// Quick-search edits: x and width (all at y 25, 21 high).
constexpr QRect kQuickSearchRects[kFieldCount] = {
    {5, 25, 180, 21}, {186, 25, 180, 21}, {367, 25, 71, 21}, {439, 25, 33, 21}};
// Search form: label i at (5, 25 + 40 i, 180, 15), field i at (5, 40 + 40 i, 180, 21).
constexpr int kFormX = 5;
constexpr int kFormLabelY = 25;
constexpr int kFormFieldY = 40;
constexpr int kFormSpacing = 40;
constexpr int kFormWidth = 180;
constexpr int kFormLabelHeight = 15;
constexpr int kFormFieldHeight = 21;
constexpr QRect kStartRect{40, 190, 80, 25};
constexpr QRect kResultCountRect{5, 25, 180, 15};
// The Start button's caption, the same in every language.
constexpr char kStartText[] = "Start";
// Tabs no taller than this leave the row of controls at y 25 clear (pixels).
constexpr int kTabHeightPixels = 22;

QFont ViewFont() {
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPixelSize(kFontPixels);
  return font;
}

std::string Utf8(const QLineEdit* edit) {
  return edit->text().toStdString();
}

}  // namespace

// The tab control: its keys and clicks choose a page through `choose`, never by themselves.
class LibraryViews::TabStrip : public QTabBar {
 public:
  TabStrip(std::function<void(int)> choose, QWidget* parent)
      : QTabBar(parent), choose_(std::move(choose)) {
    setDrawBase(false);  // the owner draws the pane under the tabs
    setExpanding(false);
    setUsesScrollButtons(false);
    setElideMode(Qt::ElideNone);
  }

 protected:
  QSize tabSizeHint(int index) const override {
    QSize size = QTabBar::tabSizeHint(index);
    size.setHeight(std::min(size.height(), kTabHeightPixels));
    return size;
  }
  // Left and Up choose the previous tab, Right and Down the next, both wrapping around; every
  // other key is swallowed.
  void keyPressEvent(QKeyEvent* event) override {
    event->accept();
    const int tabs = count();
    if (tabs == 0) return;
    const int current = std::max(0, currentIndex());
    switch (event->key()) {
      case Qt::Key_Left:
      case Qt::Key_Up:
        choose_((current + tabs - 1) % tabs);
        break;
      case Qt::Key_Right:
      case Qt::Key_Down:
        choose_((current + 1) % tabs);
        break;
      default:
        break;
    }
  }
  // A left click on a tab chooses it; any left click gives the tab control the focus.
  void mousePressEvent(QMouseEvent* event) override {
    event->accept();
    if (event->button() != Qt::LeftButton) return;
    const int tab = tabAt(event->position().toPoint());
    if (tab >= 0) choose_(tab);
    setFocus(Qt::MouseFocusReason);
  }
  void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
  void wheelEvent(QWheelEvent* event) override { event->accept(); }

 private:
  std::function<void(int)> choose_;
};

LibraryViews::LibraryViews(library::SongDatabase& library, const ui::LanguageModule* language,
                           QWidget* parent)
    : QWidget(parent),
      library_(library),
      language_(language),
      libraryModel_(library, ListSource::kLibrary, language),
      resultsModel_(library, ListSource::kSearchResults, language) {
  setFont(ViewFont());  // before the controls, which inherit it
  BuildTabs();
  BuildLibraryPage();
  BuildSearchPage();
  BuildResultsPage();
  ShowPage(0);
}

// The lists go before their models (members, destroyed before the children).
LibraryViews::~LibraryViews() {
  delete libraryList_;
  delete resultsList_;
}

QString LibraryViews::Text(int id) const {
  return language_ != nullptr ? language_->String(id) : QString();
}

void LibraryViews::BuildTabs() {
  tabs_ = new TabStrip([this](int page) { ShowPage(page); }, this);
  for (int id : kTabStrings) tabs_->addTab(Text(id));
}

LibraryList* LibraryViews::MakeList(LibraryModel& model) {
  auto* list = new LibraryList(this);
  list->setModel(&model);
  list->ApplyColumnLayout();
  connect(list, &LibraryList::sendSongRequested, this, &LibraryViews::sendSongRequested);
  return list;
}

void LibraryViews::BuildLibraryPage() {
  for (int field = 0; field < kFieldCount; ++field) {
    auto* edit = new QLineEdit(this);
    edit->setGeometry(kQuickSearchRects[field]);
    edit->setMaxLength(kSearchFieldMaxLengths[field]);
    edit->installEventFilter(this);  // focus-in sets the order
    connect(edit, &QLineEdit::textChanged, this, [this, field] { OnQuickSearchText(field); });
    quickSearch_[static_cast<size_t>(field)] = edit;
  }
  libraryList_ = MakeList(libraryModel_);
  connect(libraryList_, &LibraryList::cursorMoved, this,
          [this](int row, bool) { OnLibraryCursor(row); });
}

void LibraryViews::BuildSearchPage() {
  for (int field = 0; field < kFieldCount; ++field) {
    const size_t slot = static_cast<size_t>(field);
    const int offset = kFormSpacing * field;
    searchLabels_[slot] = new QLabel(Text(kColumnHeaderStrings[field]), this);
    searchLabels_[slot]->setGeometry(kFormX, kFormLabelY + offset, kFormWidth, kFormLabelHeight);
    searchFields_[slot] = new QLineEdit(this);
    searchFields_[slot]->setGeometry(kFormX, kFormFieldY + offset, kFormWidth, kFormFieldHeight);
    searchFields_[slot]->setMaxLength(kSearchFieldMaxLengths[field]);
  }
  start_ = new QPushButton(QString::fromLatin1(kStartText), this);
  start_->setGeometry(kStartRect);
  start_->setAutoDefault(false);
  connect(start_, &QPushButton::clicked, this, [this] { RunSearchForm(); });
}

void LibraryViews::BuildResultsPage() {
  resultCount_ = new QLabel(QStringLiteral("0"), this);
  resultCount_->setGeometry(kResultCountRect);
  resultsList_ = MakeList(resultsModel_);
  connect(resultsList_, &LibraryList::cursorMoved, this,
          [this](int row, bool byClick) { OnResultsCursor(row, byClick); });
}

QTabBar* LibraryViews::Tabs() {
  return tabs_;
}

QLineEdit* LibraryViews::QuickSearch(int field) {
  return field >= 0 && field < kFieldCount ? quickSearch_[static_cast<size_t>(field)] : nullptr;
}

QLineEdit* LibraryViews::SearchField(int field) {
  return field >= 0 && field < kFieldCount ? searchFields_[static_cast<size_t>(field)] : nullptr;
}

int LibraryViews::FocusedTab() const {
  return tabs_->currentIndex();
}

void LibraryViews::ShowLibrary() {
  library_.SetOrder(kArtistOrder);
  libraryModel_.Reset(library_.RecordCount());
}

void LibraryViews::RefreshLibrary() {
  libraryModel_.SetRowCount(library_.RecordCount());
}

void LibraryViews::ShowPage(int page) {
  if (page < 0 || page >= kPageCount) return;
  page_ = page;
  tabs_->setCurrentIndex(page);
  for (QWidget* edit : quickSearch_) edit->setVisible(page == 0);
  libraryList_->setVisible(page == 0);
  for (QWidget* label : searchLabels_) label->setVisible(page == 1);
  for (QWidget* field : searchFields_) field->setVisible(page == 1);
  start_->setVisible(page == 1);
  resultCount_->setVisible(page == 2);
  resultsList_->setVisible(page == 2);
  update();  // the pane joins the newly selected tab
}

void LibraryViews::RunSearchForm() {
  const int count = library_.Search(Utf8(searchFields_[0]), Utf8(searchFields_[1]),
                                    Utf8(searchFields_[2]), Utf8(searchFields_[3]));
  resultsModel_.Reset(count);
  library_.SetOrder(kPathOrder);
  libraryModel_.SetRowCount(libraryModel_.rowCount());  // same rows, new order: repaint
  ShowPage(2);
  resultCount_->setText(QString::number(count));
}

void LibraryViews::OrderForQuickSearch(int field) {
  library_.SetOrder(kQuickSearchOrders[field]);
  libraryModel_.SetRowCount(library_.RecordCount());
}

// The edit's order is taken here too when it is not the library's order yet (a text set while
// the edit never had the focus), so that the row of the hit is a row of the order shown.
void LibraryViews::OnQuickSearchText(int field) {
  if (library_.OrderName() != kQuickSearchOrders[field]) OrderForQuickSearch(field);
  const std::string text = Utf8(quickSearch_[static_cast<size_t>(field)]);
  int row = 0;
  switch (field) {
    case 0:
      row = library_.FindArtistPrefix(text);
      break;
    case 1:
      row = library_.FindSongNamePrefix(text);
      break;
    case 2:
      row = library_.FindGenrePrefix(text);
      break;
    default:
      row = library_.FindYearPrefix(text);
      break;
  }
  libraryList_->ShowQuickSearchHit(row);
}

void LibraryViews::OnLibraryCursor(int row) {
  library_.SetCurrent(library_.RecordForRow(row));
}

void LibraryViews::OnResultsCursor(int row, bool byClick) {
  const library::SongRecord* result = resultsModel_.RecordAt(row);
  if (result == nullptr) return;
  if (byClick) {
    library_.SetOrder(kPathOrder);
    libraryModel_.SetRowCount(libraryModel_.rowCount());
  }
  library_.SelectByPath(library::FieldText(result->path));
}

bool LibraryViews::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    for (int field = 0; field < kFieldCount; ++field) {
      if (watched == quickSearch_[static_cast<size_t>(field)]) OrderForQuickSearch(field);
    }
  }
  return QWidget::eventFilter(watched, event);
}

void LibraryViews::resizeEvent(QResizeEvent* event) {
  const int w = width();
  const int h = height();
  libraryList_->setGeometry(5, 47, std::max(0, w - 10), std::max(0, h - 51));
  resultsList_->setGeometry(5, 40, std::max(0, w - 10), std::max(0, h - 44));
  tabs_->setGeometry(0, 0, w, h);
  // The tab control covers the client area, but only its row of tabs is its own to paint and
  // to click: the pane below is painted here, and a click there reaches no tab.
  tabs_->setMask(QRegion(0, 0, w, tabs_->sizeHint().height()));
  QWidget::resizeEvent(event);
}

// The tab control's pane: a frame from under the tabs to the bottom, open at the selected tab.
void LibraryViews::paintEvent(QPaintEvent*) {
  QStyleOptionTabWidgetFrame option;
  option.initFrom(this);
  const int overlap = style()->pixelMetric(QStyle::PM_TabBarBaseOverlap, nullptr, this);
  const int top = std::max(0, tabs_->sizeHint().height() - overlap);
  option.rect = QRect(0, top, width(), height() - top);
  option.shape = QTabBar::RoundedNorth;
  option.tabBarSize = tabs_->sizeHint();
  option.tabBarRect = QRect(QPoint(0, 0), tabs_->sizeHint());
  option.selectedTabRect = tabs_->tabRect(tabs_->currentIndex());
  option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  QStylePainter painter(this);
  painter.drawPrimitive(QStyle::PE_FrameTabWidget, option);
}

}  // namespace veltro::app
