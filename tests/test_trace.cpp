// The protocol log and its replay: the writer keeps every byte, the reader
// refuses what is not a trace, the replay answers only the lines it holds,
// and every trace under tests/traces replays against the command line with
// the result it was recorded with. QUENDREL_RECORD_TRACES=DIR records the
// corpus's own cases from the virtual phone into DIR instead.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "link/ProtocolTrace.h"
#include "link/TraceFormat.h"
#include "support/CliRun.h"
#include "support/FaultHelpers.h"
#include "support/TempDir.h"
#include "virtualphone/PhoneSim.h"
#include "virtualphone/Replay.h"

namespace fs = std::filesystem;

namespace {

TEST(TraceFormat, EveryByteComesBack) {
  std::string all;
  for (int c = 0; c < 256; ++c) all.push_back(static_cast<char>(c));
  const std::string text = "> 1.5 " + trace::Escape(all) + "\n";
  EXPECT_EQ(text.find_first_of("\r\t", 0), std::string::npos);
  trace::Trace t;
  std::string error;
  ASSERT_TRUE(trace::Parse(text, &t, &error)) << error;
  ASSERT_EQ(t.records.size(), 1u);
  EXPECT_EQ(t.records[0].bytes, all);
}

TEST(TraceFormat, BadInputNamesItsLine) {
  const struct {
    const char* text;
    const char* error;  // "" parses
  } cases[] = {
      {"# a: b\n> 0 AT\\r\r\n< 3.25 OK\n", ""},
      {"\n\n# note\n> 0 AT\n?? 1 x\n", "line 5: not a record: a line starts with '>', '<' or '#'"},
      {"> x AT\n", "line 1: bad time"},
      {"> 1.2.3 AT\n", "line 1: bad time"},
      {"> -1 AT\n", "line 1: bad time"},
      {"< 1 \\q\n", "line 1: bad escape"},
      {"< 1 ab\\x4\n", "line 1: bad escape"},
      {"< 1 ab\\xG0\n", "line 1: bad escape"},
      {"< 1 ab\\\n", "line 1: bad escape"},
      {"< 1\n", "line 1: a record without bytes"},
      {">1 AT\n", "line 1: not a record: a line starts with '>', '<' or '#'"},
  };
  for (const auto& c : cases) {
    trace::Trace t;
    std::string error;
    EXPECT_EQ(trace::Parse(c.text, &t, &error), c.error[0] == 0) << c.text;
    if (c.error[0]) {
      EXPECT_EQ(error, c.error) << c.text;
    }
  }
}

TEST(ProtocolTrace, BurstsDirectionsAndTheRollAside) {
  TempDir dir;
  const std::string path = dir.File("apProtocol.log");
  dir.Write("apProtocol.log", "the session before\n");
  RollLogAside(path);
  EXPECT_EQ(dir.Read("apProtocol.log.1"), "the session before\n");
  std::FILE* f = std::fopen(path.c_str(), "w+");
  ASSERT_NE(f, nullptr);
  TProtocolTrace tr;
  tr.Attach(f, path, 400);
  tr.Written("AT\r", 3);
  tr.Read("AT\r\r\n", 5);  // one burst in two reads
  tr.Read("OK\r\n", 4);
  tr.Quiet();
  tr.Read("\x00\xFF", 2);
  tr.Written("AT*ACK\r", 7);  // a write ends the burst before it
  tr.Detach();
  tr.Written("lost", 4);  // nothing after the detach
  trace::Trace t;
  std::string error;
  ASSERT_TRUE(trace::Parse(faults::ReadAll(path), &t, &error)) << error;
  ASSERT_EQ(t.records.size(), 4u);
  const std::vector<std::pair<bool, std::string>> want = {
      {true, "AT\r"}, {false, "AT\r\r\nOK\r\n"}, {false, std::string("\x00\xFF", 2)}, {true, "AT*ACK\r"}};
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(t.records[i].written, want[i].first) << i;
    EXPECT_EQ(t.records[i].bytes, want[i].second) << i;
    if (i) {
      EXPECT_GE(t.records[i].ms, t.records[i - 1].ms);
    }
  }
  // Past the limit the file's contents move aside and the newest stay.
  tr.Attach(f, path, 400);
  for (int i = 0; i < 40; ++i) tr.Written("AT*FLIST?\r", 10);
  tr.Detach();
  std::fclose(f);
  EXPECT_LE(fs::file_size(path), 400u);
  EXPECT_LE(fs::file_size(path + ".1"), 450u);
  EXPECT_NE(faults::ReadAll(path).find("# continued"), std::string::npos);
}

trace::Trace Parsed(const std::string& text) {
  trace::Trace t;
  std::string error;
  EXPECT_TRUE(trace::Parse(text, &t, &error)) << error;
  return t;
}

TEST(Replayer, AnswersOnlyTheLinesItHolds) {
  const std::string kTrace =
      "< 0 RING\\r\\n\n"
      "> 10 AT\\r\n"
      "< 30 AT\\r\n"
      "< 70 \\r\\nOK\\r\\n\n"
      "> 100 AT*FLIST?\\r\n"
      "< 100 \\r\\nOK\\r\\n\n";
  const struct {
    const char* label;
    std::vector<std::string> writes;
    std::string answered;  // every burst, joined by '|'
    std::string gaps;      // their delays in ms, joined by ','
    std::string error;
    bool done;
  } cases[] = {
      {"the whole trace", {"AT\r", "AT*FLIST?\r"}, "AT\r|\r\nOK\r\n|\r\nOK\r\n", "10,20,0", "", true},
      {"a line in pieces", {"A", "T\rAT*F", "LIST?\r"}, "AT\r|\r\nOK\r\n|\r\nOK\r\n", "10,20,0", "", true},
      {"another line",
       {"AT\r", "AT*FDWN=\"a\"\r"},
       "AT\r|\r\nOK\r\n",
       "10,20",
       "line 5 of the trace expected AT*FLIST?\\r, came AT*FDWN=\"a\"\\r",
       false},
      {"another line, in pieces",
       {"AT\r", "AT*FD", "WN=\"a\"\r", "\n"},
       "AT\r|\r\nOK\r\n",
       "10,20",
       "line 5 of the trace expected AT*FLIST?\\r, came AT*FDWN=\"a\"\\r\\n",
       false},
      {"past the end", {"AT\r", "AT*FLIST?\r", "AT\r"}, "AT\r|\r\nOK\r\n|\r\nOK\r\n", "10,20,0",
       "the trace ends, and the program wrote AT\\r", false},
  };
  for (const auto& c : cases) {
    phonesim::Replayer r(Parsed(kTrace), 2.0);
    std::vector<phonesim::Replayer::Burst> out = r.Opening();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes, "RING\r\n");
    out.clear();
    bool ok = true;
    for (const std::string& w : c.writes) ok = r.Feed(w, &out) && ok;
    ok = r.Settle() && ok;  // the line goes quiet
    std::string answered, gaps;
    for (const auto& b : out) {
      answered += (answered.empty() ? "" : "|") + b.bytes;
      gaps += (gaps.empty() ? "" : ",") + std::to_string(static_cast<int>(b.delayMs));
    }
    EXPECT_EQ(answered, c.answered) << c.label;
    EXPECT_EQ(gaps, c.gaps) << c.label;  // at speed 2: half the recorded gaps
    EXPECT_EQ(ok, c.error.empty()) << c.label;
    EXPECT_EQ(r.Error(), c.error) << c.label;
    EXPECT_EQ(r.Done(), c.done) << c.label;
  }
}

// ---- The corpus ----

std::string SourceDir() {
  const char* dir = std::getenv("QUENDREL_TRACES_DIR");
  return dir ? dir : QUENDREL_TRACES;
}

// Backup folders carry the time they were made, and paths the run's folder.
std::string Timeless(std::string text, const TempDir& home) {
  for (size_t at; (at = text.find(home.path())) != std::string::npos;) text.replace(at, home.path().size(), "HOME");
  return std::regex_replace(text, std::regex("quendrel-backup-[0-9]{8}-[0-9]{6}"), "quendrel-backup-DATE");
}

// Puts the corpus's "# mkdir:" folders and "# before:" files in place.
void PlaceFiles(const trace::Trace& t, const TempDir& home) {
  for (const std::string& d : t.Headers("mkdir")) fs::create_directories(home.File(d));
  for (const std::string& h : t.Headers("before")) {
    const size_t blank = h.find(' ');
    std::string bytes;
    ASSERT_TRUE(blank != std::string::npos && trace::Unescape(h.substr(blank + 1), &bytes)) << h;
    fs::create_directories(fs::path(home.File(h.substr(0, blank))).parent_path());
    home.Write(h.substr(0, blank), bytes);
  }
}

TEST(TraceCorpus, EachTraceReplaysWithItsResult) {
  if (std::getenv("QUENDREL_RECORD_TRACES")) GTEST_SKIP() << "recording";
  size_t played = 0;
  for (const auto& entry : fs::directory_iterator(SourceDir())) {
    if (entry.path().extension() != ".trace") continue;
    SCOPED_TRACE(entry.path().filename().string());
    trace::Trace t;
    std::string error;
    ASSERT_TRUE(phonesim::LoadTrace(entry.path().string(), &t, &error)) << error;
    bool hasCommand = false;
    const std::string command = t.Header("command", &hasCommand);
    if (!hasCommand) continue;  // a trace with nothing to check it by
    TempDir home;
    IsolateSettings(home);
    PlaceFiles(t, home);
    phonesim::ReplayPty replay(t, 1.0);
    ASSERT_TRUE(replay.Start());
    const CliResult r = RunCli(home, "--port " + replay.DevicePath() + " " + command);
    EXPECT_EQ(std::to_string(r.status), t.Header("exit")) << r.err;
    std::string out;
    ASSERT_TRUE(trace::Unescape(t.Header("stdout"), &out));
    EXPECT_EQ(Timeless(r.out, home), out);
    for (const std::string& h : t.Headers("after")) {
      const size_t blank = h.find(' ');
      std::string bytes;
      ASSERT_TRUE(trace::Unescape(h.substr(blank + 1), &bytes));
      EXPECT_EQ(faults::ReadAll(home.File(h.substr(0, blank))), bytes) << h;
    }
    EXPECT_FALSE(replay.Failed()) << replay.Error();
    EXPECT_TRUE(replay.Done());
    ++played;
  }
  EXPECT_GE(played, 6u);
}

TEST(TraceCorpus, ALineTheTraceDoesNotHoldFailsAtOnce) {
  if (std::getenv("QUENDREL_RECORD_TRACES")) GTEST_SKIP() << "recording";
  trace::Trace t;
  std::string error;
  ASSERT_TRUE(phonesim::LoadTrace(SourceDir() + "/session-get.trace", &t, &error)) << error;
  TempDir home;
  IsolateSettings(home);
  phonesim::ReplayPty replay(t, 1.0);
  ASSERT_TRUE(replay.Start());
  const CliResult r = RunCli(home, "--port " + replay.DevicePath() + " get 3 other.gif");
  EXPECT_EQ(r.status, 1);
  EXPECT_LT(r.seconds, 3.0);
  EXPECT_TRUE(replay.Failed());
  EXPECT_NE(replay.Error().find("expected AT*FDWN=\"dl.bin\"\\r\\n, came AT*FDWN=\"other.gif\"\\r\\n"), std::string::npos)
      << replay.Error();
  EXPECT_FALSE(faults::Exists(home.File("other.gif")));
}

// ---- Recording the corpus from the virtual phone ----

struct RecordCase {
  const char* name;
  phonesim::Options phone;
  std::string command;
  std::vector<std::string> before;  // files the command reads, from the setup below
  std::vector<std::string> after;   // files it writes
};

phonesim::Options Split(int everyOrZero, int lineInPacket = -1) {
  phonesim::Options o;
  o.splitPauseMs = 15;
  o.splitEvery = everyOrZero;
  o.lineInPacket = lineInPacket;
  return o;
}

phonesim::Options Garbage() {
  phonesim::Options o;
  o.garbage = true;
  o.noiseBeforeEcho = true;
  return o;
}

TEST(TraceCorpus, Record) {
  const char* into = std::getenv("QUENDREL_RECORD_TRACES");
  if (!into) GTEST_SKIP() << "set QUENDREL_RECORD_TRACES=DIR to record the corpus";
  const std::string kSuiteJad =
      "MIDlet-Name: Game\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: V\r\nMIDlet-Jar-URL: game.jar\r\nMIDlet-Jar-Size: 250\r\n";
  const std::vector<std::pair<std::string, std::string>> setup = {
      {"phone/3/dl.bin", faults::Pattern(400, 12)}, {"phone/3/old.gif", "GIF89a"}, {"phone/1/ring.mid", "MThd"},
      {"pc/up.bin", faults::Pattern(300, 11)},      {"pc/game.jad", kSuiteJad},    {"pc/game.jar", faults::Pattern(250, 14)}};
  const std::vector<RecordCase> cases = {
      {"session-ls", Split(16, 2), "ls 3", {}, {}},
      {"session-get", Split(16, 2), "get 3 dl.bin --to got", {}, {"got/dl.bin"}},
      {"session-put", Split(16, 2), "put 3 pc/up.bin", {"pc/up.bin"}, {}},
      {"session-rm", Split(16, 2), "rm 3 old.gif", {}, {}},
      {"session-install", Split(16, 2), "install pc game.jad", {"pc/game.jad", "pc/game.jar"}, {}},
      {"session-backup", Split(16, 2), "backup --to bk", {}, {}},
      {"split-middle-get", Split(0), "get 3 dl.bin --to got", {}, {"got/dl.bin"}},
      {"garbage-ls", Garbage(), "ls 1", {}, {}},
      {"refused-rm", [] { phonesim::Options o; o.errorPrefix = "AT*FRMV"; return o; }(), "rm 3 old.gif", {}, {}},
  };
  for (const RecordCase& c : cases) {
    TempDir home;
    IsolateSettings(home);
    for (const auto& f : setup) {
      fs::create_directories(fs::path(home.File(f.first)).parent_path());
      home.Write(f.first, f.second);
    }
    fs::create_directories(home.File("got"));
    fs::create_directories(home.File("bk"));
    fs::create_directories(home.File("phone/2"));
    fs::create_directories(home.File("phone/4"));
    phonesim::Options o = c.phone;
    o.contentDir = home.File("phone");
    phonesim::PhoneSim sim(o);
    ASSERT_TRUE(sim.Start());
    // The ini and the logs folder as a user has them: the log goes beside the working folder.
    home.Write("Velko.ini", "debugFlag=32\n");
    fs::create_directories(fs::path(home.path()).parent_path() / "logs");
    const std::string log = (fs::path(home.path()).parent_path() / "logs" / "apProtocol.log").string();
    fs::remove(log);
    const CliResult r = RunCli(home, "--port " + sim.DevicePath() + " " + c.command, nullptr, 1.0);
    sim.Stop();
    std::string text = "# command: " + c.command + "\n# mkdir: got\n# mkdir: bk\n# exit: " + std::to_string(r.status) +
                       "\n# stdout: " + trace::Escape(Timeless(r.out, home)) + "\n";
    for (const std::string& f : c.before) text += "# before: " + f + " " + trace::Escape(home.Read(f)) + "\n";
    for (const std::string& f : c.after) text += "# after: " + f + " " + trace::Escape(home.Read(f)) + "\n";
    text += faults::ReadAll(log);
    fs::remove(log);
    std::FILE* out = std::fopen((std::string(into) + "/" + c.name + ".trace").c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fclose(out);
  }
}

}  // namespace
