#pragma once
#include "support/WireText.h"
// Helpers of the fault-injection tests: a phone on a raw pty that answers
// from a script in timed bursts, snapshots of the user's folders, and the
// process's resident memory.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace faults {

// Every regular file under a folder (relative name -> bytes).
using TFolderSnapshot = std::map<std::string, std::string>;
TFolderSnapshot Snapshot(const std::string& folder);
std::string ReadAll(const std::string& path);
bool Exists(const std::string& path);

// Resident set size of this process in KiB, 0 when unknown.
long VmRssKb();

// A file size limit for this process with SIGXFSZ ignored, so a write past
// it fails as on a full disk (on); both as they were before (off).
void SetFileSizeLimit(unsigned long long limit, bool on);

// A deterministic byte pattern (every byte value occurs).
std::string Pattern(size_t size, int seed = 0);

// One packet line of the download and install format (no CR LF): number,
// "0", mark, hex data, check value. bytes is at most 90 long.
inline std::string PacketLine(int n, bool last, const std::string& bytes) { return DataLine(n, last, bytes); }

// A phone on a pty whose replies come from a script. Each received line
// (ended by CR LF) is echoed, then the script's bursts follow, the first
// one right after the echo and each further one after pauseMs of silence.
class ScriptPhone {
 public:
  using Script = std::function<std::vector<std::string>(const std::string& line)>;
  ScriptPhone(Script script, int pauseMs);
  ~ScriptPhone();
  ScriptPhone(const ScriptPhone&) = delete;
  ScriptPhone& operator=(const ScriptPhone&) = delete;

  const std::string& Path() const { return path_; }
  std::vector<std::string> Lines() const;
  // Set the script while serving (e.g. per split point).
  void SetScript(Script script);

 private:
  void Serve();
  void Send(const std::string& bytes);
  Script script_;
  int pauseMs_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the pty stays up while the PC reopens it
  std::string path_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mu_;
  std::vector<std::string> lines_;
  std::thread thread_;
};

// The lines a phone receives, each with when a polling thread first saw
// it, from construction until GapBefore is called.
class TimedLines {
 public:
  explicit TimedLines(std::function<std::vector<std::string>()> received);
  ~TimedLines();
  TimedLines(const TimedLines&) = delete;
  TimedLines& operator=(const TimedLines&) = delete;
  struct Gap {
    double ms = -1;      // -1: no such line, or nothing came before it
    std::string before;  // the line before it
  };
  // Stops watching; the time from the line before the first line that
  // begins with prefix to that line.
  Gap GapBefore(const std::string& prefix);

 private:
  void Finish();
  std::function<std::vector<std::string>()> received_;
  std::vector<std::pair<std::string, std::chrono::steady_clock::time_point>> seen_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Runs fn under such a limit.
template <typename Fn>
auto UnderFileSizeLimit(unsigned long long limit, Fn fn) -> decltype(fn()) {
  SetFileSizeLimit(limit, true);
  auto r = fn();
  SetFileSizeLimit(limit, false);
  return r;
}

}  // namespace faults
