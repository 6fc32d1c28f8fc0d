#include "link/ProtocolTrace.h"

#include <filesystem>
#include <system_error>

#include "link/Text.h"
#include "link/TraceFormat.h"

namespace fs = std::filesystem;

void RollLogAside(const std::string& path) {
  std::error_code ec;
  const fs::path p = Utf8Path(path);
  if (!fs::is_regular_file(p, ec) || fs::file_size(p, ec) == 0 || ec) return;
  fs::rename(p, Utf8Path(path + ".1"), ec);  // a log that cannot move is emptied as before
}

void TLogFile::Attach(std::FILE* file, const std::string& path, uint64_t limit) {
  std::lock_guard lk(mu_);
  if (!file) return;
  file_ = file;
  path_ = path;
  limit_ = limit;
  start_ = std::chrono::steady_clock::now();
  std::fseek(file_, 0, SEEK_END);
  const long at = std::ftell(file_);
  size_ = at > 0 ? static_cast<uint64_t>(at) : 0;
  active_ = true;
  PutLine(Heading());
}

void TLogFile::Detach() {
  std::lock_guard lk(mu_);
  if (active_) BeforeDetach();
  active_ = false;
  file_ = nullptr;
}

double TLogFile::SinceStartMs() const {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
}

void TLogFile::PutLine(const std::string& line) {
  if (!active_) return;
  if (std::fwrite(line.data(), 1, line.size(), file_) != line.size() || std::fputc('\n', file_) == EOF ||
      std::fflush(file_) != 0) {
    active_ = false;  // a full disk ends the log, not the session
    return;
  }
  size_ += line.size() + 1;
  if (size_ > limit_) Roll();
}

// The file's contents go to "<path>.1" and the file starts again: the
// newest bytes, those of what failed, are always kept.
void TLogFile::Roll() {
  std::FILE* aside = OpenFileUtf8(path_ + ".1", "w");
  bool ok = aside != nullptr;
  std::rewind(file_);
  char buf[65536];
  size_t n;
  while (ok && (n = std::fread(buf, 1, sizeof buf, file_)) > 0) ok = std::fwrite(buf, 1, n, aside) == n;
  if (aside && std::fclose(aside) != 0) ok = false;
  std::error_code ec;
  if (ok) fs::resize_file(Utf8Path(path_), 0, ec);
  std::rewind(file_);
  if (!ok || ec) {
    std::fseek(file_, 0, SEEK_END);
    active_ = false;
    return;
  }
  size_ = 0;
  PutLine("# continued: the earlier part of this session is in the .1 file");
}

// ---- Protocol log ----

namespace {

std::string Stamp(double ms) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", ms);
  return buf;
}

}  // namespace

void TProtocolTrace::FlushBurst() {
  if (burst_.empty()) return;
  PutLine("< " + Stamp(burstMs_) + " " + trace::Escape(burst_));
  burst_.clear();
}

void TProtocolTrace::Written(const char* data, size_t n) {
  if (!Active() || n == 0) return;
  std::lock_guard lk(mu_);
  FlushBurst();
  PutLine("> " + Stamp(SinceStartMs()) + " " + trace::Escape(data, n));
}

void TProtocolTrace::Read(const char* data, size_t n) {
  if (!Active() || n == 0) return;
  std::lock_guard lk(mu_);
  if (burst_.empty()) burstMs_ = SinceStartMs();
  burst_.append(data, n);
}

void TProtocolTrace::Quiet() {
  if (!Active()) return;
  std::lock_guard lk(mu_);
  FlushBurst();
}

void TProtocolTrace::BeforeDetach() { FlushBurst(); }

const char* TProtocolTrace::Heading() const {
  return "# session. '>' to the phone, '<' from it; ms since the session began; bytes as sent, "
         "escaped \\r \\n \\t \\\\ \\xHH. File names and their contents pass through here.";
}

TProtocolTrace& SessionTrace() {
  static TProtocolTrace trace;
  return trace;
}

// ---- Logic log ----

void TLogicLog::Line(const std::string& kind, const std::string& text) {
  if (!Active()) return;
  std::lock_guard lk(mu_);
  PutLine(Stamp(SinceStartMs()) + " " + kind + " " + trace::Escape(text));
}

const char* TLogicLog::Heading() const {
  return "# session. ms since the session began; each operation's start, decisions and end";
}

TLogicLog& SessionLogic() {
  static TLogicLog log;
  return log;
}

// ---- The port's tap ----

namespace {

class TTracedBackend : public IComBackend {
 public:
  explicit TTracedBackend(std::unique_ptr<IComBackend> inner) : inner_(std::move(inner)) {}
  int Open(const std::string& device) override { return inner_->Open(device); }
  void Close() override {
    SessionTrace().Quiet();
    inner_->Close();
  }
  bool IsOpen() const override { return inner_->IsOpen(); }
  int ApplyBuffers(int inputSize, int outputSize) override { return inner_->ApplyBuffers(inputSize, outputSize); }
  int ApplyLine(const TLineSettings& line) override { return inner_->ApplyLine(line); }
  int ApplyTimeouts(const TComTimeouts& t) override { return inner_->ApplyTimeouts(t); }
  int Write(const char* data, size_t n, int deadlineMs, size_t* written) override {
    // Logged before it goes, so a quick answer can never come first.
    SessionTrace().Written(data, n);
    return inner_->Write(data, n, deadlineMs, written);
  }
  int Read(char* data, size_t n, size_t* got) override {
    const int err = inner_->Read(data, n, got);
    if (*got) SessionTrace().Read(data, *got);
    return err;
  }
  int InputCount(int* count) override { return inner_->InputCount(count); }
  int Purge(bool input, bool output) override { return inner_->Purge(input, output); }
  int WaitRx(int timeoutMs, TComEvents* events) override {
    const int err = inner_->WaitRx(timeoutMs, events);
    if (err || !(*events & evRxChar)) SessionTrace().Quiet();
    return err;
  }
  void UpdateFlow(int queued) override { inner_->UpdateFlow(queued); }

 private:
  std::unique_ptr<IComBackend> inner_;
};

}  // namespace

std::unique_ptr<IComBackend> TracedBackend(std::unique_ptr<IComBackend> inner) {
  if (!inner) return inner;
  return std::make_unique<TTracedBackend>(std::move(inner));
}

std::string ReportProblemText() {
  return "To show us what your phone does:\n"
         "1. Close the program. In Velko.ini, beside the program, set the line debugFlag=32 "
         "(debugFlag=96 also writes what the program decided to logs/syncLogic.log).\n"
         "2. Start the program and do what fails, once.\n"
         "3. Close the program and send us logs/apProtocol.log, from the logs folder beside the program's "
         "folder (the session before it is in apProtocol.log.1).\n"
         "The log holds every byte that went to and came from the phone: the names of your files and "
         "their contents pass through it. Set debugFlag=0 again afterwards.";
}
