// quendrel-cli: the phone link on the command line, on the same code as the window.
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifndef _WIN32
#include <unistd.h>

#include <cerrno>
#include <thread>
#endif

#include "app/cli/CliCommands.h"
#include "app/cli/ConsoleView.h"
#include "content/TempFolder.h"
#include "link/Link.h"
#include "link/PhoneFiles.h"
#include "link/ProtocolTrace.h"
#include "link/Settings.h"

#ifdef _WIN32
#include "app/win32/WinPlatform.h"
#include "port/win32/WinApi.h"
#endif

namespace {

// Ctrl+C or a termination request: the first asks the running command to
// stop at its next exchange boundary, a second ends the program at once,
// its temporary folders (a restore's private copies) removed first.
std::atomic<int> g_interrupts{0};  // lock-free, so fit for a signal handler

#ifndef _WIN32
// A signal handler may not walk folders: it wakes this thread, which
// removes them and ends the program.
int g_endPipe[2] = {-1, -1};

void StartEndWatcher() {
  if (pipe(g_endPipe) != 0) {
    g_endPipe[0] = g_endPipe[1] = -1;
    return;
  }
  std::thread([] {
    char c;
    ssize_t n;
    do n = read(g_endPipe[0], &c, 1);
    while (n < 0 && errno == EINTR);
    if (n != 1) return;
    RemoveTempFoldersNow();
    std::_Exit(130);
  }).detach();
}
#endif

void EndAtOnce() {
#ifdef _WIN32
  // The console's handler runs on a thread of its own.
  RemoveTempFoldersNow();
  std::_Exit(130);
#else
  if (g_endPipe[1] < 0 || write(g_endPipe[1], "x", 1) != 1) std::_Exit(130);
#endif
}

void Interrupt() {
  const int before = g_interrupts.fetch_add(1);
  if (before == 0) {
    RequestCliStop();
  } else if (before == 1) {
    DropDownloadTemporary();  // one unlink: safe here
    EndAtOnce();
  } else {
    std::_Exit(130);  // the removal itself hangs: a third one ends at once
  }
}

#ifndef _WIN32
extern "C" void OnInterrupt(int) { Interrupt(); }
#endif

#ifdef _WIN32
// Set when the command has ended and its last words are out.
HANDLE g_finished = nullptr;

// Ctrl+C, Ctrl+Break and the console's close: the same stop as a signal.
// The system ends the process as soon as this returns from a close, so it
// waits for the command to end first, within the few seconds allowed.
BOOL WINAPI OnConsoleCtrl(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      Interrupt();
      return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      Interrupt();
      if (g_finished) WaitForSingleObject(g_finished, 4000);
      return TRUE;
    default:
      return FALSE;
  }
}
#endif

// The help text, for this build on this system: what the build cannot do
// is left out, and the ports and files are the ones this system uses.
std::string Usage() {
  std::string u =
      "Usage: quendrel-cli [options] COMMAND [ARGS...]\n"
      "\n"
      "Options:\n"
#ifdef _WIN32
      "  --port NAME            port name (COM3); without it: the port the window chose\n"
      "  --port auto            look for the phone: \"AT\" on every port, the one that answers is stored\n"
#else
      "  --port NAME            port name from the port map (COM3) or a device path (/dev/ttyUSB0);\n"
      "                         without it: the port the window chose\n"
      "  --port auto            look for the phone: \"AT\" on every port, the one that answers is stored\n"
#endif
#ifdef QUENDREL_VIRTUAL_PHONE
      "  --virtual-phone        talk to a virtual phone started in the background\n"
#endif
      "  --on-conflict=POLICY   skip | overwrite | rename:NEWNAME (default: ask on the terminal)\n";
  u += std::string("  --to DIR               target folder of 'get' (default: the current folder)") +
       (kCliCanFit ? ", 'fit' and 'backup'\n" : " and 'backup'\n");
  u += "  --all                  'scan' lists the files the phone would not take too\n"
       "  --only-suitable        'put' sends only the files the phone takes and says why not the others\n"
       "  --pc DIR               PC folder of MIDlet suites for 'midlets'\n"
       "  --dry-run              'restore' prints its plan and sends nothing\n"
       "  --verify               'restore' fetches the phone's files of the same name and size and\n"
       "                         sends the backup's copy where the bytes differ\n"
       "  --suites DIR           'restore' installs the backup's missing suites from this MIDlet folder\n"
       "  --yes                  confirm an update without asking\n"
       "  -v, --verbose          show the status line texts\n"
       "  -h, --help             this text\n"
       "  --version              program version\n"
       "\n"
       "Commands (FOLDER: 1 melodies, 2 animations, 3 pictures):\n"
       "  at                          check the link:            quendrel-cli --port COM3 at\n"
       "  ls FOLDER                   list a phone folder:       quendrel-cli ls 3\n"
       "  put FOLDER FILE...          send files to the phone:   quendrel-cli put 3 sun.gif moon.jpg\n"
       "  get FOLDER NAME... [--to DIR]  fetch phone files:      quendrel-cli get 1 ring.mid --to ~/Music\n"
       "  rm FOLDER NAME...           remove phone files:        quendrel-cli rm 2 old.gif\n"
       "  trash FILE...               PC files to the trash:     quendrel-cli trash ~/Pictures/old.gif\n"
       "  scan FOLDER DIR             PC files the phone takes:  quendrel-cli scan 3 ~/Pictures\n"
       "  scan --all FOLDER DIR       and why not the others:    quendrel-cli scan --all 3 ~/Pictures\n";
  if (kCliCanFit) u += "  fit FILE [--to DIR]         a copy the phone takes:    quendrel-cli fit holiday.png\n";
  u += "  midlets [--pc DIR]          list MIDlet suites:        quendrel-cli midlets --pc ~/midlets\n"
       "  install DIR NAME.jad        install or update a suite: quendrel-cli install ~/midlets game.jad\n"
       "  install DIR NAME.jar        a suite without a .jad:    quendrel-cli install ~/midlets game.jar\n"
       "  uninstall NAME              remove a suite:            quendrel-cli uninstall \"Game\"\n"
       "  backup [--to DIR]           back the phone up:         quendrel-cli backup --to ~/phone\n"
       "  restore BACKUP [--dry-run]  put a backup back:         quendrel-cli restore "
       "~/phone/quendrel-backup-20260101-120000\n"
       "\n";
#ifdef _WIN32
  u += std::string("Ports: the COM ports Windows lists under HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM.\n") +
       "Settings: HKEY_CURRENT_USER\\SOFTWARE\\" + kSettingsOrganisation + "\\" + kSettingsApplication +
       "\\1.0\\ConnectSetting (PortNo: the port the window chose).\n"
       "Transfer log: C:\\LAD.log, or LAD.log in your profile folder when C:\\ cannot be written.\n";
#else
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  // Both paths come from the environment: shown escaped as names are.
  const std::string config = EscapedName(xdg && *xdg ? xdg : HomeFolder() + "/.config");
  u += std::string("Ports: COM<n+1> is /dev/ttyS<n>, COM<33+n> /dev/ttyUSB<n>, COM<65+n> /dev/ttyACM<n>;\n") +
       "  other devices are named in the settings' [" + kSerialCommGroup + "] group, or given as a path.\n" +
       "Settings: " + config + "/" + kSettingsOrganisation + "/" + kSettingsApplication +
       ".conf (PortNo: the port the window chose).\n" + "Transfer log: " + EscapedName(TransferLogFile()) + "\n";
#endif
  u += std::string("\n") + kReportProblemTitle + " (the command line reads Velko.ini from the folder it runs in):\n" +
       ReportProblemText() + "\n";
  u += "\n"
       "Messages are printed on stderr, one line each; results on stdout.\n"
       "Exit status: 0 success, 1 the operation failed, 2 usage error, 130 stopped (Ctrl+C).\n";
  return u;
}

int Run(const std::vector<std::string>& argv);

}  // namespace

int main(int argc, char** argv) {
  KeepDownloadTemporaryForDrop();  // one download at a time here
#ifdef _WIN32
  (void)argc;
  (void)argv;
  WinUseConsoleText();
  g_finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  SetConsoleCtrlHandler(OnConsoleCtrl, TRUE);
  // Everything inside works on UTF-8; the ANSI argv cannot hold every name.
  const int rc = Run(WinUtf8Arguments());
  std::cout.flush();
  std::cerr.flush();
  if (g_finished) SetEvent(g_finished);
  return rc;
#else
  StartEndWatcher();
  std::signal(SIGINT, OnInterrupt);
  std::signal(SIGTERM, OnInterrupt);
  return Run(std::vector<std::string>(argv, argv + argc));
#endif
}

namespace {

int Run(const std::vector<std::string>& argv) {
  const int argc = static_cast<int>(argv.size());
  TCliOptions opt;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto value = [&](const char* name) -> std::string {
      if (i + 1 >= argc) {
        std::cerr << "missing value for " << name << std::endl;
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "-h" || a == "--help") {
      std::cout << Usage();
      return 0;
    } else if (a == "--version") {
      std::cout << "quendrel-cli " << QUENDREL_VERSION << std::endl;
      return 0;
    } else if (a == "--port") {
      opt.port = value("--port");
    } else if (a.rfind("--port=", 0) == 0) {
      opt.port = a.substr(7);
    } else if (a == "--virtual-phone") {
      opt.virtualPhone = true;
    } else if (a.rfind("--on-conflict=", 0) == 0) {
      opt.onConflict = a.substr(14);
      if (opt.onConflict != "skip" && opt.onConflict != "overwrite" &&
          !(opt.onConflict.rfind("rename:", 0) == 0 && opt.onConflict.size() > 7)) {
        std::cerr << "--on-conflict takes skip, overwrite or rename:NEWNAME" << std::endl;
        return 2;
      }
    } else if (a == "--to") {
      opt.to = value("--to");
    } else if (a == "--pc") {
      opt.pc = value("--pc");
    } else if (a == "--dry-run") {
      opt.dryRun = true;
    } else if (a == "--verify") {
      opt.verify = true;
    } else if (a == "--suites") {
      opt.suites = value("--suites");
    } else if (a == "--all") {
      opt.all = true;
    } else if (a == "--only-suitable") {
      opt.onlySuitable = true;
    } else if (a == "--yes" || a == "-y") {
      opt.yes = true;
    } else if (a == "-v" || a == "--verbose") {
      opt.verbose = true;
    } else if (a.size() > 1 && a[0] == '-' && a != "-") {
      std::cerr << "unknown option " << EscapedName(a) << "\n" << Usage();
      return 2;
    } else {
      args.push_back(a);
    }
  }
  if (args.empty()) {
    std::cerr << Usage();
    return 2;
  }
#ifdef QUENDREL_TEST_CLOCK
  // The tests' build only: their clock may run faster than the phone's delays.
  if (const char* scale = std::getenv("QUENDREL_TEST_TIME_SCALE")) opt.timeScale = std::atof(scale);
#endif
  int rc = 1;
  try {
    rc = RunCliCommand(opt, args);
  } catch (const std::exception& e) {
    std::cerr << EscapedName(e.what()) << std::endl;
  }
  if (g_interrupts > 0) {
    std::cerr << "Stopped" << std::endl;
    return 130;
  }
  return rc;
}

}  // namespace
