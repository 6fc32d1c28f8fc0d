#include "link/SessionWorker.h"

#include "link/Link.h"

TSessionWorker::TSessionWorker(TLink& link, std::function<void()> onIdle) : link_(link), onIdle_(std::move(onIdle)) {
  thread_ = std::thread([this] { Loop(); });
  // The receiver's hand-offs go to the thread that runs the link.
  link_.Inbox.SetOwner(thread_.get_id());
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
  link_.Inbox.Wake();
}

void TSessionWorker::Stop() {
  stopping_ = true;
  link_.Inbox.Wake();
  if (thread_.joinable()) thread_.join();
  std::lock_guard<std::mutex> lock(mu_);
  outstanding_ -= static_cast<int>(operations_.size());
  queued_ = 0;
  operations_.clear();
}

void TSessionWorker::Loop() {
  // The owner is set right after the start; work only once it is ours.
  while (!link_.Inbox.OnOwnerThread()) std::this_thread::yield();
  for (;;) {
    link_.Inbox.ServeUntil([this] { return queued_ > 0 || stopping_; });
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
