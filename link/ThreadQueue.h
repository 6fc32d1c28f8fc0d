#pragma once
// Work that other threads hand to one thread, its owner: the window thread
// for the window's queue, the thread that runs the link for the link's
// inbox. The owner drains it; a blocking request returns when its work has
// run, or at once after Cancel (shutdown).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TThreadQueue {
 public:
  // Remembers the calling thread as the owner.
  TThreadQueue();
  // Hands the queue to another thread before any work reaches it.
  void SetOwner(std::thread::id owner);
  void Post(std::function<void()> fn);
  // Runs fn on the owner and waits for it (directly when called there);
  // what fn throws is thrown here.
  void RunAndWait(std::function<void()> fn);
  void Drain();  // owner only
  // Owner: drains the queue as work arrives until done() holds, the
  // queue is cancelled, or limit passes. done() runs under the queue's lock,
  // so whoever makes it true calls Wake() afterwards.
  void ServeUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::milliseconds::max());
  void Wake();
  void Cancel();
  bool OnOwnerThread() const;
  void SetWaker(std::function<void()> waker);

 private:
  struct Item {
    std::function<void()> fn;
    bool waited = false;        // a RunAndWait caller takes the error
    std::exception_ptr error;   // what fn threw
    bool done = false;
  };
  std::atomic<std::thread::id> owner_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Item>> items_;
  std::function<void()> waker_;
  bool cancelled_ = false;
  bool draining_ = false;
};
