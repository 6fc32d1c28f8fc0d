#pragma once
// Work that other threads hand to the window thread. The window thread
// drains it whenever it pumps events; a blocking request returns when its
// work has run, or at once after Cancel (shutdown).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class TWindowQueue {
 public:
  // Remembers the calling thread as the window thread.
  TWindowQueue();
  void Post(std::function<void()> fn);
  // Runs fn on the window thread and waits for it (directly when called there).
  void RunAndWait(std::function<void()> fn);
  void Drain();  // window thread only
  // Window thread: drains the queue as work arrives until done() holds, the
  // queue is cancelled, or limit passes. done() runs under the queue's lock,
  // so whoever makes it true calls Wake() afterwards.
  void ServeUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds limit = std::chrono::milliseconds::max());
  void Wake();
  void Cancel();
  bool OnWindowThread() const { return std::this_thread::get_id() == owner_; }
  void SetWaker(std::function<void()> waker);

 private:
  struct Item {
    std::function<void()> fn;
    bool done = false;
  };
  std::thread::id owner_;
  std::mutex mu_;
  std::condition_variable cv_;
  std::deque<std::shared_ptr<Item>> items_;
  std::function<void()> waker_;
  bool cancelled_ = false;
  bool draining_ = false;
};
