// Installation layout, the desktop start in a per-user folder, and the
// command line's advice when a port cannot be opened. Runs the built programs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/core/Config.h"
#include "app/core/PortAdvice.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/quendrel-pkg-XXXXXX";
    const char* made = mkdtemp(tmpl);
    if (made) path_ = made;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary) << text;
}

fs::path BinDir() {
  if (const char* env = std::getenv("QUENDREL_BIN_DIR")) return env;
  // tests/test_packaging inside the build folder.
  return fs::read_symlink("/proc/self/exe").parent_path().parent_path();
}

fs::path SourceDir() {
  std::ifstream cache(BinDir() / "CMakeCache.txt");
  std::string line;
  const std::string key = "Quendrel_SOURCE_DIR:STATIC=";
  while (std::getline(cache, line))
    if (line.rfind(key, 0) == 0) return line.substr(key.size());
  return {};
}

bool OnPath(const std::string& tool) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "");
  std::string dir;
  while (std::getline(dirs, dir, ':'))
    if (!dir.empty() && access((fs::path(dir) / tool).c_str(), X_OK) == 0) return true;
  return false;
}

struct TRun {
  int status = -1;  // exit status; -1 when killed or not started
  std::string out;
  std::string err;
};

// Runs argv[0] (searched on PATH) in cwd with env changes (nullopt unsets)
// and kills it after timeoutSec.
TRun RunProgram(const std::vector<std::string>& argv, const fs::path& cwd,
         const std::map<std::string, std::optional<std::string>>& env = {}, int timeoutSec = 60) {
  TRun result;
  TempDir io;
  const fs::path outPath = io.path() / "out", errPath = io.path() / "err";
  pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int in = ::open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || dup2(in, 0) < 0)
      _exit(126);
    if (chdir(cwd.c_str()) != 0) _exit(126);
    for (const auto& [name, value] : env) {
      if (value) setenv(name.c_str(), value->c_str(), 1);
      else unsetenv(name.c_str());
    }
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSec);
  int wstatus = 0;
  for (;;) {
    pid_t done = waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      ADD_FAILURE() << argv[0] << " did not finish within " << timeoutSec << " s";
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  result.out = ReadFile(outPath);
  result.err = ReadFile(errPath);
  return result;
}

// A clean environment for the programs: own HOME, no inherited XDG folders.
std::map<std::string, std::optional<std::string>> FreshEnv(const fs::path& home) {
  return {{"HOME", home.string()},
          {"XDG_DATA_HOME", std::nullopt},
          {"XDG_CONFIG_HOME", std::nullopt},
          {"XDG_RUNTIME_DIR", std::nullopt},
          {"QT_QPA_PLATFORM", std::string("offscreen")}};
}

// Width and height from a PNG's IHDR chunk; {0, 0} when it is not a PNG.
std::pair<unsigned, unsigned> PngSize(const fs::path& p) {
  const std::string d = ReadFile(p);
  if (d.size() < 24 || d.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || d.compare(12, 4, "IHDR") != 0)
    return {0, 0};
  auto be32 = [&](size_t at) {
    unsigned v = 0;
    for (size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(d[at + i]);
    return v;
  };
  return {be32(16), be32(20)};
}

// ---------------------------------------------------------------- advice text

TEST(PortOpenAdvice, NamesReasonAndFix) {
  struct Case {
    std::string port, device;
    int err;
    std::string wantStart;  // "" = no line at all
    std::string wantPart;
  };
  const Case cases[] = {
      {"/dev/ttyUSB0", "/dev/ttyUSB0", EACCES, "Permission denied opening /dev/ttyUSB0: ",
       "add yourself to the 'dialout' group (sudo usermod -aG dialout $USER) and log in again"},
      {"/dev/ttyACM0", "/dev/ttyACM0", EPERM, "Operation not permitted opening /dev/ttyACM0: ",
       "'dialout' group"},
      {"COM3", "/dev/ttyUSB1", EBUSY, "Device or resource busy opening /dev/ttyUSB1: ",
       "modem manager"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0", EWOULDBLOCK, "Port locked opening /dev/ttyUSB0: ",
       "another program holds the port"},
      {"/dev/ttyUSB7", "/dev/ttyUSB7", ENOENT, "No such file or directory opening /dev/ttyUSB7: ",
       "check the cable"},
      {"COM9", "", ENOENT, "No device for port COM9: ", "--port /dev/ttyUSB0"},
      {"/dev/ttyS0", "/dev/ttyS0", EIO, "Input/output error opening /dev/ttyS0", ""},
      {"/dev/ttyS0", "/dev/ttyS0", 0, "", ""},
      {"/dev/ttyS0", "/dev/ttyS0", -1, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port + " errno " + std::to_string(c.err));
    const std::string got = PortOpenAdvice(c.port, c.device, c.err);
    if (c.wantStart.empty()) {
      EXPECT_EQ(got, "");
      continue;
    }
    EXPECT_EQ(got.rfind(c.wantStart, 0), 0u) << got;
    EXPECT_NE(got.find(c.wantPart), std::string::npos) << got;
    EXPECT_EQ(got.find('\n'), std::string::npos) << "one line: " << got;
  }
  // The dialout fix belongs to permission errors only.
  EXPECT_EQ(PortOpenAdvice("/dev/x", "/dev/x", EBUSY).find("dialout"), std::string::npos);
}

// Windows error numbers (GetLastError of the open) choose the advice; the
// system's own text leads it.
TEST(PortOpenAdvice, WindowsErrorsNameReasonAndFix) {
  struct Case {
    std::string port;
    int err;
    std::string systemText, want;  // want "" = no line at all
  };
  const std::string held = "the port is most likely held by another program";
  const Case cases[] = {
      {"COM7", 2, "The system cannot find the file specified.\r\n",
       "The system cannot find the file specified opening COM7: no such port; look up its COM "
       "number in Device Manager (Ports (COM & LPT)) and check the cable"},
      {"COM7", 3, "The system cannot find the path specified.", "Device Manager"},
      {"COM3", 5, "Access is denied.\r\n", "Access is denied opening COM3: " + held},
      {"\\\\.\\COM12", 5, "Access is denied.", held},
      {"\\\\.\\Global\\Dev", 5, "Access is denied.",
       "Access is denied opening \\\\.\\Global\\Dev: this account may not use the device"},
      {"COM3", 32, "The process cannot access the file because it is being used by another process.",
       "another program holds the port; close it and try again"},
      {"COM3", 31, "A device attached to the system is not functioning.\r\n",
       "A device attached to the system is not functioning opening COM3"},
      {"COM3", 1234, "", "Windows error 1234 opening COM3"},
      {"COM3", 0, "The operation completed successfully.", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port + " error " + std::to_string(c.err));
    const std::string got = WinPortOpenAdvice(c.port, c.err, c.systemText);
    if (c.want.empty()) {
      EXPECT_EQ(got, "");
      continue;
    }
    if (c.want.find(" opening ") != std::string::npos) EXPECT_EQ(got.rfind(c.want, 0), 0u) << got;
    else EXPECT_NE(got.find(c.want), std::string::npos) << got;
    EXPECT_EQ(got.find_first_of("\r\n"), std::string::npos) << "one line: " << got;
    EXPECT_EQ(got.find("/dev/"), std::string::npos) << "Linux advice: " << got;
  }
}

// A second program holding the port: the command line prints the usual
// message and then the reason on the next line.
TEST(PortOpenAdvice, CliExplainsBusyAndMissingPort) {
  TempDir home;
  int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  int holder = ::open(slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

  struct Case {
    std::string device, advice;
  };
  const Case cases[] = {
      {slave, "Port locked opening " + slave + ": another program holds the port"},
      {"/dev/quendrel-no-such-port", "No such file or directory opening /dev/quendrel-no-such-port"},
  };
  const std::string cli = (BinDir() / "quendrel-cli").string();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    TRun r = RunProgram({cli, "--port", c.device, "at"}, home.path(), FreshEnv(home.path()));
    EXPECT_EQ(r.status, 1);
    const std::string head = "Unable to open ComPort!!\\nPlease change the Port NO.\n";
    const size_t at = r.err.find(head);
    ASSERT_NE(at, std::string::npos) << r.err;
    EXPECT_EQ(r.err.find(head, at + 1), std::string::npos) << "message shown twice:\n" << r.err;
    EXPECT_EQ(r.err.compare(at + head.size(), c.advice.size(), c.advice), 0) << r.err;
  }
  ::close(holder);
  ::close(master);
}

// ------------------------------------------------------- per-user program folder

TEST(DesktopStart, ProgramFolderFromEnvironment) {
  struct Case {
    const char* home;
    const char* xdg;
    std::string want;
  };
  const Case cases[] = {
      {"/home/ann", nullptr, "/home/ann/.local/share/quendrel/Program"},
      {"/home/ann/", "", "/home/ann/.local/share/quendrel/Program"},
      {"/home/ann", "/data/ann", "/data/ann/quendrel/Program"},
      {"/home/ann", "/data/ann//", "/data/ann/quendrel/Program"},
      {"/home/ann", "relative/share", "/home/ann/.local/share/quendrel/Program"},
      {"/", nullptr, "/.local/share/quendrel/Program"},
      {nullptr, "/xdg", "/xdg/quendrel/Program"},
      {"/home/ann", "/", "/quendrel/Program"},
      {nullptr, nullptr, ""},
      {"", nullptr, ""},
      {"relative/home", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.home ? c.home : "(unset)") + " | " + (c.xdg ? c.xdg : "(unset)"));
    EXPECT_EQ(UserProgramFolder(c.home, c.xdg), c.want);
  }
}

TEST(DesktopStart, EnterCreatesOnceAndKeepsUserIni) {
  TempDir root;
  const fs::path before = fs::current_path();
  const fs::path program = root.path() / "share/quendrel/Program";
  std::string error;

  ASSERT_TRUE(EnterUserProgramFolder(program.string(), &error)) << error;
  EXPECT_EQ(fs::current_path(), program);
  EXPECT_EQ(ReadFile(program / "Velko.ini"), "debugFlag=0\n");
  EXPECT_TRUE(fs::is_directory(root.path() / "share/quendrel/logs"));
  EXPECT_FALSE(fs::exists(program / "Velko.ini.part"));

  // The user's own settings survive later starts.
  WriteFile(program / "Velko.ini", "debugFlag=96\r\n");
  ASSERT_TRUE(EnterUserProgramFolder(program.string(), &error)) << error;
  EXPECT_EQ(ReadFile(program / "Velko.ini"), "debugFlag=96\r\n");

  // Something in the way of the folder: a reason, not a crash, and no chdir.
  fs::current_path(before);
  WriteFile(root.path() / "blocked", "x");
  error.clear();
  EXPECT_FALSE(EnterUserProgramFolder((root.path() / "blocked/Program").string(), &error));
  EXPECT_NE(error.find("Cannot create the program folder"), std::string::npos) << error;
  EXPECT_EQ(fs::current_path(), before);
  fs::create_directories(root.path() / "p2");
  WriteFile(root.path() / "logs", "a file where the logs folder goes");
  error.clear();
  EXPECT_FALSE(EnterUserProgramFolder((root.path() / "p2").string(), &error));
  EXPECT_NE(error.find("logs"), std::string::npos) << error;
  EXPECT_EQ(fs::current_path(), before);
}

// The program started as the desktop entry starts it, from a folder that has
// no ini, with a fresh HOME.
TEST(DesktopStart, WindowOpensInUserFolder) {
  TempDir home, elsewhere;
  const fs::path quendrel = BinDir() / "quendrel";
  ASSERT_TRUE(fs::exists(quendrel)) << quendrel;
  const fs::path base = home.path() / ".local/share/quendrel";

  TRun first = RunProgram({quendrel.string(), "--desktop", "--quit-after-start"}, elsewhere.path(),
                   FreshEnv(home.path()));
  EXPECT_EQ(first.status, 0) << first.err;
  EXPECT_NE(first.out.find("started"), std::string::npos) << first.out << first.err;
  EXPECT_EQ(first.err.find("Velko.ini"), std::string::npos) << first.err;
  EXPECT_EQ(ReadFile(base / "Program/Velko.ini"), "debugFlag=0\n");
  EXPECT_TRUE(fs::is_directory(base / "logs"));
  EXPECT_TRUE(fs::is_empty(elsewhere.path()));

  // The logs go beside the program folder: the window took its directories
  // from the folder it was moved to, and the user's ini is read, not replaced.
  WriteFile(base / "Program/Velko.ini", "debugFlag=96\n");
  TRun second = RunProgram({quendrel.string(), "--desktop", "--quit-after-start"}, elsewhere.path(),
                    FreshEnv(home.path()));
  EXPECT_EQ(second.status, 0) << second.err;
  EXPECT_EQ(second.err.find("fail"), std::string::npos) << second.err;
  EXPECT_TRUE(fs::exists(base / "logs/apProtocol.log"));
  EXPECT_TRUE(fs::exists(base / "logs/syncLogic.log"));
  EXPECT_EQ(ReadFile(base / "Program/Velko.ini"), "debugFlag=96\n");

  // XDG_DATA_HOME moves the folder.
  auto env = FreshEnv(home.path());
  env["XDG_DATA_HOME"] = (home.path() / "xdg").string();
  TRun xdg = RunProgram({quendrel.string(), "--desktop", "--quit-after-start"}, elsewhere.path(), env);
  EXPECT_EQ(xdg.status, 0) << xdg.err;
  EXPECT_TRUE(fs::exists(home.path() / "xdg/quendrel/Program/Velko.ini"));
}

TEST(DesktopStart, FailuresAreReported) {
  TempDir home, elsewhere;
  const fs::path quendrel = BinDir() / "quendrel";
  WriteFile(home.path() / "file-home", "");
  struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string home;
    std::string message;
  };
  const Case cases[] = {
      // Without the option the ini stays required in the working directory.
      {"no option", {"--quit-after-start"}, home.path().string(),
       "message box: Cannot open the settings file Velko.ini"},
      {"no option: how to start it", {"--quit-after-start"}, home.path().string(),
       "Start it from the desktop's menu, or with \"quendrel --desktop\""},
      {"home is a file", {"--desktop", "--quit-after-start"}, (home.path() / "file-home").string(),
       "message box: Cannot create the program folder"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> argv{quendrel.string()};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    TRun r = RunProgram(argv, elsewhere.path(), FreshEnv(c.home));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    EXPECT_EQ(r.out.find("started"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(home.path() / ".local/share/quendrel"));
}

// ------------------------------------------------------------ help and manual

// A manual line "quendrel-cli ... CMD ..." (roff's \- read as -).
bool ManHasExample(const std::string& man, const std::string& cmd) {
  std::istringstream lines(man);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("quendrel-cli ", 0) != 0) continue;
    std::istringstream words(line.substr(13));
    std::string w;
    // Options and their path values come first; the first other word is the command.
    while (words >> w) {
      if (w == cmd) return true;
      if (w.rfind("\\-", 0) != 0 && w[0] != '/') break;
    }
  }
  return false;
}

// Each command of the usage text has an example and a manual page entry.
TEST(CliHelp, CommandsHaveExamplesAndManualEntries) {
  TempDir home;
  TRun help = RunProgram({(BinDir() / "quendrel-cli").string(), "--help"}, home.path(), FreshEnv(home.path()));
  ASSERT_EQ(help.status, 0);
  const std::string man = ReadFile(SourceDir() / "packaging/quendrel-cli.1");
  ASSERT_FALSE(man.empty());

  std::istringstream lines(help.out);
  std::string line;
  bool inCommands = false;
  std::set<std::string> commands;
  while (std::getline(lines, line)) {
    if (line.rfind("Commands", 0) == 0) {
      inCommands = true;
      continue;
    }
    if (!inCommands) continue;
    if (line.empty()) break;
    std::istringstream words(line);
    std::string cmd;
    words >> cmd;
    commands.insert(cmd);
    SCOPED_TRACE(line);
    const size_t example = line.find("quendrel-cli ");
    ASSERT_NE(example, std::string::npos);
    EXPECT_NE(line.find(" " + cmd, example), std::string::npos) << "example does not run " << cmd;
    const bool inMan = man.find("\n.B " + cmd + "\n") != std::string::npos ||
                       man.find("\n.B " + cmd + " ") != std::string::npos ||
                       man.find("\n.BI " + cmd + " ") != std::string::npos;
    EXPECT_TRUE(inMan) << cmd << " has no manual entry";
    EXPECT_TRUE(ManHasExample(man, cmd)) << cmd << " has no example in the manual";
  }
  EXPECT_EQ(commands, (std::set<std::string>{"at", "ls", "put", "get", "rm", "trash", "scan", "fit", "midlets",
                                             "install", "uninstall", "backup", "restore"}));

  TRun gui = RunProgram({(BinDir() / "quendrel").string(), "--help"}, home.path(), FreshEnv(home.path()));
  EXPECT_EQ(gui.status, 0);
  EXPECT_NE(gui.out.find("--desktop"), std::string::npos) << gui.out;
  EXPECT_EQ(gui.out.find("--quit-after-start"), std::string::npos) << "test option is hidden";
}

// ------------------------------------------------------------------- install

TEST(StagedInstall, StagedLayoutValidates) {
  for (const char* tool : {"cmake", "desktop-file-validate", "appstreamcli"})
    ASSERT_TRUE(OnPath(tool)) << tool << " is missing (scripts/packages.txt lists its package)";
  TempDir stage;
  const fs::path prefix = stage.path() / "usr";
  TRun install = RunProgram({"cmake", "--install", BinDir().string(), "--prefix", prefix.string()},
                     stage.path(), {}, 120);
  ASSERT_EQ(install.status, 0) << install.out << install.err;

  std::vector<std::string> expected = {
      "bin/quendrel",
      "bin/quendrel-cli",
      "share/applications/quendrel.desktop",
      "share/metainfo/io.quendrel.Quendrel.metainfo.xml",
      "share/icons/hicolor/scalable/apps/quendrel.svg",
      "share/man/man1/quendrel-cli.1",
      "share/quendrel/Velko.ini",
      "share/quendrel/samples/pc/snake.jad",
      "share/quendrel/samples/phone/4/Snake Run/snake.jar",
  };
  const unsigned sizes[] = {16, 22, 24, 32, 48, 64, 128, 256};
  for (unsigned s : sizes) {
    const std::string dir = std::to_string(s) + "x" + std::to_string(s);
    expected.push_back("share/icons/hicolor/" + dir + "/apps/quendrel.png");
  }
  for (const std::string& f : expected) EXPECT_TRUE(fs::is_regular_file(prefix / f)) << f;
  for (const char* exe : {"bin/quendrel", "bin/quendrel-cli"})
    EXPECT_EQ(access((prefix / exe).c_str(), X_OK), 0) << exe;

  for (unsigned s : sizes) {
    const std::string dir = std::to_string(s) + "x" + std::to_string(s);
    EXPECT_EQ(PngSize(prefix / ("share/icons/hicolor/" + dir + "/apps/quendrel.png")),
              std::make_pair(s, s))
        << dir;
  }

  // Every sample file is there, the generator script is not.
  const fs::path samples = SourceDir() / "virtualphone/samples";
  ASSERT_TRUE(fs::is_directory(samples));
  size_t sourceCount = 0;
  for (const auto& e : fs::recursive_directory_iterator(samples)) {
    if (!e.is_regular_file() || e.path().extension() == ".py") continue;
    ++sourceCount;
    const fs::path rel = fs::relative(e.path(), samples);
    EXPECT_EQ(ReadFile(prefix / "share/quendrel/samples" / rel), ReadFile(e.path())) << rel;
  }
  EXPECT_GT(sourceCount, 0u);
  EXPECT_FALSE(fs::exists(prefix / "share/quendrel/samples/make_samples.py"));
  EXPECT_EQ(ReadFile(prefix / "share/quendrel/Velko.ini"), "debugFlag=0\n");

  // The desktop entry starts the program in the user's folder, with an icon that is installed.
  const std::string desktop = ReadFile(prefix / "share/applications/quendrel.desktop");
  EXPECT_NE(desktop.find("\nName=Quendrel\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nExec=quendrel --desktop\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nIcon=quendrel\n"), std::string::npos);
  EXPECT_NE(desktop.find("\nCategories=Utility;TelephonyTools;\n"), std::string::npos);
  const std::string meta = ReadFile(prefix / "share/metainfo/io.quendrel.Quendrel.metainfo.xml");
  EXPECT_NE(meta.find("<launchable type=\"desktop-id\">quendrel.desktop</launchable>"),
            std::string::npos);

  TRun dfv = RunProgram({"desktop-file-validate", (prefix / "share/applications/quendrel.desktop").string()},
                 stage.path());
  EXPECT_EQ(dfv.status, 0) << dfv.out << dfv.err;
  EXPECT_EQ(dfv.out + dfv.err, "") << "warnings count too";
  TRun asv = RunProgram({"appstreamcli", "validate", "--no-net",
                  (prefix / "share/metainfo/io.quendrel.Quendrel.metainfo.xml").string()},
                 stage.path());
  EXPECT_EQ(asv.status, 0) << asv.out << asv.err;

  if (OnPath("groff")) {
    TRun man = RunProgram({"groff", "-man", "-ww", "-z", "-Tutf8",
                    (prefix / "share/man/man1/quendrel-cli.1").string()},
                   stage.path());
    EXPECT_EQ(man.status, 0);
    EXPECT_EQ(man.err, "") << "manual page warnings";
  }

  // The installed command line runs from its new place.
  TRun version = RunProgram({(prefix / "bin/quendrel-cli").string(), "--version"}, stage.path());
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("quendrel-cli ", 0), 0u) << version.out;

  // The installed programs' virtual phone takes the installed samples, and
  // the window comes up connected on an English system.
  fs::copy_file(prefix / "share/quendrel/samples/phone/3/sun.gif", prefix / "share/quendrel/samples/phone/3/staged.gif");
  TempDir home;
  auto env = FreshEnv(home.path());
  env["LANG"] = "en_US.UTF-8";
  env["LC_ALL"] = env["LANGUAGE"] = env["LC_MESSAGES"] = std::nullopt;
  TRun listing = RunProgram({(prefix / "bin/quendrel-cli").string(), "--virtual-phone", "ls", "3"}, home.path(), env);
  EXPECT_NE(listing.out.find("staged.gif\t"), std::string::npos) << listing.out << listing.err;
  TRun window = RunProgram({(prefix / "bin/quendrel").string(), "--desktop", "--virtual-phone", "--quit-after-start"},
                           home.path(), env);
  EXPECT_EQ(window.status, 0) << window.err;
  EXPECT_NE(window.out.find("\nStatus: Connection\n"), std::string::npos) << window.out << window.err;
}

}  // namespace
