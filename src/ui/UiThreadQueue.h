// Work handed from a worker thread (a deck's timer, the controller's reader) to the UI thread.
//
// Post may be called from any thread; the work runs later on the thread that created the
// queue, in the order posted, from that thread's event loop. The handoff is a mutex-guarded
// list plus a platform::WakeUpSignal watched by a QSocketNotifier, so no Qt object or Qt-owned
// allocation crosses threads: everything the two threads share is guarded by the mutex, which
// keeps the thread-sanitizer build able to see the ordering.
//
// Work still queued when the queue is destroyed is dropped without running. Destroy the queue
// only after every thread that posts to it has stopped.
#pragma once

#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/WakeUpSignal.h"

class QSocketNotifier;

namespace veltro::ui {

class UiThreadQueue : public QObject {
  Q_OBJECT

 public:
  // UI thread. Throws std::system_error if the wake-up signal cannot be created.
  explicit UiThreadQueue(QObject* parent = nullptr);
  ~UiThreadQueue() override;
  UiThreadQueue(const UiThreadQueue&) = delete;
  UiThreadQueue& operator=(const UiThreadQueue&) = delete;

  // Any thread: queues `work` to run on the UI thread.
  void Post(std::function<void()> work);
  // UI thread: runs everything queued so far (the event loop calls this on its own).
  void RunPending();

 private:
  std::mutex mutex_;
  std::deque<std::function<void()>> pending_;  // guarded by mutex_
  // Declared before the notifier that watches it, so that it closes after the notifier is gone.
  platform::WakeUpSignal wake_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace veltro::ui
