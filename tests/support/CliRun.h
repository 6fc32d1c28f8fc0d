#pragma once
// quendrel-cli run as a subprocess by the tests, in a private HOME with an
// isolated settings store, on the test time scale.
#include <sys/types.h>

#include <functional>
#include <string>

#include "support/TempDir.h"

struct CliResult {
  int status = -1;
  std::string out, err;
  double seconds = 0;
};

// The test build of the command line: in QUENDREL_BIN_DIR, else two levels
// above the running test.
std::string CliPath();

// The child gets none of our descriptors: an inherited pty master would
// keep the line up after the phone hangs up. With whileRunning the program
// runs as the child itself, so a signal to it reaches the program.
// timeScale is the link's clock: a run that only waits out a silent phone's
// time-out may take a faster one than a run that moves files.
inline constexpr double kCliTimeScale = 0.05;
CliResult RunCli(const TempDir& home, const std::string& args,
                 const std::function<void(pid_t)>& whileRunning = nullptr, double timeScale = kCliTimeScale);
