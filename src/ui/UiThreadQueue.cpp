#include "ui/UiThreadQueue.h"

#include <QSocketNotifier>

namespace veltro::ui {

UiThreadQueue::UiThreadQueue(QObject* parent)
    : QObject(parent),
      notifier_(std::make_unique<QSocketNotifier>(wake_.WaitDescriptor(), QSocketNotifier::Read)) {
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { RunPending(); });
}

// Members go in reverse order: the notifier stops watching before the wake-up signal closes.
UiThreadQueue::~UiThreadQueue() = default;

void UiThreadQueue::Post(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  const bool wasEmpty = pending_.empty();
  pending_.push_back(std::move(work));
  // One raise per empty-to-waiting change keeps the wake-up pipe far from full.
  if (wasEmpty) wake_.Raise();
}

void UiThreadQueue::RunPending() {
  // The wake-up is consumed before the list is taken: a Post after this point either finds
  // work still waiting (and this run takes it) or raises the signal again for the next run.
  wake_.Clear();
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(pending_);
  }
  for (std::function<void()>& work : batch) work();
}

}  // namespace veltro::ui
