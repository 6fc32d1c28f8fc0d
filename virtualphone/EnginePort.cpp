#include "EnginePort.h"

#include <algorithm>
#include <cerrno>

#include "PhoneEngine.h"

// Threads: the link's thread opens, closes and writes while the receiver
// waits and reads, so all state sits under one mutex. A write runs the
// phone's command on the writing thread before it returns; the engine is
// quick and touches nothing but the storage folder.

namespace phonesim {

EngineBackend::EngineBackend(Options options)
    : line_(options), engine_(std::make_unique<PhoneEngine>(options.contentDir)) {}

EngineBackend::~EngineBackend() = default;

int EngineBackend::Open(const std::string& device) {
  (void)device;
  std::lock_guard<std::mutex> lock(mu_);
  if (openError_) return openError_;
  if (hungUp_) return ENODEV;  // as on the pty: a hung-up phone is gone
  if (open_) return EBUSY;
  open_ = true;
  ++opening_;
  return 0;
}

void EngineBackend::Close() {
  std::lock_guard<std::mutex> lock(mu_);
  open_ = false;
  // What was on its way to the PC is lost with the port; a half-written
  // line stays with the phone, as it would on a line.
  rx_.clear();
  later_.clear();
  cv_.notify_all();
}

bool EngineBackend::IsOpen() const {
  std::lock_guard<std::mutex> lock(mu_);
  return open_;
}

int EngineBackend::Usable() const {
  if (!open_) return EBADF;
  return hungUp_ ? EIO : 0;
}

int EngineBackend::ApplyBuffers(int inputSize, int outputSize) {
  // The queue grows as needed: there is nothing to size.
  (void)inputSize;
  (void)outputSize;
  return 0;
}

int EngineBackend::ApplyLine(const TLineSettings& line) {
  // No line in memory for the settings to act on.
  (void)line;
  std::lock_guard<std::mutex> lock(mu_);
  return Usable();
}

int EngineBackend::ApplyTimeouts(const TComTimeouts& t) {
  (void)t;
  std::lock_guard<std::mutex> lock(mu_);
  return Usable();
}

void EngineBackend::Queue(std::string bytes, Clock::time_point due) {
  if (bytes.empty()) return;
  if (!later_.empty()) due = std::max(due, later_.back().due);  // keeps the order of the bursts
  if (later_.empty() && due <= Clock::now()) {
    rx_ += bytes;
  } else {
    later_.push_back({due, std::move(bytes)});
  }
}

void EngineBackend::Release() {
  const Clock::time_point now = Clock::now();
  while (!later_.empty() && later_.front().due <= now) {
    rx_ += later_.front().bytes;
    later_.pop_front();
  }
}

void EngineBackend::HangUp() {
  hungUp_ = true;
  pending_.clear();
  rx_.clear();
  later_.clear();
  engine_->AbortTransfers();
}

int EngineBackend::Write(const char* data, size_t n, int deadlineMs, size_t* written) {
  // Answered at once: a write never waits for room, so the deadline cannot pass.
  (void)deadlineMs;
  *written = 0;
  std::lock_guard<std::mutex> lock(mu_);
  if (int err = Usable()) return err;
  pending_.append(data, n);
  *written = n;
  // A write arrives whole: a CR at its end has no LF still on the way.
  while (std::optional<ReceivedLine> received = TakeLine(&pending_, false)) {
    LineAnswer a = line_.Answer(*engine_, *received);
    if (a.hangUp) {
      HangUp();
      break;
    }
    // a.pace is left aside: in memory there is no line speed to keep to.
    const Clock::time_point now = Clock::now();
    std::string burst = a.echo;
    size_t from = 0;
    auto when = now;
    for (size_t cut : a.cuts) {
      Queue(burst + a.reply.substr(from, cut - from), when);
      burst.clear();
      from = cut;
      when += std::chrono::milliseconds(a.pauseMs);
    }
    Queue(burst + a.reply.substr(from), when);
  }
  cv_.notify_all();
  return 0;
}

int EngineBackend::Read(char* data, size_t n, size_t* got) {
  *got = 0;
  std::lock_guard<std::mutex> lock(mu_);
  if (int err = Usable()) return err;
  Release();
  *got = rx_.copy(data, n);
  rx_.erase(0, *got);
  return 0;
}

int EngineBackend::InputCount(int* count) {
  *count = 0;
  std::lock_guard<std::mutex> lock(mu_);
  if (int err = Usable()) return err;
  Release();
  *count = static_cast<int>(rx_.size());
  return 0;
}

int EngineBackend::Purge(bool input, bool output) {
  std::lock_guard<std::mutex> lock(mu_);
  if (int err = Usable()) return err;
  // Nothing ever waits to go out. Bursts not due yet are still in the phone.
  (void)output;
  if (input) {
    Release();
    rx_.clear();
  }
  return 0;
}

int EngineBackend::WaitRx(int timeoutMs, TComEvents* events) {
  *events = 0;
  std::unique_lock<std::mutex> lock(mu_);
  const unsigned opening = opening_;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
  for (;;) {
    // A close, even one followed by a new open, ends the wait.
    if (opening != opening_) return EBADF;
    if (int err = Usable()) return err;
    Release();
    if (!rx_.empty()) {
      *events = evRxChar;
      return 0;
    }
    if (timeoutMs >= 0 && Clock::now() >= deadline) return 0;
    if (!later_.empty()) {
      cv_.wait_until(lock, timeoutMs < 0 ? later_.front().due : std::min(deadline, later_.front().due));
    } else if (timeoutMs < 0) {
      cv_.wait(lock);
    } else {
      cv_.wait_until(lock, deadline);
    }
  }
}

void EngineBackend::FailOpen(int error) {
  std::lock_guard<std::mutex> lock(mu_);
  openError_ = error;
}

void EngineBackend::SetOptions(const Options& options) { line_.SetOptions(options); }

Options EngineBackend::GetOptions() const { return line_.GetOptions(); }

std::vector<std::string> EngineBackend::ReceivedLines() const { return line_.ReceivedLines(); }

void EngineBackend::ClearReceived() { line_.ClearReceived(); }

}  // namespace phonesim
