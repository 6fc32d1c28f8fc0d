#include "port/win32/Win32ComBackend.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <climits>
#include <mutex>
#include <vector>

// Concurrency: one thread opens, closes and writes while another waits and
// reads. Overlapped I/O can only be cancelled by the thread that started it
// (CancelIo), so Close does not cancel transfers itself: it sets a manual
// reset event that every pending wait watches; the waiting thread then
// ends its own request and hands its ticket back, and only then is the
// handle closed. No call ever uses a handle value after CloseHandle.
//
// A pending WaitCommEvent is ended by clearing the event mask: on a UART
// driver CancelIo alone may leave it pending for ever, and collecting it
// would then hang. Clearing the mask ends it at once on every driver.
//
// Lifetime: whatever a pending request may still write (the OVERLAPPED,
// the event mask, the bytes read) and its event belong to the port, one
// slot per kind of request, never to a call's stack. A request counts as
// collected only once its event is set: Wine's waiting thread writes the
// mask and the status word first and sets the event last, so a status read
// early says nothing, and an event handle closed and made again could be
// set by a wait that belongs to an earlier call.

namespace {

using Clock = std::chrono::steady_clock;

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Large writes go out in pieces of this size through the port's own buffer.
constexpr size_t kWriteChunk = 64 * 1024;

// One kind of request's records, lent to the system while it is pending.
struct IoSlot {
  std::mutex use;  // one request of this kind at a time
  OVERLAPPED ov{};
  HANDLE event = nullptr;  // manual reset, made once, reused
  DWORD mask = 0;
  std::vector<char> bytes;
  bool pending = false;  // started and not yet collected

  IoSlot() : event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
  ~IoSlot() {
    if (event) CloseHandle(event);
  }
  IoSlot(const IoSlot&) = delete;
  IoSlot& operator=(const IoSlot&) = delete;

  // A fresh record on the same event for the next request.
  OVERLAPPED* Start() {
    ResetEvent(event);
    ov = OVERLAPPED{};
    ov.hEvent = event;
    mask = 0;
    return &ov;
  }
};

enum class Outcome { Done, TimedOut, Closed };

// What a request is, for the way it is given up.
enum class Request { Transfer, EventWait };

// Gives up a pending request: an event wait is ended by clearing the mask
// first, then anything still pending is cancelled.
void GiveUp(HANDLE h, Request kind) {
  if (kind == Request::EventWait) SetCommMask(h, 0);
  CancelIo(h);
}

// Waits for the pending request's event, then reads its result. Returns
// false (and the slot stays pending, never to be reused) only if the wait
// itself fails.
bool Collect(HANDLE h, IoSlot& s, DWORD* n, DWORD* err) {
  *n = 0;
  if (WaitForSingleObject(s.event, INFINITE) != WAIT_OBJECT_0) {
    *err = GetLastError();
    if (*err == 0) *err = ERROR_INVALID_HANDLE;
    return false;
  }
  s.pending = false;
  // The event is set, so this does not wait.
  *err = GetOverlappedResult(h, &s.ov, n, TRUE) ? 0 : GetLastError();
  return true;
}

// Before a slot is used again: a request still pending on it is given up
// and collected first. Returns 0 or why the slot cannot be used.
DWORD Ready(HANDLE h, IoSlot& s, Request kind) {
  if (!s.pending) return 0;
  GiveUp(h, kind);
  DWORD n = 0;
  DWORD err = 0;
  return Collect(h, s, &n, &err) ? 0 : err;
}

// Waits for a pending request, the close event or the time-out. A request
// that is given up is ended and collected before this returns; *n is what
// it had moved by then.
Outcome Await(HANDLE h, IoSlot& s, HANDLE closed, DWORD ms, Request kind, DWORD* n, DWORD* err) {
  HANDLE both[2] = {s.event, closed};
  const DWORD w = WaitForMultipleObjects(2, both, FALSE, ms);
  Outcome out = Outcome::Done;
  DWORD waitErr = 0;
  if (w == WAIT_OBJECT_0 + 1) {
    out = Outcome::Closed;
  } else if (w == WAIT_TIMEOUT) {
    out = Outcome::TimedOut;
  } else if (w != WAIT_OBJECT_0) {
    waitErr = GetLastError();
  }
  if (w != WAIT_OBJECT_0) GiveUp(h, kind);
  if (!Collect(h, s, n, err)) return Outcome::Done;  // *err tells why
  if (waitErr) *err = waitErr;
  return waitErr ? Outcome::Done : out;
}

DWORD MsLeft(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return left >= static_cast<long long>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(left);
}

DWORD ClampDword(int v) { return v < 0 ? 0 : static_cast<DWORD>(v); }

}  // namespace

std::string Win32ComDevicePath(const std::string& port) {
  if (port.rfind("\\\\", 0) == 0) return port;
  const std::string up = Upper(port);
  const bool comName = up.size() > 3 && up.compare(0, 3, "COM") == 0 &&
                       std::all_of(up.begin() + 3, up.end(),
                                   [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
  return comName ? "\\\\.\\" + up : port;
}

int EncodeDcb(const TLineSettings& line, int inputSize, DCB& dcb) {
  if (line.baud <= 0) return ERROR_INVALID_PARAMETER;
  dcb.DCBlength = sizeof(DCB);
  dcb.BaudRate = static_cast<DWORD>(line.baud);
  dcb.fBinary = TRUE;
  // An error must not stall every later read until someone clears it.
  dcb.fAbortOnError = FALSE;

  switch (line.dataBits) {
    case dbFive: dcb.ByteSize = 5; break;
    case dbSix: dcb.ByteSize = 6; break;
    case dbSeven: dcb.ByteSize = 7; break;
    case dbEight: dcb.ByteSize = 8; break;
  }
  switch (line.stopBits) {
    case sbOneStopBit: dcb.StopBits = ONESTOPBIT; break;
    case sbOne5StopBits: dcb.StopBits = ONE5STOPBITS; break;
    case sbTwoStopBits: dcb.StopBits = TWOSTOPBITS; break;
  }
  switch (line.parity.Bits) {
    case prNone: dcb.Parity = NOPARITY; break;
    case prOdd: dcb.Parity = ODDPARITY; break;
    case prEven: dcb.Parity = EVENPARITY; break;
    case prMark: dcb.Parity = MARKPARITY; break;
    case prSpace: dcb.Parity = SPACEPARITY; break;
  }
  // The driver checks parity and, when asked, puts ErrorChar in place of a
  // byte that failed the check.
  const bool check = line.parity.Bits != prNone && line.parity.Check;
  dcb.fParity = check;
  dcb.fErrorChar = check && line.parity.Replace;
  dcb.ErrorChar = static_cast<char>(line.parity.ReplaceChar);

  const TComFlowControl& f = line.flow;
  dcb.fOutxCtsFlow = f.OutCTSFlow;
  dcb.fOutxDsrFlow = f.OutDSRFlow;
  dcb.fDsrSensitivity = f.DSRSensitivity;
  dcb.fTXContinueOnXoff = f.TxContinueOnXoff;
  switch (f.ControlDTR) {
    case dtrDisable: dcb.fDtrControl = DTR_CONTROL_DISABLE; break;
    case dtrEnable: dcb.fDtrControl = DTR_CONTROL_ENABLE; break;
    case dtrHandshake: dcb.fDtrControl = DTR_CONTROL_HANDSHAKE; break;
  }
  switch (f.ControlRTS) {
    case rtsDisable: dcb.fRtsControl = RTS_CONTROL_DISABLE; break;
    case rtsEnable: dcb.fRtsControl = RTS_CONTROL_ENABLE; break;
    case rtsHandshake: dcb.fRtsControl = RTS_CONTROL_HANDSHAKE; break;
    case rtsToggle: dcb.fRtsControl = RTS_CONTROL_TOGGLE; break;
  }
  dcb.fOutX = f.XonXoffOut;
  dcb.fInX = f.XonXoffIn;
  dcb.XonChar = static_cast<char>(f.XonChar);
  dcb.XoffChar = static_cast<char>(f.XoffChar);
  // Receive flow control (DTR, RTS or XOFF) stops the far end when fewer
  // than a quarter of the queue is free and lets it go on below a quarter.
  const int limit = std::clamp(inputSize / 4, 0, 0xFFFF);
  dcb.XonLim = static_cast<WORD>(limit);
  dcb.XoffLim = static_cast<WORD>(limit);

  dcb.fNull = line.discardNull;
  dcb.EvtChar = static_cast<char>(line.eventChar);
  return 0;
}

COMMTIMEOUTS EncodeTimeouts(const TComTimeouts& t) {
  COMMTIMEOUTS c{};
  c.ReadIntervalTimeout = t.ReadInterval < 0 ? MAXDWORD : static_cast<DWORD>(t.ReadInterval);
  c.ReadTotalTimeoutMultiplier = ClampDword(t.ReadTotalMultiplier);
  c.ReadTotalTimeoutConstant = ClampDword(t.ReadTotalConstant);
  c.WriteTotalTimeoutMultiplier = ClampDword(t.WriteTotalMultiplier);
  c.WriteTotalTimeoutConstant = ClampDword(t.WriteTotalConstant);
  return c;
}

class Win32ComBackend::Guard {
 public:
  explicit Guard(Win32ComBackend* b) : b_(b) {}
  ~Guard() { b_->Leave(); }
  Guard(const Guard&) = delete;
  Guard& operator=(const Guard&) = delete;

 private:
  Win32ComBackend* b_;
};

struct Win32ComBackend::Slot : IoSlot {};

Win32ComBackend::Win32ComBackend() = default;

Win32ComBackend::~Win32ComBackend() {
  Close();
  RetirePendingSlots();
}

// Made at the first open and kept across closes and opens.
bool Win32ComBackend::MakeSlots() {
  for (std::unique_ptr<Slot>* s : {&waitSlot_, &readSlot_, &writeSlot_}) {
    if (!*s) *s = std::make_unique<Slot>();
    if (!(*s)->event) {
      const DWORD err = GetLastError();
      s->reset();
      SetLastError(err);
      return false;
    }
  }
  return true;
}

// With no call in flight every request has been collected; one that could
// not be is left to the system for good rather than freed under it, and a
// fresh slot takes its place at the next open.
void Win32ComBackend::RetirePendingSlots() {
  for (std::unique_ptr<Slot>* s : {&waitSlot_, &readSlot_, &writeSlot_}) {
    if (*s && (*s)->pending) (void)s->release();
  }
}

int Win32ComBackend::Open(const std::string& device) {
  std::unique_lock lk(mu_);
  cv_.wait(lk, [this] { return !closing_; });
  if (h_ != INVALID_HANDLE_VALUE) return ERROR_BUSY;
  if (!MakeSlots()) return static_cast<int>(GetLastError());

  const std::string path = Win32ComDevicePath(device);
  // Windows drivers refuse a second open of a port themselves, but not all
  // of them do (Wine, some virtual port drivers); a named object per port
  // keeps out other instances of this program there too.
  std::string claimName = "Global\\Quendrel.Port." + Upper(path);
  std::replace(claimName.begin() + 7, claimName.end(), '\\', '_');
  HANDLE claim = CreateMutexA(nullptr, FALSE, claimName.c_str());
  if (!claim) return static_cast<int>(GetLastError());
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    CloseHandle(claim);
    return ERROR_ACCESS_DENIED;  // what a driver answers for a port in use
  }

  HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    CloseHandle(claim);
    return static_cast<int>(err);
  }
  HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!closed) {
    const DWORD err = GetLastError();
    if (closed) CloseHandle(closed);
    CloseHandle(h);
    CloseHandle(claim);
    return static_cast<int>(err);
  }
  h_ = h;
  closeEvent_ = closed;
  claim_ = claim;
  return 0;
}

void Win32ComBackend::Close() {
  std::unique_lock lk(mu_);
  if (closing_) {
    cv_.wait(lk, [this] { return !closing_; });
    return;
  }
  if (h_ == INVALID_HANDLE_VALUE) return;
  closing_ = true;
  SetEvent(closeEvent_);
  // Ends a pending event wait at once, whichever thread started it.
  SetCommMask(h_, 0);
  cv_.wait(lk, [this] { return users_ == 0; });
  RetirePendingSlots();

  CloseHandle(h_);
  CloseHandle(closeEvent_);
  CloseHandle(claim_);
  h_ = INVALID_HANDLE_VALUE;
  closeEvent_ = claim_ = nullptr;
  closing_ = false;
  cv_.notify_all();
}

bool Win32ComBackend::IsOpen() const {
  std::lock_guard lk(mu_);
  return h_ != INVALID_HANDLE_VALUE && !closing_;
}

HANDLE Win32ComBackend::NativeHandle() const {
  std::lock_guard lk(mu_);
  return h_;
}

bool Win32ComBackend::Enter(Ticket* t) {
  std::lock_guard lk(mu_);
  if (h_ == INVALID_HANDLE_VALUE || closing_) return false;
  ++users_;
  t->h = h_;
  t->closed = closeEvent_;
  return true;
}

void Win32ComBackend::Leave() {
  std::lock_guard lk(mu_);
  if (--users_ == 0) cv_.notify_all();
}

int Win32ComBackend::ApplyBuffers(int inputSize, int outputSize) {
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  if (!SetupComm(tk.h, ClampDword(inputSize), ClampDword(outputSize)))
    return static_cast<int>(GetLastError());
  std::lock_guard lk(mu_);
  inputSize_ = inputSize;
  return 0;
}

int Win32ComBackend::ApplyLine(const TLineSettings& line) {
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(tk.h, &dcb)) return static_cast<int>(GetLastError());
  int inputSize;
  {
    std::lock_guard lk(mu_);
    inputSize = inputSize_;
  }
  if (int err = EncodeDcb(line, inputSize, dcb)) return err;
  if (!SetCommState(tk.h, &dcb)) return static_cast<int>(GetLastError());
  return 0;
}

int Win32ComBackend::ApplyTimeouts(const TComTimeouts& t) {
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  COMMTIMEOUTS c = EncodeTimeouts(t);
  if (!SetCommTimeouts(tk.h, &c)) return static_cast<int>(GetLastError());
  return 0;
}

int Win32ComBackend::Write(const char* data, size_t n, int deadlineMs, size_t* written) {
  *written = 0;
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  Slot& s = *writeSlot_;
  std::lock_guard use(s.use);

  const bool bounded = deadlineMs > 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(deadlineMs);
  while (*written < n) {
    if (DWORD err = Ready(tk.h, s, Request::Transfer)) return static_cast<int>(err);
    const DWORD chunk = static_cast<DWORD>(std::min(n - *written, kWriteChunk));
    s.bytes.assign(data + *written, data + *written + chunk);
    DWORD done = 0;
    DWORD err = 0;
    Outcome out = Outcome::Done;
    if (!WriteFile(tk.h, s.bytes.data(), chunk, nullptr, s.Start())) {
      err = GetLastError();
      if (err != ERROR_IO_PENDING) return static_cast<int>(err);
      s.pending = true;
      out = Await(tk.h, s, tk.closed, bounded ? MsLeft(deadline) : INFINITE, Request::Transfer, &done,
                  &err);
    } else if (!GetOverlappedResult(tk.h, &s.ov, &done, FALSE)) {
      err = GetLastError();
    }
    *written += std::min(done, chunk);
    if (out == Outcome::Closed) return ERROR_INVALID_HANDLE;
    if (out == Outcome::TimedOut) return *written < n ? ERROR_TIMEOUT : 0;
    if (err) return static_cast<int>(err);
    // The driver's own write time-out ends a request early with a short count.
    if (done < chunk) return ERROR_TIMEOUT;
    if (bounded && *written < n && MsLeft(deadline) == 0) return ERROR_TIMEOUT;
  }
  return 0;
}

int Win32ComBackend::Read(char* data, size_t n, size_t* got) {
  *got = 0;
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  Slot& s = *readSlot_;
  std::lock_guard use(s.use);
  if (DWORD err = Ready(tk.h, s, Request::Transfer)) return static_cast<int>(err);

  // Only what is queued, so the request cannot wait for more bytes whatever
  // read time-outs are set.
  DWORD errors = 0;
  COMSTAT st{};
  if (!ClearCommError(tk.h, &errors, &st)) return static_cast<int>(GetLastError());
  const DWORD want = static_cast<DWORD>(std::min<size_t>(n, st.cbInQue));
  if (want == 0) return 0;

  if (s.bytes.size() < want) s.bytes.resize(want);
  DWORD done = 0;
  DWORD err = 0;
  Outcome out = Outcome::Done;
  if (!ReadFile(tk.h, s.bytes.data(), want, nullptr, s.Start())) {
    err = GetLastError();
    if (err != ERROR_IO_PENDING) return static_cast<int>(err);
    s.pending = true;
    out = Await(tk.h, s, tk.closed, INFINITE, Request::Transfer, &done, &err);
  } else if (!GetOverlappedResult(tk.h, &s.ov, &done, FALSE)) {
    err = GetLastError();
  }
  done = std::min(done, want);
  std::copy_n(s.bytes.data(), done, data);
  *got = done;
  if (out == Outcome::Closed) return ERROR_INVALID_HANDLE;
  return static_cast<int>(err);
}

int Win32ComBackend::InputCount(int* count) {
  *count = 0;
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  DWORD errors = 0;
  COMSTAT st{};
  if (!ClearCommError(tk.h, &errors, &st)) return static_cast<int>(GetLastError());
  *count = st.cbInQue > INT_MAX ? INT_MAX : static_cast<int>(st.cbInQue);
  return 0;
}

int Win32ComBackend::Purge(bool input, bool output) {
  if (!input && !output) return 0;
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  DWORD flags = 0;
  if (input) flags |= PURGE_RXCLEAR | PURGE_RXABORT;
  if (output) flags |= PURGE_TXCLEAR | PURGE_TXABORT;
  if (!PurgeComm(tk.h, flags)) return static_cast<int>(GetLastError());
  return 0;
}

int Win32ComBackend::WaitRx(int timeoutMs, TComEvents* events) {
  *events = 0;
  Ticket tk;
  if (!Enter(&tk)) return ERROR_INVALID_HANDLE;
  Guard guard(this);
  Slot& s = *waitSlot_;
  std::lock_guard use(s.use);

  const bool bounded = timeoutMs >= 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    if (DWORD err = Ready(tk.h, s, Request::EventWait)) return static_cast<int>(err);
    // Armed for this wait only, before the queue is looked at so that a
    // byte arriving in between still raises the event; every way out of
    // the wait clears the mask again.
    if (!SetCommMask(tk.h, EV_RXCHAR)) return static_cast<int>(GetLastError());
    // Bytes already queued raise no new event; a device that is gone fails
    // here (Wine reports a hung-up line only this way).
    DWORD errors = 0;
    COMSTAT st{};
    if (!ClearCommError(tk.h, &errors, &st)) {
      const DWORD err = GetLastError();
      SetCommMask(tk.h, 0);
      return static_cast<int>(err);
    }
    if (st.cbInQue > 0) {
      SetCommMask(tk.h, 0);
      *events = evRxChar;
      return 0;
    }

    DWORD err = 0;
    if (!WaitCommEvent(tk.h, &s.mask, s.Start()) && (err = GetLastError()) == ERROR_IO_PENDING) {
      s.pending = true;
      err = 0;
      DWORD unused = 0;
      switch (Await(tk.h, s, tk.closed, bounded ? MsLeft(deadline) : INFINITE, Request::EventWait,
                    &unused, &err)) {
        case Outcome::Closed: return ERROR_INVALID_HANDLE;
        case Outcome::TimedOut:
          if (err == 0 && (s.mask & EV_RXCHAR)) *events = evRxChar;
          return 0;
        case Outcome::Done: break;
      }
    }
    SetCommMask(tk.h, 0);
    if (err == 0 && (s.mask & EV_RXCHAR)) {
      *events = evRxChar;
      return 0;
    }
    // A wait that ended for nothing or failed: a mask change, a purge from
    // the writing thread, or a driver (Wine on a pseudo-terminal) that gives
    // up when it cannot read the modem lines. Only a device that is gone is
    // a failure, and ClearCommError above tells that at the next turn.
    if (bounded && MsLeft(deadline) == 0) return 0;
    // A short pause keeps such a driver from turning this into a busy loop.
    if (WaitForSingleObject(tk.closed, 1) == WAIT_OBJECT_0) return ERROR_INVALID_HANDLE;
  }
}
