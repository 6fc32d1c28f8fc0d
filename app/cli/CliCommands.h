#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "port/ComPort.h"

struct TCliOptions {
  std::string port;
  bool virtualPhone = false;
  std::string onConflict;
  std::string to;
  std::string pc;
  bool yes = false;
  bool verbose = false;
  bool all = false;  // scan: the files the phone would not take too
  bool onlySuitable = false;  // put: judged as a drop on the window's phone list
  bool dryRun = false;  // restore: the plan only
  bool verify = false;  // restore: compare the phone's files of the same name and size
  std::string suites;  // restore: PC folder of the backup's MIDlet suites
  double timeScale = 1.0;  // the link's clock; only the tests' build changes it
  // The port's back end; unset, the system's serial ports. A test hands in
  // a phone in memory.
  std::function<std::unique_ptr<IComBackend>()> backend;
};

// Runs one command; returns the exit status.
int RunCliCommand(const TCliOptions& options, const std::vector<std::string>& args);

class TLink;
// 'scan FOLDER DIR': the PC files the content page would list; with all,
// then the others with their reasons.
int RunScanCommand(const std::vector<std::string>& args, bool all = false);
// 'fit FILE [--to DIR]': a copy the picture page takes; prints its path.
// kCliCanFit: whether this build has the picture codecs it needs.
extern const bool kCliCanFit;
int RunFitCommand(const std::vector<std::string>& args, const std::string& to);
// 'midlets', 'install', 'uninstall' on an open session.
int RunMidletCommand(TLink& link, const TCliOptions& options,
                     const std::vector<std::string>& args, const std::function<bool()>& connect);

// Asks the running command to stop (async-signal-safe): its wait ends at
// once and the PC side is left as before the interrupted file.
void RequestCliStop();
