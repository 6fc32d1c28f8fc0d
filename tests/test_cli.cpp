// quendrel-cli end to end against the virtual phone on a pseudo-terminal.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "support/CliRun.h"
#include "support/ImageMagick.h"
#include "support/TempDir.h"
#include "support/ZipFile.h"
#include "virtualphone/PhoneSim.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

struct CliPhone {
  explicit CliPhone(phonesim::Options o = {}) {
    o.contentDir = home.path() + "/phone";
    for (const char* f : {"1", "2", "3", "4"}) std::filesystem::create_directories(o.contentDir + "/" + f);
    sim = std::make_unique<phonesim::PhoneSim>(o);
    sim->Start();
  }
  TempDir home;
  std::unique_ptr<phonesim::PhoneSim> sim;
};

// The clock of runs whose phone answers and never asks for a packet again:
// only settle times, pauses between files and generous waits run on it,
// as for the in-process rigs. A run that shows a transfer's length keeps
// the default.
constexpr double kAnswered = 0.02;

TEST(Cli, AtAgainstThePhoneSucceeds) {
  CliPhone p;
  CliResult r = RunCli(p.home, "--port " + p.sim->DevicePath() + " at", nullptr, kAnswered);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(p.sim->ReceivedLines(), std::vector<std::string>{"AT"});
}

TEST(Cli, SilentPhoneGivesConnectionTimeout) {
  phonesim::Options o;
  o.silentPrefix = "AT";
  CliPhone p(o);
  CliResult r = RunCli(p.home, "--port " + p.sim->DevicePath() + " at", nullptr, 0.02);  // only the time-out to wait
  EXPECT_NE(r.status, 0);
  // The time-out text, then the raw reply as one line (line ends written as
  // \r\n), then the port that stayed silent.
  EXPECT_EQ(r.err, "Connection Timeout\nAT\\r\\n\nNo answer on " + p.sim->DevicePath() +
                       ": check that the phone is on, that its cable is in, and that " + p.sim->DevicePath() +
                       " is the phone's port (--port NAME)\n");
}

TEST(Cli, MissingPortGivesTheOpenMessage) {
  TempDir home;
  CliResult r = RunCli(home, "--port /dev/does-not-exist at", nullptr, kAnswered);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "Unable to open ComPort!!\\nPlease change the Port NO.");
}

TEST(Cli, UsageErrors) {
  TempDir home;
  const char* cases[] = {"", "ls", "ls 7", "put 1", "get 9 x", "rm", "frobnicate", "--on-conflict=maybe ls 1",
                         "backup extra", "restore", "restore no-such-folder", "restore --suites"};
  for (const char* c : cases) EXPECT_EQ(RunCli(home, c, nullptr, kAnswered).status, 2) << c;
  // The help names this system's files: the settings and the transfer log.
  CliResult help = RunCli(home, "--help", nullptr, kAnswered);
  EXPECT_EQ(help.status, 0);
  for (const std::string& line : {"Settings: " + home.path() + "/config/Velko/Velko Sync Tool.conf",
                                  "Transfer log: " + home.path() + "/LAD.log", std::string("  --virtual-phone ")})
    EXPECT_NE(help.out.find(line), std::string::npos) << line << "\n" << help.out;
}

TEST(Cli, PutListGetRemove) {
  CliPhone p;
  std::string port = "--port " + p.sim->DevicePath() + " ";
  p.home.Write("pc/sun.gif", std::string("GIF89a") + std::string(200, '\x11'));
  CliResult put = RunCli(p.home, port + "put 3 pc/sun.gif", nullptr, kAnswered);
  ASSERT_EQ(put.status, 0) << put.err;
  EXPECT_EQ(Slurp(p.home.File("phone/3/sun.gif")), p.home.Read("pc/sun.gif"));

  CliResult ls = RunCli(p.home, port + "ls 3", nullptr, kAnswered);
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_EQ(ls.out, "sun.gif\t206\n");

  std::filesystem::create_directories(p.home.File("got"));
  CliResult get = RunCli(p.home, port + "get 3 sun.gif --to got", nullptr, kAnswered);
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(p.home.Read("got/sun.gif"), p.home.Read("pc/sun.gif"));

  // A second fetch collides: skip keeps the file, rename stores a copy;
  // without a policy or a terminal to ask, nothing was chosen: a failure.
  p.home.Write("got/sun.gif", "mine");
  EXPECT_EQ(RunCli(p.home, port + "get 3 sun.gif --to got", nullptr, kAnswered).status, 1);
  EXPECT_EQ(p.home.Read("got/sun.gif"), "mine");
  EXPECT_EQ(RunCli(p.home, port + "--on-conflict=skip get 3 sun.gif --to got", nullptr, kAnswered).status, 0);
  EXPECT_EQ(p.home.Read("got/sun.gif"), "mine");
  EXPECT_EQ(RunCli(p.home, port + "--on-conflict=rename:sun2.gif get 3 sun.gif --to got", nullptr, kAnswered).status, 0);
  EXPECT_EQ(p.home.Read("got/sun2.gif"), p.home.Read("pc/sun.gif"));
  EXPECT_EQ(p.home.Read("got/sun.gif"), "mine");

  CliResult rm = RunCli(p.home, port + "rm 3 sun.gif", nullptr, kAnswered);
  EXPECT_EQ(rm.status, 0) << rm.err;
  EXPECT_FALSE(std::filesystem::exists(p.home.File("phone/3/sun.gif")));
  CliResult empty = RunCli(p.home, port + "ls 3", nullptr, kAnswered);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(empty.err, "No Files on Mobile\n");
}

// A transfer longer than a second on the link's clock gets a line with its
// number of the total and its rate; a file that fails is named after the
// reason, which names none.
TEST(Cli, LongTransfersShowProgressAndFailuresNameTheFile) {
  CliPhone p;
  const std::string port = "--port " + p.sim->DevicePath() + " ";
  p.home.Write("pc/big.bin", std::string(3000, 'b'));
  p.home.Write("pc/a.gif", std::string("GIF89a") + std::string(1500, 'a'));
  std::filesystem::create_directories(p.home.File("got"));
  auto progress = [](const std::string& err) {
    std::vector<std::string> lines;
    std::istringstream in(std::regex_replace(err, std::regex(", [0-9]+ bytes/s"), ", N bytes/s"));
    for (std::string line; std::getline(in, line);)
      if (line.find(" bytes/s") != std::string::npos) lines.push_back(line);
    return lines;
  };
  CliResult put = RunCli(p.home, port + "put 3 pc/big.bin pc/a.gif");
  ASSERT_EQ(put.status, 0) << put.err;
  EXPECT_EQ(progress(put.err),
            (std::vector<std::string>{"sent 1/2 big.bin 3000 bytes, N bytes/s", "sent 2/2 a.gif 1506 bytes, N bytes/s"}));
  CliResult get = RunCli(p.home, port + "get 3 big.bin --to got");
  ASSERT_EQ(get.status, 0) << get.err;
  EXPECT_EQ(progress(get.err), std::vector<std::string>{"fetched 1/1 big.bin 3000 bytes, N bytes/s"});

  const struct { const char* command; const char* err; } failed[] = {
      {"rm 3 gone.gif", "File_Remove_ERR\nNot removed: gone.gif\n"},
      {"get 3 gone.gif --to got", "Download_Error\nNot fetched: gone.gif\n"},
  };
  for (const auto& f : failed) {
    CliResult r = RunCli(p.home, port + f.command);
    EXPECT_EQ(r.status, 1) << f.command;
    EXPECT_EQ(r.err, f.err) << f.command;
  }
}

// The command line on a terminal whose input has ended (Ctrl+D typed ahead):
// what the terminal showed and the exit status.
CliResult RunCliAtEndOfInput(const TempDir& home, const std::vector<std::string>& args) {
  CliResult r;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return r;
  const std::string slave = ptsname(master);
  const pid_t pid = fork();
  if (pid == 0) {
    setsid();
    const int fd = open(slave.c_str(), O_RDWR);
    for (int k = 0; k < 3; ++k) dup2(fd, k);
    for (int k = 3; k < 4096; ++k) close(k);
    if (chdir(home.path().c_str()) != 0) _exit(127);
    setenv("HOME", home.path().c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home.path() + "/config").c_str(), 1);
    setenv("QUENDREL_NO_SYSTEM_PORTS", "1", 1);
    setenv("QUENDREL_TEST_TIME_SCALE", std::to_string(kCliTimeScale).c_str(), 1);
    const std::string path = CliPath();
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(path.c_str(), argv.data());
    _exit(127);
  }
  const char eof = 4;  // the terminal's end-of-input character
  if (write(master, &eof, 1) != 1) return r;
  char buf[4096];
  for (ssize_t n; (n = read(master, buf, sizeof buf)) > 0;) r.err.append(buf, static_cast<size_t>(n));
  int st = 0;
  waitpid(pid, &st, 0);
  close(master);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

// A clash asked on a terminal whose input has ended is skipped and the
// command fails: nobody chose to leave the file. The next file still goes.
TEST(Cli, AClashAnsweredByTheEndOfInputIsSkippedAndNotDone) {
  CliPhone p;
  p.home.Write("phone/3/sun.gif", "theirs");
  p.home.Write("pc/sun.gif", "mine");
  // moon.gif, on one side only, follows sun.gif.
  const struct { std::vector<std::string> command; const char *kept, *from, *next; } rows[] = {
      {{"put", "3", "pc/sun.gif", "pc/moon.gif"}, "phone/3/sun.gif", "pc/moon.gif", "phone/3/moon.gif"},
      {{"get", "3", "sun.gif", "moon.gif", "--to", "pc"}, "pc/sun.gif", "phone/3/moon.gif", "pc/moon.gif"},
  };
  for (const auto& row : rows) {
    p.home.Write(row.from, "moon");
    std::filesystem::remove(p.home.File(row.next));
    std::vector<std::string> args{"--port", p.sim->DevicePath()};
    args.insert(args.end(), row.command.begin(), row.command.end());
    const std::string before = p.home.Read(row.kept);
    CliResult r = RunCliAtEndOfInput(p.home, args);
    EXPECT_EQ(r.status, 1) << row.command[0] << r.err;
    EXPECT_NE(r.err.find("Overwrite sun.gif? (end of input: skipped)"), std::string::npos) << r.err;
    EXPECT_EQ(p.home.Read(row.kept), before) << row.command[0];
    EXPECT_EQ(p.home.Read(row.next), "moon") << row.command[0];
  }
}

// A phone that ignores letter case holds sun.gif: SUN.GIF sent there is
// the same file, for the clash and for the check that the phone kept it.
TEST(Cli, APutInAnotherLetterCaseMeetsThePhonesFile) {
  phonesim::Options o;
  o.caseBlind = true;
  CliPhone p(o);
  p.home.Write("pc/SUN.GIF", "new");
  const struct { const char* policy; const char* onPhone; } rows[] = {{"skip", "old"}, {"overwrite", "new"}};
  for (const auto& row : rows) {
    p.home.Write("phone/3/sun.gif", "old");
    CliResult put = RunCli(p.home, "--port " + p.sim->DevicePath() + " --on-conflict=" + row.policy + " put 3 pc/SUN.GIF",
                           nullptr, kAnswered);
    EXPECT_EQ(put.status, 0) << row.policy << put.err;
    EXPECT_EQ(p.home.Read("phone/3/sun.gif"), row.onPhone) << row.policy;
  }
}

// Names are one escaped field each, sizes keep their digits past 32 bits.
TEST(Cli, LsEscapesNamesAndNamesSizesPast32Bits) {
  CliPhone p;
  p.home.Write("phone/3/a\tb.gif", "x");
  p.home.Write("phone/3/c\nd.gif", "x");
  p.home.Write("phone/3/e\x1b[2Jf.gif", "x");
  p.home.Write("phone/3/g\\h.gif", "x");
  p.home.Write("phone/3/big.bin", "");
  std::filesystem::resize_file(p.home.File("phone/3/big.bin"), 5000000000ULL);  // sparse
  CliResult ls = RunCli(p.home, "--port " + p.sim->DevicePath() + " ls 3", nullptr, kAnswered);
  // A size no fetch could be bounded by is named apart.
  EXPECT_EQ(ls.status, 1) << ls.err;
  EXPECT_EQ(ls.err, "Unreadable size in the phone's listing: big.bin (5000000000)\n");
  EXPECT_EQ(ls.out, "a\\tb.gif\t1\nc\\nd.gif\t1\ne\\x1b[2Jf.gif\t1\ng\\\\h.gif\t1\n");
}

// Without a listing to check against, put overwrites only when told to.
TEST(Cli, PutAfterAFailedListingOverwritesOnlyWhenTold) {
  phonesim::Options o;
  o.errorPrefix = "AT*FLIST?";
  CliPhone p(o);
  p.home.Write("pc/sun.gif", "new");
  // The file sent under the overwrite policy is not confirmed either: the
  // phone's list, which would show it kept, cannot be read.
  const struct { const char* options; int status; const char* onPhone; } rows[] = {
      {"", 1, "old"}, {"--on-conflict=skip ", 1, "old"}, {"--on-conflict=overwrite ", 1, "new"}};
  for (const auto& r : rows) {
    p.home.Write("phone/3/sun.gif", "old");
    CliResult put = RunCli(p.home, "--port " + p.sim->DevicePath() + " " + r.options + "put 3 pc/sun.gif", nullptr, kAnswered);
    EXPECT_EQ(put.status, r.status) << r.options << put.err;
    EXPECT_EQ(p.home.Read("phone/3/sun.gif"), r.onPhone) << r.options;
  }
}

TEST(Cli, ScanListsWhatThePhoneTakes) {
  TempDir home;
  home.Write("pics/a.wbmp", "x");
  home.Write("pics/b.txt", "hello");
  home.Write("pics/c.bmp", std::string("BM") + std::string(16, '\0') + std::string("\x10\0\0\0\x10\0\0\0", 8) +
                               std::string(40, '\0'));
  CliResult r = RunCli(home, "scan 3 pics", nullptr, kAnswered);
  EXPECT_EQ(r.status, 0) << r.err;
  // Directory order is the file system's: compare as a set of lines.
  EXPECT_NE(r.out.find("a.wbmp\t1\n"), std::string::npos);
  EXPECT_NE(r.out.find("c.bmp\t66\n"), std::string::npos);
  EXPECT_EQ(r.out.find("b.txt"), std::string::npos);
  CliResult none = RunCli(home, "scan 1 pics", nullptr, kAnswered);
  EXPECT_EQ(none.out, "");
  EXPECT_EQ(none.err, "No suitable file in this folder\n");
  // --all adds the others after the listed ones, each with its reason.
  CliResult all = RunCli(home, "scan --all 3 pics", nullptr, kAnswered);
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_NE(all.out.find("a.wbmp\t1\n"), std::string::npos);
  EXPECT_NE(all.out.find("b.txt\t5\tnot a picture this phone takes (unknown type)\n"), std::string::npos);
  EXPECT_GT(all.out.find("b.txt"), all.out.find("c.bmp"));
  // A damaged GIF is one more unsuitable file; the others are still judged.
  home.Write("pics/d.gif", "GIF89a" + std::string("\x0a\0\x0a\0\x80\0\0", 7));
  CliResult damaged = RunCli(home, "scan --all 3 pics", nullptr, kAnswered);
  EXPECT_EQ(damaged.status, 0) << damaged.err;
  EXPECT_NE(damaged.out.find("c.bmp\t66\n"), std::string::npos);
  EXPECT_NE(damaged.out.find("d.gif\t13\tdamaged GIF\n"), std::string::npos) << damaged.out;
}

TEST(Cli, FitMakesACopyOrSaysWhyNot) {
  TempDir home;
  REQUIRE_IMAGEMAGICK();
  ASSERT_EQ(std::system(("convert -size 900x300 xc:orange '" + home.File("pic.png") + "'").c_str()), 0);
  std::filesystem::create_directories(home.File("out"));
  CliResult r = RunCli(home, "fit pic.png --to out", nullptr, kAnswered);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, home.File("out/pic-fit.jpg") + "\n");
  CliResult scan = RunCli(home, "scan 3 out", nullptr, kAnswered);
  EXPECT_EQ(scan.out.substr(0, scan.out.find('\t')), "pic-fit.jpg");
  home.Write("notes.txt", "hello");
  CliResult refused = RunCli(home, "fit notes.txt", nullptr, kAnswered);
  EXPECT_EQ(refused.status, 1);
  EXPECT_EQ(refused.err, "notes.txt: cannot be fitted: not a picture that can be read\n");
  EXPECT_EQ(RunCli(home, "fit", nullptr, kAnswered).status, 2);
}

}  // namespace

namespace {

void WriteSuite(const TempDir& dir, const std::string& base, const std::string& name, const std::string& version,
                const std::string& jar) {
  dir.Write("pc/" + base + ".jar", jar);
  dir.Write("pc/" + base + ".jad", "MIDlet-Name: " + name + "\r\nMIDlet-Version: " + version +
                                       "\r\nMIDlet-Vendor: Us\r\nMIDlet-Jar-URL: " + base +
                                       ".jar\r\nMIDlet-Jar-Size: " + std::to_string(jar.size()) + "\r\n");
}

TEST(Cli, MidletInstallUpdateUninstall) {
  CliPhone p;
  std::string port = "--port " + p.sim->DevicePath() + " ";
  WriteSuite(p.home, "game", "Game", "1.0", std::string(300, 'J'));

  CliResult list = RunCli(p.home, port + "midlets --pc pc", nullptr, kAnswered);
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out, "PC\tGame\t1.0\t300\t[_]\n");

  CliResult inst = RunCli(p.home, port + "install pc game.jad", nullptr, kAnswered);
  ASSERT_EQ(inst.status, 0) << inst.err;
  list = RunCli(p.home, port + "midlets --pc pc", nullptr, kAnswered);
  EXPECT_EQ(list.out, "Game\t1.0\t300\nPC\tGame\t1.0\t300\t[V]\n");
  // Installing the same version again is refused with the page's message.
  inst = RunCli(p.home, port + "install pc game.jad", nullptr, kAnswered);
  EXPECT_EQ(inst.status, 1);
  EXPECT_NE(inst.err.find("MIDlet already exists on Phone"), std::string::npos);

  // A newer version on the PC is an update: not confirmed without a terminal or --yes.
  WriteSuite(p.home, "game", "Game", "1.1", std::string(320, 'K'));
  CliResult upd = RunCli(p.home, port + "install pc game.jad", nullptr, kAnswered);
  EXPECT_EQ(upd.status, 1);
  upd = RunCli(p.home, port + "--yes install pc game.jad", nullptr, kAnswered);
  ASSERT_EQ(upd.status, 0) << upd.err;
  list = RunCli(p.home, port + "midlets", nullptr, kAnswered);
  EXPECT_EQ(list.out, "Game\t1.1\t320\n");

  CliResult un = RunCli(p.home, port + "uninstall Game", nullptr, kAnswered);
  EXPECT_EQ(un.status, 0) << un.err;
  list = RunCli(p.home, port + "midlets", nullptr, kAnswered);
  EXPECT_EQ(list.status, 0);
  EXPECT_EQ(list.out, "");
  EXPECT_EQ(RunCli(p.home, port + "uninstall Game", nullptr, kAnswered).status, 1);
  // A PC folder that cannot be read is a failure, not an empty list.
  list = RunCli(p.home, port + "midlets --pc no-such-folder", nullptr, kAnswered);
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(list.err, "Unable to open directory\n");

  // An archive without a descriptor: listed from its manifest, installed by its name.
  std::filesystem::create_directories(p.home.File("jars"));
  ASSERT_TRUE(WriteZip(p.home.File("jars/solo.jar"),
                       {{"META-INF/MANIFEST.MF", "MIDlet-Name: Solo\r\nMIDlet-Version: 3.0\nMIDlet-Vendor: Us\n"}}));
  const std::string soloSize = std::to_string(std::filesystem::file_size(p.home.File("jars/solo.jar")));
  list = RunCli(p.home, port + "midlets --pc jars", nullptr, kAnswered);
  EXPECT_EQ(list.out, "PC\tSolo\t3.0\t" + soloSize + "\t[_]\n");
  inst = RunCli(p.home, port + "install jars solo.jar", nullptr, kAnswered);
  ASSERT_EQ(inst.status, 0) << inst.err;
  list = RunCli(p.home, port + "midlets --pc jars", nullptr, kAnswered);
  EXPECT_EQ(list.out, "Solo\t3.0\t" + soloSize + "\nPC\tSolo\t3.0\t" + soloSize + "\t[V]\n");

  // A size the phone lists past 32 bits is the phone's fault, and named.
  WriteSuite(p.home, "big", "Big", "1.0", "J");
  std::filesystem::create_directories(p.home.File("phone/4/big"));
  for (const char* ext : {".jad", ".jar"})
    std::filesystem::rename(p.home.File(std::string("pc/big") + ext), p.home.File(std::string("phone/4/big/big") + ext));
  std::filesystem::resize_file(p.home.File("phone/4/big/big.jar"), 3000000000ULL);  // sparse
  list = RunCli(p.home, port + "midlets", nullptr, kAnswered);
  EXPECT_EQ(list.status, 1);
  EXPECT_EQ(list.err, "The phone's suite list cannot be read: suite Big is listed with the size '3000000000', which "
                      "is not a whole number within 32 bits\n");
  // A backup names it alike.
  const auto bk = RunCli(p.home, port + "backup --to bk", nullptr, kAnswered);
  EXPECT_NE(bk.err.find("suite Big is listed with the size '3000000000'"), std::string::npos) << bk.err;
}

}  // namespace

namespace {

// A suite is found by its whole name, never by one that begins another's.
TEST(Cli, UninstallTakesOnlyTheSuiteOfThatWholeName) {
  CliPhone p;
  const std::string port = "--port " + p.sim->DevicePath() + " ";
  for (const auto& [base, name] : {std::pair{"snake", "Snake"}, std::pair{"run", "Snake Run"}}) {
    WriteSuite(p.home, base, name, "1.0", std::string(100, 'J'));
    std::filesystem::create_directories(p.home.File("phone/4/" + std::string(base)));
    for (const char* ext : {".jad", ".jar"})
      std::filesystem::rename(p.home.File("pc/" + std::string(base) + ext),
                              p.home.File("phone/4/" + std::string(base) + "/" + base + ext));
  }
  struct Row {
    const char* name;
    int status;
    std::string err, left;  // what 'midlets' lists afterwards
  };
  for (const Row& row : {Row{"Snak", 1, "no suite named Snak on the phone\n", "Snake\t1.0\t100\nSnake Run\t1.0\t100\n"},
                         Row{"Snake", 0, "", "Snake Run\t1.0\t100\n"},
                         Row{"Snake", 1, "no suite named Snake on the phone\n", "Snake Run\t1.0\t100\n"}}) {
    SCOPED_TRACE(row.name);
    CliResult un = RunCli(p.home, port + "uninstall '" + row.name + "'", nullptr, kAnswered);
    EXPECT_EQ(un.status, row.status) << un.err;
    EXPECT_EQ(un.err, row.err);
    CliResult list = RunCli(p.home, port + "midlets", nullptr, kAnswered);
    EXPECT_EQ(list.status, 0) << list.err;
    // The phone lists in an order of its own.
    std::vector<std::string> names;
    std::istringstream lines(list.out);
    for (std::string l; std::getline(lines, l);) names.push_back(l + "\n");
    std::sort(names.begin(), names.end());
    std::string sorted;
    for (const std::string& n : names) sorted += n;
    EXPECT_EQ(sorted, row.left);
  }
}

TEST(Cli, ReadsTheIniWhenThereIsOne) {
  CliPhone p;
  std::string port = "--port " + p.sim->DevicePath() + " ";
  // Run from <home>/Program with debugFlag=96: both start-up logs open under <home>/logs.
  p.home.Write("Program/Velko.ini", "debugFlag=96\n");
  std::filesystem::create_directories(p.home.File("logs"));
  std::string cmd = "cd '" + p.home.File("Program") + "' && HOME='" + p.home.path() + "' XDG_CONFIG_HOME='" +
                    p.home.path() + "/config' QUENDREL_NO_SYSTEM_PORTS=1 QUENDREL_TEST_TIME_SCALE=0.05 '" + CliPath() + "' " + port +
                    "at >/dev/null 2>'" + p.home.File("err.txt") + "' </dev/null";
  int st = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << p.home.Read("err.txt");
  EXPECT_TRUE(std::filesystem::exists(p.home.File("logs/apProtocol.log")));
  EXPECT_TRUE(std::filesystem::exists(p.home.File("logs/syncLogic.log")));
  // Without a logs folder: the window's error texts, and the command still works.
  std::filesystem::remove_all(p.home.File("logs"));
  st = std::system(cmd.c_str());
  EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0);
  EXPECT_EQ(p.home.Read("err.txt"), "open apProtocol.log fail\nopen syncLogic.log fail\n");
  // An ini that is a pipe is named, not waited on, and the command works.
  ASSERT_EQ(mkfifo(p.home.File("Velko.ini").c_str(), 0600), 0);
  CliResult piped = RunCli(
      p.home, port + "at",
      [](pid_t pid) {
        // A start held by the pipe heeds no termination request: it is
        // killed after a while, and fails below.
        siginfo_t info{};
        for (int i = 0; i < 500; ++i) {
          if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid != 0) return;
          usleep(20000);
        }
        kill(pid, SIGKILL);
      },
      kAnswered);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.err, "Cannot open the settings file Velko.ini: not a regular file\n");
}


}  // namespace

// ---- backup and restore ----

namespace fs = std::filesystem;

// The sample phone's files, and names of every kind the phone allows.
fs::path Samples() {
  std::ifstream cache(fs::path(CliPath()).parent_path() / "CMakeCache.txt");
  const std::string key = "Quendrel_SOURCE_DIR:STATIC=";
  fs::path source;
  for (std::string line; std::getline(cache, line);)
    if (line.rfind(key, 0) == 0) source = line.substr(key.size());
  return source / "virtualphone/samples";
}

void FillPhone(const TempDir& home) {
  const fs::path samples = Samples() / "phone";
  fs::copy(samples, home.File("phone"), fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  fs::copy_file(samples / "1/scale.mid", home.File("phone/1/ERROR.mid"));
  fs::copy_file(samples / "2/blink.gif", home.File("phone/2/blink [copy] {2}.gif"));
  fs::copy_file(samples / "3/sun.gif", home.File("phone/3/OK (2).gif"));
  fs::copy_file(samples / "3/photo.jpg", home.File("phone/3/+CME ERROR; 50% & more.jpg"));
}

// Phone folder (1..3) -> its files' bytes by name.
std::map<std::string, std::string> PhoneFiles(const TempDir& home) {
  std::map<std::string, std::string> files;
  for (const char* f : {"1", "2", "3"})
    for (const auto& e : fs::directory_iterator(home.File(std::string("phone/") + f)))
      files[std::string(f) + "/" + e.path().filename().string()] = Slurp(e.path().string());
  return files;
}

std::map<std::string, std::string> BackupFiles(const std::string& folder) {
  std::map<std::string, std::string> files;
  const char* names[] = {"", "melodies", "animations", "pictures"};
  for (int f = 1; f <= 3; ++f)
    for (const auto& e : fs::directory_iterator(folder + "/" + names[f]))
      files[std::to_string(f) + "/" + e.path().filename().string()] = Slurp(e.path().string());
  return files;
}

std::vector<std::string> Entries(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string LastLine(const std::string& text) {
  std::string t = text;
  if (!t.empty() && t.back() == '\n') t.pop_back();
  return t.substr(t.rfind('\n') == std::string::npos ? 0 : t.rfind('\n') + 1);
}

bool SumsCheck(const std::string& folder) {
  return std::system(("cd '" + folder + "' && sha256sum -c --quiet SHA256SUMS >/dev/null").c_str()) == 0;
}

TEST(CliBackup, BackupIsThePhonesContentAndRestoresOntoAnEmptiedPhone) {
  CliPhone p;
  FillPhone(p.home);
  const auto original = PhoneFiles(p.home);
  const std::string port = "--port " + p.sim->DevicePath() + " ";
  CliResult b = RunCli(p.home, port + "backup --to 'my backups'", nullptr, kAnswered);
  ASSERT_EQ(b.status, 0) << b.err;
  const std::string folder = LastLine(b.out);
  EXPECT_EQ(fs::path(folder).parent_path(), fs::path(p.home.File("my backups")));
  EXPECT_EQ(fs::path(folder).filename().string().substr(0, 16), "quendrel-backup-");
  EXPECT_EQ(BackupFiles(folder), original);
  EXPECT_TRUE(SumsCheck(folder));
  EXPECT_EQ(Slurp(folder + "/suites.tsv"), "name\tversion\tsize\turl\nSnake Run\t1.0\t410\tsnake.jar\n");
  EXPECT_NE(b.err.find("fetched 10/10 pictures/tile.bmp 486 bytes, "), std::string::npos) << b.err;

  for (const char* f : {"1", "2", "3"}) fs::remove_all(p.home.File(std::string("phone/") + f));
  for (const char* f : {"1", "2", "3"}) fs::create_directory(p.home.File(std::string("phone/") + f));
  fs::remove_all(p.home.File("phone/4/Snake Run"));
  // The dry run plans every file and sends none.
  CliResult dry = RunCli(p.home, port + "restore '" + folder + "' --dry-run", nullptr, kAnswered);
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(dry.out.substr(0, dry.out.find('\n')), "send\tmelodies\tERROR.mid");
  EXPECT_NE(dry.out.find("send\tpictures\tOK (2).gif\n"), std::string::npos) << dry.out;
  EXPECT_NE(dry.out.find("suite\tSnake Run\t1.0\n"), std::string::npos) << dry.out;
  EXPECT_TRUE(PhoneFiles(p.home).empty());

  CliResult r = RunCli(p.home, port + "restore '" + folder + "'", nullptr, kAnswered);
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(PhoneFiles(p.home), original);
  EXPECT_NE(r.err.find("Install from the PC: Snake Run\n"), std::string::npos) << r.err;
  // The missing suite comes from a MIDlet folder that holds it.
  CliResult suites = RunCli(p.home, port + "restore '" + folder + "' --suites '" + (Samples() / "pc").string() + "'", nullptr, kAnswered);
  EXPECT_EQ(suites.status, 0) << suites.err;
  EXPECT_TRUE(fs::exists(p.home.File("phone/4/Snake Run/snake.jar"))) << suites.err;
  // Once back, every file is the same; a file of another size clashes,
  // also under a name that differs only in case, and the policy settles it.
  fs::rename(p.home.File("phone/3/sun.gif"), p.home.File("phone/3/SUN.GIF"));
  p.home.Write("phone/3/SUN.GIF", "GIF89a changed");
  CliResult plan = RunCli(p.home, port + "restore '" + folder + "' --dry-run", nullptr, kAnswered);
  EXPECT_EQ(plan.out.find("send\t"), std::string::npos) << plan.out;
  EXPECT_NE(plan.out.find("same\tpictures\tOK (2).gif\nsame\tpictures\tphoto.jpg\nclash\tpictures\tsun.gif\n"),
            std::string::npos) << plan.out;
  // Nobody to answer the clash: the file is not sent, and no success.
  CliResult unanswered = RunCli(p.home, port + "restore '" + folder + "'", nullptr, kAnswered);
  EXPECT_EQ(unanswered.status, 1) << unanswered.err;
  EXPECT_NE(unanswered.err.find("not sent 1/1 pictures/sun.gif"), std::string::npos) << unanswered.err;
  // Skipped, the backup's file is not on the phone: named, and no success.
  CliResult skip = RunCli(p.home, port + "--on-conflict=skip restore '" + folder + "'", nullptr, kAnswered);
  EXPECT_EQ(skip.status, 1) << skip.err;
  EXPECT_NE(skip.err.find("skipped 1/1 pictures/sun.gif"), std::string::npos) << skip.err;
  EXPECT_NE(skip.err.find("Not restored: pictures/sun.gif: the phone's own SUN.GIF was kept in its place\n"),
            std::string::npos) << skip.err;
  EXPECT_EQ(p.home.Read("phone/3/SUN.GIF"), "GIF89a changed");
  CliResult over = RunCli(p.home, port + "--on-conflict=overwrite restore '" + folder + "'", nullptr, kAnswered);
  EXPECT_EQ(over.status, 0) << over.err;
  EXPECT_NE(over.err.find("sent 1/1 pictures/sun.gif"), std::string::npos) << over.err;
  EXPECT_EQ(p.home.Read("phone/3/sun.gif"), original.at("3/sun.gif"));
  // A phone that answers OK to every packet and keeps nothing: named, no success.
  fs::remove(p.home.File("phone/3/sun.gif"));
  fs::remove(p.home.File("phone/3/SUN.GIF"));
  phonesim::Options keepNothing = p.sim->GetOptions();
  keepNothing.keepNothing = true;
  p.sim->SetOptions(keepNothing);
  CliResult lost = RunCli(p.home, port + "restore '" + folder + "'", nullptr, kAnswered);
  EXPECT_EQ(lost.status, 1) << lost.err;
  EXPECT_NE(lost.err.find("Not stored by the phone: sun.gif\n"), std::string::npos) << lost.err;
  EXPECT_FALSE(fs::exists(p.home.File("phone/3/sun.gif")));
}

TEST(CliBackup, CutOrDamagedBackupsDoNoHarm) {
  CliPhone p;
  FillPhone(p.home);
  p.home.Write("phone/1/notes.txt", "not a melody");  // the phone holds it; the page would not send it
  const std::string port = "--port " + p.sim->DevicePath() + " ";
  CliResult first = RunCli(p.home, port + "backup --to bk", nullptr, kAnswered);
  ASSERT_EQ(first.status, 0) << first.err;
  const std::string earlier = LastLine(first.out);
  const auto earlierFiles = BackupFiles(earlier);
  const int lines = static_cast<int>(p.sim->ReceivedLines().size());

  // A hang-up early, halfway and near the end of a backup. Each run has a
  // home of its own, so they run side by side, as they mostly wait on the line.
  const auto cutShort = [&](int cut) {
    phonesim::Options o;
    o.contentDir = p.home.File("phone");
    o.hangupAfterLines = cut;
    phonesim::PhoneSim cutSim(o);
    cutSim.Start();
    TempDir home;
    fs::create_directory(home.File("cut"));
    fs::copy(earlier, home.File("cut/") + fs::path(earlier).filename().string(), fs::copy_options::recursive);
    CliResult b = RunCli(home, "--port " + cutSim.DevicePath() + " backup --to cut", nullptr, kAnswered);
    EXPECT_EQ(b.status, 1) << cut << b.err;
    EXPECT_EQ(b.out, "") << cut;
    const auto entries = Entries(home.File("cut"));
    ASSERT_EQ(entries.size(), 2u) << cut;
    EXPECT_EQ(entries[0], fs::path(earlier).filename().string());
    EXPECT_EQ(entries[1].substr(entries[1].size() - 8), ".partial") << entries[1];
    EXPECT_EQ(BackupFiles(home.File("cut/") + entries[0]), earlierFiles) << cut;
  };
  std::vector<std::future<void>> cuts;
  for (int cut : {3, lines / 2, lines - 3}) cuts.push_back(std::async(std::launch::async, cutShort, cut));
  for (auto& c : cuts) c.get();

  // A damaged file refuses the whole restore, named, before a line is sent.
  p.home.Write("damaged/x", "");
  fs::remove_all(p.home.File("damaged"));
  fs::copy(earlier, p.home.File("damaged"), fs::copy_options::recursive);
  {
    std::ofstream f(p.home.File("damaged/pictures/OK (2).gif"), std::ios::binary | std::ios::app);
    f << "x";
  }
  for (const char* f : {"1", "2", "3"}) fs::remove_all(p.home.File(std::string("phone/") + f));
  for (const char* f : {"1", "2", "3"}) fs::create_directory(p.home.File(std::string("phone/") + f));
  phonesim::PhoneSim fresh([&] {
    phonesim::Options o;
    o.contentDir = p.home.File("phone");
    return o;
  }());
  fresh.Start();
  CliResult r = RunCli(p.home, "--port " + fresh.DevicePath() + " restore damaged", nullptr, kAnswered);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "missing or damaged: pictures/OK (2).gif\nRestore refused: the backup is not whole\n");
  EXPECT_TRUE(fresh.ReceivedLines().empty());
  EXPECT_TRUE(PhoneFiles(p.home).empty());

  // A file the content page refuses is reported and not sent; the rest are.
  CliResult whole = RunCli(p.home, "--port " + fresh.DevicePath() + " restore '" + earlier + "'", nullptr, kAnswered);
  EXPECT_EQ(whole.status, 1);
  EXPECT_NE(whole.out.find("refuse\tmelodies\tnotes.txt\n"), std::string::npos) << whole.out;
  EXPECT_NE(whole.err.find("Not sent: notes.txt: "), std::string::npos) << whole.err;
  auto expected = earlierFiles;
  expected.erase("1/notes.txt");
  EXPECT_EQ(PhoneFiles(p.home), expected);
}

// A phone the PC cannot back up whole: each entry not taken is named, every
// file said to be fetched is in the backup whole, the other files and
// folders are taken, and the backup keeps its ".partial" name.
TEST(CliBackup, WhatCannotBeTakenIsNamedAndTheRestIsTaken) {
  using O = phonesim::Options;
  const struct {
    const char* label;
    std::function<void(O&)> fault;
    std::string extra;                // a phone file added, "" for none
    std::vector<std::string> named;   // lines of stderr
    std::vector<std::string> notTaken;
    bool suites;
  } cases[] = {
      {"listed twice", [](O& o) { o.listTwice = true; }, "",
       {"Not backed up: melodies/ERROR.mid: listed a second time; the backup holds one file of this name\n",
        "Not backed up: pictures/tile.bmp: listed a second time; the backup holds one file of this name\n"}, {}, true},
      {"a name the PC refuses", [](O&) {}, "3/a\\b.gif",
       {"Not backed up: pictures/a\\\\b.gif: a name this PC cannot hold as a file\n"}, {"3/a\\b.gif"}, true},
      {"the Java folder refused", [](O& o) { o.errorPrefix = "AT*FLIST=4"; }, "",
       {"The phone's suites could not be listed; the backup has no suites.tsv\n"}, {}, false},
      {"one fetch refused", [](O& o) { o.errorPrefix = "AT*FDWN=\"sun.gif\""; }, "",
       {"Not backed up: pictures/sun.gif: not fetched\n"}, {"3/sun.gif"}, true},
  };
  const std::map<std::string, std::string> folderOf = {{"melodies", "1"}, {"animations", "2"}, {"pictures", "3"}};
  // Each case has its own phone and folder: they run side by side, as the
  // runs mostly wait on the line.
  const auto check = [&folderOf](const auto& c) {
    O o;
    c.fault(o);
    CliPhone p(o);
    FillPhone(p.home);
    if (!c.extra.empty()) p.home.Write("phone/" + c.extra, "GIF89a extra");
    auto expected = PhoneFiles(p.home);
    const auto original = expected;
    for (const std::string& k : c.notTaken) expected.erase(k);
    CliResult b = RunCli(p.home, "--port " + p.sim->DevicePath() + " backup --to bk", nullptr, kAnswered);
    EXPECT_EQ(b.status, 1) << c.label << b.err;
    EXPECT_EQ(b.out, "") << c.label;
    for (const std::string& line : c.named) EXPECT_NE(b.err.find(line), std::string::npos) << c.label << b.err;
    const auto entries = Entries(p.home.File("bk"));
    ASSERT_EQ(entries.size(), 1u) << c.label;
    ASSERT_EQ(fs::path(entries[0]).extension(), ".partial") << c.label;
    const std::string folder = p.home.File("bk/" + entries[0]);
    const auto backed = BackupFiles(folder);
    EXPECT_EQ(backed, expected) << c.label << b.err;
    // Every "fetched" line names a file that is there, whole.
    int fetched = 0;
    std::istringstream err(b.err);
    for (std::string line; std::getline(err, line);) {
      if (line.rfind("fetched ", 0) != 0) continue;
      const size_t start = line.find(' ', 8) + 1, slash = line.find('/', start);
      const size_t end = line.rfind(' ', line.rfind(" bytes, ") - 1);
      const std::string key = folderOf.at(line.substr(start, slash - start)) + "/" + line.substr(slash + 1, end - slash - 1);
      ++fetched;
      EXPECT_TRUE(backed.count(key) && backed.at(key) == original.at(key)) << c.label << ": " << line;
    }
    EXPECT_EQ(fetched, static_cast<int>(expected.size())) << c.label << b.err;
    EXPECT_EQ(fs::exists(folder + "/suites.tsv"), c.suites) << c.label;
    EXPECT_TRUE(SumsCheck(folder)) << c.label;
  };
  std::vector<std::future<void>> runs;
  for (const auto& c : cases) runs.push_back(std::async(std::launch::async, [&check, &c] { check(c); }));
  for (auto& r : runs) r.get();
}

// ---- a restore from an altered backup ----

// Each altered backup is refused, named, before a line reaches the phone;
// a file the sums do not name is left out, named, and the rest restored.
// None waits on a pipe or reads without end.
TEST(CliBackup, AlteredBackupsSendNothingUnchecked) {
  CliPhone p;
  FillPhone(p.home);
  const std::string port = "--port " + p.sim->DevicePath() + " ";
  CliResult b = RunCli(p.home, port + "backup --to bk", nullptr, kAnswered);
  ASSERT_EQ(b.status, 0) << b.err;
  const std::string whole = LastLine(b.out);
  const auto original = PhoneFiles(p.home);
  p.home.Write("secret.gif", "GIF89a the PC's own");
  const std::string secret = p.home.File("secret.gif");
  const auto addSum = [](const std::string& bk, const std::string& rel) {
    std::ofstream(bk + "/SHA256SUMS", std::ios::app) << std::string(64, '0') << "  " << rel << "\n";
  };
  const auto cutSums = [](const std::string& bk, size_t keep) {
    const std::string s = Slurp(bk + "/SHA256SUMS");
    std::ofstream(bk + "/SHA256SUMS", std::ios::trunc) << s.substr(0, keep == 0 ? 0 : s.find('\n') + 1);
  };
  const struct {
    const char* what;
    std::function<void(const std::string&)> tamper;
    std::string named;  // refused with this name; "" for the extra file
  } cases[] = {
      {"empty sums", [&](const std::string& bk) { cutSums(bk, 0); }, "SHA256SUMS"},
      {"sums cut to the first line", [&](const std::string& bk) { cutSums(bk, 1); }, "SHA256SUMS"},
      {"huge sums", [](const std::string& bk) { fs::resize_file(bk + "/SHA256SUMS", 3000000000ULL); }, "SHA256SUMS"},
      {"a link out",
       [&](const std::string& bk) {
         fs::remove(bk + "/pictures/sun.gif");
         fs::create_symlink(secret, bk + "/pictures/sun.gif");
       },
       "pictures/sun.gif"},
      {"a pipe",
       [&](const std::string& bk) {
         ASSERT_EQ(::mkfifo((bk + "/pictures/pipe.gif").c_str(), 0600), 0);
         addSum(bk, "pictures/pipe.gif");
       },
       "pictures/pipe.gif"},
      {"a device",
       [&](const std::string& bk) {
         fs::create_symlink("/dev/zero", bk + "/melodies/zero.mid");
         addSum(bk, "melodies/zero.mid");
       },
       "melodies/zero.mid"},
      {"an extra file", [&](const std::string& bk) { fs::copy_file(secret, bk + "/pictures/extra.gif"); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string bk = p.home.File("altered");
    fs::remove_all(bk);
    fs::copy(whole, bk, fs::copy_options::recursive);
    c.tamper(bk);
    for (const char* f : {"1", "2", "3"}) fs::remove_all(p.home.File(std::string("phone/") + f));
    for (const char* f : {"1", "2", "3"}) fs::create_directory(p.home.File(std::string("phone/") + f));
    const size_t linesBefore = p.sim->ReceivedLines().size();
    CliResult r = RunCli(p.home, port + "restore altered", nullptr, kAnswered);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_LT(r.seconds, 20);
    if (c.named.empty()) {
      EXPECT_NE(r.err.find("Not sent: pictures/extra.gif: not in SHA256SUMS\n"), std::string::npos) << r.err;
      EXPECT_EQ(PhoneFiles(p.home), original);
      continue;
    }
    EXPECT_EQ(r.err, "missing or damaged: " + c.named + "\nRestore refused: the backup is not whole\n");
    EXPECT_EQ(p.sim->ReceivedLines().size(), linesBefore);
    EXPECT_TRUE(PhoneFiles(p.home).empty());
  }
}

// Names and versions from the phone, from PC files and from the command
// line never reach the terminal raw, on stdout or stderr, in any command.
TEST(Cli, EveryCommandEscapesWhatComesFromOutside) {
  CliPhone p;
  const std::string esc = "\x1b[2J", shown = "\\x1b[2J";
  p.home.Write("phone/4/Evil/evil.jad", "MIDlet-Name: Evil" + esc + "\r\nMIDlet-Version: 1.0" + esc +
                                           "\r\nMIDlet-Vendor: V\r\nMIDlet-Jar-URL: evil.jar\r\nMIDlet-Jar-Size: 3\r\n");
  p.home.Write("phone/4/Evil/evil.jar", "JJJ");
  WriteSuite(p.home, "pcgame", "Pc" + esc, "2.0" + esc, "JJJ");
  p.home.Write("pics/e" + esc + ".wbmp", "x");
  p.home.Write("pics/f" + esc + ".txt", "hello");
  const std::string port = "--port " + p.sim->DevicePath() + " ";
  // A terminal's CSI raw and in UTF-8, a right-to-left override, a byte
  // that is no UTF-8: each written as its bytes in \xHH.
  const std::string c1 = "\x9b", c1u = "\xc2\x9b", rlo = "\xe2\x80\xae", bad = "\xff";
  const std::string rloShown = "\\xe2\\x80\\xae";
  const auto raw = [&](const std::string& text) {
    for (const std::string& s : {esc, c1, rlo, bad})
      if (text.find(s) != std::string::npos) return true;
    return false;
  };
  p.home.Write("phone/3/k" + c1 + ".gif", "x");
  p.home.Write("phone/3/r" + rlo + "l" + bad + ".gif", "x");
  p.home.Write("pc/p" + rlo + ".bin", std::string(20000, 'P'));
  p.home.Write("n" + c1u + ".txt", "hello");
  std::filesystem::create_directories(p.home.File("b" + c1));
  const struct {
    std::string args;
    std::string out, err;  // each held by the output, escaped
  } rows[] = {
      {"'--x" + c1 + "' at", "", "unknown option --x\\x9b\n"},
      {port + "ls 3", "k\\x9b.gif\t1\nr" + rloShown + "l\\xff.gif\t1\n", ""},
      {port + "--on-conflict=overwrite put 3 'pc/p" + rlo + ".bin'", "", "sent 1/1 p" + rloShown + ".bin 20000 bytes"},
      {"fit 'n" + c1u + ".txt'", "", "n\\xc2\\x9b.txt: cannot be fitted: not a picture that can be read\n"},
      {port + "backup --to 'b" + c1 + "'", "b\\x9b/quendrel-backup-", ""},
      {port + "midlets --pc pc", "Evil" + shown + "\t1.0" + shown + "\t", ""},
      {port + "midlets --pc pc", "PC\tPc" + shown + "\t2.0" + shown + "\t", ""},
      {"scan --all 3 pics", "e" + shown + ".wbmp\t1\n", ""},
      {"scan --all 3 pics", "f" + shown + ".txt\t5\t", ""},
      {port + "uninstall 'x" + esc + "'", "", "no suite named x" + shown + " on the phone\n"},
      {port + "install pc 'n" + esc + ".jad'", "", "no usable descriptor n" + shown + ".jad in pc\n"},
      {port + "get 3 a.gif --to 'no" + esc + "'", "", "no" + shown + "\n"},
      {port + "rm 3 'e" + esc + "/x'", "", "Invalid file name: e" + shown + "/x\n"},
  };
  for (const auto& r : rows) {
    CliResult run = RunCli(p.home, r.args, nullptr, kAnswered);
    EXPECT_FALSE(raw(run.out)) << r.args;
    EXPECT_FALSE(raw(run.err)) << r.args;
    EXPECT_NE(run.out.find(r.out), std::string::npos) << r.args << "\n" << run.out;
    EXPECT_NE(run.err.find(r.err), std::string::npos) << r.args << "\n" << run.err;
  }
  // A restore names the suites the phone lacks, escaped as well.
  CliResult b = RunCli(p.home, port + "backup --to bk", nullptr, kAnswered);
  ASSERT_EQ(b.status, 0) << b.err;
  fs::remove_all(p.home.File("phone/4/Evil"));
  CliResult dry = RunCli(p.home, port + "restore '" + LastLine(b.out) + "' --dry-run", nullptr, kAnswered);
  EXPECT_FALSE(raw(dry.out));
  EXPECT_FALSE(raw(dry.err));
  EXPECT_NE(dry.out.find("suite\tEvil" + shown + "\t1.0" + shown + "\n"), std::string::npos) << dry.out;
  EXPECT_NE(dry.err.find("Install from the PC: Evil" + shown + "\n"), std::string::npos) << dry.err;
}
