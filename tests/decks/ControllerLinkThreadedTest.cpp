// The controller link over a pseudo-terminal: the test writes the controller's bytes to the
// master, the link reads the slave on its own thread and posts the actions to a stand-in UI
// thread (this test's thread draining a queue), which carries them out on two recording decks.
// Runs under the thread sanitizer.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "MixerTestDoubles.h"
#include "decks/ControllerLink.h"
#include "support/PseudoTerminal.h"
#include "support/TempDir.h"

namespace veltro::decks {
namespace {

using namespace std::chrono_literals;
using Calls = std::vector<std::string>;
using Message = std::pair<std::string, std::string>;

const Message kOpened{kControllerInfoCaption, kControllerOpenedText};
const Message kClosed{kControllerInfoCaption, kControllerClosedText};

// Entries of a /proc/self folder (threads in task/, descriptors in fd/).
size_t CountEntries(const char* folder) {
  size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

class ControllerLinkThreadedTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A sanitizer runtime starts its own helper thread with the process's first thread: one
    // throwaway thread first, so that the thread counts below see only the link's.
    std::thread([] {}).join();
    ASSERT_TRUE(pty_.Valid());
    slavePath_ = pty_.SlavePath();  // the link sets the line up itself
    link_ = std::make_unique<ControllerLink>(Hooks());
  }
  void TearDown() override {
    link_.reset();
  }

  ControllerLinkHooks Hooks() {
    ControllerLinkHooks hooks;
    hooks.postToUi = [this](std::function<void()> work) {
      std::lock_guard lock(mutex_);
      posted_.push_back(std::move(work));
    };
    hooks.deck = [this](MixerSide side) { return side == MixerSide::kLeft ? deckA_ : deckB_; };
    hooks.message = [this](const std::string& caption, const std::string& text) {
      messages_.emplace_back(caption, text);
    };
    return hooks;
  }

  void Send(const std::string& bytes) {
    ASSERT_TRUE(pty_.Write(bytes));
  }
  void CloseMaster() { pty_.CloseMaster(); }
  size_t Posted() {
    std::lock_guard lock(mutex_);
    return posted_.size();
  }
  // Runs the posted work as the UI thread would, until none is left.
  void RunPosted() {
    while (true) {
      std::deque<std::function<void()>> due;
      {
        std::lock_guard lock(mutex_);
        due.swap(posted_);
      }
      if (due.empty()) return;
      for (auto& work : due) work();
    }
  }
  // Runs posted work until `done` holds (true) or 10 s pass (false).
  template <typename Done>
  bool DrainUntil(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (true) {
      RunPosted();
      if (done()) return true;
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(1ms);
    }
  }
  // Descriptors open on the pseudo-terminal's slave (the test holds one itself).
  size_t SlaveHolders() const {
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
      std::error_code ignored;
      if (std::filesystem::read_symlink(entry.path(), ignored) == slavePath_) ++count;
    }
    return count;
  }

  mixertest::MixerRig rig;
  MixerDeck* deckA_ = &rig.left;
  MixerDeck* deckB_ = &rig.right;
  std::vector<Message> messages_;
  std::string slavePath_;
  testing::PseudoTerminal pty_;
  std::mutex mutex_;
  std::deque<std::function<void()>> posted_;  // guarded by mutex_
  std::unique_ptr<ControllerLink> link_;      // last: its reader posts into the queue above
};

TEST_F(ControllerLinkThreadedTest, ActionsReachTheirDecksInOrder) {
  ASSERT_TRUE(link_->Open(slavePath_));
  EXPECT_TRUE(link_->IsOpen());
  EXPECT_EQ(messages_, std::vector<Message>{kOpened});
  // Each write and the calls it must add to deck A and deck B; several lines may share a read.
  const struct {
    std::string bytes;
    Calls deckA, deckB;
  } rows[] = {
      {"14\r\n", {"load"}, {}},
      {"10\r\n", {}, {"load"}},
      {"Pitch_A=140\r\n", {"pitch 140"}, {}},
      {"Pitch_B=100\r\n", {}, {"pitch 100"}},
      {"12\r\n8\r\n", {"play"}, {"play"}},
      {"2222", {"step forward", "step forward"}, {}},
      {"\n00\n", {"step back"}, {}},
      {"13\r\n9\r\n", {"cue"}, {"cue"}},
      {"Pitch_B=0\r\n14\r\n12\r\n", {"load", "play"}, {"pitch 0"}},
  };
  Calls wantA, wantB;
  for (const auto& row : rows) {
    wantA.insert(wantA.end(), row.deckA.begin(), row.deckA.end());
    wantB.insert(wantB.end(), row.deckB.begin(), row.deckB.end());
    Send(row.bytes);
    EXPECT_TRUE(DrainUntil([&] {
      return rig.left.calls.size() >= wantA.size() && rig.right.calls.size() >= wantB.size();
    })) << row.bytes;
    EXPECT_EQ(rig.left.calls, wantA) << row.bytes;
    EXPECT_EQ(rig.right.calls, wantB) << row.bytes;
  }
  // A side without a deck skips its actions; the other side still gets its own.
  deckB_ = nullptr;
  Send("8\r\n13\r\n");
  wantA.push_back("cue");
  EXPECT_TRUE(DrainUntil([&] { return rig.left.calls.size() >= wantA.size(); }));
  EXPECT_EQ(rig.left.calls, wantA);
  EXPECT_EQ(rig.right.calls, wantB);
  EXPECT_EQ(messages_, std::vector<Message>{kOpened}) << "actions say nothing";
}

TEST_F(ControllerLinkThreadedTest, PortsThatCannotBeOpenedAreNamedAndLeaveTheLinkClosed) {
  link_->Close();
  EXPECT_TRUE(messages_.empty()) << "closing a link that is not open says nothing";
  testing::TempDir dir;
  const std::string regularFile = dir.File("no-terminal");
  testing::WriteBytes(regularFile, "");
  for (const std::string& setting : {std::string("COM999"), std::string("/dev/veltro-missing"),
                                     std::string("/dev/null"), regularFile}) {
    messages_.clear();
    EXPECT_FALSE(link_->Open(setting)) << setting;
    EXPECT_FALSE(link_->IsOpen()) << setting;
    EXPECT_EQ(messages_, (std::vector<Message>{{setting, kControllerBusyText}})) << setting;
    link_->Close();
    EXPECT_EQ(messages_.size(), 1u) << setting;
  }
}

TEST_F(ControllerLinkThreadedTest, OpeningWhileOpenClosesTheFirstQuietlyAndHoldsThePortOnce) {
  const size_t threads = CountEntries("/proc/self/task");
  ASSERT_TRUE(link_->Open(slavePath_));
  ASSERT_TRUE(link_->Open(slavePath_));
  EXPECT_EQ(messages_, (std::vector<Message>{kOpened, kOpened}));
  EXPECT_EQ(SlaveHolders(), 2u) << "the test's descriptor and the link's one";
  EXPECT_EQ(CountEntries("/proc/self/task"), threads + 1);
  Send("12\r\n");
  EXPECT_TRUE(DrainUntil([&] { return !rig.left.calls.empty(); }));
  std::this_thread::sleep_for(50ms);  // a second reader would post a second play meanwhile
  RunPosted();
  EXPECT_EQ(rig.left.calls, Calls{"play"});

  link_->Close();
  EXPECT_EQ(messages_, (std::vector<Message>{kOpened, kOpened, kClosed}));
  EXPECT_EQ(SlaveHolders(), 1u);
  ASSERT_TRUE(link_->Open(slavePath_));
  link_.reset();  // program shutdown
  EXPECT_EQ(messages_.size(), 4u) << "the destructor closes quietly";
  EXPECT_EQ(SlaveHolders(), 1u);
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
}

// The reader posted its actions, then the link was closed or opened anew before the UI thread
// ran them: they are dropped.
TEST_F(ControllerLinkThreadedTest, WorkOfAnEarlierOpenDoesNotAct) {
  for (const bool reopen : {false, true}) {
    ASSERT_TRUE(link_->Open(slavePath_));
    Send("12\r\n");
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (Posted() == 0 && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(Posted(), 1u);
    if (reopen) {
      ASSERT_TRUE(link_->Open(slavePath_));
    } else {
      link_->Close();
    }
    RunPosted();
    EXPECT_TRUE(rig.left.calls.empty()) << "reopen " << reopen;
    link_->CloseQuietly();
  }
}

// A load may show a warning box, in whose event loop the user can close the link: the rest of
// that read's actions are dropped.
TEST_F(ControllerLinkThreadedTest, AnActionThatClosesTheLinkEndsItsBatch) {
  struct ClosingDeck : mixertest::RecordingDeck {
    using RecordingDeck::RecordingDeck;
    void LoadFromLibrary() override {
      RecordingDeck::LoadFromLibrary();
      link->Close();
    }
    ControllerLink* link = nullptr;
  } closing(rig.timers, rig.library);
  closing.link = link_.get();
  deckA_ = &closing;
  ASSERT_TRUE(link_->Open(slavePath_));
  Send("14\r\n12\r\n13\r\n");
  EXPECT_TRUE(DrainUntil([&] { return !link_->IsOpen(); }));
  RunPosted();
  EXPECT_EQ(closing.calls, Calls{"load"});
  EXPECT_EQ(messages_, (std::vector<Message>{kOpened, kClosed}));
}

TEST_F(ControllerLinkThreadedTest, UnpluggedControllerClosesTheLinkOnceAndDecksAreLeftAlone) {
  const size_t threads = CountEntries("/proc/self/task");
  ASSERT_TRUE(link_->Open(slavePath_));
  Send("1");  // half a line, never finished
  CloseMaster();
  EXPECT_TRUE(DrainUntil([&] { return !link_->IsOpen(); }));
  EXPECT_EQ(messages_, (std::vector<Message>{kOpened, kClosed}));
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  link_->Close();
  std::this_thread::sleep_for(50ms);
  RunPosted();
  EXPECT_EQ(messages_.size(), 2u) << "said once";
  EXPECT_TRUE(rig.left.calls.empty());
  EXPECT_TRUE(rig.right.calls.empty());
}

TEST_F(ControllerLinkThreadedTest, AThousandOpensLeaveNoThreadOrDescriptorBehind) {
  constexpr int kOpens = 1000;
  const size_t threads = CountEntries("/proc/self/task");
  const size_t descriptors = CountEntries("/proc/self/fd");
  for (int i = 0; i < kOpens; ++i) {
    ASSERT_TRUE(link_->Open(slavePath_)) << i;
    if (i % 2 == 0) Send("22");  // a reader with work in flight as it is stopped
    link_->Close();
  }
  RunPosted();
  EXPECT_EQ(CountEntries("/proc/self/task"), threads);
  EXPECT_EQ(CountEntries("/proc/self/fd"), descriptors);
  EXPECT_EQ(messages_.size(), 2u * kOpens);
  std::printf("threads %zu -> %zu, descriptors %zu -> %zu over %d opens\n", threads,
              CountEntries("/proc/self/task"), descriptors, CountEntries("/proc/self/fd"), kOpens);
}

}  // namespace
}  // namespace veltro::decks
