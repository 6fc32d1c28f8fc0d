// phonesim: serve the virtual phone on a pseudo-terminal (or a given device)
// until SIGTERM/SIGINT, or until stdin ends with --until-stdin-eof.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <string>
#include <thread>

#include "PhoneSim.h"
#include "Replay.h"

namespace {

const char kUsage[] =
    "usage: phonesim [--content DIR] [--device PATH] [--no-echo] [--error PREFIX]\n"
    "                [--silent PREFIX] [--no-echo-silent PREFIX] [--split-ms N] [--garbage]\n"
    "                [--hangup-after N] [--pace] [--reject-packet N [--reject-times K]]\n"
    "                [--corrupt-packet N [--corrupt-times K] [--corrupt-char I]]\n"
    "                [--repeat-packet N] [--swap-packet N] [--past-end] [--early-last N]\n"
    "                [--refuse-upload] [--install-error N] [--flood N]\n"
    "                [--seam-every N] [--bare-suite-list] [--split-at N] [--split-every N]\n"
    "                [--noise-before-echo] [--keep-nothing] [--list-twice] [--case-blind]\n"
    "                [--line-in-packet N] [--past-size N] [--bad-check]\n"
    "                [--listed-size NAME=TEXT] [--until-stdin-eof]\n"
    "       phonesim --replay TRACE [--replay-speed N]   (plays a protocol log back)\n"
    "Prints the device path to open as its first line, then serves.\n";

bool ToInt(const char* s, int* out) {
  char* end = nullptr;
  long v = std::strtol(s, &end, 10);
  if (end == s || *end != '\0' || v < -1000000000L || v > 1000000000L) return false;
  *out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  phonesim::Options options;
  std::string device;
  bool untilStdinEof = false;
  std::string replay;
  double replaySpeed = 1;

  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto text = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    auto number = [&](int* out) { return i + 1 < argc && ToInt(argv[++i], out); };
    bool ok = true;
    if (a == "--content") ok = text(&options.contentDir);
    else if (a == "--device") ok = text(&device);
    else if (a == "--no-echo") options.echo = false;
    else if (a == "--error") ok = text(&options.errorPrefix);
    else if (a == "--silent") ok = text(&options.silentPrefix);
    else if (a == "--no-echo-silent") ok = text(&options.noEchoSilentPrefix);
    else if (a == "--split-ms") ok = number(&options.splitPauseMs);
    else if (a == "--garbage") options.garbage = true;
    else if (a == "--hangup-after") ok = number(&options.hangupAfterLines);
    else if (a == "--pace") options.pace115200 = true;
    else if (a == "--reject-packet") ok = number(&options.rejectUploadPacket);
    else if (a == "--reject-times") ok = number(&options.rejectUploadTimes);
    else if (a == "--corrupt-packet") ok = number(&options.corruptDownloadPacket);
    else if (a == "--corrupt-times") ok = number(&options.corruptDownloadTimes);
    else if (a == "--corrupt-char") ok = number(&options.corruptDownloadChar);
    else if (a == "--repeat-packet") ok = number(&options.repeatDownloadPacket);
    else if (a == "--swap-packet") ok = number(&options.swapDownloadPacket);
    else if (a == "--past-end") options.downloadPastEnd = true;
    else if (a == "--early-last") ok = number(&options.earlyLastPacket);
    else if (a == "--refuse-upload") options.refuseUpload = true;
    else if (a == "--install-error") ok = number(&options.installErrorCode);
    else if (a == "--flood") ok = number(&options.floodBytes);
    else if (a == "--seam-every") ok = number(&options.seamEvery);
    else if (a == "--bare-suite-list") options.bareSuiteList = true;
    else if (a == "--split-at") ok = number(&options.splitAt);
    else if (a == "--split-every") ok = number(&options.splitEvery);
    else if (a == "--noise-before-echo") options.noiseBeforeEcho = true;
    else if (a == "--keep-nothing") options.keepNothing = true;
    else if (a == "--list-twice") options.listTwice = true;
    else if (a == "--case-blind") options.caseBlind = true;
    else if (a == "--line-in-packet") ok = number(&options.lineInPacket);
    else if (a == "--past-size") ok = number(&options.pastSizePackets) && options.pastSizePackets >= 0;
    else if (a == "--bad-check") options.badCheck = true;
    else if (a == "--listed-size") {
      std::string entry;
      const size_t eq = (ok = text(&entry)) ? entry.find('=') : std::string::npos;
      ok = eq != std::string::npos && eq > 0;
      if (ok) options.listedSizes.emplace_back(entry.substr(0, eq), entry.substr(eq + 1));
    }
    else if (a == "--until-stdin-eof") untilStdinEof = true;
    else if (a == "--replay") ok = text(&replay);
    else if (a == "--replay-speed") ok = i + 1 < argc && (replaySpeed = std::strtod(argv[++i], nullptr)) > 0;
    else if (a == "--help" || a == "-h") {
      std::cout << kUsage;
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      std::cerr << "phonesim: bad argument near '" << a << "'\n" << kUsage;
      return 2;
    }
  }

  // Block the stop signals before any thread starts, so only sigwait sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  if (!replay.empty()) return phonesim::RunReplay(replay, replaySpeed, &stopSignals);

  phonesim::PhoneSim sim(options);
  bool started = device.empty() ? sim.Start() : sim.StartOnDevice(device);
  if (!started) {
    std::cerr << "phonesim: cannot open " << (device.empty() ? "a pseudo-terminal" : device) << ": "
              << std::strerror(errno) << "\n";
    return 1;
  }
  std::cout << sim.DevicePath() << std::endl;
  std::cerr << "phonesim: content in " << sim.ContentDir() << "\n";

  if (untilStdinEof) {
    std::thread([] {
      char buf[256];
      while (read(STDIN_FILENO, buf, sizeof buf) > 0) {
      }
      kill(getpid(), SIGTERM);
    }).detach();
  }

  // Serve until told to stop, or until the line is gone (a hang-up).
  timespec tick{0, 200 * 1000 * 1000};
  while (sim.Running()) {
    int sig = sigtimedwait(&stopSignals, nullptr, &tick);
    if (sig == SIGTERM || sig == SIGINT) break;
  }
  sim.Stop();
  return 0;
}
