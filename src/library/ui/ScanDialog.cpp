#include "library/ui/ScanDialog.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <mutex>

#include "library/FolderScan.h"
#include "library/SongDatabase.h"
#include "platform/Profile.h"
#include "ui/LanguageModule.h"
#include "ui/UiThreadQueue.h"

namespace veltro::library::ui {
namespace {

using veltro::ui::TemplateDialog;

const QString kDialogName = QStringLiteral("SCANDLG");
// Numbered strings of the language module: the count's text ("Files: %1"), the failed
// commit's message and the folder chooser's caption; the warning's caption is the program name.
constexpr int kCountStringId = 931;
constexpr int kCommitFailedStringId = 932;
constexpr int kChooserCaptionStringId = 933;
constexpr int kProgramNameStringId = 902;

// Every control a running scan locks; Cancel and Help stay live.
constexpr int kLockedWhileBusy[] = {
    kScanFolderList, kScanNewButton, kScanCleanButton, kScanCleanThenNewButton,
    kScanMp3Box,     kScanOggBox,    kScanWavBox,      kScanAddFolderButton};
constexpr int kTypeBoxes[] = {kScanMp3Box, kScanOggBox, kScanWavBox};

std::string FolderKey(size_t number) {
  return kScanFolderKeyPrefix + std::to_string(number);
}

std::vector<std::string> RememberedFolders(const platform::Profile& settings) {
  std::vector<std::string> folders;
  for (size_t number = 1;; ++number) {
    std::string folder = settings.GetString(kScanSection, FolderKey(number), "");
    if (folder.empty()) return folders;
    folders.push_back(std::move(folder));
  }
}

// A file system name (any bytes) as text to show.
QString Display(const std::string& bytes) {
  return QFile::decodeName(QByteArray::fromStdString(bytes));
}

// The list shows a folder's name decoded for display and keeps its bytes, which are what the
// walk is given, whatever the encoding of the name.
void AddFolderItem(QListWidget& list, const std::string& folder, bool selected) {
  auto* item = new QListWidgetItem(Display(folder), &list);
  item->setData(Qt::UserRole, QByteArray::fromStdString(folder));
  item->setSelected(selected);
}

}  // namespace

struct ScanDialog::WorkOrder {
  int run;
  Work work;
  std::vector<std::string> folders;
  ScanOptions options;
  KnownPaths known;
  std::vector<std::string> stagedPaths;
};

// The newest progress of the worker. The worker overwrites it and posts one update only when
// none is waiting, so a fast walk costs the UI thread one refresh per event-loop turn.
class ScanProgress {
 public:
  struct Snapshot {
    std::string folder, file;
    long long count = 0;
  };
  // Worker thread: true when the caller must post an update.
  bool Update(Snapshot snapshot) {
    std::lock_guard lock(mutex_);
    latest_ = std::move(snapshot);
    const bool mustPost = !posted_;
    posted_ = true;
    return mustPost;
  }
  // UI thread: the newest progress; the next Update posts again.
  Snapshot Take() {
    std::lock_guard lock(mutex_);
    posted_ = false;
    return latest_;
  }

 private:
  std::mutex mutex_;
  Snapshot latest_;      // guarded by mutex_
  bool posted_ = false;  // guarded by mutex_
};

ScanDialog::ScanDialog(SongDatabase& library, const veltro::ui::LanguageModule* language,
                       platform::Profile& settings, std::function<void(int)> openHelp,
                       QWidget* owner, ScanDialogHooks hooks)
    : library_(library),
      language_(language),
      settings_(settings),
      openHelp_(std::move(openHelp)),
      hooks_(std::move(hooks)),
      queue_(std::make_unique<veltro::ui::UiThreadQueue>()),
      progress_(std::make_unique<ScanProgress>()) {
  dialog_ = veltro::ui::BuildDialog(
      language != nullptr ? language->Dialog(kDialogName) : veltro::ui::DialogTemplate{}, owner);
  dialog_->installEventFilter(this);  // F1
  connect(dialog_.get(), &TemplateDialog::command, this, [this](int id) { OnCommand(id); });
  Fill();
}

ScanDialog::~ScanDialog() {
  StopWorker();
}

int ScanDialog::Run() {
  return dialog_->exec();
}

void ScanDialog::Fill() {
  for (const int box : kTypeBoxes) {
    if (auto* check = dialog_->ControlById<QCheckBox>(box)) check->setChecked(true);
  }
  auto* list = dialog_->ControlById<QListWidget>(kScanFolderList);
  if (list == nullptr) return;
  const std::vector<std::string> remembered = RememberedFolders(settings_);
  const std::vector<std::string> places = hooks_.listPlaces ? hooks_.listPlaces() : ScanPlaces();
  const std::vector<std::string> offered = OfferedFolders(remembered, places);
  for (size_t row = 0; row < offered.size(); ++row) {
    AddFolderItem(*list, offered[row], row < remembered.size());
  }
}

void ScanDialog::OnCommand(int id) {
  switch (id) {
    case kScanNewButton:
      Start(Work::kScan);
      break;
    case kScanCleanButton:
      Start(Work::kClean);
      break;
    case kScanCleanThenNewButton:
      Start(Work::kCleanThenScan);
      break;
    case kScanAddFolderButton:
      AddChosenFolder();
      break;
    case veltro::ui::kHelpCommand:
      if (openHelp_) openHelp_(kScanHelpContext);
      break;
    case veltro::ui::kCancelCommand:
      StopWorker();  // the dialog then ends with 0
      break;
    default:
      break;
  }
}

// A chosen folder joins the list selected; one already listed is selected where it stands.
void ScanDialog::AddChosenFolder() {
  auto* list = dialog_->ControlById<QListWidget>(kScanFolderList);
  if (list == nullptr) return;
  const QString caption =
      language_ != nullptr ? language_->String(kChooserCaptionStringId) : QString();
  const QString chosen = hooks_.chooseFolder
                             ? hooks_.chooseFolder(caption)
                             : QFileDialog::getExistingDirectory(dialog_.get(), caption);
  if (chosen.isEmpty()) return;
  const QByteArray bytes = QFile::encodeName(chosen);
  for (int row = 0; row < list->count(); ++row) {
    if (list->item(row)->data(Qt::UserRole).toByteArray() == bytes) {
      list->item(row)->setSelected(true);
      return;
    }
  }
  AddFolderItem(*list, bytes.toStdString(), true);
}

std::vector<std::string> ScanDialog::SelectedFolders() const {
  std::vector<std::string> folders;
  const auto* list = dialog_->ControlById<QListWidget>(kScanFolderList);
  if (list == nullptr) return folders;
  for (int row = 0; row < list->count(); ++row) {
    if (list->item(row)->isSelected()) {
      folders.push_back(list->item(row)->data(Qt::UserRole).toByteArray().toStdString());
    }
  }
  return folders;
}

// [Scan] is replaced by the folders of this scan. A folder the settings file cannot hold (a
// line break in its name) is left out; a failed write is not reported: the scan goes on.
void ScanDialog::RememberFolders(const std::vector<std::string>& folders) {
  settings_.Update([&folders](platform::ProfileDocument& document) {
    document.RemoveSection(kScanSection);
    size_t number = 0;
    for (const std::string& folder : folders) {
      if (document.Set(kScanSection, FolderKey(number + 1), folder)) ++number;
    }
    return true;
  });
}

bool ScanDialog::Checked(int box) const {
  const auto* check = dialog_->ControlById<QCheckBox>(box);
  return check != nullptr && check->isChecked();
}

// The staging list starts as a copy of the library: a scan adds to it, a clean-up removes from
// it, and the commit makes it the library. The worker gets everything it reads as copies.
void ScanDialog::Start(Work work) {
  if (Busy()) return;
  const std::vector<std::string> folders = SelectedFolders();
  if (work != Work::kClean) RememberFolders(folders);
  SetButtonsEnabled(false);
  library_.StageAllRecords();
  ++run_;
  WorkOrder order{run_,
                  work,
                  folders,
                  ScanOptions{Checked(kScanMp3Box), Checked(kScanOggBox), Checked(kScanWavBox)},
                  library_.PathSnapshot(),
                  StagedPaths(library_)};
  stop_ = false;
  worker_ =
      std::thread([this, order = std::move(order)]() mutable { RunWorker(std::move(order)); });
}

// Worker thread: the clean-up, then the walk; every result goes to the UI thread by Post.
void ScanDialog::RunWorker(WorkOrder order) {
  const int run = order.run;
  const auto report = [this, run](const std::string& folder, const std::string& file,
                                  long long count) {
    if (progress_->Update({folder, file, count})) Post(run, [this] { ShowProgress(); });
  };
  if (order.work != Work::kScan) {
    long long checked = 0;
    std::vector<std::string> missing =
        FindMissing(order.stagedPaths, stop_,
                    [&](const std::string& path) { report(path, std::string(), ++checked); });
    Post(run, [this, missing = std::move(missing)] { library_.RemoveStagedPaths(missing); });
  }
  if (order.work != Work::kClean) {
    ScanListener listener;
    listener.onProgress = report;
    listener.onBatch = [this, run](std::vector<SongRecord> batch) {
      Post(run, [this, batch = std::move(batch)] {
        for (const SongRecord& record : batch) library_.StageRecord(record);
      });
    };
    WalkFolders(order.folders, order.options, order.known, stop_, listener);
  }
  Post(run, [this] { Finish(); });
}

// UI thread, after everything the worker posted: the commit with its three steps shown, then
// the end of the dialog.
void ScanDialog::Finish() {
  worker_.join();
  ShowStep(kScanFileText, QString());
  const CommitResult committed = CommitScan(library_, [this](std::string_view step) {
    ShowStep(kScanStepText, QString::fromUtf8(step.data(), static_cast<qsizetype>(step.size())));
    if (QWidget* label = dialog_->Control(kScanStepText)) label->repaint();
  });
  library_.ClearStaging();
  if (!committed.ok) {
    Warn(language_ != nullptr ? language_->String(kCommitFailedStringId) + QStringLiteral("\n\n") +
                                    QString::fromStdString(committed.problem)
                              : QString::fromStdString(committed.problem));
  }
  const int result = committed.ok ? 1 : 0;
  dialog_->done(result);
  emit finished(result);
}

void ScanDialog::SetButtonsEnabled(bool enabled) {
  for (const int id : kLockedWhileBusy) {
    if (QWidget* control = dialog_->Control(id)) control->setEnabled(enabled);
  }
}

void ScanDialog::ShowStep(int id, const QString& text) {
  auto* label = dialog_->ControlById<QLabel>(id);
  if (label == nullptr) return;
  label->setToolTip(text);
  label->setText(label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->width()));
}

void ScanDialog::ShowCount(long long count) {
  if (language_ == nullptr) return;
  ShowStep(kScanCountText, language_->String(kCountStringId).arg(count));
}

void ScanDialog::ShowProgress() {
  const ScanProgress::Snapshot now = progress_->Take();
  ShowStep(kScanStepText, Display(now.folder));
  ShowStep(kScanFileText, Display(now.file));
  ShowCount(now.count);
  emit progressed(now.count);
}

// Work for the UI thread from the worker of `run`; dropped when that run has ended.
void ScanDialog::Post(int run, std::function<void()> step) {
  queue_->Post([this, run, step = std::move(step)] {
    if (run == run_) step();
  });
}

void ScanDialog::StopWorker() {
  stop_ = true;
  if (worker_.joinable()) worker_.join();
  ++run_;
  library_.ClearStaging();
}

void ScanDialog::Warn(const QString& text) {
  const QString caption =
      language_ != nullptr ? language_->String(kProgramNameStringId) : QString();
  if (hooks_.warn) {
    hooks_.warn(caption, text);
    return;
  }
  QMessageBox::warning(dialog_.get(), caption, text);
}

bool ScanDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == dialog_.get() && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F1) {
    if (openHelp_) openHelp_(kScanHelpContext);
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace veltro::library::ui
