#include "ui/UiThreadQueue.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <system_error>

namespace veltro::ui {

UiThreadQueue::UiThreadQueue(QObject* parent) : QObject(parent) {
  int ends[2];
  if (pipe2(ends, O_NONBLOCK | O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "UI thread queue pipe");
  }
  readEnd_ = ends[0];
  writeEnd_ = ends[1];
  notifier_ = std::make_unique<QSocketNotifier>(readEnd_, QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { RunPending(); });
}

UiThreadQueue::~UiThreadQueue() {
  notifier_.reset();
  close(readEnd_);
  close(writeEnd_);
}

void UiThreadQueue::Post(std::function<void()> work) {
  std::lock_guard lock(mutex_);
  const bool wasEmpty = pending_.empty();
  pending_.push_back(std::move(work));
  // One byte per empty-to-waiting change keeps the pipe far from full.
  if (wasEmpty) Wake();
}

void UiThreadQueue::RunPending() {
  // The wake byte is consumed before the list is taken: a Post after this point either finds
  // work still waiting (and this run takes it) or writes a new byte for the next run.
  ClearWake();
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(pending_);
  }
  for (std::function<void()>& work : batch) work();
}

void UiThreadQueue::Wake() {
  const char byte = 1;
  // A full pipe (EAGAIN) already holds a wake-up; nothing else can fail on an open pipe.
  while (write(writeEnd_, &byte, 1) < 0 && errno == EINTR) {
  }
}

void UiThreadQueue::ClearWake() {
  char bytes[64];
  while (true) {
    const ssize_t got = read(readEnd_, bytes, sizeof bytes);
    if (got > 0) continue;
    if (got < 0 && errno == EINTR) continue;
    return;  // empty (EAGAIN) or closed
  }
}

}  // namespace veltro::ui
