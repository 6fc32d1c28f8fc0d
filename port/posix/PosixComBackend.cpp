#include "port/posix/PosixComBackend.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

// Concurrency: one thread opens, closes and writes while another waits and
// reads. Every call takes a ticket under mu_; Close marks the device as
// closing, pokes a self-pipe that every poll() also watches, waits until
// all tickets are back and only then closes the descriptor. So a wait in
// progress ends at once with an error, and no call ever uses a descriptor
// number after close() (the kernel may hand that number out again).

void DtrFlowGate::Reset(int inputSize) {
  Resize(inputSize);
  raised_ = true;
}

void DtrFlowGate::Resize(int inputSize) {
  size_ = std::max(inputSize, 0);
  xonLim_ = size_ / 4;
  xoffLim_ = size_ / 4;
}

bool DtrFlowGate::Update(int queued) {
  if (size_ == 0) return false;
  if (raised_ && size_ - queued < xoffLim_) {
    raised_ = false;
    return true;
  }
  if (!raised_ && queued < xonLim_) {
    raised_ = true;
    return true;
  }
  return false;
}

namespace {

tcflag_t StandardRate(int baud) {
  switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 500000: return B500000;
    case 576000: return B576000;
    case 921600: return B921600;
    case 1000000: return B1000000;
    default: return 0;
  }
}

// Pseudo-terminals and some adapters have no modem lines.
bool Ignorable(int err) { return err == ENOTTY || err == EINVAL; }

int ToPollTimeout(std::chrono::steady_clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                  deadline - std::chrono::steady_clock::now())
                  .count();
  if (left <= 0) return 0;
  return left > INT_MAX ? INT_MAX : static_cast<int>(left);
}

}  // namespace

int EncodeLine(const TLineSettings& line, struct termios2& t) {
  if (line.baud <= 0) return EINVAL;

  // Raw binary: no echo, no line editing, no character translation.
  t.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF |
                 IXANY | INPCK | IGNPAR | IUCLC | IMAXBEL);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  t.c_cflag |= CLOCAL | CREAD;

  switch (line.dataBits) {
    case dbFive: t.c_cflag |= CS5; break;
    case dbSix: t.c_cflag |= CS6; break;
    case dbSeven: t.c_cflag |= CS7; break;
    case dbEight: t.c_cflag |= CS8; break;
  }
  switch (line.parity.Bits) {
    case prNone: break;
    case prOdd: t.c_cflag |= PARENB | PARODD; break;
    case prEven: t.c_cflag |= PARENB; break;
    case prMark: t.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case prSpace: t.c_cflag |= PARENB | CMSPAR; break;
  }
  // Checking without replacement delivers bad bytes untouched; with
  // replacement the kernel can only substitute a zero byte.
  if (line.parity.Bits != prNone && line.parity.Check && line.parity.Replace) t.c_iflag |= INPCK;
  // 1.5 stop bits: the UART gives 1.5 with CSTOPB at five data bits, else 2.
  if (line.stopBits != sbOneStopBit) t.c_cflag |= CSTOPB;

  if (line.flow.OutCTSFlow) t.c_cflag |= CRTSCTS;
  if (line.flow.XonXoffOut) t.c_iflag |= IXON;
  if (line.flow.XonXoffIn) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = line.flow.XonChar;
  t.c_cc[VSTOP] = line.flow.XoffChar;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;

  if (tcflag_t code = StandardRate(line.baud)) {
    t.c_cflag |= code;
  } else {
    t.c_cflag |= BOTHER;
  }
  // Input speed follows the output speed (zero input bits).
  t.c_ispeed = static_cast<speed_t>(line.baud);
  t.c_ospeed = static_cast<speed_t>(line.baud);
  return 0;
}

PosixComBackend::~PosixComBackend() { Close(); }

int PosixComBackend::Open(const std::string& device) {
  std::unique_lock lk(mu_);
  cv_.wait(lk, [this] { return !closing_; });
  if (fd_ >= 0) return EBUSY;

  int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  // TIOCEXCL keeps out other opens of the tty but not root's; the advisory
  // lock covers root and other instances of this program.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    return err;
  }
  (void)::ioctl(fd, TIOCEXCL);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) {
    int err = errno;
    (void)::ioctl(fd, TIOCNXCL);
    ::close(fd);
    return err;
  }
  fd_ = fd;
  wakeRead_ = pipeFds[0];
  wakeWrite_ = pipeFds[1];
  return 0;
}

void PosixComBackend::Close() {
  std::unique_lock lk(mu_);
  if (closing_) {
    cv_.wait(lk, [this] { return !closing_; });
    return;
  }
  if (fd_ < 0) return;
  closing_ = true;
  const char poke = 1;
  (void)!::write(wakeWrite_, &poke, 1);
  cv_.wait(lk, [this] { return users_ == 0; });

  (void)::ioctl(fd_, TIOCNXCL);
  ::close(fd_);
  ::close(wakeRead_);
  ::close(wakeWrite_);
  fd_ = wakeRead_ = wakeWrite_ = -1;
  closing_ = false;
  cv_.notify_all();
}

bool PosixComBackend::IsOpen() const {
  std::lock_guard lk(mu_);
  return fd_ >= 0 && !closing_;
}

bool PosixComBackend::Enter(Ticket* t) {
  std::lock_guard lk(mu_);
  if (fd_ < 0 || closing_) return false;
  ++users_;
  t->fd = fd_;
  t->wake = wakeRead_;
  return true;
}

void PosixComBackend::Leave() {
  std::lock_guard lk(mu_);
  if (--users_ == 0) cv_.notify_all();
}

namespace {
// Hands the ticket back on every exit path.
template <class F>
struct LeaveGuard {
  F f;
  ~LeaveGuard() { f(); }
};
template <class F>
LeaveGuard(F) -> LeaveGuard<F>;
}  // namespace

int PosixComBackend::SetModemLine(int fd, int bit, bool on) {
  int bits = bit;
  if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &bits) != 0 && !Ignorable(errno)) return errno;
  return 0;
}

int PosixComBackend::ApplyBuffers(int inputSize, int outputSize) {
  // Linux sizes its queues itself; the input size only sets the DTR limits.
  (void)outputSize;
  std::lock_guard lk(flowMu_);
  inputSize_ = inputSize;
  gate_.Resize(inputSize);
  return 0;
}

int PosixComBackend::ApplyLine(const TLineSettings& line) {
  Ticket tk;
  if (!Enter(&tk)) return EBADF;
  LeaveGuard guard{[this] { Leave(); }};

  struct termios2 t {};
  if (::ioctl(tk.fd, TCGETS2, &t) != 0) return errno;
  if (int err = EncodeLine(line, t)) return err;
  if (::ioctl(tk.fd, TCSETS2, &t) != 0) return errno;

  {
    std::lock_guard lk(flowMu_);
    dtrHandshake_ = line.flow.ControlDTR == dtrHandshake;
    discardNull_ = line.discardNull;
    gate_.Reset(inputSize_);
  }
  // DTR handshake starts with DTR raised (see DtrFlowGate).
  const bool dtr = line.flow.ControlDTR != dtrDisable;
  if (int err = SetModemLine(tk.fd, TIOCM_DTR, dtr)) return err;
  // rtsHandshake rides on CRTSCTS when it is on; rtsToggle idles low.
  const bool rts = line.flow.ControlRTS == rtsEnable || line.flow.ControlRTS == rtsHandshake;
  if (int err = SetModemLine(tk.fd, TIOCM_RTS, rts)) return err;
  return 0;
}

int PosixComBackend::ApplyTimeouts(const TComTimeouts& t) {
  // Reads never block (VMIN = VTIME = 0) and the write deadline comes with
  // each write, so there is nothing to hand to the driver.
  (void)t;
  return IsOpen() ? 0 : EBADF;
}

int PosixComBackend::Write(const char* data, size_t n, int deadlineMs, size_t* written) {
  *written = 0;
  Ticket tk;
  if (!Enter(&tk)) return EBADF;
  LeaveGuard guard{[this] { Leave(); }};

  const bool bounded = deadlineMs > 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(deadlineMs);
  while (*written < n) {
    ssize_t r = ::write(tk.fd, data + *written, n - *written);
    if (r > 0) {
      *written += static_cast<size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;

    // Output queue full: wait for room, the deadline or Close.
    pollfd p[2] = {{tk.fd, POLLOUT, 0}, {tk.wake, POLLIN, 0}};
    int timeout = bounded ? ToPollTimeout(deadline) : -1;
    if (bounded && timeout == 0) return ETIMEDOUT;
    int pr = ::poll(p, 2, timeout);
    if (pr < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (pr == 0) return ETIMEDOUT;
    if (p[1].revents) return EBADF;
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return EIO;
  }
  return 0;
}

int PosixComBackend::Read(char* data, size_t n, size_t* got) {
  *got = 0;
  Ticket tk;
  if (!Enter(&tk)) return EBADF;
  LeaveGuard guard{[this] { Leave(); }};

  ssize_t r;
  do {
    r = ::read(tk.fd, data, n);
  } while (r < 0 && errno == EINTR);
  if (r < 0) return (errno == EAGAIN || errno == EWOULDBLOCK) ? 0 : errno;

  size_t count = static_cast<size_t>(r);
  bool dropNull;
  {
    std::lock_guard lk(flowMu_);
    dropNull = discardNull_;
  }
  if (dropNull) count = static_cast<size_t>(std::remove(data, data + count, '\0') - data);
  *got = count;
  return 0;
}

int PosixComBackend::InputCount(int* count) {
  *count = 0;
  Ticket tk;
  if (!Enter(&tk)) return EBADF;
  LeaveGuard guard{[this] { Leave(); }};
  int n = 0;
  if (::ioctl(tk.fd, FIONREAD, &n) != 0) return errno;
  *count = n;
  return 0;
}

int PosixComBackend::Purge(bool input, bool output) {
  if (!input && !output) return 0;
  Ticket tk;
  if (!Enter(&tk)) return EBADF;
  LeaveGuard guard{[this] { Leave(); }};
  int which = input && output ? TCIOFLUSH : (input ? TCIFLUSH : TCOFLUSH);
  if (::ioctl(tk.fd, TCFLSH, which) != 0) return errno;
  if (input) {
    // An empty queue lets the far end send again.
    std::lock_guard lk(flowMu_);
    if (dtrHandshake_ && gate_.Update(0)) (void)SetModemLine(tk.fd, TIOCM_DTR, true);
  }
  return 0;
}

int PosixComBackend::WaitRx(int timeoutMs, TComEvents* events) {
  *events = 0;
  Ticket tk;
  if (!Enter(&tk)) return EBADF;
  LeaveGuard guard{[this] { Leave(); }};

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    pollfd p[2] = {{tk.fd, POLLIN, 0}, {tk.wake, POLLIN, 0}};
    int pr = ::poll(p, 2, timeoutMs < 0 ? -1 : ToPollTimeout(deadline));
    if (pr < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (pr == 0) return 0;
    if (p[1].revents) return EBADF;
    // A hung-up tty also reports POLLIN forever, so the hang-up wins.
    if (p[0].revents & (POLLHUP | POLLERR | POLLNVAL)) return EIO;
    if (p[0].revents & POLLIN) {
      *events = evRxChar;
      return 0;
    }
  }
}

void PosixComBackend::UpdateFlow(int queued) {
  // flowMu_ is held across the ioctl so that two threads cannot set the
  // line in the opposite order of their decisions.
  std::lock_guard lk(flowMu_);
  if (!dtrHandshake_ || !gate_.Update(queued)) return;
  Ticket tk;
  if (!Enter(&tk)) return;
  LeaveGuard guard{[this] { Leave(); }};
  (void)SetModemLine(tk.fd, TIOCM_DTR, gate_.Raised());
}
