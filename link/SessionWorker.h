#pragma once
// The one thread that runs the phone session for a window: it owns the
// link's inbox, runs each operation start to end, and between operations
// serves what the receiver hands to the link. The window submits and
// waits for nothing.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

class TLink;
class TThreadQueue;

class TSessionWorker {
 public:
  // onIdle runs on the worker each time the last submitted operation ended.
  explicit TSessionWorker(TLink& link, std::function<void()> onIdle = {});
  ~TSessionWorker();
  TSessionWorker(const TSessionWorker&) = delete;
  TSessionWorker& operator=(const TSessionWorker&) = delete;

  // Queues an operation; operations run one after another, in order.
  void Submit(std::function<void()> operation);
  // No operation runs or waits to run. Once true on the thread that
  // submits, it stays true until that thread submits again.
  bool Idle() const { return outstanding_ == 0; }
  // Runs what the operations hand to 'window' (on its owner thread) until
  // no operation runs or waits to run, or the limit passes; true when idle,
  // with everything they posted shown.
  bool ServeUntilIdle(TThreadQueue& window, std::chrono::milliseconds limit);
  // Ends after the running operation; the ones still queued are dropped.
  void Stop();

 private:
  void Loop();

  TLink& link_;
  std::function<void()> onIdle_;
  std::mutex mu_;
  std::deque<std::function<void()>> operations_;
  std::atomic<int> outstanding_{0};
  std::atomic<int> queued_{0};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};
