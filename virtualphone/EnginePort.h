#pragma once
// The virtual phone straight behind the port, in memory: no pty and no
// thread. What the PC writes is answered at once (echo and reply, with the
// same faults as on the pty) into a queue the PC's reads drain.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "PhoneLine.h"
#include "port/ComPort.h"

namespace phonesim {

class EngineBackend : public IComBackend {
 public:
  // options.contentDir is the phone's storage; it must exist.
  explicit EngineBackend(Options options);
  ~EngineBackend() override;
  EngineBackend(const EngineBackend&) = delete;
  EngineBackend& operator=(const EngineBackend&) = delete;

  // Any device name opens the phone.
  int Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override;
  int ApplyBuffers(int inputSize, int outputSize) override;
  int ApplyLine(const TLineSettings& line) override;
  int ApplyTimeouts(const TComTimeouts& t) override;
  int Write(const char* data, size_t n, int deadlineMs, size_t* written) override;
  int Read(char* data, size_t n, size_t* got) override;
  int InputCount(int* count) override;
  int Purge(bool input, bool output) override;
  int WaitRx(int timeoutMs, TComEvents* events) override;

  // Opens fail with this error number from now on; 0 lets them succeed again.
  void FailOpen(int error);
  // As PhoneSim's.
  void SetOptions(const Options& options);
  Options GetOptions() const;
  std::vector<std::string> ReceivedLines() const;
  void ClearReceived();

 private:
  using Clock = std::chrono::steady_clock;
  struct Burst {
    Clock::time_point due;
    std::string bytes;
  };
  // These run under mu_.
  void Queue(std::string bytes, Clock::time_point due);
  void Release();  // due bursts to rx_
  void HangUp();
  int Usable() const;

  PhoneLine line_;
  std::unique_ptr<PhoneEngine> engine_;  // used under mu_

  mutable std::mutex mu_;
  std::condition_variable cv_;
  bool open_ = false;
  unsigned opening_ = 0;  // counts opens, so a wait notices a close and reopen
  bool hungUp_ = false;
  int openError_ = 0;
  std::string pending_;       // written, not yet a whole line
  std::string rx_;            // for the PC to read
  std::deque<Burst> later_;   // bursts not due yet, in order
};

}  // namespace phonesim
