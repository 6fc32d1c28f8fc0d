#include "PhoneSim.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <system_error>

#include "PhoneEngine.h"
#include "PhoneLine.h"

namespace phonesim {

namespace {

using Clock = std::chrono::steady_clock;

// How long a CR at the end of the input waits for the LF that may follow it.
constexpr int kLfGraceMs = 30;
constexpr size_t kPaceChunk = 64;
constexpr double kPaceBytesPerSecond = 115200.0 / 10.0;

bool MakeRaw(int fd) {
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  cfsetispeed(&t, B115200);
  cfsetospeed(&t, B115200);
  t.c_cflag |= CLOCAL | CREAD;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

}  // namespace

struct PhoneSim::Impl {
  explicit Impl(Options options) : line(std::move(options)) {}

  PhoneLine line;
  std::string root;
  bool ownsRoot = false;
  std::string device;
  bool ptyMode = false;

  // Only the serving thread touches these while it runs.
  int lineFd = -1;
  int keptSlave = -1;
  int wake[2] = {-1, -1};
  std::unique_ptr<PhoneEngine> engine;
  Clock::time_point paceStart{};
  size_t paceBytes = 0;

  std::thread thread;
  std::atomic<bool> stopping{false};
  std::atomic<bool> running{false};
  std::atomic<bool> hangupWanted{false};
  std::mutex stateMu;
  std::condition_variable stateCv;

  std::atomic<size_t> bytesSent{0};

  ~Impl() { CloseAll(); }

  void CloseLine() {
    if (lineFd >= 0) close(lineFd);
    if (keptSlave >= 0) close(keptSlave);
    lineFd = keptSlave = -1;
  }

  void CloseAll() {
    CloseLine();
    for (int& fd : wake) {
      if (fd >= 0) close(fd);
      fd = -1;
    }
  }

  void Wake() {
    char c = 1;
    if (wake[1] >= 0) (void)!write(wake[1], &c, 1);
  }

  void HangUpNow() {
    // Not running any more by the time the PC can see the hang-up.
    std::lock_guard<std::mutex> lock(stateMu);
    running = false;
    CloseLine();
    engine->AbortTransfers();
    stateCv.notify_all();
  }

  // False when the line is gone or we are stopping.
  bool WriteRaw(const char* data, size_t n) {
    while (n > 0) {
      if (stopping || lineFd < 0) return false;
      ssize_t w = write(lineFd, data, n);
      if (w > 0) {
        data += w;
        n -= static_cast<size_t>(w);
        bytesSent += static_cast<size_t>(w);
        continue;
      }
      if (w < 0 && errno == EINTR) continue;
      if (w < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
      // The PC is not reading: wait for room, but stay stoppable.
      pollfd p[2] = {{lineFd, POLLOUT, 0}, {wake[0], POLLIN, 0}};
      poll(p, 2, 100);
      if (p[1].revents & POLLIN) {
        if (stopping || hangupWanted) return false;
      }
    }
    return true;
  }

  bool Send(const std::string& data, bool pace) {
    if (!pace) return WriteRaw(data.data(), data.size());
    // Chunks against a running clock, so the average is 10 bits per byte at 115200.
    Clock::time_point now = Clock::now();
    auto due = paceStart + std::chrono::duration_cast<Clock::duration>(
                               std::chrono::duration<double>(paceBytes / kPaceBytesPerSecond));
    if (paceBytes == 0 || now > due) {
      paceStart = now;
      paceBytes = 0;
    }
    for (size_t at = 0; at < data.size(); at += kPaceChunk) {
      size_t n = std::min(kPaceChunk, data.size() - at);
      if (!WriteRaw(data.data() + at, n)) return false;
      paceBytes += n;
      std::this_thread::sleep_until(paceStart + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(paceBytes / kPaceBytesPerSecond)));
    }
    return true;
  }

  // One received line. False once the line is gone.
  bool HandleLine(const ReceivedLine& received) {
    LineAnswer a = line.Answer(*engine, received);
    if (a.hangUp) {
      HangUpNow();
      return false;
    }
    if (!a.echo.empty() && !Send(a.echo, a.pace)) return false;
    size_t from = 0;
    for (size_t cut : a.cuts) {
      if (!Send(a.reply.substr(from, cut - from), a.pace)) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(a.pauseMs));
      from = cut;
    }
    return from == a.reply.size() || Send(a.reply.substr(from), a.pace);
  }

  // Wait up to ms for more input; false when nothing came.
  bool ReadMore(std::string* pending, int ms) {
    pollfd p[2] = {{lineFd, POLLIN, 0}, {wake[0], POLLIN, 0}};
    int r = poll(p, 2, ms);
    if (r <= 0 || !(p[0].revents & POLLIN)) return false;
    char buf[4096];
    ssize_t n = read(lineFd, buf, sizeof buf);
    if (n <= 0) return false;
    pending->append(buf, static_cast<size_t>(n));
    return true;
  }

  // Takes every complete line out of pending. False once the line is gone.
  bool ServeLines(std::string* pending) {
    for (;;) {
      std::optional<ReceivedLine> received = TakeLine(pending, true);
      if (!received && !pending->empty() && pending->back() == '\r') {
        // A CR last: its LF may be just behind it.
        ReadMore(pending, kLfGraceMs);
        received = TakeLine(pending, false);
      }
      if (!received) return true;
      if (!HandleLine(*received)) return false;
    }
  }

  void Serve() {
    std::string pending;
    while (!stopping) {
      pollfd p[2] = {{lineFd, POLLIN, 0}, {wake[0], POLLIN, 0}};
      int r = poll(p, 2, 200);
      if (r < 0 && errno != EINTR) break;
      if (p[1].revents & POLLIN) {
        char drain[64];
        while (read(wake[0], drain, sizeof drain) > 0) {
        }
      }
      if (stopping || hangupWanted) break;
      if (r <= 0) continue;
      if (p[0].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buf[4096];
        ssize_t n = read(lineFd, buf, sizeof buf);
        if (n > 0) {
          pending.append(buf, static_cast<size_t>(n));
          if (!ServeLines(&pending)) break;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
          continue;
        } else if (ptyMode) {
          break;  // our own slave fd keeps the pty up, so this is a real failure
        } else {
          // A device whose other end went away may come back.
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
      }
    }
    if (hangupWanted && lineFd >= 0) HangUpNow();
    std::lock_guard<std::mutex> lock(stateMu);
    running = false;
    stateCv.notify_all();
  }

  bool Launch() {
    if (pipe(wake) != 0) {
      CloseAll();
      return false;
    }
    for (int fd : wake) fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(lineFd, F_SETFL, fcntl(lineFd, F_GETFL) | O_NONBLOCK);
    engine = std::make_unique<PhoneEngine>(root);
    stopping = false;
    hangupWanted = false;
    running = true;
    thread = std::thread([this] { Serve(); });
    return true;
  }
};

PhoneSim::PhoneSim(Options options) : impl_(std::make_unique<Impl>(options)) { impl_->root = options.contentDir; }

PhoneSim::~PhoneSim() {
  Stop();
  if (impl_->ownsRoot) {
    std::error_code ec;
    std::filesystem::remove_all(impl_->root, ec);
  }
}

namespace {

bool EnsureRoot(std::string* root, bool* owns) {
  if (!root->empty()) return true;
  std::string tmpl = (std::filesystem::temp_directory_path() / "phonesim-XXXXXX").string();
  if (!mkdtemp(tmpl.data())) return false;
  *root = tmpl;
  *owns = true;
  return true;
}

}  // namespace

bool PhoneSim::Start() {
  Impl& d = *impl_;
  if (d.thread.joinable() || !EnsureRoot(&d.root, &d.ownsRoot)) return false;
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return false;
  char name[256];
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0) {
    close(master);
    return false;
  }
  // Our own slave fd keeps the pty alive while the PC closes and reopens it.
  int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0 || !MakeRaw(slave)) {
    if (slave >= 0) close(slave);
    close(master);
    return false;
  }
  d.lineFd = master;
  d.keptSlave = slave;
  d.device = name;
  d.ptyMode = true;
  return d.Launch();
}

bool PhoneSim::StartOnDevice(const std::string& device) {
  Impl& d = *impl_;
  if (d.thread.joinable() || !EnsureRoot(&d.root, &d.ownsRoot)) return false;
  int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  if (isatty(fd) && !MakeRaw(fd)) {
    close(fd);
    return false;
  }
  d.lineFd = fd;
  d.device = device;
  d.ptyMode = false;
  return d.Launch();
}

void PhoneSim::Stop() {
  Impl& d = *impl_;
  d.stopping = true;
  d.Wake();
  if (d.thread.joinable()) d.thread.join();
  d.CloseAll();
  d.running = false;
}

void PhoneSim::HangUp() {
  Impl& d = *impl_;
  if (!d.thread.joinable()) {
    d.CloseLine();
    return;
  }
  std::unique_lock<std::mutex> lock(d.stateMu);
  if (!d.running) {
    // The thread has let go of the line (it sets running under this lock).
    d.CloseLine();
    return;
  }
  d.hangupWanted = true;
  d.Wake();
  d.stateCv.wait_for(lock, std::chrono::seconds(5), [&] { return !d.running.load(); });
}

std::string PhoneSim::DevicePath() const { return impl_->device; }

void PhoneSim::SetOptions(const Options& options) { impl_->line.SetOptions(options); }

Options PhoneSim::GetOptions() const { return impl_->line.GetOptions(); }

std::vector<std::string> PhoneSim::ReceivedLines() const { return impl_->line.ReceivedLines(); }

void PhoneSim::ClearReceived() { impl_->line.ClearReceived(); }

size_t PhoneSim::BytesSent() const { return impl_->bytesSent; }

bool PhoneSim::Running() const { return impl_->running; }

std::string PhoneSim::ContentDir() const { return impl_->root; }

}  // namespace phonesim
