#pragma once
// The one thread that reads the port and classifies the phone's replies.
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class TLink;

class TReceiver {
 public:
  explicit TReceiver(TLink& link);  // starts running
  ~TReceiver();                     // requests termination and joins

  void Pause();   // takes effect at the end of the current cycle
  void Resume();
  bool Paused() const;
  void Terminate();
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  void Join();
  // Distinguishes this receiver from any earlier one (addresses get reused).
  unsigned long Id() const { return id_; }

 private:
  void Execute();
  void ReadAndClassify();
  void FailurePath(const char* message, bool allowNestedA);

  TLink& link_;
  unsigned long id_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool pauseRequested_ = false;
  bool paused_ = false;
  std::thread thread_;
};
