#pragma once
// The one thread that reads the port and classifies the phone's replies.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class TComPort;
class TReplyChannel;
class TThreadQueue;

// What the receiver works with, and what it tells its owner; the three
// calls run on the thread that runs the link.
struct TReceiverLine {
  TComPort& port;
  TReplyChannel& reply;
  TThreadQueue& inbox;
  std::atomic<uint8_t>& linkFailed;
  std::function<void(const std::string&)> showMessage;  // a modal box
  std::function<void()> showFailure;                    // the link is down
  std::function<void(unsigned long)> finished;          // this receiver's id
};

// Where the port is read: on the receiver's own thread, or, for a device
// that answers at once (the phone in memory), by the link's waits on the
// link's thread, so the session runs with no thread of its own.
enum class TReceiverRun { OwnThread, InWaits };

class TReceiver {
 public:
  explicit TReceiver(TReceiverLine line, TReceiverRun run = TReceiverRun::OwnThread);  // starts running
  ~TReceiver();  // requests termination and joins

  bool InWaits() const { return run_ == TReceiverRun::InWaits; }
  // InWaits: one cycle on the caller's thread (what the thread does each turn).
  void Poll();

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
  // One turn: reads and classifies; false after a port failure (handled).
  bool Cycle(int waitMs);
  // Reads while bytes come, each wait for more up to waitMs, then classifies.
  void ReadAndClassify(int waitMs);
  void Finish();  // once: finished, and the owner is told
  void FailurePath(const char* message);

  // A box, through the link's thread; returns when it was shown (or the window went).
  void ShowMessage(const std::string& text);

  TReceiverLine line_;
  TReceiverRun run_;
  unsigned long id_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool pauseRequested_ = false;
  bool paused_ = false;
  std::thread thread_;
};
