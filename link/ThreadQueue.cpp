#include "link/ThreadQueue.h"

TThreadQueue::TThreadQueue() : owner_(std::this_thread::get_id()) {}

void TThreadQueue::SetOwner(std::thread::id owner) { owner_ = owner; }

bool TThreadQueue::OnOwnerThread() const { return std::this_thread::get_id() == owner_.load(); }

void TThreadQueue::SetWaker(std::function<void()> waker) {
  std::lock_guard<std::mutex> lock(mu_);
  waker_ = std::move(waker);
}

void TThreadQueue::Post(std::function<void()> fn) {
  std::function<void()> waker;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (cancelled_) return;
    auto item = std::make_shared<Item>();
    item->fn = std::move(fn);
    items_.push_back(item);
    waker = waker_;
    cv_.notify_all();
  }
  if (waker) waker();
}

void TThreadQueue::RunAndWait(std::function<void()> fn) {
  if (OnOwnerThread()) {
    fn();
    return;
  }
  auto item = std::make_shared<Item>();
  item->fn = std::move(fn);
  item->waited = true;
  std::function<void()> waker;
  {
    std::lock_guard<std::mutex> lock(mu_);
    if (cancelled_) return;
    items_.push_back(item);
    waker = waker_;
    cv_.notify_all();
  }
  if (waker) waker();
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait(lock, [&] { return item->done || cancelled_; });
  if (item->done && item->error) std::rethrow_exception(item->error);
}

void TThreadQueue::Drain() {
  std::unique_lock<std::mutex> lock(mu_);
  // A message box shown by one item pumps events itself; don't re-enter.
  if (draining_) return;
  draining_ = true;
  while (!items_.empty() && !cancelled_) {
    auto item = items_.front();
    items_.pop_front();
    lock.unlock();
    try {
      item->fn();
    } catch (...) {
      item->error = std::current_exception();
    }
    lock.lock();
    item->done = true;
    cv_.notify_all();
    // Nobody waits for a posted item: its error goes on to the owner.
    if (item->error && !item->waited) {
      draining_ = false;
      std::rethrow_exception(item->error);
    }
  }
  draining_ = false;
}

void TThreadQueue::ServeUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const bool bounded = limit != std::chrono::milliseconds::max();
  const Clock::time_point deadline = bounded ? Clock::now() + limit : Clock::time_point::max();
  for (;;) {
    std::unique_lock<std::mutex> lock(mu_);
    if (cancelled_ || done()) return;
    // Inside a drained item the queue cannot be served from here: only wait.
    if (!draining_ && !items_.empty()) {
      lock.unlock();
      Drain();
      continue;
    }
    auto ready = [&] { return cancelled_ || done() || (!draining_ && !items_.empty()); };
    if (!bounded) {
      cv_.wait(lock, ready);
    } else if (!cv_.wait_until(lock, deadline, ready)) {
      return;
    }
  }
}

void TThreadQueue::Wake() {
  std::lock_guard<std::mutex> lock(mu_);
  cv_.notify_all();
}

void TThreadQueue::Cancel() {
  std::lock_guard<std::mutex> lock(mu_);
  cancelled_ = true;
  items_.clear();
  cv_.notify_all();
}
