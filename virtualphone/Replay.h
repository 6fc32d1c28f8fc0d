#pragma once
// A phone that plays a protocol log back: each line the PC writes must be
// the next one the log holds, and is answered with the bursts the log holds
// after it, with the same gaps (divided by the speed). The first line that
// differs ends the replay, naming the log's line, what was due and what came.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "link/TraceFormat.h"
#include "port/ComPort.h"

namespace phonesim {

// The replay itself, with no line and no clock.
class Replayer {
 public:
  struct Burst {
    double delayMs;  // after the burst before it (or after the line that asked)
    std::string bytes;
  };
  Replayer(trace::Trace trace, double speed);

  // What the phone said before the PC wrote anything.
  std::vector<Burst> Opening();
  // What the PC wrote; the answers due go to *out. False once the replay
  // has failed (Error() says why).
  bool Feed(const std::string& bytes, std::vector<Burst>* out);
  // A line that differs is judged once its end came, or when the PC has
  // gone quiet (Settle), so the message shows the whole line.
  bool Diverging() const { return diverging_; }
  bool Settle();
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }
  // Every line of the log was written and answered.
  bool Done() const { return next_ >= trace_.records.size() && got_.empty(); }

 private:
  void Answers(double afterMs, std::vector<Burst>* out);  // the read records at next_

  trace::Trace trace_;
  double speed_;
  size_t next_ = 0;
  std::string got_;  // written, not yet matched
  std::string error_;
  bool diverging_ = false;
};

// Reads and parses a trace file; false with the reason in *error.
bool LoadTrace(const std::string& path, trace::Trace* out, std::string* error);

// The replay behind the PC's port, in memory (tests, benchmarks).
class ReplayBackend : public IComBackend {
 public:
  ReplayBackend(trace::Trace trace, double speed);
  int Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override;
  int ApplyBuffers(int, int) override { return 0; }
  int ApplyLine(const TLineSettings&) override { return 0; }
  int ApplyTimeouts(const TComTimeouts&) override { return 0; }
  int Write(const char* data, size_t n, int deadlineMs, size_t* written) override;
  int Read(char* data, size_t n, size_t* got) override;
  int InputCount(int* count) override;
  int Purge(bool input, bool output) override;
  int WaitRx(int timeoutMs, TComEvents* events) override;

  // Shared with the owner, who keeps it after the port took the back end.
  struct State;
  std::shared_ptr<State> Shared() const { return state_; }
  static std::string Error(const State& s);
  static bool Done(const State& s);

 private:
  std::shared_ptr<State> state_;
};

// The replay on a pseudo-terminal, served on a thread of its own.
class ReplayPty {
 public:
  ReplayPty(trace::Trace trace, double speed);
  ~ReplayPty();
  ReplayPty(const ReplayPty&) = delete;
  ReplayPty& operator=(const ReplayPty&) = delete;
  bool Start();  // false when no pty could be made (errno set)
  void Stop();
  std::string DevicePath() const { return device_; }
  // The replay failed: the line was hung up.
  bool Failed() const;
  std::string Error() const;
  bool Done() const;

 private:
  void Serve();
  Replayer replay_;
  mutable std::mutex mu_;
  std::string device_;
  int master_ = -1;
  int slave_ = -1;
  int wake_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// phonesim --replay: loads the trace, prints the device path, serves until
// one of 'stopSignals' or a failed replay (exit status 1).
int RunReplay(const std::string& path, double speed, const void* stopSignals);

}  // namespace phonesim
