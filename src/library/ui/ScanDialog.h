// The folder scan dialog ("SCANDLG" of the language module): the only way songs enter or leave
// the library from the program.
//
// List 701 (multi-selection) offers the folders remembered in veltro.ini ([Scan] Folder1,
// Folder2, ..., selected), then the user's music folder, the home folder and the mounted volumes;
// "Add folder..." (711) adds any folder the chooser returns, selected. Boxes 708/709/710 choose
// MP3, Ogg and WAV files (all checked at the start). 702 scans the selected folders for new songs,
// 703 removes songs whose files are missing, 704 does both; 702 and 704 first remember the
// selected folders. The work runs on a worker thread while the dialog keeps answering: 706 shows
// the folder or step, 707 the file being read, 712 the count of files seen. New records are staged
// on the UI thread in batches; at the end the commit writes the five library files (nothing is
// written when the staging list ends up empty) and the dialog ends with 1. A commit that fails says
// why (a warning) and keeps the old library; the dialog then ends with 0. Cancel (2), Escape or the
// close box stop the worker at once, join it, discard the staging and change nothing. Help (9) and
// F1 open topic 30.
//
// Threads: constructed, used and destroyed on the UI thread; the worker thread it starts never
// touches the library or a widget, and is joined before the dialog is destroyed.
// Ownership: owns its dialog and worker; borrows the library, language module and settings,
// which must outlive it.
#pragma once

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/DialogBuilder.h"

class QListWidget;

namespace veltro::platform {
class Profile;
}
namespace veltro::ui {
class LanguageModule;
class UiThreadQueue;
}  // namespace veltro::ui

namespace veltro::library {
class SongDatabase;
}

namespace veltro::library::ui {

class ScanProgress;

inline constexpr int kScanFolderList = 701;
inline constexpr int kScanNewButton = 702;
inline constexpr int kScanCleanButton = 703;
inline constexpr int kScanCleanThenNewButton = 704;
inline constexpr int kScanStepText = 706;
inline constexpr int kScanFileText = 707;
inline constexpr int kScanMp3Box = 708;
inline constexpr int kScanOggBox = 709;
inline constexpr int kScanWavBox = 710;
inline constexpr int kScanAddFolderButton = 711;
inline constexpr int kScanCountText = 712;
inline constexpr int kScanHelpContext = 30;

// [Scan] of veltro.ini: the folders of the last scan, Folder1 ... FolderN, in list order.
inline constexpr char kScanSection[] = "Scan";
inline constexpr char kScanFolderKeyPrefix[] = "Folder";

// What the dialog takes from its surroundings; each empty member has a working default.
struct ScanDialogHooks {
  // Asks for one folder to add (empty text: none); empty: the platform's folder dialog.
  std::function<QString(const QString& caption)> chooseFolder;
  // The places offered after the remembered folders; empty: ScanPlaces().
  std::function<std::vector<std::string>()> listPlaces;
  // Shows a warning; empty: a message box owned by the dialog.
  std::function<void(const QString& caption, const QString& text)> warn;
};

// The user's music folder, the home folder and the mount points of the mounted volumes, in that
// order, each once.
std::vector<std::string> ScanPlaces();

// `remembered` followed by the `places` not among them, each folder once (the first wins).
std::vector<std::string> OfferedFolders(const std::vector<std::string>& remembered,
                                        const std::vector<std::string>& places);

class ScanDialog : public QObject {
  Q_OBJECT

 public:
  // Builds the dialog from `language` (null or without the template: an empty dialog that only
  // Escape closes) and fills the list. UI thread.
  ScanDialog(SongDatabase& library, const veltro::ui::LanguageModule* language,
             platform::Profile& settings, std::function<void(int)> openHelp,
             QWidget* owner = nullptr, ScanDialogHooks hooks = {});
  // Stops and joins a running worker; the staging list is left empty. UI thread.
  ~ScanDialog() override;
  ScanDialog(const ScanDialog&) = delete;
  ScanDialog& operator=(const ScanDialog&) = delete;

  // The dialog, for tests to reach the controls and answer it. UI thread.
  veltro::ui::TemplateDialog& Dialog() { return *dialog_; }
  // Shows the dialog modally: 1 when the work of a button ended well, 0 otherwise. UI thread.
  int Run();
  // Whether a worker was started and not yet joined. UI thread.
  bool Busy() const { return worker_.joinable(); }

 signals:
  // The work of a button ended and so did the dialog: 1 done, 0 the commit failed.
  // Cancel ends the dialog without this signal.
  void finished(int result);
  // The worker's newest progress was shown (706, 707 and the count). UI thread.
  void progressed(long long count);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  enum class Work { kScan, kClean, kCleanThenScan };
  struct WorkOrder;  // what one run of the worker is given

  void Fill();
  void OnCommand(int id);
  void AddChosenFolder();
  void Start(Work work);
  std::vector<std::string> SelectedFolders() const;
  void RememberFolders(const std::vector<std::string>& folders);
  bool Checked(int box) const;
  void RunWorker(WorkOrder order);
  void Post(int run, std::function<void()> step);
  void ShowStep(int id, const QString& text);
  void ShowCount(long long count);
  void ShowProgress();
  void Finish();
  void StopWorker();
  void SetButtonsEnabled(bool enabled);
  void Warn(const QString& text);

  SongDatabase& library_;
  const veltro::ui::LanguageModule* language_;
  platform::Profile& settings_;
  std::function<void(int)> openHelp_;
  ScanDialogHooks hooks_;
  std::unique_ptr<veltro::ui::TemplateDialog> dialog_;
  std::unique_ptr<veltro::ui::UiThreadQueue> queue_;
  std::unique_ptr<ScanProgress> progress_;  // shared with the worker, guarded inside
  std::atomic<bool> stop_{false};
  std::thread worker_;
  int run_ = 0;  // numbers each start; work posted by an earlier run is dropped
};

}  // namespace veltro::library::ui
