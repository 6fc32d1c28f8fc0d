// The virtual phone, driven over its pseudo-terminal with plain POSIX I/O,
// the way the PC side sees it.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "link/Reply.h"
#include "virtualphone/PhoneSim.h"

namespace fs = std::filesystem;
using phonesim::Options;
using phonesim::PhoneSim;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kOk = "\r\nOK\r\n";
const std::string kError = "\r\nERROR\r\n";
const std::string kDErr = "\r\n*FUPL: D_ERR\r\n";

bool EndsWith(const std::string& s, const std::string& tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The PC's own view of the wire format, written out independently.
std::string Hex(const std::string& bytes) {
  std::string out;
  char b[3];
  for (unsigned char c : bytes) {
    std::snprintf(b, sizeof b, "%02X", c);
    out += b;
  }
  return out;
}

std::string Check(const std::string& hex) {
  unsigned sum = 0;
  for (unsigned char c : hex) sum += c;
  char b[8];
  std::snprintf(b, sizeof b, "%04X", sum & 0xFFFF);
  return b;
}

std::string Num(int n) {
  char b[4];
  if (n < 256) {
    std::snprintf(b, sizeof b, "%02X", n);
  } else {
    std::snprintf(b, sizeof b, "F%X", n % 16);
  }
  return b;
}

std::string UploadLine(int n, bool more, const std::string& bytes) {
  std::string hex = Hex(bytes);
  return "AT*FUPL=" + Num(n) + "0" + (more ? "1" : "0") + hex + Check(hex);
}

std::string DownloadPacket(int n, bool more, const std::string& bytes) {
  std::string hex = Hex(bytes);
  return "\r\n*FDWN: " + std::to_string(n) + "\r\n" + Num(n) + "0" + (more ? "1" : "0") + hex + Check(hex) +
         "\r\n" + (more ? "" : kOk);
}

std::string Bytes(size_t n, int seed) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + static_cast<size_t>(seed)) & 0xFF);
  return s;
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const fs::path& p, const std::string& data) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << data;
}

std::string Jad(const std::string& name, const std::string& version, size_t jarSize,
                const std::string& url = "game.jar", bool vendor = true) {
  std::string s = "MIDlet-Name: " + name + "\r\nMIDlet-Version: " + version + "\r\n";
  if (vendor) s += "MIDlet-Vendor: Test Works\r\n";
  s += "MIDlet-Jar-URL: " + url + "\r\nMIDlet-Jar-Size: " + std::to_string(jarSize) + "\r\n";
  return s;
}

// Reply finished as far as a reader of the wire can tell.
bool ReplyComplete(const std::string& t) {
  size_t f = t.find("*FDWN:");
  if (f != std::string::npos) {
    size_t e1 = t.find("\r\n", f);
    if (e1 == std::string::npos || t.find("\r\n", e1 + 2) == std::string::npos) return false;
    if (e1 + 5 < t.size() && t[e1 + 5] == '1') return true;
    return EndsWith(t, kOk);
  }
  return EndsWith(t, kOk) || EndsWith(t, "ERROR\r\n") || EndsWith(t, "D_ERR\r\n") || EndsWith(t, ")\r\n");
}

class TempDir {
 public:
  TempDir() {
    std::string t = (fs::temp_directory_path() / "phonesim-test-XXXXXX").string();
    path_ = mkdtemp(t.data());
  }
  ~TempDir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The PC end of the line.
class Port {
 public:
  ~Port() { Close(); }
  bool Open(const std::string& device) {
    fd_ = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) return false;
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    return tcsetattr(fd_, TCSANOW, &t) == 0;
  }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  int fd() const { return fd_; }

  void Write(const std::string& s) {
    size_t at = 0;
    while (at < s.size()) {
      ssize_t w = write(fd_, s.data() + at, s.size() - at);
      if (w > 0) {
        at += static_cast<size_t>(w);
      } else {
        pollfd p{fd_, POLLOUT, 0};
        poll(&p, 1, 100);
      }
    }
  }

  // Reads until done(text) or the time-out.
  template <class Done>
  std::string ReadUntil(Done done, int timeoutMs = 3000) {
    std::string text;
    auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done(text) && Clock::now() < end) {
      if (!ReadSome(&text, 20)) continue;
    }
    return text;
  }

  // Everything until the line has been quiet for quietMs.
  std::string ReadQuiet(int quietMs) {
    std::string text;
    while (ReadSome(&text, quietMs)) {
    }
    return text;
  }

  // At least 'size' bytes (however late they come), then everything until
  // the line has been quiet for quietMs: what came besides shows up too.
  std::string ReadAnswer(size_t size, int quietMs) {
    std::string text = ReadUntil([size](const std::string& t) { return t.size() >= size; });
    return text + ReadQuiet(quietMs);
  }

  // Bursts as the PC's receiver cuts them: a burst ends after 10 ms of silence.
  std::vector<std::pair<std::string, Clock::time_point>> ReadBursts(int totalQuietMs) {
    std::vector<std::pair<std::string, Clock::time_point>> bursts;
    std::string cur;
    for (;;) {
      if (ReadSome(&cur, 10)) continue;
      if (!cur.empty()) {
        bursts.emplace_back(cur, Clock::now());
        cur.clear();
        continue;
      }
      if (!ReadSome(&cur, totalQuietMs)) break;
    }
    return bursts;
  }

  bool ReadSome(std::string* text, int ms) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, ms) <= 0 || !(p.revents & POLLIN)) return false;
    char buf[4096];
    ssize_t n = read(fd_, buf, sizeof buf);
    if (n <= 0) return false;
    text->append(buf, static_cast<size_t>(n));
    return true;
  }

 private:
  int fd_ = -1;
};

class PhoneSimTest : public ::testing::Test {
 protected:
  fs::path Phone() const { return dir_.path() / "phone"; }

  void StartSim(Options options = {}) {
    options.contentDir = Phone().string();
    sim_ = std::make_unique<PhoneSim>(options);
    ASSERT_TRUE(sim_->Start());
    ASSERT_TRUE(port_.Open(sim_->DevicePath())) << sim_->DevicePath();
  }

  // One line out, the whole answer (echo included) back.
  std::string Exchange(const std::string& line) {
    const std::string echo = line + "\r\n";
    port_.Write(echo);
    // Judge the reply without the echo: "AT*D_ERR" would look finished on its own.
    return port_.ReadUntil([&](const std::string& t) {
      return t.size() > echo.size() && ReplyComplete(t.substr(echo.size()));
    });
  }
  // The answer without its echo.
  std::string Ask(const std::string& line) {
    std::string text = Exchange(line);
    std::string echo = line + "\r\n";
    if (text.compare(0, echo.size(), echo) != 0) return "<no echo> " + text;
    return text.substr(echo.size());
  }

  void Upload(const std::string& request, const std::string& data) {
    ASSERT_EQ(Ask(request), kOk) << request;
    size_t count = (data.size() + 89) / 90;
    for (size_t n = 1; n <= count; ++n) {
      std::string reply = Ask(UploadLine(static_cast<int>(n), n < count, data.substr((n - 1) * 90, 90)));
      if (n < count) {
        ASSERT_EQ(reply, kOk) << "packet " << n;
      }
      last_ = reply;
    }
  }

  TempDir dir_;
  std::unique_ptr<PhoneSim> sim_;
  Port port_;
  std::string last_;  // answer to the last packet of Upload()
};

TEST_F(PhoneSimTest, PlainCommandsAndBadInput) {
  StartSim();
  WriteFile(Phone() / "1" / "tune.mid", "MThd");
  struct Case {
    const char* line;
    std::string reply;
  } cases[] = {
      {"AT", kOk},
      {"at", kOk},
      {"ATX", kError},
      {"AT*FLIST=4", kOk},
      {"AT*FLIST=1", kOk},
      {"AT*FLIST=0", kError},
      {"AT*FLIST=5", kError},
      {"AT*FLIST=12", kError},
      {"AT*FLIST=", kError},
      {"AT*FRMV=\"nothing.mid\"", kError},
      {"AT*FRMV=\"../1/tune.mid\"", kError},
      {"AT*FDWN=\"nothing.mid\"", kError},
      {"AT*FDWN=\"../1/tune.mid\"", kError},
      {"AT*FDWN=tune.mid", kError},
      {"AT*ACK", kError},
      {"AT*D_ERR", kError},
      {"AT*FUPL=\"../evil.mid\",3,1", kError},
      {"AT*FUPL=\"sub/evil.mid\",3,1", kError},
      {"AT*FUPL=\"..\",3,1", kError},
      {"AT*FUPL=\"\",3,1", kError},
      {"AT*FUPL=\"a.mid\",3,7", kError},
      {"AT*FUPL=\"a.mid\",-3,1", kError},
      {"AT*FUPL=\"a.mid\",3x,1", kError},
      {"AT*FUPL=\"a.mid\",3", kError},
      {"AT*FUPL=\"a.mid\",3,4", kError},
      {"AT*FUPL=\"a.mid\",999999999,1", kError},
      {"AT*FUPL=01006162630138", kError},
      {"AT*FUPL=\"x.txt\",3,4,1", kError},
      {"AT*FUPL=\"Game\",5,4,3", kError},
      {"AT*FUPL=\"x.jad\",3,3,1", kError},
  };
  for (const auto& c : cases) EXPECT_EQ(Ask(c.line), c.reply) << c.line;
  EXPECT_EQ(ReadFile(Phone() / "1" / "tune.mid"), "MThd");
  EXPECT_FALSE(fs::exists(dir_.path() / "evil.mid"));
  EXPECT_FALSE(fs::exists(Phone() / "evil.mid"));
}

TEST_F(PhoneSimTest, EchoKeepsTheLineEndAsReceived) {
  StartSim();
  struct Case {
    std::string sent, expected;
  } cases[] = {
      {"AT\r\n", "AT\r\n" + kOk},
      {"AT\r", "AT\r" + kOk},
      {"AT\n", "AT\n" + kOk},
      {"AT\r\nATX\r\n", "AT\r\n" + kOk + "ATX\r\n" + kError},
      {"AT\rAT\n", "AT\r" + kOk + "AT\n" + kOk},
  };
  for (const auto& c : cases) {
    sim_->ClearReceived();
    port_.Write(c.sent);
    EXPECT_EQ(port_.ReadAnswer(c.expected.size(), 50), c.expected);
    for (const auto& line : sim_->ReceivedLines()) EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
  }
  // A CR and its LF in separate writes are still one line end.
  sim_->ClearReceived();
  port_.Write("AT\r");
  port_.Write("\n");
  std::string text = port_.ReadAnswer(("AT\r" + kOk).size(), 50);
  EXPECT_TRUE(text == "AT\r\n" + kOk || text == "AT\r" + kOk) << text;
  EXPECT_EQ(sim_->ReceivedLines(), std::vector<std::string>{"AT"});
}

TEST_F(PhoneSimTest, FaultSwitchesShapeTheAnswer) {
  struct Case {
    const char* what;
    void (*set)(Options&);
    std::string line, expected;
  } cases[] = {
      {"error prefix", [](Options& o) { o.errorPrefix = "AT*FLIST"; }, "AT*FLIST=1", "AT*FLIST=1\r\n" + kError},
      {"error prefix elsewhere", [](Options& o) { o.errorPrefix = "AT*FLIST"; }, "AT", "AT\r\n" + kOk},
      {"silent", [](Options& o) { o.silentPrefix = "AT"; }, "AT", "AT\r\n"},
      {"no echo and silent", [](Options& o) { o.noEchoSilentPrefix = "AT"; }, "AT", ""},
      {"no echo", [](Options& o) { o.echo = false; }, "AT", kOk},
      {"garbage", [](Options& o) { o.garbage = true; }, "AT", "AT\r\n\x01\x02~~#" + kOk},
      {"flood", [](Options& o) { o.floodBytes = 5; }, "AT", "AT\r\nxxxxx" + kOk},
      {"listed size", [](Options& o) { o.listedSizes = {{"a.gif", "-5"}}; }, "AT*FLIST?",
       "AT*FLIST?\r\n\r\n<F> a.gif (-5)\r\n" + kOk},
  };
  StartSim();
  WriteFile(Phone() / "1" / "a.gif", "GIF");
  for (const auto& c : cases) {
    Options o;
    c.set(o);
    sim_->SetOptions(o);
    sim_->ClearReceived();
    port_.Write(c.line + "\r\n");
    EXPECT_EQ(port_.ReadAnswer(c.expected.size(), 50), c.expected) << c.what;
    EXPECT_EQ(sim_->ReceivedLines(), std::vector<std::string>{c.line}) << c.what;
  }
  // The noise holds nothing the PC's receiver reacts to.
  for (const char* marker : {"OK", "ERROR", "*", "<", "(", "D_ERR", ":"}) {
    EXPECT_EQ(std::string("\x01\x02~~#").find(marker), std::string::npos) << marker;
  }
}

TEST_F(PhoneSimTest, ListingFormat) {
  StartSim();
  WriteFile(Phone() / "1" / "b song.mid", "12345");
  WriteFile(Phone() / "1" / "a.mid", "");
  fs::create_directories(Phone() / "1" / "sub");
  ASSERT_EQ(Ask("AT*FLIST=1"), kOk);
  EXPECT_EQ(Ask("AT*FLIST?"), "\r\n<F> a.mid (0)\r\n<F> b song.mid (5)\r\n<D> sub\r\n" + kOk);
  ASSERT_EQ(Ask("AT*FLIST=2"), kOk);
  EXPECT_EQ(Ask("AT*FLIST?"), "\r\n" + kOk);
}

TEST_F(PhoneSimTest, UploadOfAbcStoresTheFile) {
  StartSim();
  ASSERT_EQ(Ask("AT*FLIST=3"), kOk);
  EXPECT_EQ(Ask("AT*FUPL=\"abc.gif\",3,3"), kOk);
  EXPECT_EQ(Ask("AT*FUPL=01006162630138"), kOk);
  EXPECT_EQ(ReadFile(Phone() / "3" / "abc.gif"), "abc");
  EXPECT_EQ(Ask("AT*FLIST?"), "\r\n<F> abc.gif (3)\r\n" + kOk);
  // No scratch files left behind.
  EXPECT_EQ(std::distance(fs::directory_iterator(Phone() / "3"), fs::directory_iterator()), 1);
}

TEST_F(PhoneSimTest, UploadSizesAndPacketNumbers) {
  StartSim();
  struct Case {
    size_t size;
    int folder;
  } cases[] = {{0, 1}, {1, 1}, {90, 2}, {91, 2}, {200, 3}, {90 * 257 + 5, 3}};
  for (const auto& c : cases) {
    std::string name = "f" + std::to_string(c.size) + ".bin";
    std::string data = Bytes(c.size, static_cast<int>(c.size));
    Upload("AT*FUPL=\"" + name + "\"," + std::to_string(c.size) + "," + std::to_string(c.folder), data);
    if (c.size > 0) {
      EXPECT_EQ(last_, kOk) << c.size;
    }
    EXPECT_EQ(ReadFile(Phone() / std::to_string(c.folder) / name), data) << c.size;
  }
}

TEST_F(PhoneSimTest, UploadPacketFaults) {
  const std::string abc = UploadLine(1, false, "abc");
  std::string badSum = abc;
  badSum.back() = badSum.back() == '9' ? '8' : '9';
  const std::string lower = "AT*FUPL=0100ab" + Check("AB");
  struct Step {
    std::string line, reply;
  };
  struct Case {
    const char* what;
    Options options;
    std::string request;
    std::vector<Step> steps;
    bool stored;
  } cases[] = {
      {"bad check value", {}, "AT*FUPL=\"t.mid\",3,1", {{badSum, kDErr}, {abc, kOk}}, true},
      {"rejected once", [] { Options o; o.rejectUploadPacket = 1; return o; }(), "AT*FUPL=\"t.mid\",3,1",
       {{abc, kDErr}, {abc, kOk}}, true},
      {"rejected twice", [] { Options o; o.rejectUploadPacket = 1; o.rejectUploadTimes = 2; return o; }(),
       "AT*FUPL=\"t.mid\",3,1", {{abc, kDErr}, {abc, kDErr}, {abc, kOk}}, true},
      {"other packet rejected", [] { Options o; o.rejectUploadPacket = 2; return o; }(), "AT*FUPL=\"t.mid\",3,1",
       {{abc, kOk}}, true},
      {"lower-case hex", {}, "AT*FUPL=\"t.mid\",1,1", {{lower, kDErr}, {UploadLine(1, false, "\xab"), kOk}}, true},
      {"wrong number", {}, "AT*FUPL=\"t.mid\",3,1", {{"AT*FUPL=02006162630138", kError}, {abc, kError}}, false},
      {"last packet too early", {}, "AT*FUPL=\"t.mid\",4,1", {{abc, kError}}, false},
      {"more data than announced", {}, "AT*FUPL=\"t.mid\",2,1", {{abc, kError}}, false},
      {"other command in between", {}, "AT*FUPL=\"t.mid\",3,1", {{"AT", kOk}, {abc, kError}}, false},
      {"forced error on packets", [] { Options o; o.errorPrefix = "AT*FUPL=01"; return o; }(),
       "AT*FUPL=\"t.mid\",3,1", {{abc, kError}}, false},
      {"short packet line", {}, "AT*FUPL=\"t.mid\",3,1", {{"AT*FUPL=0100", kDErr}, {abc, kOk}}, true},
  };
  StartSim();
  for (const auto& c : cases) {
    fs::remove(Phone() / "1" / "t.mid");
    sim_->SetOptions(c.options);
    ASSERT_EQ(Ask(c.request), kOk) << c.what;
    for (const auto& s : c.steps) EXPECT_EQ(Ask(s.line), s.reply) << c.what << ": " << s.line;
    EXPECT_EQ(fs::exists(Phone() / "1" / "t.mid"), c.stored) << c.what;
  }
}

TEST_F(PhoneSimTest, RefusedUploadsAndRemoval) {
  Options o;
  o.refuseUpload = true;
  StartSim(o);
  EXPECT_EQ(Ask("AT*FUPL=\"a.mid\",3,1"), "\r\n*FUPL: 3 ERROR\r\n");
  EXPECT_EQ(Ask("AT*FUPL=\"g.jad\",30,4,1"), "\r\n*FUPL: 3 ERROR\r\n");
  EXPECT_FALSE(fs::exists(Phone() / "1" / "a.mid"));

  sim_->SetOptions({});
  WriteFile(Phone() / "2" / "old anim.gif", "GIF89a");
  ASSERT_EQ(Ask("AT*FLIST=2"), kOk);
  EXPECT_EQ(Ask("AT*FRMV=\"old anim.gif\""), kOk);
  EXPECT_FALSE(fs::exists(Phone() / "2" / "old anim.gif"));
  EXPECT_EQ(Ask("AT*FRMV=\"old anim.gif\""), kError);
}

TEST_F(PhoneSimTest, DownloadPacketsAndCheckValues) {
  StartSim();
  const std::string data = Bytes(200, 3);
  WriteFile(Phone() / "1" / "song.mid", data);
  ASSERT_EQ(Ask("AT*FLIST=1"), kOk);
  EXPECT_EQ(Ask("AT*FDWN=\"song.mid\""), DownloadPacket(1, true, data.substr(0, 90)));
  EXPECT_EQ(Ask("AT*ACK"), DownloadPacket(2, true, data.substr(90, 90)));
  EXPECT_EQ(Ask("AT*ACK"), DownloadPacket(3, false, data.substr(180)));
  // The PC asks once more after the last packet: an empty closing packet.
  EXPECT_EQ(Ask("AT*ACK"), "\r\n*FDWN: 4\r\n04000000\r\n" + kOk);
  EXPECT_EQ(Ask("AT*ACK"), kError);

  // Literal bytes of one packet, so the helpers above cannot drift together.
  WriteFile(Phone() / "1" / "abc.mid", "abc");
  EXPECT_EQ(Ask("AT*FDWN=\"abc.mid\""), "\r\n*FDWN: 1\r\n01006162630138\r\n" + kOk);
  WriteFile(Phone() / "1" / "empty.mid", "");
  EXPECT_EQ(Ask("AT*FDWN=\"empty.mid\""), "\r\n*FDWN: 1\r\n01000000\r\n" + kOk);
}

TEST_F(PhoneSimTest, DownloadResendAndCorruption) {
  const std::string data = Bytes(200, 9);
  struct Case {
    int corrupt;
    std::vector<std::pair<std::string, int>> steps;  // command, packet expected (0 = ERROR)
  } cases[] = {
      {-1, {{"AT*FDWN=\"f.mid\"", 1}, {"AT*D_ERR", 1}, {"AT*ACK", 2}, {"AT*D_ERR", 2}, {"AT*ACK", 3}}},
      {2, {{"AT*FDWN=\"f.mid\"", 1}, {"AT*ACK", -2}, {"AT*D_ERR", 2}, {"AT*D_ERR", 2}, {"AT*ACK", 3}}},
      {1, {{"AT*FDWN=\"f.mid\"", -1}, {"AT*D_ERR", 1}, {"AT*ACK", 2}}},
      {3, {{"AT*FDWN=\"f.mid\"", 1}, {"AT*ACK", 2}, {"AT*ACK", -3}, {"AT*D_ERR", 3}, {"AT*ACK", 4}}},
  };
  StartSim();
  WriteFile(Phone() / "1" / "f.mid", data);
  ASSERT_EQ(Ask("AT*FLIST=1"), kOk);
  for (const auto& c : cases) {
    Options o;
    o.corruptDownloadPacket = c.corrupt;
    sim_->SetOptions(o);
    for (const auto& [line, packet] : c.steps) {
      int n = packet < 0 ? -packet : packet;
      std::string expected;
      if (n == 4) {
        expected = "\r\n*FDWN: 4\r\n04000000\r\n" + kOk;
      } else {
        expected = DownloadPacket(n, n < 3, data.substr(static_cast<size_t>(n - 1) * 90, 90));
      }
      if (packet < 0) {
        // Same packet, check value one too high.
        std::string hex = Hex(data.substr(static_cast<size_t>(n - 1) * 90, 90));
        unsigned sum = 0;
        for (unsigned char ch : hex) sum += ch;
        size_t at = expected.find(Check(hex) + "\r\n");
        ASSERT_NE(at, std::string::npos);
        char b[8];
        std::snprintf(b, sizeof b, "%04X", (sum + 1) & 0xFFFF);
        expected.replace(at, 4, b);
      }
      EXPECT_EQ(Ask(line), expected) << "corrupt " << c.corrupt << " " << line << " -> " << packet;
    }
  }
}

TEST_F(PhoneSimTest, DownloadPacketNumbersPastFF) {
  StartSim();
  const std::string data = Bytes(90 * 257, 1);
  WriteFile(Phone() / "2" / "big.gif", data);
  ASSERT_EQ(Ask("AT*FLIST=2"), kOk);
  std::map<int, std::string> numbers;
  std::string got;
  std::string reply = Ask("AT*FDWN=\"big.gif\"");
  for (int n = 1; n <= 257; ++n) {
    size_t line = reply.find("\r\n", 2) + 2;
    ASSERT_LT(line + 4, reply.size()) << n;
    numbers[n] = reply.substr(line, 2);
    EXPECT_EQ(reply[line + 3], n < 257 ? '1' : '0') << n;
    size_t end = reply.find("\r\n", line);
    got += reply.substr(line + 4, end - line - 8);
    if (n < 257) reply = Ask("AT*ACK");
  }
  EXPECT_TRUE(EndsWith(reply, kOk));
  EXPECT_EQ(got, Hex(data));
  EXPECT_EQ(numbers[1], "01");
  EXPECT_EQ(numbers[16], "10");
  EXPECT_EQ(numbers[255], "FF");
  EXPECT_EQ(numbers[256], "F0");
  EXPECT_EQ(numbers[257], "F1");
}

// A MIDlet suite placed straight into the phone's Java folder.
void PlaceSuite(const fs::path& java, const std::string& folder, const std::string& jad, size_t jarSize) {
  WriteFile(java / folder / "s.jad", jad);
  WriteFile(java / folder / "s.jar", std::string(jarSize, 'J'));
}

struct SuiteRecord {
  std::string url, name, size, version;
  bool operator==(const SuiteRecord&) const = default;
};

// The PC's reading of the list: keys in order, the two characters in front
// of each key dropped, and one seam cut out of each value.
std::vector<SuiteRecord> ParseLikeThePc(std::string t, std::set<std::string>* seamed) {
  auto clean = [&](std::string v, const char* key) {
    size_t s = v.find("*FDWN:");
    if (s != std::string::npos && s >= 4) {
      v.erase(s - 4, 14);
      seamed->insert(key);
    }
    return v;
  };
  std::vector<SuiteRecord> out;
  for (;;) {
    size_t u = t.find("URL:");
    if (u == std::string::npos) break;
    t.erase(0, u);
    SuiteRecord r;
    size_t n = t.find("NAME:"), s = t.find("SIZE:"), v = t.find("VERSION:");
    if (n == std::string::npos || s == std::string::npos || v == std::string::npos) break;
    r.url = clean(t.substr(4, n - 2 - 4), "URL");
    r.name = clean(t.substr(n + 5, s - 2 - n - 5), "NAME");
    r.size = clean(t.substr(s + 5, v - 2 - s - 5), "SIZE");
    size_t next = t.find("URL:", v);
    size_t end = next != std::string::npos ? next - 2 : t.find("\r\n", v);
    r.version = clean(t.substr(v + 8, end - v - 8), "VERSION");
    out.push_back(r);
    t.erase(0, next == std::string::npos ? t.size() : next);
  }
  return out;
}

TEST_F(PhoneSimTest, SuiteListExactBytes) {
  StartSim();
  PlaceSuite(Phone() / "4", "Chess", Jad("Chess", "1.2", 0, "chess.jar"), 1234);
  PlaceSuite(Phone() / "4", "Go", Jad("Go", "2.0.1", 0, "http://x/go.jar"), 77);
  ASSERT_EQ(Ask("AT*FLIST=4"), kOk);
  EXPECT_EQ(Ask("AT*FDWN=\"4\""),
            "\r\n*FDWN: 1\r\n0100"
            "URL:chess.jar\r\nNAME:Chess\r\nSIZE:1234\r\nVERSION:1.2\r\n"
            "URL:http://x/go.jar\r\nNAME:Go\r\nSIZE:77\r\nVERSION:2.0.1\r\n" +
                kOk);
  EXPECT_EQ(Ask("AT*FLIST?"), "\r\n<D> Chess\r\n<D> Go\r\n" + kOk);

  fs::remove_all(Phone() / "4");
  fs::create_directories(Phone() / "4");
  EXPECT_EQ(Ask("AT*FDWN=\"4\""), "\r\n*FDWN: 1\r\n0100" + kOk);
}

TEST_F(PhoneSimTest, SuiteListSeamsFallInsideValues) {
  StartSim();
  const std::vector<SuiteRecord> expected = {
      {"a.jar", "Alpha", "12345", "1.0.0"},
      {"bravo-long.jar", "Bravo Game", "9", "10.20"},
      {"c.jar", "C", "444", "3"},
  };
  for (const auto& r : expected) PlaceSuite(Phone() / "4", r.name, Jad(r.name, r.version, 0, r.url), std::stoul(r.size));
  ASSERT_EQ(Ask("AT*FLIST=4"), kOk);
  const std::string clean = Ask("AT*FDWN=\"4\"");
  std::set<std::string> seamed;
  ASSERT_EQ(ParseLikeThePc(clean, &seamed), expected);
  EXPECT_TRUE(seamed.empty());

  std::set<std::string> allSeamed;
  for (int every : {15, 17, 19, 20, 23, 25, 29, 31}) {
    Options o;
    o.seamEvery = every;
    sim_->SetOptions(o);
    std::string text = Ask("AT*FDWN=\"4\"");
    std::set<std::string> hit;
    EXPECT_EQ(ParseLikeThePc(text, &hit), expected) << "seam every " << every;
    allSeamed.insert(hit.begin(), hit.end());
    // Seams are 14 characters without line ends; cutting them all gives the clean list.
    std::string stripped = text;
    int seams = 0;
    for (size_t s; (s = stripped.find("*FDWN:", 20)) != std::string::npos; ++seams) {
      std::string seam = stripped.substr(s - 4, 14);
      EXPECT_EQ(seam.find_first_of("\r\n"), std::string::npos) << seam;
      EXPECT_EQ(seam.substr(0, 4), "0000");
      stripped.erase(s - 4, 14);
    }
    EXPECT_EQ(stripped, clean) << every;
    EXPECT_GE(seams, 1) << every;
  }
  EXPECT_EQ(allSeamed, (std::set<std::string>{"URL", "NAME", "SIZE", "VERSION"}));

  // The default: a seam only once the list is longer than 180 characters.
  sim_->SetOptions({});
  PlaceSuite(Phone() / "4", "Long", Jad("Long", "1", 0, std::string(150, 'u') + ".jar"), 1);
  std::string text = Ask("AT*FDWN=\"4\"");
  size_t first = text.find("*FDWN:", 5);
  ASSERT_NE(first, std::string::npos);
  EXPECT_EQ(text.find("*FDWN:", first + 6), std::string::npos);
  std::set<std::string> hit;
  EXPECT_EQ(ParseLikeThePc(text, &hit).size(), 4u);
  EXPECT_EQ(hit.size(), 1u);
}

TEST_F(PhoneSimTest, InstallValidation) {
  const std::string jar = Bytes(150, 5);
  struct Case {
    const char* what;
    Options options;
    std::string jad;
    bool sendJad;
    std::string reply;
  } cases[] = {
      {"valid", {}, Jad("Game", "1.0", jar.size()), true, kOk},
      {"no vendor", {}, Jad("Game", "1.0", jar.size(), "g.jar", false), true, "\r\n*FUPL: ERROR(1)\r\n"},
      {"size mismatch", {}, Jad("Game", "1.0", jar.size() + 1), true, "\r\n*FUPL: ERROR(4)\r\n"},
      {"size not a number", {}, "MIDlet-Name: Game\nMIDlet-Version: 1\nMIDlet-Vendor: V\nMIDlet-Jar-URL: g\n"
                                "MIDlet-Jar-Size: 15x\n",
       true, "\r\n*FUPL: ERROR(1)\r\n"},
      {"forced code", [] { Options o; o.installErrorCode = 3; return o; }(), Jad("Game", "1.0", jar.size()), true,
       "\r\n*FUPL: ERROR(3)\r\n"},
      {"archive alone", {}, "", false, "\r\n*FUPL: ERROR(1)\r\n"},
  };
  StartSim();
  for (const auto& c : cases) {
    fs::remove_all(Phone() / "4");
    fs::create_directories(Phone() / "4");
    sim_->SetOptions(c.options);
    if (c.sendJad) {
      Upload("AT*FUPL=\"game.jad\"," + std::to_string(c.jad.size()) + ",4,1", c.jad);
      ASSERT_EQ(last_, kOk) << c.what;
    }
    Upload("AT*FUPL=\"game.jar\"," + std::to_string(jar.size()) + ",4,1", jar);
    EXPECT_EQ(last_, c.reply) << c.what;
    bool stored = fs::exists(Phone() / "4" / "Game" / "game.jar");
    EXPECT_EQ(stored, c.reply == kOk) << c.what;
    if (stored) {
      EXPECT_EQ(ReadFile(Phone() / "4" / "Game" / "game.jar"), jar);
      EXPECT_EQ(ReadFile(Phone() / "4" / "Game" / "game.jad"), c.jad);
    }
  }
}

TEST_F(PhoneSimTest, InstallReplacesAndUninstallRemoves) {
  StartSim();
  auto install = [&](const std::string& name, const std::string& version, size_t size) {
    std::string jar(size, 'z'), jad = Jad(name, version, size);
    Upload("AT*FUPL=\"" + name + ".jad\"," + std::to_string(jad.size()) + ",4,1", jad);
    Upload("AT*FUPL=\"" + name + ".jar\"," + std::to_string(size) + ",4,1", jar);
    return last_;
  };
  ASSERT_EQ(install("Snake Run", "1.0", 100), kOk);
  ASSERT_EQ(install("Snake Run", "1.1", 120), kOk);
  ASSERT_EQ(install("Tetra", "2.0", 0), kOk);  // an empty archive: no packets at all
  ASSERT_EQ(Ask("AT*FLIST=4"), kOk);
  std::set<std::string> hit;
  std::vector<SuiteRecord> expected = {{"game.jar", "Snake Run", "120", "1.1"}, {"game.jar", "Tetra", "0", "2.0"}};
  EXPECT_EQ(ParseLikeThePc(Ask("AT*FDWN=\"4\""), &hit), expected);

  struct Case {
    std::string name, reply;
  } cases[] = {
      {"Snake Run", kOk},
      {"Snake Run", "\r\n*FUPL: ERROR(5)\r\n"},
      {"Nothing", "\r\n*FUPL: ERROR(5)\r\n"},
      {"Tetra", kOk},
  };
  for (const auto& c : cases) EXPECT_EQ(Ask("AT*FUPL=\"" + c.name + "\",0,4,3"), c.reply) << c.name;
  EXPECT_EQ(Ask("AT*FLIST?"), "\r\n" + kOk);
}

TEST_F(PhoneSimTest, HangUpShowsOnTheSlave) {
  struct Case {
    const char* what;
    int after;  // hang up after this many lines; -1: call HangUp()
  } cases[] = {{"after two lines", 2}, {"after one line", 1}, {"on request", -1}};
  for (const auto& c : cases) {
    sim_.reset();
    port_.Close();
    Options o;
    o.hangupAfterLines = c.after;
    StartSim(o);
    if (c.after == 2) {
      EXPECT_EQ(Ask("AT"), kOk) << c.what;
    }
    if (c.after < 0) {
      EXPECT_EQ(Ask("AT"), kOk) << c.what;
      sim_->HangUp();
    } else {
      port_.Write("AT\r\n");
    }
    pollfd p{port_.fd(), POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 2000), 1) << c.what;
    EXPECT_TRUE(p.revents & POLLHUP) << c.what;
    char b[16];
    EXPECT_LE(read(port_.fd(), b, sizeof b), 0) << c.what;  // no reply to the last line
    EXPECT_FALSE(sim_->Running()) << c.what;
  }
}

TEST_F(PhoneSimTest, LineCountRestartsWithNewOptionsAndReopenKeepsTheLine) {
  StartSim();
  EXPECT_EQ(Ask("AT"), kOk);
  EXPECT_EQ(Ask("AT"), kOk);
  Options o;
  o.hangupAfterLines = 2;
  sim_->SetOptions(o);
  EXPECT_EQ(Ask("AT"), kOk);  // first line since the change

  // The PC closing and reopening the device is not a hang-up.
  port_.Close();
  ASSERT_TRUE(port_.Open(sim_->DevicePath()));
  sim_->SetOptions({});
  EXPECT_EQ(Ask("AT"), kOk);
  EXPECT_TRUE(sim_->Running());
  EXPECT_EQ(sim_->ReceivedLines().size(), 4u);
}

TEST_F(PhoneSimTest, OverlongLineDoesNotStopServing) {
  StartSim();
  // Written aside: the echo comes back while the line is still going out.
  std::thread writer([this] { port_.Write(std::string(40000, 'A') + "\r\n"); });
  std::string text = port_.ReadUntil([](const std::string& t) { return t.size() >= 40002 && EndsWith(t, kError); }, 5000);
  writer.join();
  EXPECT_TRUE(EndsWith(text, kError));
  port_.ReadQuiet(100);
  EXPECT_EQ(Ask("AT"), kOk);
}

TEST_F(PhoneSimTest, PacingHoldsTheLineRate) {
  Options o;
  o.pace115200 = true;
  o.floodBytes = 4608;  // 0.4 s at 11520 bytes per second
  StartSim(o);
  // The count moves just after each write returns: let it settle first.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  size_t before = sim_->BytesSent();
  port_.Write("AT\r\n");
  std::string text;
  ASSERT_TRUE(port_.ReadSome(&text, 2000));
  auto first = Clock::now();
  size_t firstBytes = text.size();
  text += port_.ReadUntil([](const std::string& t) { return EndsWith(t, kOk); }, 5000);
  double seconds = std::chrono::duration<double>(Clock::now() - first).count();
  ASSERT_TRUE(EndsWith(text, kOk));
  double rate = static_cast<double>(text.size() - firstBytes) / seconds;
  EXPECT_GT(rate, 8000.0);
  EXPECT_LT(rate, 14000.0);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(sim_->BytesSent() - before, text.size());
}

// Split replies, read in bursts the way the PC's receiver cuts them, must
// get the same verdict as a whole reply, and no other verdict on the way.
TEST_F(PhoneSimTest, SplitRepliesClassifyLikeWholeOnes) {
  Options o;
  o.splitPauseMs = 30;
  StartSim(o);
  WriteFile(Phone() / "1" / "two.mid", Bytes(120, 2));
  WriteFile(Phone() / "1" / "one.mid", Bytes(40, 4));
  PlaceSuite(Phone() / "4", "Chess", Jad("Chess", "1.2", 0, "chess.jar"), 10);
  struct Case {
    std::string line;
    int start, verdict;
  };
  // Two phones on the same storage, each with its own run of lines, side by
  // side: the cases mostly wait out the pauses.
  const std::vector<Case> first = {
      {"AT", rsWaiting, rsOk},
      {"ATX", rsWaiting, rsError},
      {"AT*FLIST=1", rsWaiting, rsOk},
      {"AT*FLIST?", rsWaiting, rsOk},
      {"AT*FDWN=\"two.mid\"", rsWaiting, rsFirstPacket},
      {"AT*D_ERR", rsFirstPacket, rsNextPacket},
      {"AT*ACK", rsFirstPacket, rsOk},
      {"AT*ACK", rsFirstPacket, rsOk},
  };
  const std::vector<Case> second = {
      {"AT*FLIST=1", rsWaiting, rsOk},
      {"AT*FDWN=\"one.mid\"", rsWaiting, rsOk},
      {"AT*FLIST=4", rsWaiting, rsOk},
      {"AT*FDWN=\"4\"", rsWaiting, rsOk},
      {"AT*FUPL=\"x.mid\",3,1", rsWaiting, rsOk},
      {"AT*FUPL=01006162630139", rsWaiting, rsPacketRejected},
      {"AT*FUPL=\"Nope\",0,4,3", rsWaiting, rsError},
  };
  const auto classify = [](Port& port, const std::vector<Case>& cases) {
    for (const auto& c : cases) {
      port.Write(c.line + "\r\n");
      auto bursts = port.ReadBursts(100);
      ASSERT_GE(bursts.size(), 2u) << c.line;
      auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(bursts.back().second - bursts.front().second);
      EXPECT_GE(gap.count(), 15) << c.line;
      std::string text;
      int state = c.start;
      for (size_t i = 0; i < bursts.size(); ++i) {
        text += bursts[i].first;
        state = ClassifyReply(text, state).state;
        if (i + 1 < bursts.size()) {
          EXPECT_EQ(state, c.start) << c.line << " after burst " << i << ": " << text;
        }
      }
      EXPECT_EQ(state, c.verdict) << c.line << ": " << text;
    }
  };
  o.contentDir = Phone().string();
  PhoneSim other(o);
  ASSERT_TRUE(other.Start());
  Port otherPort;
  ASSERT_TRUE(otherPort.Open(other.DevicePath()));
  std::thread beside([&] { classify(otherPort, second); });
  classify(port_, first);
  beside.join();
}

}  // namespace
