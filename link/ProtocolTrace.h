#pragma once
// The two start-up logs as the link writes them: the protocol log (every
// byte to and from the phone, see TraceFormat.h) and the logic log (what
// each operation decided and why). Both write into the file the start-up
// opened, flush each line, and stay bounded: past the limit the file's
// contents move to "<name>.1" and it starts again.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "port/ComPort.h"

inline constexpr uint64_t kStartupLogLimit = 8u << 20;

// Moves a log left by an earlier session to "<path>.1" (replacing it), so
// the session about to start does not empty it.
void RollLogAside(const std::string& path);

class TLogFile {
 public:
  virtual ~TLogFile() = default;
  // Writes into 'file' (opened for reading and writing at 'path'; it stays
  // the opener's to close, after Detach). The clock starts here.
  void Attach(std::FILE* file, const std::string& path, uint64_t limit = kStartupLogLimit);
  void Detach();
  bool Active() const { return active_.load(std::memory_order_relaxed); }

 protected:
  // Both under mu_.
  double SinceStartMs() const;
  void PutLine(const std::string& line);
  virtual void BeforeDetach() {}
  virtual const char* Heading() const = 0;

  mutable std::mutex mu_;

 private:
  void Roll();
  std::atomic<bool> active_{false};
  std::FILE* file_ = nullptr;
  std::string path_;
  uint64_t limit_ = kStartupLogLimit;
  uint64_t size_ = 0;
  std::chrono::steady_clock::time_point start_;
};

class TProtocolTrace : public TLogFile {
 public:
  void Written(const char* data, size_t n);
  // Reads join one burst until the line is quiet (Quiet) or a write goes out.
  void Read(const char* data, size_t n);
  void Quiet();

 private:
  void BeforeDetach() override;
  const char* Heading() const override;
  void FlushBurst();  // under mu_
  std::string burst_;
  double burstMs_ = 0;
};

class TLogicLog : public TLogFile {
 public:
  void Line(const std::string& kind, const std::string& text);

 private:
  const char* Heading() const override;
};

// The process's two logs (the start-up attaches them).
TProtocolTrace& SessionTrace();
TLogicLog& SessionLogic();

// The port's back end with the protocol log listening: every port of the
// link passes through it, whichever front end opened it.
std::unique_ptr<IComBackend> TracedBackend(std::unique_ptr<IComBackend> inner);

// How a user makes a trace for a report, for the windows' Help entry and
// the command line's --help.
inline constexpr const char* kReportProblemTitle = "Reporting a problem with your phone";
std::string ReportProblemText();
