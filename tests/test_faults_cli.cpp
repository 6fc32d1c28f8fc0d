// quendrel-cli against a virtual phone that hangs up or stays silent: the
// exit status, the messages on stderr, and the user's files afterwards.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <thread>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/CliRun.h"
#include "support/FaultHelpers.h"
#include "support/TempDir.h"
#include "support/WireText.h"
#include "content/Backup.h"
#include "content/Sha256.h"
#include "virtualphone/PhoneSim.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0, nl;
  while ((nl = text.find('\n', at)) != std::string::npos) {
    lines.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  return lines;
}

const std::string kUpload = faults::Pattern(500, 11);    // six packets
const std::string kDownload = faults::Pattern(500, 12);  // six packets
const std::string kPrecious = "the user's own bytes";
const std::string kSuite = faults::Pattern(250, 14);  // three archive packets
const std::string kSuiteJad = "MIDlet-Name: Game\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: V\r\nMIDlet-Jar-URL: game.jar\r\n"
                              "MIDlet-Jar-Size: 250\r\n";  // two packets

struct CliCase {
  const char* label;
  phonesim::Options faults;
  std::string command;  // after "--port DEVICE "
  bool existingTarget;  // pc/dl.bin held the user's bytes before a get
  // The lines of stderr.
  std::vector<std::string> err;
  std::string neverSent = {};  // no line to the phone holds this
};

void PrintTo(const CliCase& c, std::ostream* os) { *os << c.label; }

phonesim::Options HangAfter(int lines) {
  phonesim::Options o;
  o.hangupAfterLines = lines;
  return o;
}

phonesim::Options Silent(const std::string& prefix, bool echo = false) {
  phonesim::Options o;
  (echo ? o.silentPrefix : o.noEchoSilentPrefix) = prefix;
  return o;
}

phonesim::Options Swap(int packet) {
  phonesim::Options o;
  o.swapDownloadPacket = packet;
  return o;
}

phonesim::Options KeepNothing() {
  phonesim::Options o;
  o.keepNothing = true;
  return o;
}

phonesim::Options EarlyLast(int packet) {
  phonesim::Options o;
  o.earlyLastPacket = packet;
  return o;
}

phonesim::Options Refuse(const std::string& prefix) {
  phonesim::Options o;
  o.errorPrefix = prefix;
  return o;
}

phonesim::Options With(const std::function<void(phonesim::Options&)>& change) {
  phonesim::Options o;
  change(o);
  return o;
}

// A phone whose file system ignores letter case.
phonesim::Options CaseBlind(phonesim::Options o) {
  o.caseBlind = true;
  return o;
}

// The receiver's message and what brings the line back: the failed
// fall-back to "COM1" (no such port in an isolated run) adds no box. The
// file cut off and those never started are named.
const std::vector<std::string> kHangUpErr = {
    "COM Port Exception while wait event",
    "The line to the phone was lost: check that the phone is on and that its cable is in, then connect again"};
std::vector<std::string> HangUpErr(const std::string& notDone) { return {kHangUpErr[0], kHangUpErr[1], notDone}; }

class CliFaults : public ::testing::TestWithParam<CliCase> {};

TEST_P(CliFaults, ExitStatusMessagesAndFiles) {
  const CliCase& c = GetParam();
  TempDir home;
  phonesim::Options o = c.faults;
  o.contentDir = home.File("phone");
  for (const char* f : {"1", "2", "3", "4"}) fs::create_directories(o.contentDir + "/" + f);
  home.Write("phone/3/dl.bin", kDownload);
  home.Write("phone/3/other.gif", "GIF89a");
  home.Write("pc/up.bin", kUpload);
  home.Write("pc/say \"hi\".bin", "x");
  home.Write("pc/game.jad", kSuiteJad);
  home.Write("pc/game.jar", kSuite);
  home.Write("pc/a\\b.gif", "GIF89a");
  home.Write("pc/up/up.jad", "MIDlet-Name: ../Game\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: V\r\nMIDlet-Jar-URL: up.jar\r\n"
                             "MIDlet-Jar-Size: 250\r\n");
  home.Write("pc/up/up.jar", kSuite);
  if (c.existingTarget) home.Write("pc/dl.bin", kPrecious);
  const faults::TFolderSnapshot pcBefore = faults::Snapshot(home.File("pc"));
  const faults::TFolderSnapshot phoneBefore = faults::Snapshot(home.File("phone"));

  phonesim::PhoneSim sim(o);
  ASSERT_TRUE(sim.Start());
  // A silent phone leaves nothing to wait for but the time-out.
  const bool silent = !c.faults.silentPrefix.empty() || !c.faults.noEchoSilentPrefix.empty();
  CliResult r = RunCli(home, "--port " + sim.DevicePath() + " " + c.command, nullptr, silent ? 0.02 : kCliTimeScale);

  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_LT(r.seconds, 60.0);
  // Rates and the phone's device path vary from run to run.
  std::string err = std::regex_replace(r.err, std::regex(", [0-9]+ bytes/s"), ", N bytes/s");
  const std::string device = sim.DevicePath();
  for (size_t at; (at = err.find(device)) != std::string::npos;) err.replace(at, device.size(), "DEVICE");
  EXPECT_EQ(Lines(err), c.err) << r.err;
  EXPECT_EQ(r.out, "");
  if (!c.neverSent.empty()) {
    for (const std::string& line : sim.ReceivedLines()) EXPECT_EQ(line.find(c.neverSent), std::string::npos) << line;
  }

  // The user's files: all there with their bytes, and nothing of a failed
  // download.
  EXPECT_EQ(faults::Snapshot(home.File("pc")), pcBefore);
  EXPECT_EQ(faults::Snapshot(home.File("phone")), phoneBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, CliFaults,
    ::testing::Values(
        // Lines: AT, AT*FLIST=3, AT*FLIST?, then the command's own.
        CliCase{"hang-up during ls", HangAfter(3), "ls 3", false, kHangUpErr},
        CliCase{"hang-up during the listing of a put", HangAfter(3), "--on-conflict=overwrite put 3 pc/up.bin", false,
                kHangUpErr},
        CliCase{"hang-up on the put request", HangAfter(4), "put 3 pc/up.bin", false,
                HangUpErr("Not sent: up.bin")},
        CliCase{"hang-up on put packet 3", HangAfter(7), "put 3 pc/up.bin", false, HangUpErr("Not sent: up.bin")},
        CliCase{"hang-up on the first of two puts", HangAfter(5), "put 3 pc/up.bin pc/game.jad", false,
                HangUpErr("Not sent: up.bin, game.jad"), "AT*FUPL=\"game"},
        CliCase{"hang-up on the first get acknowledge", HangAfter(5), "get 3 dl.bin --to pc", false,
                HangUpErr("Not fetched: dl.bin")},
        CliCase{"hang-up on a get that overwrites", HangAfter(5), "--on-conflict=overwrite get 3 dl.bin --to pc",
                true, HangUpErr("Not fetched: dl.bin")},
        // Unanswered lines wait out their whole time-out: only the short
        // waits; the long ones are covered at the link level.
        CliCase{"silent AT", Silent("AT"), "ls 3", false,
                {"Connection Timeout",
                 "No answer on DEVICE: check that the phone is on, that its cable is in, and that DEVICE is the "
                 "phone's port (--port NAME)"}},
        CliCase{"silent folder select", Silent("AT*FLIST="), "ls 3", false, {"Change Folder Timeout"}},
        CliCase{"silent upload request", Silent("AT*FUPL=\""), "put 3 pc/up.bin", false,
                {"Send_UPLOAD_REQ_timeout", "Not sent: up.bin"}},
        CliCase{"silent get request", Silent("AT*FDWN"), "--on-conflict=overwrite get 3 dl.bin --to pc", true,
                {"Download_Timeout", "Not fetched: dl.bin"}},
        CliCase{"unanswered last archive packet", Silent("AT*FUPL=0300", true), "install pc game.jad", false,
                {"Send JAR data timeout", ExpectedPackets(kSuite)[2] + "\\r\\n"}},
        // Refused before anything is sent, and no success for it.
        CliCase{"put of a name that cannot travel", {}, "put 3 'pc/say \"hi\".bin'", false,
                {"Invalid file name: say \"hi\".bin"}},
        CliCase{"get of a name that cannot travel", {}, "get 3 'say \"hi\".bin' --to pc", false,
                {"Invalid file name: say \"hi\".bin"}},
        // Packets the phone gets wrong: no success, nothing written.
        CliCase{"get with packets out of order", Swap(2), "get 3 dl.bin --to pc", false,
                {"Packet out of order", "Not fetched: dl.bin"}},
        CliCase{"get over a file with packets out of order", Swap(2), "--on-conflict=overwrite get 3 dl.bin --to pc",
                true, {"Packet out of order", "Not fetched: dl.bin"}},
        CliCase{"get that ends before the listed size", EarlyLast(3), "get 3 dl.bin --to pc", false,
                {"File size differs from the phone listing", "Not fetched: dl.bin"}},
        CliCase{"get in another letter case that ends before the listed size", CaseBlind(EarlyLast(3)),
                "get 3 DL.BIN --to pc", false,
                {"File size differs from the phone listing", "Not fetched: DL.BIN"}},
        // No size, no fetch; a phone that runs on or never gets a packet right is cut off.
        CliCase{"ls of sizes that are none",
                With([](phonesim::Options& o) { o.listedSizes = {{"dl.bin", "-5"}, {"other.gif", "99999999999"}}; }),
                "ls 3", false,
                {"Unreadable size in the phone's listing: dl.bin (-5)",
                 "Unreadable size in the phone's listing: other.gif (99999999999)"}},
        CliCase{"get of a file listed as (abc)", With([](phonesim::Options& o) { o.listedSizes = {{"dl.bin", "abc"}}; }),
                "get 3 dl.bin --to pc", false, {"Unreadable size in the phone's listing: dl.bin", "Not fetched: dl.bin"}, "AT*FDWN"},
        CliCase{"get over a file, packets past the size for ever",
                With([](phonesim::Options& o) { o.pastSizePackets = 0; }), "--on-conflict=overwrite get 3 dl.bin --to pc",
                true, {"More data than the phone's listing gives: dl.bin", "Not fetched: dl.bin"}},
        // Names that would leave the phone's folder never go out.
        CliCase{"put of a PC file whose name holds a backslash", {}, "put 3 'pc/a\\b.gif'", false,
                {"Invalid file name: a\\\\b.gif"}, "a\\b"},
        CliCase{"put renamed into another folder", {}, "--on-conflict=rename:../2/x.gif put 3 pc/dl.bin", true,
                {"Invalid file name: ../2/x.gif", "Not sent: dl.bin"}, "x.gif"},
        CliCase{"removal of a path", {}, "rm 3 ../3/dl.bin", false, {"Invalid file name: ../3/dl.bin"}, "AT*FRMV"},
        CliCase{"removal of the folder above", {}, "rm 3 ..", false, {"Invalid file name: .."}, "AT*FRMV"},
        CliCase{"get of a path", {}, "get 3 'sub\\dl.bin' --to pc", false, {"Invalid file name: sub\\\\dl.bin"},
                "AT*FDWN=\"sub"},
        CliCase{"install of a suite named as a path", {}, "install pc/up up.jad", false,
                {"Invalid file name: ../Game"}, "AT*FUPL"},
        // Nobody to ask about the existing file: not a success.
        CliCase{"get over a file with no terminal", {}, "get 3 dl.bin --to pc", true,
                {"Overwrite dl.bin? (no terminal to ask: use --on-conflict)"}},
        CliCase{"put over a phone file with no terminal", {}, "put 3 pc/dl.bin", true,
                {"Overwrite dl.bin? (no terminal to ask: use --on-conflict)"}},
        // A fetch or removal that failed ends the batch: the next file is
        // not asked for, and is named with the one that failed.
        CliCase{"get of two, the first refused", Refuse("AT*FDWN=\"dl"), "get 3 dl.bin other.gif --to pc", false,
                {"Download_Error", "Not fetched: dl.bin, other.gif"}, "AT*FDWN=\"other"},
        CliCase{"get of three, the first not on the phone", {}, "get 3 nothere.gif dl.bin other.gif --to pc", false,
                {"Download_Error", "Not fetched: nothere.gif, dl.bin, other.gif"}, "AT*FDWN=\"dl"},
        CliCase{"rm of two, the first not on the phone", {}, "rm 3 nothere.gif dl.bin", false,
                {"File_Remove_ERR", "Not removed: nothere.gif, dl.bin"}, "AT*FRMV=\"dl"},
        // An OK to every packet is not a file kept: the listing says so.
        // The upload took over a second on the link's clock: its line first.
        CliCase{"put to a phone that keeps nothing", KeepNothing(), "put 3 pc/up.bin", false,
                {"sent 1/1 up.bin 500 bytes, N bytes/s", "Not stored by the phone: up.bin"}}));

}  // namespace

namespace {

// Ctrl+C in the middle of a transfer from a phone paced at 115200 baud:
// the transfer stops within a second, the command says "Stopped" and exits
// with 130, the PC files are as before, and the same command then works.
struct StopCase {
  const char* label;
  std::string command;  // after "--port DEVICE "
  std::string stopAt;   // SIGINT once the phone has this line
  bool twice = false;   // and SIGTERM right after it: the program ends at once
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.label; }

class CliStop : public ::testing::TestWithParam<StopCase> {};

TEST_P(CliStop, SigintStopsCleanlyAndTheNextRunWorks) {
  const StopCase& c = GetParam();
  TempDir home;
  phonesim::Options o;
  o.contentDir = home.File("phone");
  o.pace115200 = true;
  for (const char* f : {"1", "2", "3", "4"}) fs::create_directories(o.contentDir + "/" + f);
  const std::string jar = faults::Pattern(700, 13);  // eight archive packets
  home.Write("phone/3/dl.bin", kDownload);
  home.Write("pc/up.bin", kUpload);
  home.Write("pc/dl.bin", kPrecious);
  home.Write("pc/game.jar", jar);
  home.Write("pc/game.jad", "MIDlet-Name: Game\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: V\r\nMIDlet-Jar-URL: game.jar\r\n"
                            "MIDlet-Jar-Size: " + std::to_string(jar.size()) + "\r\n");
  // A backup to restore, and a temporary folder of the test's own.
  const std::string melody = "MThd" + kUpload;
  home.Write("bk/melodies/up.mid", melody);
  home.Write("bk/suites.tsv", "name\tversion\tsize\turl\n");
  home.Write("bk/SHA256SUMS", backup::SumLine(Sha256Hex(melody), "melodies/up.mid") +
                                  backup::SumLine(Sha256Hex(home.Read("bk/suites.tsv")), "suites.tsv"));
  fs::create_directories(home.File("tmp"));
  setenv("TMPDIR", home.File("tmp").c_str(), 1);
  const faults::TFolderSnapshot pcBefore = faults::Snapshot(home.File("pc"));
  phonesim::PhoneSim sim(o);
  ASSERT_TRUE(sim.Start());
  const std::string args = "--port " + sim.DevicePath() + " --on-conflict=overwrite " + c.command;

  using Clock = std::chrono::steady_clock;
  Clock::time_point sent, lastTransferLine;
  CliResult r = RunCli(home, args, [&](pid_t pid) {
    auto isTransfer = [](const std::string& l) {
      return l.rfind("AT*FUPL=", 0) == 0 || l == "AT*ACK" || (l.rfind("AT*FDWN=", 0) == 0 && l != "AT*FDWN=\"4\"");
    };
    size_t seen = 0;
    // Watches until the program has ended, leaving it to be reaped.
    auto running = [pid] {
      siginfo_t info{};
      return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    };
    for (int i = 0; i < 60000 && running(); ++i) {
      const std::vector<std::string> lines = sim.ReceivedLines();
      for (; seen < lines.size(); ++seen) {
        if (sent == Clock::time_point() && lines[seen].rfind(c.stopAt, 0) == 0) {
          sent = Clock::now();
          kill(pid, SIGINT);
          if (c.twice) kill(pid, SIGTERM);
        } else if (sent != Clock::time_point() && isTransfer(lines[seen])) {
          lastTransferLine = Clock::now();
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  ASSERT_NE(sent, Clock::time_point()) << "the interrupt must come during the transfer";
  EXPECT_EQ(r.status, 130) << r.err;
  std::vector<std::string> err = Lines(r.err);
  if (!c.twice) {
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.back(), "Stopped");
  }
  // Private copies go on every way out.
  EXPECT_TRUE(fs::is_empty(home.File("tmp")));
  unsetenv("TMPDIR");
  if (lastTransferLine != Clock::time_point()) {
    EXPECT_LT(std::chrono::duration<double>(lastTransferLine - sent).count(), 1.0);
  }
  EXPECT_EQ(faults::Snapshot(home.File("pc")), pcBefore);
  EXPECT_FALSE(faults::Exists(home.File("phone/3/up.bin")));
  EXPECT_FALSE(faults::Exists(home.File("phone/1/up.mid")));
  EXPECT_FALSE(faults::Exists(home.File("phone/4/Game")));

  CliResult again = RunCli(home, args);
  EXPECT_EQ(again.status, 0) << again.err;
}

INSTANTIATE_TEST_SUITE_P(Stop, CliStop,
                         ::testing::Values(StopCase{"put", "put 3 pc/up.bin", "AT*FUPL=0301"},
                                           StopCase{"get over a PC file", "get 3 dl.bin --to pc", "AT*ACK"},
                                           StopCase{"install", "install pc game.jad", "AT*FUPL=0201"},
                                           StopCase{"backup", "backup --to bk", "AT*ACK"},
                                           StopCase{"restore", "restore bk", "AT*FUPL=0301"},
                                           StopCase{"restore, interrupted twice", "restore bk", "AT*FUPL=0301", true}));

}  // namespace
