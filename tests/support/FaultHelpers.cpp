#include "support/FaultHelpers.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace faults {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

TFolderSnapshot Snapshot(const std::string& folder) {
  TFolderSnapshot snap;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    if (it->is_regular_file()) snap[fs::relative(it->path(), folder).string()] = ReadAll(it->path().string());
  }
  return snap;
}

long VmRssKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

std::string Pattern(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + static_cast<size_t>(seed) + i / 251) & 0xFF);
  return s;
}

ScriptPhone::ScriptPhone(Script script, int pauseMs) : script_(std::move(script)), pauseMs_(pauseMs) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
  path_ = ptsname(master_);
  slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY);
  if (slave_ >= 0) {
    termios t{};
    if (tcgetattr(slave_, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(slave_, TCSANOW, &t);
    }
  }
  thread_ = std::thread([this] { Serve(); });
}

ScriptPhone::~ScriptPhone() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (slave_ >= 0) close(slave_);
  if (master_ >= 0) close(master_);
}

std::vector<std::string> ScriptPhone::Lines() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lines_;
}

void ScriptPhone::SetScript(Script script) {
  std::lock_guard<std::mutex> lock(mu_);
  script_ = std::move(script);
}

void ScriptPhone::Send(const std::string& bytes) {
  size_t at = 0;
  while (at < bytes.size() && !stop_) {
    ssize_t w = write(master_, bytes.data() + at, bytes.size() - at);
    if (w > 0) {
      at += static_cast<size_t>(w);
    } else {
      pollfd p{master_, POLLOUT, 0};
      poll(&p, 1, 20);
    }
  }
}

void ScriptPhone::Serve() {
  std::string pending;
  while (!stop_) {
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, 10) <= 0 || !(p.revents & POLLIN)) continue;
    char buf[512];
    ssize_t n = read(master_, buf, sizeof buf);
    if (n <= 0) continue;
    pending.append(buf, static_cast<size_t>(n));
    size_t eol;
    while ((eol = pending.find("\r\n")) != std::string::npos) {
      std::string line = pending.substr(0, eol);
      pending.erase(0, eol + 2);
      Script script;
      {
        std::lock_guard<std::mutex> lock(mu_);
        lines_.push_back(line);
        script = script_;
      }
      std::vector<std::string> bursts = script ? script(line) : std::vector<std::string>{};
      std::string first = line + "\r\n" + (bursts.empty() ? std::string() : bursts[0]);
      Send(first);
      // A phone that is going away stops mid-reply: a test that is done
      // with a dripping reply need not sit out the rest of it.
      for (size_t i = 1; i < bursts.size() && !stop_; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs_));
        Send(bursts[i]);
      }
    }
  }
}

void SetFileSizeLimit(unsigned long long limit, bool on) {
  static rlimit old{};
  static void (*oldHandler)(int) = SIG_DFL;
  if (on) {
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit lim = old;
    lim.rlim_cur = static_cast<rlim_t>(limit);
    oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &lim);
  } else {
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
  }
}

TimedLines::TimedLines(std::function<std::vector<std::string>()> received) : received_(std::move(received)) {
  thread_ = std::thread([this] {
    while (!stop_) {
      const std::vector<std::string> lines = received_();
      for (size_t i = seen_.size(); i < lines.size(); ++i) seen_.emplace_back(lines[i], std::chrono::steady_clock::now());
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });
}

TimedLines::~TimedLines() { Finish(); }

void TimedLines::Finish() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

TimedLines::Gap TimedLines::GapBefore(const std::string& prefix) {
  Finish();
  for (size_t i = 1; i < seen_.size(); ++i)
    if (seen_[i].first.rfind(prefix, 0) == 0)
      return {std::chrono::duration<double, std::milli>(seen_[i].second - seen_[i - 1].second).count(),
              seen_[i - 1].first};
  return {};
}

}  // namespace faults
