// Transfer speed against the paced virtual phone, and peak memory of a large
// transfer against a small one. Prints figures only.
//   bench_transfer [large-file-bytes]   (default 5 MB)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support/SimLink.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + i / 97) & 0xFF);
  return s;
}

// Written in pieces, so the source file itself does not raise the peak.
void WritePattern(const std::string& path, size_t size) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  std::string piece;
  for (size_t at = 0; at < size; at += piece.size()) {
    piece.assign(std::min<size_t>(65536, size - at), '\0');
    for (size_t i = 0; i < piece.size(); ++i) piece[i] = static_cast<char>(((at + i) * 31 + (at + i) / 97) & 0xFF);
    f.write(piece.data(), static_cast<std::streamsize>(piece.size()));
  }
}

long PeakKb() {
  std::ifstream f("/proc/self/status");
  std::string line;
  while (std::getline(f, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  return -1;
}

// The virtual phone in a process of its own, so that its copy of a file does
// not count towards this process's peak.
class OutsidePhone {
 public:
  explicit OutsidePhone(const std::string& content) {
    std::string exe = fs::read_symlink("/proc/self/exe").parent_path().parent_path() / "virtualphone/phonesim";
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, in[0], 0);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addclose(&fa, in[1]);
    posix_spawn_file_actions_addclose(&fa, out[0]);
    std::string contentArg = content;
    char* args[] = {exe.data(), const_cast<char*>("--content"), contentArg.data(),
                    const_cast<char*>("--until-stdin-eof"), nullptr};
    if (posix_spawn(&pid_, exe.c_str(), &fa, nullptr, args, environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') device_ += c;
    close(out[0]);
  }
  ~OutsidePhone() {
    if (stdin_ >= 0) close(stdin_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }
  const std::string& Device() const { return device_; }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  std::string device_;
};

// The test window records every status text; over a long download that
// record, not the link, would be what grows.
class QuietView : public FakeView {
 public:
  void SetStatusLabel(const std::string&) override { statusVisible = true; }
};

struct Run {
  double seconds = 0;
  size_t wireBytes = 0;  // what the phone sent, echo included
  bool ok = false;
};

Run Upload(SimLink& rig, const std::string& name) {
  Run r;
  size_t before = rig.sim->BytesSent();
  rig.pages.PhoneListKnown = true;  // nothing to check: the bench's names are new
  auto t0 = Clock::now();
  UploadFile(*rig.link, rig.pages, rig.pages.PcFolder, name, 3);
  r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  r.wireBytes = rig.sim->BytesSent() - before;
  r.ok = rig.link->Reply().State() == rsOk;
  return r;
}

Run Download(SimLink& rig, const std::string& name, size_t size) {
  Run r;
  size_t before = rig.sim->BytesSent();
  auto t0 = Clock::now();
  DownloadFile(*rig.link, rig.pages.PcFolder, name, static_cast<int>(size));
  r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  r.wireBytes = rig.sim->BytesSent() - before;
  r.ok = rig.link->Reply().State() == rsOk;
  return r;
}

void Print(const char* what, size_t payload, const Run& r) {
  double wire = static_cast<double>(r.wireBytes) * 10.0 / 115200.0;
  std::printf("%-10s %8zu bytes  %s  %7.2f s  %9.0f payload B/s  wire %7.2f s  elapsed/wire %.2f\n", what, payload,
              r.ok ? "ok    " : "FAILED", r.seconds, payload / r.seconds, wire, wire > 0 ? r.seconds / wire : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  const size_t small = 63000;
  const size_t large = argc > 1 ? static_cast<size_t>(std::strtoull(argv[1], nullptr, 10)) : 5u * 1024 * 1024;

  SimLink rig;
  setenv("HOME", rig.dir.path().c_str(), 1);
  fs::create_directories(rig.dir.File("pc"));
  rig.pages.PcFolder = rig.dir.File("pc");
  rig.Connect();
  SelectPhoneFolder(*rig.link, rig.pages, 3);

  phonesim::Options paced = rig.sim->GetOptions();
  paced.pace115200 = true;
  rig.sim->SetOptions(paced);

  const std::string smallBytes = Pattern(small);
  rig.dir.Write("pc/up.bin", smallBytes);
  rig.dir.Write("phone/3/down.bin", smallBytes);

  std::printf("Paced at 115200 baud, protocol delays unscaled\n");
  Run up = Upload(rig, "up.bin");
  Print("upload", small, up);
  Run down = Download(rig, "down.bin", small);
  Print("download", small, down);
  if (rig.dir.Read("phone/3/up.bin") != smallBytes || rig.dir.Read("pc/down.bin") != smallBytes)
    std::printf("warning: transferred bytes differ from the source\n");

  // Memory: the same link against a phone in its own process, first with
  // the small file, then with the large one. Unpaced, delays scaled down.
  TempDir memDir;
  for (const char* f : {"1", "2", "3", "4"}) fs::create_directories(memDir.File("phone/") + f);
  fs::create_directories(memDir.File("pc"));
  WritePattern(memDir.File("pc/smallup.bin"), small);
  WritePattern(memDir.File("phone/3/smalldown.bin"), small);
  WritePattern(memDir.File("pc/bigup.bin"), large);
  WritePattern(memDir.File("phone/3/bigdown.bin"), large);
  OutsidePhone phone(memDir.File("phone"));
  if (phone.Device().empty()) {
    std::printf("could not start the phone process\n");
    return 0;
  }
  rig.EndLink();  // the paced link lets go of its port first
  QuietView memView;
  TLink memLink(memView);
  TPageState memPages;
  memLink.SetClock(TClock(0.05));
  memPages.PcFolder = memDir.File("pc");
  memLink.Port().SetPort(phone.Device());
  memLink.Port().SetEvents(0);
  memLink.Port().Open();
  memLink.Open();
  SelectPhoneFolder(memLink, memPages, 3);
  memPages.PhoneListKnown = true;  // nothing to check: the bench's names are new

  auto timed = [](const char* what, size_t size, const std::function<void()>& run, TLink& link) {
    auto t0 = Clock::now();
    run();
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    std::printf("%-10s %8zu bytes  %s  %7.2f s\n", what, size, link.Reply().State() == rsOk ? "ok    " : "FAILED", s);
  };
  std::printf("\nMemory runs (phone in its own process, unpaced)\n");
  timed("upload", small, [&] { UploadFile(memLink, memPages, memPages.PcFolder, "smallup.bin", 3); }, memLink);
  timed("download", small, [&] { DownloadFile(memLink, memPages.PcFolder, "smalldown.bin", static_cast<int>(small)); }, memLink);
  long smallPeak = PeakKb();
  timed("upload", large, [&] { UploadFile(memLink, memPages, memPages.PcFolder, "bigup.bin", 3); }, memLink);
  timed("download", large, [&] { DownloadFile(memLink, memPages.PcFolder, "bigdown.bin", static_cast<int>(large)); }, memLink);
  long largePeak = PeakKb();

  std::printf("\nPeak resident memory (VmHWM): after %zu-byte transfers %ld kB, after %zu-byte transfers %ld kB, "
              "growth %ld kB\n",
              small, smallPeak, large, largePeak, largePeak - smallPeak);
  return 0;
}
