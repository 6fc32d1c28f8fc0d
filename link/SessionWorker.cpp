#include "link/SessionWorker.h"

#include <algorithm>

#include "link/Link.h"
#include "link/ThreadQueue.h"

TSessionWorker::TSessionWorker(TLink& link, std::function<void()> onIdle) : link_(link), onIdle_(std::move(onIdle)) {
  thread_ = std::thread([this] { Loop(); });
  // The receiver's hand-offs go to the thread that runs the link.
  link_.Inbox().SetOwner(thread_.get_id());
}

TSessionWorker::~TSessionWorker() { Stop(); }

void TSessionWorker::Submit(std::function<void()> operation) {
  if (stopping_) return;
  ++outstanding_;
  {
    std::lock_guard<std::mutex> lock(mu_);
    operations_.push_back(std::move(operation));
    ++queued_;
  }
  link_.Inbox().Wake();
}

bool TSessionWorker::ServeUntilIdle(TThreadQueue& window, std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (!Idle()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    // The worker does not wake the window when it goes idle: look every millisecond.
    window.ServeUntil([this] { return Idle(); }, std::min(left, std::chrono::milliseconds(1)));
  }
  // What the last operation showed was posted; show it before saying idle.
  window.Drain();
  return true;
}

void TSessionWorker::Stop() {
  stopping_ = true;
  link_.Inbox().Wake();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mu_);
  outstanding_ -= static_cast<int>(operations_.size());
  queued_ = 0;
  operations_.clear();
}

void TSessionWorker::Loop() {
  // The owner is set right after the start; work only once it is ours.
  while (!link_.Inbox().OnOwnerThread()) std::this_thread::yield();
  for (;;) {
    link_.Inbox().ServeUntil([this] { return queued_ > 0 || stopping_; });
    if (stopping_) return;
    std::function<void()> operation;
    {
      std::lock_guard<std::mutex> lock(mu_);
      if (operations_.empty()) continue;
      operation = std::move(operations_.front());
      operations_.pop_front();
      --queued_;
    }
    try {
      operation();
    } catch (...) {
      // The operation reports its own errors; nothing may end this thread.
    }
    // Before the count drops, so that whoever sees the worker idle finds
    // what onIdle handed on already under way.
    if (outstanding_ == 1 && onIdle_) onIdle_();
    --outstanding_;
  }
}
