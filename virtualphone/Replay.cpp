#include "Replay.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <cstdio>

namespace phonesim {

using Clock = std::chrono::steady_clock;

// ---- The replay ----

Replayer::Replayer(trace::Trace trace, double speed) : trace_(std::move(trace)), speed_(speed > 0 ? speed : 1) {}

void Replayer::Answers(double afterMs, std::vector<Burst>* out) {
  double at = afterMs;
  while (next_ < trace_.records.size() && !trace_.records[next_].written) {
    const trace::Record& r = trace_.records[next_++];
    // A later session's clock starts again at 0: no gap, never a negative one.
    out->push_back({std::max(0.0, r.ms - at) / speed_, r.bytes});
    at = r.ms;
  }
}

std::vector<Replayer::Burst> Replayer::Opening() {
  std::vector<Burst> out;
  if (next_ == 0) Answers(0, &out);
  return out;
}

bool Replayer::Feed(const std::string& bytes, std::vector<Burst>* out) {
  if (Failed()) return false;
  got_ += bytes;
  while (!got_.empty()) {
    if (next_ >= trace_.records.size()) {
      error_ = "the trace ends, and the program wrote " + trace::Escape(got_);
      return false;
    }
    const trace::Record& r = trace_.records[next_];
    const size_t n = std::min(got_.size(), r.bytes.size());
    if (got_.compare(0, n, r.bytes, 0, n) != 0) {
      diverging_ = true;
      // The rest of the line first (an LF may follow a CR).
      const size_t end = got_.find_first_of("\r\n");
      if (end == std::string::npos || (got_[end] == '\r' && end + 1 == got_.size())) return true;
      return Settle();
    }
    if (got_.size() < r.bytes.size()) break;  // the rest of the line is on its way
    got_.erase(0, r.bytes.size());
    ++next_;
    Answers(r.ms, out);
  }
  return true;
}

bool Replayer::Settle() {
  if (!diverging_ || Failed()) return !Failed();
  const trace::Record& r = trace_.records[next_];
  size_t end = got_.find_first_of("\r\n");
  if (end != std::string::npos && got_.compare(end, 2, "\r\n") == 0) ++end;
  error_ = "line " + std::to_string(r.line) + " of the trace expected " + trace::Escape(r.bytes) + ", came " +
           trace::Escape(end == std::string::npos ? got_ : got_.substr(0, end + 1));
  return false;
}

bool LoadTrace(const std::string& path, trace::Trace* out, std::string* error) {
  // A developer's tool on a POSIX host: the path's bytes go to the system as they are.
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    *error = "cannot read " + path;
    return false;
  }
  std::string text;
  char buf[65536];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool readFailed = std::ferror(f) != 0;
  std::fclose(f);
  if (readFailed) {
    *error = "cannot read " + path;
    return false;
  }
  if (!trace::Parse(text, out, error)) {
    *error = path + ": " + *error;
    return false;
  }
  return true;
}

// ---- In memory ----

struct ReplayBackend::State {
  explicit State(Replayer r) : replay(std::move(r)) {}
  std::mutex mu;
  std::condition_variable cv;
  Replayer replay;
  bool open = false;
  bool opened = false;
  bool hungUp = false;
  std::string rx;
  std::deque<std::pair<Clock::time_point, std::string>> later;
  Clock::time_point lastDue{};

  void Queue(const std::vector<Replayer::Burst>& bursts) {
    for (const Replayer::Burst& b : bursts) {
      lastDue = std::max(lastDue, Clock::now()) +
                std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(b.delayMs));
      later.emplace_back(lastDue, b.bytes);
    }
    cv.notify_all();
  }
  void Release() {
    const auto now = Clock::now();
    while (!later.empty() && later.front().first <= now) {
      rx += later.front().second;
      later.pop_front();
    }
  }
  int Usable() const { return !open ? EBADF : hungUp ? EIO : 0; }
};

ReplayBackend::ReplayBackend(trace::Trace trace, double speed)
    : state_(std::make_shared<State>(Replayer(std::move(trace), speed))) {}

std::string ReplayBackend::Error(const State& s) { return s.replay.Error(); }
bool ReplayBackend::Done(const State& s) { return s.replay.Done(); }

int ReplayBackend::Open(const std::string&) {
  std::lock_guard lk(state_->mu);
  if (state_->hungUp) return ENODEV;
  state_->open = true;
  if (!state_->opened) state_->Queue(state_->replay.Opening());
  state_->opened = true;
  return 0;
}

void ReplayBackend::Close() {
  std::lock_guard lk(state_->mu);
  state_->open = false;
  state_->cv.notify_all();
}

bool ReplayBackend::IsOpen() const {
  std::lock_guard lk(state_->mu);
  return state_->open;
}

int ReplayBackend::Write(const char* data, size_t n, int, size_t* written) {
  std::lock_guard lk(state_->mu);
  *written = 0;
  if (int err = state_->Usable()) return err;
  *written = n;
  std::vector<Replayer::Burst> bursts;
  // A line the trace does not hold hangs the line up: the program fails at once.
  if (!state_->replay.Feed(std::string(data, n), &bursts) || !state_->replay.Settle()) {
    state_->hungUp = true;
    state_->cv.notify_all();
    return 0;
  }
  state_->Queue(bursts);
  return 0;
}

int ReplayBackend::Read(char* data, size_t n, size_t* got) {
  std::lock_guard lk(state_->mu);
  *got = 0;
  if (int err = state_->Usable()) return err;
  state_->Release();
  *got = state_->rx.copy(data, n);
  state_->rx.erase(0, *got);
  return 0;
}

int ReplayBackend::InputCount(int* count) {
  std::lock_guard lk(state_->mu);
  *count = 0;
  if (int err = state_->Usable()) return err;
  state_->Release();
  *count = static_cast<int>(state_->rx.size());
  return 0;
}

int ReplayBackend::Purge(bool input, bool) {
  std::lock_guard lk(state_->mu);
  if (int err = state_->Usable()) return err;
  if (input) {
    state_->Release();
    state_->rx.clear();
  }
  return 0;
}

int ReplayBackend::WaitRx(int timeoutMs, TComEvents* events) {
  *events = 0;
  std::unique_lock lk(state_->mu);
  const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    if (int err = state_->Usable()) return err;
    state_->Release();
    if (!state_->rx.empty()) {
      *events = evRxChar;
      return 0;
    }
    if (Clock::now() >= deadline) return 0;
    auto until = deadline;
    if (!state_->later.empty()) until = std::min(until, state_->later.front().first);
    state_->cv.wait_until(lk, until);
  }
}

// ---- On a pseudo-terminal ----

ReplayPty::ReplayPty(trace::Trace trace, double speed) : replay_(std::move(trace), speed) {}

ReplayPty::~ReplayPty() { Stop(); }

bool ReplayPty::Start() {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) return false;
  char name[256];
  termios t{};
  int slave = -1;
  if (grantpt(master) != 0 || unlockpt(master) != 0 || ptsname_r(master, name, sizeof name) != 0 ||
      (slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC)) < 0 || tcgetattr(slave, &t) != 0 ||
      (cfmakeraw(&t), tcsetattr(slave, TCSANOW, &t)) != 0 || pipe2(wake_, O_CLOEXEC) != 0) {
    if (slave >= 0) close(slave);
    close(master);
    return false;
  }
  // Our own slave descriptor keeps the line up while the PC closes and reopens it.
  master_ = master;
  slave_ = slave;
  device_ = name;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void ReplayPty::Stop() {
  stopping_ = true;
  if (wake_[1] >= 0) {
    const char c = 0;
    (void)!write(wake_[1], &c, 1);
  }
  if (thread_.joinable()) thread_.join();
  for (int* fd : {&master_, &slave_, &wake_[0], &wake_[1]})
    if (*fd >= 0) {
      close(*fd);
      *fd = -1;
    }
}

bool ReplayPty::Failed() const {
  std::lock_guard lk(mu_);
  return replay_.Failed();
}

std::string ReplayPty::Error() const {
  std::lock_guard lk(mu_);
  return replay_.Error();
}

bool ReplayPty::Done() const {
  std::lock_guard lk(mu_);
  return replay_.Done();
}

void ReplayPty::Serve() {
  std::deque<std::pair<Clock::time_point, std::string>> due;
  Clock::time_point last = Clock::now();
  auto queue = [&](const std::vector<Replayer::Burst>& bursts) {
    for (const Replayer::Burst& b : bursts) {
      last = std::max(last, Clock::now()) +
             std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double, std::milli>(b.delayMs));
      due.emplace_back(last, b.bytes);
    }
  };
  {
    std::lock_guard lk(mu_);
    queue(replay_.Opening());
  }
  while (!stopping_) {
    while (!due.empty() && due.front().first <= Clock::now()) {
      const std::string& bytes = due.front().second;
      for (size_t at = 0; at < bytes.size();) {
        const ssize_t n = write(master_, bytes.data() + at, bytes.size() - at);
        if (n > 0) at += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR && errno != EAGAIN) break;
      }
      due.pop_front();
    }
    int waitMs = 200;
    if (!due.empty())
      waitMs = static_cast<int>(std::max<int64_t>(
          0, std::chrono::duration_cast<std::chrono::milliseconds>(due.front().first - Clock::now()).count() + 1));
    pollfd p[2] = {{master_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
    bool diverging;
    {
      std::lock_guard lk(mu_);
      diverging = replay_.Diverging();
    }
    if (diverging) waitMs = std::min(waitMs, 100);
    if (poll(p, 2, waitMs) < 0 && errno != EINTR) break;
    std::string got;
    if (p[0].revents & POLLIN) {
      char buf[4096];
      const ssize_t n = read(master_, buf, sizeof buf);
      if (n > 0) got.assign(buf, static_cast<size_t>(n));
    }
    if (got.empty() && !diverging) continue;
    std::vector<Replayer::Burst> bursts;
    bool ok;
    {
      std::lock_guard lk(mu_);
      // A line that differs and then nothing more for 100 ms: judged as it is.
      ok = got.empty() ? replay_.Settle() : replay_.Feed(got, &bursts);
    }
    if (!ok) {
      // The line goes down: the program fails at once instead of waiting out its time-out.
      std::fprintf(stderr, "phonesim: replay failed: %s\n", Error().c_str());
      close(slave_);
      close(master_);
      slave_ = master_ = -1;
      break;
    }
    queue(bursts);
  }
}

int RunReplay(const std::string& path, double speed, const void* stopSignals) {
  trace::Trace t;
  std::string error;
  if (!LoadTrace(path, &t, &error)) {
    std::cerr << "phonesim: " << error << "\n";
    return 2;
  }
  ReplayPty replay(std::move(t), speed);
  if (!replay.Start()) {
    std::cerr << "phonesim: cannot open a pseudo-terminal: " << std::strerror(errno) << "\n";
    return 1;
  }
  std::cout << replay.DevicePath() << std::endl;
  timespec tick{0, 50 * 1000 * 1000};
  const sigset_t* stop = static_cast<const sigset_t*>(stopSignals);
  while (!replay.Failed()) {
    const int sig = sigtimedwait(stop, nullptr, &tick);
    if (sig == SIGTERM || sig == SIGINT) break;
  }
  const bool failed = replay.Failed();
  replay.Stop();
  if (!failed) std::cerr << (replay.Done() ? "phonesim: replay complete\n" : "phonesim: replay stopped before its end\n");
  return failed ? 1 : 0;
}

}  // namespace phonesim
