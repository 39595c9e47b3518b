// The main window's whole client area: a tab control with three pages over the song library.
//   page 0 "Library"  four quick-search edits (artist, title, genre, year) and the library list
//   page 1 "Search"   the search form: four labelled fields and the Start button (id 199)
//   page 2 "Results"  the result count and the results list
// Controls sit at fixed pixel rectangles; the lists and the tab control follow the widget's
// size: library list (5, 47, w - 10, h - 51), results list (5, 40, w - 10, h - 44), tab control
// (0, 0, w, h). Every control uses the desktop's sans-serif font at 11 pixels.
//
// Quick search: when an edit gets the focus, the library takes that edit's order ("Artist",
// "Songname", "Genre", "Year") and the library list is recounted; each change of its text jumps
// to the first song whose key starts with (or sorts after) the text, which becomes the current
// record and the selected row, scrolled into sight (LibraryList::ShowQuickSearchHit). The
// library list's cursor stays where it was.
//
// The lists: navigation and clicks in the library list make the record at the cursor row
// current; in the results list they select the result's path in the library (a click first
// switches the library to "Path" order). A double click in either list emits
// sendSongRequested.
//
// Thread: UI thread only. Ownership: the song database and the language module are borrowed
// and must outlive this widget; the widget owns its controls and the two list models.
#pragma once

#include <QWidget>
#include <array>
#include <cstdint>
#include <string>

#include "app/LibraryModel.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTabBar;

namespace veltro::library {
class SongDatabase;
}

namespace veltro::ui {
class LanguageModule;
}

namespace veltro::app {

class LibraryList;

// Language string ids of the tab texts, by page.
inline constexpr int kTabStrings[] = {923, 924, 925};
// The Start button's command id.
inline constexpr int kStartButtonId = 199;
// The quick-search edits' command ids, artist first.
inline constexpr int kQuickSearchIds[] = {191, 192, 193, 194};
// Most characters the quick-search and search-form fields take: artist, title, genre, year.
inline constexpr int kSearchFieldMaxLengths[] = {29, 29, 9, 4};

class LibraryViews : public QWidget {
  Q_OBJECT

 public:
  // UI thread. Borrows the library and the language module (null: no texts). Starts on page 0
  // with both lists empty; ShowLibrary fills the library list.
  LibraryViews(library::SongDatabase& library, const ui::LanguageModule* language,
               QWidget* parent = nullptr);
  ~LibraryViews() override;

  // UI thread. After the library was loaded or replaced (start-up, folder scan): the library
  // takes the "Artist" order and the library list shows every song (model reset).
  void ShowLibrary();
  // UI thread. After records changed in place (the tag editor): the library list keeps its
  // order, selection and scroll position and repaints every row.
  void RefreshLibrary();
  // UI thread. Selects tab `page` (0, 1, 2) and shows that page's controls, hiding the other
  // pages'; any other number does nothing.
  void ShowPage(int page);
  // UI thread. The page shown (0, 1, 2).
  int CurrentPage() const { return page_; }
  // UI thread. The tab that has the keyboard focus within the tab control (the current tab).
  int FocusedTab() const;
  // UI thread. Runs the search form (command 199, and 1001 on tab 1): Search with the four
  // fields' texts, the results list shows the results, the library takes the "Path" order,
  // page 2 is shown and the result count shows their number.
  void RunSearchForm();

  // UI thread. The controls, for the main window and tests; non-owning. `field` 0 artist,
  // 1 title, 2 genre, 3 year; null for another number.
  QTabBar* Tabs();
  QLineEdit* QuickSearch(int field);
  QLineEdit* SearchField(int field);
  QPushButton* StartButton() { return start_; }
  QLabel* ResultCount() { return resultCount_; }
  LibraryList* Library() { return libraryList_; }
  LibraryList* Results() { return resultsList_; }

 signals:
  // A double click on a row of either list: "send the current song".
  void sendSongRequested();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class TabStrip;

  void BuildTabs();
  void BuildLibraryPage();
  void BuildSearchPage();
  void BuildResultsPage();
  LibraryList* MakeList(LibraryModel& model);
  QString Text(int id) const;
  void OrderForQuickSearch(int field);
  void OnQuickSearchText(int field);
  void OnLibraryCursor(int row);
  void OnResultsCursor(int row, bool byClick);

  library::SongDatabase& library_;
  const ui::LanguageModule* language_;
  LibraryModel libraryModel_;
  LibraryModel resultsModel_;
  TabStrip* tabs_ = nullptr;
  std::array<QLineEdit*, 4> quickSearch_{};
  std::array<QLabel*, 4> searchLabels_{};
  std::array<QLineEdit*, 4> searchFields_{};
  QPushButton* start_ = nullptr;
  QLabel* resultCount_ = nullptr;
  LibraryList* libraryList_ = nullptr;
  LibraryList* resultsList_ = nullptr;
  int page_ = 0;
};

}  // namespace veltro::app
