// The playlist window: the songs the mixer's automatic mode and its "fade now" button take next,
// in an order the DJ arranges by dragging. The window is made only on demand (command 111, or
// loading a playlist file) and may be closed and opened again; closing it forgets its entries
// (the next-entry marker keeps its value).
//
// Top-level window "Playlist", 500 x 300 unless the owner places it elsewhere, light grey. The
// list fills (0, 0, w, h - 30) and shows "N. Artist - Title", the entry at the marker in bold;
// below it buttons 501 "&Auto", 502 save, 2 close and 9 help, each 75 x 25, side by side at
// (75 i, h - 27). Mouse on the list: a press without keys selects the entry under the cursor
// unless it is already selected (so a multiple selection can be dragged); Shift selects the
// range from the first selected entry as well; Ctrl adds the entry to the selection or takes it
// out; a release without a drag selects only the entry under the cursor; moving with only the
// left button held drags the selection one entry per step (Playlist::DragStep); a double click
// sets the marker; the right button shows the language module's "PLAYLISTPOPUP" (510 deletes
// the selection, 501, 502, 9 and 2 as the buttons). Delete deletes the selection too; F1 and
// the help button open help context 50. Auto sets the marker to 0 and switches the mixer's
// automatic mode on; the close button sets the marker to 0, switches it off and closes; the
// window's own close box only closes. Files dropped on the list are not taken.
//
// Threads: constructed, used and destroyed on the UI thread; nothing here runs anywhere else.
// Ownership: owns its window (while open), the playlist entries and the popup menu; borrows the
// library and the language module, which must outlive it.
#pragma once

#include <QFont>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "playlist/Playlist.h"

class QAction;
class QListView;
class QMenu;
class QMouseEvent;
class QPoint;
class QPushButton;
class QWidget;

namespace veltro::ui {
class LanguageModule;
}
namespace veltro::library {
class SongDatabase;
}

namespace veltro::playlist::ui {

class PlaylistDelegate;
class PlaylistModel;

inline constexpr int kPlaylistHelpContext = 50;
inline constexpr int kPlaylistWidth = 500;
inline constexpr int kPlaylistHeight = 300;

// The window's command numbers: its buttons and the popup's items.
enum PlaylistCommand : int {
  kPlaylistCloseButton = 2,
  kPlaylistHelpButton = 9,
  kPlaylistAutoButton = 501,
  kPlaylistSaveButton = 502,
  kPlaylistDeleteSelection = 510,
};

// What the window takes from its surroundings; each empty member has a working default or is
// simply not called.
struct PlaylistWindowHooks {
  // The mixer's automatic mode (box 810 and its timer): on by Auto, off by the close button.
  std::function<void(bool on)> setAutomatic;
  // Opens help `context` (50).
  std::function<void(int context)> openHelp;
  // Called once the window is made (500 x 300) and shown, so that its frame is known: the
  // owner puts it at the saved rectangle.
  std::function<void(QWidget& window)> placeWindow;
  // Asks for the file to save to, starting in `folder`; empty text: cancelled. Empty hook: the
  // platform's save dialog, filter "Veltro Playlist (*.vtp)", default suffix "vtp".
  std::function<QString(QWidget* parent, const QString& folder)> chooseSaveFile;
  // Asks for the file to load, starting in `folder`; empty text: cancelled. Empty hook: the
  // platform's open dialog, filters "Veltro Playlist (*.vtp)", "Winamp Playlist (*.m3u)" and
  // "UTF-8 playlist (*.m3u8)".
  std::function<QString(QWidget* parent, const QString& folder)> chooseOpenFile;
  // Shows a warning; empty: a message box.
  std::function<void(const QString& caption, const QString& text)> warn;
  // Shows the popup at `globalPos` and answers the item chosen (null: none). Empty:
  // QMenu::exec.
  std::function<QAction*(QMenu& popup, const QPoint& globalPos)> runPopup;
};

class PlaylistWindow : public QObject {
  Q_OBJECT

 public:
  // No window yet. `playlistFolder` is where the file dialogs start. UI thread.
  PlaylistWindow(library::SongDatabase& library, const veltro::ui::LanguageModule* language,
                 QString playlistFolder, PlaylistWindowHooks hooks = {});
  // Destroys the window if it is open. UI thread.
  ~PlaylistWindow() override;
  PlaylistWindow(const PlaylistWindow&) = delete;
  PlaylistWindow& operator=(const PlaylistWindow&) = delete;

  // Whether the window exists (every user asks this first). UI thread.
  bool IsOpen() const { return window_ != nullptr; }
  // Makes, places and shows the window when it is closed (command 111); an open window is
  // raised. UI thread.
  void Open();
  // Adds artist + " - " + title with `path` at the end (the main window sends the current
  // song); nothing while the window is closed. UI thread.
  void Append(std::string_view artist, std::string_view title, std::string_view path);
  // The mixer's step: makes the marked entry's song the library's current record and advances
  // the marker (Playlist::TakeNext). Nothing, and false, while closed or empty. UI thread.
  bool TakeNextEntry();
  // Command 112: asks for a file (owner `owner`) and loads it; cancelled: nothing. UI thread.
  void ChooseAndLoad(QWidget* owner);
  // Loads the playlist file at `path` (file system bytes). Failure: a warning (string 936 with
  // the reason), nothing changed, false. Success: opens the window if closed, replaces every
  // entry (the marker keeps its value) and, when lines named no library song, warns once
  // (string 935 with their count). UI thread.
  bool LoadFile(const std::string& path);
  // Button and popup 502: asks for a file and writes the entries to it as .vtp; a failure
  // warns (string 937 with the reason). Nothing while closed or when cancelled. UI thread.
  void Save();
  // The open window's frame rectangle, for the settings (written only while open). UI thread.
  std::optional<QRect> FrameGeometry() const;
  // The entries and marker. Changes made through it directly show after Refresh(). UI thread.
  Playlist& Logic() { return playlist_; }
  // Shows the entries as Logic() holds them now. UI thread.
  void Refresh();
  // The window, null while closed; owned here. UI thread.
  QWidget* Window() const { return window_.get(); }

  // For tests and the screenshot program (UI thread; null or empty while closed): the list,
  // the button with command `id`, the popup, the font entry `index` is drawn in, the selected
  // rows (ascending), and a command as if its button or popup item were chosen.
  QListView* List() const { return list_; }
  QPushButton* Button(int id) const;
  QMenu* Popup() const { return popup_.get(); }
  QFont EntryFont(int index) const;
  std::vector<int> SelectedRows() const;
  void RunCommand(int id);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Create();
  void CreateButtons();
  void LayOut();
  void Destroy();
  void DeleteSelection();
  void Auto();
  void CloseByButton();
  void Help();
  void Warn(int stringId, const QString& argument);
  QString Text(int stringId) const;
  void SelectOnly(const std::vector<int>& rows);
  void SetSelected(int row, bool selected);
  bool IsSelected(int row) const;
  int RowAt(const QMouseEvent& event) const;
  bool FilterWindow(QEvent* event);
  bool FilterList(QEvent* event);
  bool FilterViewport(QEvent* event);
  void Press(const QMouseEvent& event);
  void Release(const QMouseEvent& event);
  void Move(const QMouseEvent& event);
  void DoubleClick(const QMouseEvent& event);
  void ShowPopup(const QMouseEvent& event);

  library::SongDatabase& library_;
  const veltro::ui::LanguageModule* language_;
  QString folder_;
  PlaylistWindowHooks hooks_;
  QFont normalFont_;
  QFont boldFont_;
  Playlist playlist_;
  // The open window and its parts (the parts are its children); all null while closed.
  std::unique_ptr<QWidget> window_;
  QListView* list_ = nullptr;
  PlaylistModel* model_ = nullptr;
  PlaylistDelegate* delegate_ = nullptr;
  std::array<QPushButton*, 4> buttons_{};
  std::unique_ptr<QMenu> popup_;
  // A window that was closed from inside one of its own event handlers and is deleted once
  // that handler has returned.
  QPointer<QWidget> closing_;
  // The drag: the vertical position at the last press or step, and whether the pointer moved
  // since the press.
  int rememberedY_ = 0;
  bool dragging_ = false;
};

}  // namespace veltro::playlist::ui
