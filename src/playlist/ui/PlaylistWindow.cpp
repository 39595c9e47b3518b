#include "playlist/ui/PlaylistWindow.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QListView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <utility>

#include "library/SongDatabase.h"
#include "playlist/PlaylistFile.h"
#include "playlist/ui/PlaylistDelegate.h"
#include "playlist/ui/PlaylistModel.h"
#include "ui/DialogBuilder.h"
#include "ui/LanguageModule.h"
#include "ui/MenuDescription.h"
#include "ui/TextFit.h"

namespace veltro::playlist::ui {
namespace {

const QString kPopupName = QStringLiteral("PLAYLISTPOPUP");
// Numbered strings: the warnings' caption (the program name), the button texts, the skipped
// lines of a loaded file (%1 = count) and the reasons a file could not be read or written.
constexpr int kProgramNameStringId = 902;
constexpr int kCancelStringId = 919;
constexpr int kHelpStringId = 920;
constexpr int kSaveStringId = 922;
constexpr int kSkippedStringId = 935;
constexpr int kReadFailedStringId = 936;
constexpr int kSaveFailedStringId = 937;

// The buttons, left to right; each is kButtonWidth x kButtonHeight, kButtonsBottom above the
// bottom edge, and the list leaves kListBottom free below it.
constexpr int kButtonCommands[] = {kPlaylistAutoButton, kPlaylistSaveButton, kPlaylistCloseButton,
                                   kPlaylistHelpButton};
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 25;
constexpr int kButtonsBottom = 27;
constexpr int kListBottom = 30;
// The stock light grey brush the window is filled with.
const QColor kBackground(192, 192, 192);

const QString kVtpFilter = QStringLiteral("Veltro Playlist (*.vtp)");
const QString kOpenFilters =
    QStringLiteral("Veltro Playlist (*.vtp);;Winamp Playlist (*.m3u);;UTF-8 playlist (*.m3u8)");

QString DefaultSaveFile(QWidget* parent, const QString& folder) {
  QFileDialog dialog(parent, QString(), folder, kVtpFilter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("vtp"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().front();
}

QFont BoldOf(QFont font) {
  font.setBold(true);
  return font;
}

}  // namespace

PlaylistWindow::PlaylistWindow(library::SongDatabase& library,
                               const veltro::ui::LanguageModule* language, QString playlistFolder,
                               PlaylistWindowHooks hooks)
    : library_(library),
      language_(language),
      folder_(std::move(playlistFolder)),
      hooks_(std::move(hooks)),
      normalFont_(veltro::ui::DialogFont()),
      boldFont_(BoldOf(normalFont_)) {}

PlaylistWindow::~PlaylistWindow() {
  delete closing_.data();
  // The window's children still send events to the filter while they are destroyed; from now
  // on none of them is handled here.
  list_ = nullptr;
  window_.reset();
}

void PlaylistWindow::Open() {
  if (IsOpen()) {
    window_->raise();
    window_->activateWindow();
    return;
  }
  Create();
  window_->show();
  if (hooks_.placeWindow) hooks_.placeWindow(*window_);
}

void PlaylistWindow::Create() {
  window_ = std::make_unique<QWidget>();
  QWidget& window = *window_;
  window.setObjectName(QStringLiteral("Playlist"));
  window.setWindowTitle(QStringLiteral("Playlist"));
  QPalette palette = window.palette();
  palette.setColor(QPalette::Window, kBackground);
  window.setPalette(palette);
  window.setAutoFillBackground(true);
  window.setFont(normalFont_);

  list_ = new QListView(&window);
  model_ = new PlaylistModel(playlist_, list_);
  delegate_ = new PlaylistDelegate(playlist_, normalFont_, boldFont_, list_);
  list_->setModel(model_);
  list_->setItemDelegate(delegate_);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list_->setDragDropMode(QAbstractItemView::NoDragDrop);
  list_->setAcceptDrops(false);
  // Every right-button event reaches the list itself, which shows the popup on release.
  list_->setContextMenuPolicy(Qt::PreventContextMenu);
  list_->installEventFilter(this);
  list_->viewport()->installEventFilter(this);
  CreateButtons();
  if (language_ != nullptr) popup_ = veltro::ui::BuildFirstSubmenu(language_->Menu(kPopupName));
  window.installEventFilter(this);
  window.resize(kPlaylistWidth, kPlaylistHeight);
  LayOut();
}

void PlaylistWindow::CreateButtons() {
  const QString texts[] = {QStringLiteral("&Auto"), Text(kSaveStringId), Text(kCancelStringId),
                           Text(kHelpStringId)};
  for (size_t i = 0; i < buttons_.size(); ++i) {
    auto* button = new QPushButton(texts[i], window_.get());
    button->setAutoDefault(false);
    veltro::ui::FitFont(*button, normalFont_);
    const int command = kButtonCommands[i];
    connect(button, &QPushButton::clicked, this, [this, command] { RunCommand(command); });
    buttons_[i] = button;
  }
}

void PlaylistWindow::LayOut() {
  const int width = window_->width();
  const int height = window_->height();
  list_->setGeometry(0, 0, width, std::max(0, height - kListBottom));
  for (size_t i = 0; i < buttons_.size(); ++i) {
    buttons_[i]->setGeometry(kButtonWidth * static_cast<int>(i), height - kButtonsBottom,
                             kButtonWidth, kButtonHeight);
  }
}

// The entries go with the window; the marker stays. The window may be in one of its own event
// handlers (a button's click, the close box), so it is deleted once control is back in the
// event loop.
void PlaylistWindow::Destroy() {
  if (!IsOpen()) return;
  model_->Detach();
  playlist_.Clear();
  window_->hide();
  popup_.reset();
  delete closing_.data();  // an earlier window whose deletion is still pending
  closing_ = window_.release();
  closing_->deleteLater();
  list_ = nullptr;
  model_ = nullptr;
  delegate_ = nullptr;
  buttons_.fill(nullptr);
}

void PlaylistWindow::Append(std::string_view artist, std::string_view title,
                            std::string_view path) {
  if (IsOpen()) model_->Append(artist, title, path);
}

bool PlaylistWindow::TakeNextEntry() {
  return IsOpen() && model_->TakeNext(library_);
}

void PlaylistWindow::ChooseAndLoad(QWidget* owner) {
  const QString chosen =
      hooks_.chooseOpenFile ? hooks_.chooseOpenFile(owner, folder_)
                            : QFileDialog::getOpenFileName(owner, QString(), folder_, kOpenFilters);
  if (!chosen.isEmpty()) LoadFile(QFile::encodeName(chosen).toStdString());
}

bool PlaylistWindow::LoadFile(const std::string& path) {
  std::string error;
  std::optional<LoadedPlaylist> loaded = LoadPlaylistFile(path, library_, &error);
  if (!loaded) {
    Warn(kReadFailedStringId, QString::fromStdString(error));
    return false;
  }
  if (!IsOpen()) Open();
  model_->Replace(std::move(loaded->entries));
  if (loaded->skipped > 0) Warn(kSkippedStringId, QString::number(loaded->skipped));
  return true;
}

void PlaylistWindow::Save() {
  if (!IsOpen()) return;
  const QString chosen = hooks_.chooseSaveFile ? hooks_.chooseSaveFile(window_.get(), folder_)
                                               : DefaultSaveFile(window_.get(), folder_);
  if (chosen.isEmpty()) return;
  std::string error;
  if (!SavePlaylistFile(QFile::encodeName(chosen).toStdString(), playlist_.Entries(), &error)) {
    Warn(kSaveFailedStringId, QString::fromStdString(error));
  }
}

std::optional<QRect> PlaylistWindow::FrameGeometry() const {
  if (!IsOpen()) return std::nullopt;
  return window_->frameGeometry();
}

void PlaylistWindow::Refresh() {
  if (IsOpen()) model_->Refresh();
}

QPushButton* PlaylistWindow::Button(int id) const {
  for (size_t i = 0; i < buttons_.size(); ++i) {
    if (kButtonCommands[i] == id) return buttons_[i];
  }
  return nullptr;
}

QFont PlaylistWindow::EntryFont(int index) const {
  return delegate_ != nullptr ? delegate_->FontFor(index) : QFont();
}

void PlaylistWindow::RunCommand(int id) {
  if (!IsOpen()) return;
  switch (id) {
    case kPlaylistDeleteSelection:
      return DeleteSelection();
    case kPlaylistAutoButton:
      return Auto();
    case kPlaylistSaveButton:
      return Save();
    case kPlaylistHelpButton:
      return Help();
    case kPlaylistCloseButton:
      return CloseByButton();
    default:
      return;
  }
}

void PlaylistWindow::DeleteSelection() {
  model_->Remove(SelectedRows());
}

void PlaylistWindow::Auto() {
  model_->SetMarker(0);
  if (hooks_.setAutomatic) hooks_.setAutomatic(true);
}

void PlaylistWindow::CloseByButton() {
  model_->SetMarker(0);
  if (hooks_.setAutomatic) hooks_.setAutomatic(false);
  Destroy();
}

void PlaylistWindow::Help() {
  if (hooks_.openHelp) hooks_.openHelp(kPlaylistHelpContext);
}

QString PlaylistWindow::Text(int stringId) const {
  return language_ != nullptr ? language_->String(stringId) : QString();
}

// A module without the string still tells the argument (the reason or the count).
void PlaylistWindow::Warn(int stringId, const QString& argument) {
  const QString pattern = Text(stringId);
  const QString text = pattern.contains(QLatin1String("%1")) ? pattern.arg(argument) : argument;
  const QString caption = Text(kProgramNameStringId);
  if (hooks_.warn) {
    hooks_.warn(caption, text);
    return;
  }
  QMessageBox::warning(window_.get(), caption, text);
}

bool PlaylistWindow::eventFilter(QObject* watched, QEvent* event) {
  if (list_ == nullptr) return QObject::eventFilter(watched, event);  // closed or closing
  if (watched == list_->viewport()) return FilterViewport(event);
  if (watched == list_) return FilterList(event);
  if (watched == window_.get()) return FilterWindow(event);
  return QObject::eventFilter(watched, event);
}

bool PlaylistWindow::FilterWindow(QEvent* event) {
  switch (event->type()) {
    case QEvent::Resize:
      LayOut();
      return false;
    case QEvent::KeyPress:
      if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1) return false;
      Help();
      return true;
    case QEvent::Close:  // the close box: the automatic mode is left as it is
      Destroy();
      return false;
    default:
      return false;
  }
}

bool PlaylistWindow::FilterList(QEvent* event) {
  if (event->type() != QEvent::KeyPress ||
      static_cast<QKeyEvent*>(event)->key() != Qt::Key_Delete) {
    return false;
  }
  DeleteSelection();
  return true;
}

}  // namespace veltro::playlist::ui
