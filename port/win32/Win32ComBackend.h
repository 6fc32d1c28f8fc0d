#pragma once
// Win32 serial back end: an overlapped comm handle, the driver's DCB and
// time-outs, and WaitCommEvent for received data. Every call returns 0 or a
// GetLastError() number, so EComPort carries the system's own error.
#include "port/win32/WinApi.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>

#include "port/ComPort.h"

// "COM3" -> "\\.\COM3" (names from COM10 up only open in that form); a name
// that already is a device path is returned unchanged.
std::string Win32ComDevicePath(const std::string& port);

// Fills the line part of a DCB (rate, framing, parity check and
// replacement, flow control, null stripping, event character); the other
// fields stay as the driver reported them. The XON/XOFF limits are a
// quarter of the input queue each. Returns 0 or ERROR_INVALID_PARAMETER.
int EncodeDcb(const TLineSettings& line, int inputSize, DCB& dcb);

// The driver's time-outs; a negative read interval means "return at once
// with what is queued" (MAXDWORD), other negative figures count as zero.
COMMTIMEOUTS EncodeTimeouts(const TComTimeouts& t);

class Win32ComBackend : public IComBackend {
 public:
  Win32ComBackend();
  ~Win32ComBackend() override;
  Win32ComBackend(const Win32ComBackend&) = delete;
  Win32ComBackend& operator=(const Win32ComBackend&) = delete;

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

  // The open comm handle, for reading the driver's state back (tests,
  // diagnostics); INVALID_HANDLE_VALUE while closed.
  HANDLE NativeHandle() const;

 private:
  // A transfer holds a ticket for the whole call; Close sets closeEvent_,
  // which every wait also watches, and releases the handle only when all
  // tickets are back.
  struct Ticket {
    HANDLE h = INVALID_HANDLE_VALUE;
    HANDLE closed = nullptr;
  };
  bool Enter(Ticket* t);
  void Leave();
  class Guard;

  // What one kind of request lends the system while it may be pending (its
  // OVERLAPPED and event, the event mask, the bytes). Kept by the port for
  // its whole life and reused, so a request that is given up can never
  // write into memory that has gone.
  struct Slot;
  bool MakeSlots();
  void RetirePendingSlots();

  std::unique_ptr<Slot> waitSlot_;
  std::unique_ptr<Slot> readSlot_;
  std::unique_ptr<Slot> writeSlot_;

  mutable std::mutex mu_;
  std::condition_variable cv_;
  HANDLE h_ = INVALID_HANDLE_VALUE;
  HANDLE closeEvent_ = nullptr;
  HANDLE claim_ = nullptr;  // named object that marks the port as taken
  bool closing_ = false;
  int users_ = 0;
  int inputSize_ = 1024;
};
