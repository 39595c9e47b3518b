// The folder scan dialog over a generated folder tree and a real library in a temporary
// folder: scans and clean-ups reach the five files, Cancel at any point leaves them as they
// were, a failed commit says why and keeps them, the folders of a scan are offered first next
// time, and the program opens the dialog when it starts with an empty library.
#include <sys/resource.h>

#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "app/MainWindowHarness.h"
#include "app/SettingsKeys.h"
#include "library/LibraryFileBytes.h"
#include "library/SongDatabase.h"
#include "library/ui/ScanDialog.h"
#include "platform/Profile.h"
#include "support/Fixtures.h"
#include "support/TempDir.h"
#include "ui/LanguageModule.h"
#include "ui/TextFit.h"
#include "ui/UiTestSupport.h"

namespace veltro::library::ui {
namespace {

using veltro::testing::ReadBytes;
using veltro::testing::WriteBytes;
namespace fs = std::filesystem;

constexpr const char* kLibraryFiles[] = {"Data.ndb", "a.ndx", "s.ndx", "g.ndx", "y.ndx"};

void WriteSong(const fs::path& path) {
  fs::create_directories(path.parent_path());
  WriteBytes(path.string(), veltro::testing::MakeWav(veltro::testing::PcmLayout(2, 44100),
                                                     std::string(17640, '\0')));
}

std::string FiveFiles(const fs::path& dir) {
  std::string bytes;
  for (const char* name : kLibraryFiles) bytes += ReadBytes((dir / "Data" / name).string()) + "|";
  return bytes;
}

std::vector<std::string> Paths(const SongDatabase& library) {
  std::vector<std::string> paths;
  for (const SongRecord& record : library.Records()) paths.emplace_back(record.path);
  return paths;
}

// The records' paths as the five files hold them, or "inconsistent" when they disagree.
std::vector<std::string> PathsOnDisk(const fs::path& dir) {
  SongDatabase reread(dir);
  if (reread.LoadIndexes() != 0) return {"inconsistent"};
  return Paths(reread);
}

class ScanDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(language.Load(veltro::testing::ModulePath("leng")));
    WriteLibrary(dir.Path(), SampleFiles());
    library = std::make_unique<SongDatabase>(dir.Path());
    ASSERT_EQ(library->LoadIndexes(), 0);
  }

  std::string Music(const std::string& name = "") const { return (music / name).string(); }

  std::unique_ptr<ScanDialog> Open() {
    ScanDialogHooks hooks{
        [this](const QString&) { return chosen; }, [this] { return places; },
        [this](const QString&, const QString& text) { warnings.push_back(text.toStdString()); }};
    auto scan = std::make_unique<ScanDialog>(
        *library, &language, settings, [this](int context) { helpContexts.push_back(context); },
        nullptr, std::move(hooks));
    QObject::connect(scan.get(), &ScanDialog::finished,
                     [this](int result) { results.push_back(result); });
    return scan;
  }

  // Presses `button` in a new dialog over the chosen music folder and lets the work end.
  int RunToEnd(int button) {
    const auto scan = Open();
    scan->Dialog().SendCommand(kScanAddFolderButton);
    const size_t before = results.size();
    scan->Dialog().SendCommand(button);
    EXPECT_TRUE(QTest::qWaitFor([&] { return results.size() > before; }, 20000));
    return results.empty() ? -1 : results.back();
  }

  static QStringList Rows(ScanDialog& scan, bool selectedOnly) {
    QStringList rows;
    const auto* list = scan.Dialog().ControlById<QListWidget>(kScanFolderList);
    for (int row = 0; row < list->count(); ++row) {
      if (!selectedOnly || list->item(row)->isSelected()) rows << list->item(row)->text();
    }
    return rows;
  }

  veltro::testing::TempDir dir;
  fs::path music = dir.Path() / "music";
  veltro::ui::LanguageModule language;
  platform::Profile settings{dir.File("veltro.ini")};
  std::unique_ptr<SongDatabase> library;
  QString chosen = QString::fromStdString(Music());
  std::vector<std::string> places;
  std::vector<std::string> warnings;
  std::vector<int> helpContexts;
  std::vector<int> results;
};

TEST_F(ScanDialogTest, ButtonsAddAndRemoveSongsInTheFiveFiles) {
  const size_t sample = SampleSongs().size();
  struct Step {
    std::vector<std::string> create, remove;
    int button;
    std::vector<std::string> expectedMusic;  // the records under the music folder, path order
    size_t expectedOthers;                   // records of the sample library kept
  };
  const Step steps[] = {
      {{"a.wav", "sub/b.WAV", "notes.txt"}, {}, kScanNewButton, {"a.wav", "sub/b.WAV"}, sample},
      {{}, {}, kScanNewButton, {"a.wav", "sub/b.WAV"}, sample},  // a second scan adds nothing
      {{"c.wav"}, {"a.wav"}, kScanCleanThenNewButton, {"c.wav", "sub/b.WAV"}, 0},
      {{}, {"c.wav"}, kScanCleanButton, {"sub/b.WAV"}, 0},
  };
  for (const Step& step : steps) {
    for (const std::string& name : step.create) WriteSong(Music(name));
    for (const std::string& name : step.remove) fs::remove(Music(name));
    EXPECT_EQ(RunToEnd(step.button), 1) << step.button;
    std::vector<std::string> expected;
    for (const std::string& name : step.expectedMusic) expected.push_back(Music(name));
    std::vector<std::string> found = Paths(*library);
    std::erase_if(found, [&](const std::string& path) { return !path.starts_with(Music()); });
    EXPECT_EQ(found, expected) << step.button;
    EXPECT_EQ(library->Records().size(), expected.size() + step.expectedOthers) << step.button;
    EXPECT_TRUE(library->StagingList().empty());
    EXPECT_EQ(PathsOnDisk(dir.Path()), Paths(*library));
  }
  EXPECT_TRUE(warnings.empty());
}

TEST_F(ScanDialogTest, CancelAtAnyPointLeavesTheLibraryAsItWas) {
  for (int i = 0; i < 40; ++i) WriteSong(Music("f" + std::to_string(i) + "/s.wav"));
  const std::string before = FiveFiles(dir.Path());
  enum class When { kBeforeWork, kRightAfterTheButton, kAtTheFirstProgress };
  for (const When when :
       {When::kBeforeWork, When::kRightAfterTheButton, When::kAtTheFirstProgress}) {
    const auto scan = Open();
    QObject::connect(scan.get(), &ScanDialog::progressed, [&scan, when] {
      if (when == When::kAtTheFirstProgress) scan->Dialog().SendCommand(veltro::ui::kCancelCommand);
    });
    scan->Dialog().SendCommand(kScanAddFolderButton);
    if (when != When::kBeforeWork) scan->Dialog().SendCommand(kScanCleanThenNewButton);
    if (when != When::kAtTheFirstProgress) scan->Dialog().SendCommand(veltro::ui::kCancelCommand);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !scan->Busy(); }, 20000));
    QCoreApplication::processEvents();  // whatever the worker posted arrives and is dropped
    const int label = static_cast<int>(when);
    EXPECT_FALSE(scan->Busy()) << label;
    EXPECT_EQ(scan->Dialog().result(), 0) << label;
    EXPECT_TRUE(library->StagingList().empty()) << label;
    EXPECT_EQ(library->RecordCount(), static_cast<int>(SampleSongs().size())) << label;
    EXPECT_TRUE(FiveFiles(dir.Path()) == before) << label;
  }
  EXPECT_EQ(results, std::vector<int>{}) << "no work ended by itself";
}

// Files larger than a byte cannot be written while the limit holds, whoever runs the test.
class FileSizeLimit {
 public:
  FileSizeLimit() {
    getrlimit(RLIMIT_FSIZE, &saved_);
    previous_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = saved_;
    tiny.rlim_cur = 1;
    setrlimit(RLIMIT_FSIZE, &tiny);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previous_);
  }

 private:
  rlimit saved_{};
  void (*previous_)(int) = nullptr;
};

TEST_F(ScanDialogTest, FailedCommitSaysWhyAndKeepsTheOldLibrary) {
  WriteSong(Music("new.wav"));
  const std::string before = FiveFiles(dir.Path());
  const auto scan = Open();
  scan->Dialog().SendCommand(kScanAddFolderButton);
  {
    const FileSizeLimit limit;
    scan->Dialog().SendCommand(kScanNewButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !results.empty(); }, 20000));
  }
  EXPECT_EQ(results, std::vector<int>{0});
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_TRUE(warnings[0].starts_with(language.String(932).toStdString())) << warnings[0];
  EXPECT_GT(warnings[0].size(), language.String(932).size() + 2) << "the reason follows";
  EXPECT_TRUE(FiveFiles(dir.Path()) == before);
  EXPECT_EQ(Paths(*library), PathsOnDisk(dir.Path())) << "memory as on disk";
}

TEST_F(ScanDialogTest, FoldersOfTheLastScanComeFirstAndSelected) {
  places = {"/place/one", Music(), "/place/two"};
  {
    const auto first = Open();
    EXPECT_EQ(Rows(*first, false), QStringList({"/place/one", chosen, "/place/two"}));
    EXPECT_TRUE(Rows(*first, true).isEmpty()) << "nothing remembered yet";
  }
  chosen = QStringLiteral("/place/two");  // listed already: selected where it stands
  EXPECT_EQ(RunToEnd(kScanNewButton), 1);
  EXPECT_EQ(platform::Profile(dir.File("veltro.ini")).GetString(kScanSection, "Folder1", ""),
            "/place/two");
  chosen.clear();
  const auto next = Open();
  EXPECT_EQ(Rows(*next, false),
            QStringList({"/place/two", "/place/one", QString::fromStdString(Music())}));
  EXPECT_EQ(Rows(*next, true), QStringList({"/place/two"}));
}

TEST_F(ScanDialogTest, HelpOpensTopicThirtyAndEveryTextFitsInEveryLanguage) {
  for (const char* module : veltro::testing::kModules) {
    ASSERT_TRUE(language.Load(veltro::testing::ModulePath(module)));
    const auto scan = Open();
    scan->Dialog().SendCommand(veltro::ui::kHelpCommand);
    QTest::keyClick(&scan->Dialog(), Qt::Key_F1);
    int withText = 0;
    for (const QWidget* child : scan->Dialog().findChildren<QWidget*>()) {
      for (const QString& text : veltro::ui::ShownTexts(*child)) {
        ++withText;
        EXPECT_TRUE(
            veltro::ui::TextFits(child->font(), text, veltro::ui::TextArea(*child, child->font())))
            << module << ": " << text.toStdString();
      }
    }
    EXPECT_GE(withText, 11) << module;
  }
  EXPECT_EQ(helpContexts, std::vector<int>(10, kScanHelpContext));
}

}  // namespace
}  // namespace veltro::library::ui

namespace veltro::app {
namespace {

TEST_F(MainWindowTest, EmptyLibraryStartOpensTheScanAndTheWindowShowsTheSongs) {
  const std::filesystem::path music = dir.Path() / "music";
  for (const char* name : {"one.wav", "deep/two.wav"}) {
    library::ui::WriteSong(music / name);
  }
  WriteDeviceSettings(kOneDevice, 1, 0);
  answer = [](ui::TemplateDialog& dialog) {
    bool ended = false;
    QObject::connect(&dialog, &QDialog::finished, [&ended] { ended = true; });
    dialog.SendCommand(library::ui::kScanAddFolderButton);
    dialog.SendCommand(library::ui::kScanNewButton);
    EXPECT_TRUE(QTest::qWaitFor([&ended] { return ended; }, 20000));
    return dialog.result();
  };
  MainWindowHooks hooks = Hooks();
  hooks.chooseFolder = [&music](const QString&) { return QString::fromStdString(music.string()); };
  hooks.scanPlaces = [] { return std::vector<std::string>{}; };
  window = std::make_unique<MainWindow>(hooks);
  window->CreateAndStart();
  EXPECT_TRUE(shownDialogs.empty()) << "the scan waits until start-up is over";
  QCoreApplication::processEvents();
  EXPECT_EQ(shownDialogs, std::vector<std::string>{"SCANDLG"});
  EXPECT_EQ(window->Library().RecordCount(), 2);
  EXPECT_EQ(window->Library().OrderName(), "Artist");
  EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral("2 Songs")));
}

}  // namespace
}  // namespace veltro::app
