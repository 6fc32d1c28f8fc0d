#pragma once
// POSIX serial back end: termios2 ioctls, modem-control ioctls and poll.
// Uses the kernel's termios2 (any bit rate), so this header must not meet
// <termios.h> in the same translation unit.
#include <asm/termbits.h>

#include <condition_variable>
#include <mutex>
#include <string>

#include "port/ComPort.h"

// Receive flow control on DTR. Linux has no driver mode for it, so it is
// done in software from the queue level seen after each read: DTR drops
// when fewer than XoffLim bytes of the input queue are free and comes back
// once fewer than XonLim bytes are queued (both a quarter of the queue).
class DtrFlowGate {
 public:
  void Reset(int inputSize);        // thresholds from the queue size; DTR raised
  void Resize(int inputSize);       // new thresholds, state kept
  // True when DTR must change; Raised() then tells the new state.
  bool Update(int queued);
  bool Raised() const { return raised_; }

 private:
  int size_ = 1024;
  int xonLim_ = 256;
  int xoffLim_ = 256;
  bool raised_ = true;
};

// Fills the line part of a termios2 record (raw binary mode, rate, framing,
// flow control); other fields are left as they are. Returns 0 or EINVAL.
int EncodeLine(const TLineSettings& line, struct termios2& t);

class PosixComBackend : public IComBackend {
 public:
  PosixComBackend() = default;
  ~PosixComBackend() override;
  PosixComBackend(const PosixComBackend&) = delete;
  PosixComBackend& operator=(const PosixComBackend&) = delete;

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
  void UpdateFlow(int queued) override;

 private:
  // A transfer holds a ticket for the whole call; Close waits for tickets to
  // be handed back before the descriptor is released.
  struct Ticket {
    int fd = -1;
    int wake = -1;
  };
  bool Enter(Ticket* t);
  void Leave();
  int SetModemLine(int fd, int bit, bool on);

  mutable std::mutex mu_;
  std::condition_variable cv_;
  int fd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  bool closing_ = false;
  int users_ = 0;

  // Receive flow control, shared by the reading thread and the setters.
  std::mutex flowMu_;
  DtrFlowGate gate_;
  bool dtrHandshake_ = false;
  bool discardNull_ = false;
  int inputSize_ = 1024;
};
