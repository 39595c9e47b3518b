// The handoff from worker threads to the UI thread: order, completeness, the thread work runs
// on, and what happens to work that is still waiting when the queue goes.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <thread>
#include <vector>

#include "ui/UiTestSupport.h"
#include "ui/UiThreadQueue.h"

namespace veltro::testing {
namespace {

class UiThreadQueueTest : public ::testing::Test {
 protected:
  void SetUp() override { EnsureApplication(); }
  // Spins the event loop until `done` holds or five seconds pass.
  template <typename Done>
  static bool SpinUntil(Done done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 5000) QCoreApplication::processEvents();
    return done();
  }
};
using UiThreadQueueThreaded = UiThreadQueueTest;

TEST_F(UiThreadQueueTest, WorkRunsFromTheEventLoopInOrderAndMayPostMore) {
  ui::UiThreadQueue queue;
  std::vector<int> ran;
  queue.Post([&] { ran.push_back(1); });
  queue.Post([&] {
    ran.push_back(2);
    queue.Post([&] { ran.push_back(3); });
  });
  EXPECT_TRUE(ran.empty());  // nothing runs inside Post
  ASSERT_TRUE(SpinUntil([&] { return ran.size() == 3; }));
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  QCoreApplication::processEvents();
  EXPECT_EQ(ran.size(), 3u);  // each piece of work runs once
}

TEST_F(UiThreadQueueTest, WorkStillWaitingWhenTheQueueGoesIsDropped) {
  int ran = 0;
  {
    ui::UiThreadQueue queue;
    queue.Post([&] { ++ran; });
  }
  QCoreApplication::processEvents();
  EXPECT_EQ(ran, 0);
}

TEST_F(UiThreadQueueThreaded, EveryPostFromEveryThreadRunsOnTheUiThreadInItsOrder) {
  constexpr int kThreads = 4;
  constexpr int kPosts = 20000;
  ui::UiThreadQueue queue;
  const std::thread::id uiThread = std::this_thread::get_id();
  std::vector<int> next(kThreads, 0);  // UI thread only
  int outOfOrder = 0;
  int offThread = 0;
  int total = 0;
  std::vector<std::thread> workers;
  for (int t = 0; t < kThreads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < kPosts; ++i) {
        queue.Post([&, t, i] {
          if (std::this_thread::get_id() != uiThread) ++offThread;
          if (next[t] != i) ++outOfOrder;
          next[t] = i + 1;
          ++total;
        });
      }
    });
  }
  const bool all = SpinUntil([&] { return total == kThreads * kPosts; });
  for (std::thread& worker : workers) worker.join();
  EXPECT_TRUE(all) << total;
  EXPECT_EQ(outOfOrder, 0);
  EXPECT_EQ(offThread, 0);
}

}  // namespace
}  // namespace veltro::testing
