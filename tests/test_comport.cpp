// Serial port object over real pseudo-terminals, plus a counting fake back
// end for the settings bookkeeping.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "port/ComPort.h"
#include "link/PortMap.h"
#include "port/posix/PosixComBackend.h"
#include "link/Settings.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t0) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

// The master side of a pty; the port opens the slave path.
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) std::abort();
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) std::abort();
    slave_ = name;
    // Raw slave line before anyone opens it (the master ioctl reaches the slave).
    struct termios2 t {};
    ioctl(master_, TCGETS2, &t);
    TLineSettings raw;
    EncodeLine(raw, t);
    ioctl(master_, TCSETS2, &t);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { HangUp(); }
  const std::string& Slave() const { return slave_; }
  int Master() const { return master_; }
  void Send(const std::string& s) {
    size_t off = 0;
    while (off < s.size()) {
      ssize_t r = write(master_, s.data() + off, s.size() - off);
      if (r > 0) off += static_cast<size_t>(r);
    }
  }
  // Everything the port sent within the quiet period.
  std::string Drain(int quietMs = 50) {
    std::string out;
    for (;;) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN)) return out;
      char buf[4096];
      ssize_t r = read(master_, buf, sizeof buf);
      if (r <= 0) return out;
      out.append(buf, static_cast<size_t>(r));
    }
  }
  void HangUp() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string slave_;
};

// Waits until the port has queued at least n bytes.
void WaitQueued(TCustomComPort& port, int n) {
  auto t0 = Clock::now();
  while (port.InputCount() < n && MsSince(t0) < 2000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

int CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EComPort& e) {
    return e.Code();
  }
  return 0;
}

// Counts what the port asks of the device; any step can be made to fail.
struct FakeBackend : IComBackend {
  struct Log {
    int opens = 0, closes = 0, buffers = 0, lines = 0, timeouts = 0, purges = 0, writes = 0;
    int lastDeadline = -2;
    int lastBaud = 0;
    std::vector<int> flowLevels;
  };
  Log* log;
  bool open = false;
  int failOpen = 0, failBuffers = 0, failLine = 0, failTimeouts = 0, failPurge = 0;
  int queued = 0;
  explicit FakeBackend(Log* l) : log(l) {}
  int Open(const std::string&) override {
    if (failOpen) return failOpen;
    ++log->opens;
    open = true;
    return 0;
  }
  void Close() override {
    if (open) ++log->closes;
    open = false;
  }
  bool IsOpen() const override { return open; }
  int ApplyBuffers(int, int) override { return ++log->buffers, failBuffers; }
  int ApplyLine(const TLineSettings& l) override { return ++log->lines, log->lastBaud = l.baud, failLine; }
  int ApplyTimeouts(const TComTimeouts&) override { return ++log->timeouts, failTimeouts; }
  int Write(const char*, size_t n, int deadlineMs, size_t* w) override {
    ++log->writes;
    log->lastDeadline = deadlineMs;
    *w = n;
    return 0;
  }
  int Read(char* d, size_t n, size_t* got) override {
    size_t k = std::min(n, static_cast<size_t>(queued));
    std::fill(d, d + k, 'x');
    queued -= static_cast<int>(k);
    *got = k;
    return 0;
  }
  int InputCount(int* c) override { return *c = queued, 0; }
  int Purge(bool, bool) override { return ++log->purges, failPurge; }
  int WaitRx(int, TComEvents* e) override { return *e = queued ? TComEvents{evRxChar} : 0u, 0; }
  void UpdateFlow(int q) override { log->flowLevels.push_back(q); }
};

struct FakePort {
  FakeBackend::Log log;
  FakeBackend* fake;
  TComPort port;
  FakePort() : port(Make(&log, &fake)) { port.SetPort("/dev/fake"); }
  static std::unique_ptr<IComBackend> Make(FakeBackend::Log* l, FakeBackend** out) {
    auto b = std::make_unique<FakeBackend>(l);
    *out = b.get();
    return b;
  }
};

}  // namespace

TEST(ComPortErrors, TextsAndOsSuffix) {
  const std::vector<std::string> texts = {
      "Unable to open com port", "WriteFile function failed", "ReadFile function failed",
      "Invalid Async parameter", "PurgeComm function failed", "Unable to get async status",
      "SetCommState function failed", "SetCommTimeouts failed", "SetupComm function failed",
      "ClearCommError function failed", "GetCommModemStatus function failed",
      "EscapeCommFunction function failed", "TransmitCommChar function failed",
      "Cannot set property while connected", "EnumPorts function failed", "Failed to store settings",
      "Failed to load settings", "Link (un)registration failed",
      "Cannot change led state if ComPort is selected",
      "Cannot wait for event if event thread is created", "WaitForEvent method failed",
      "A component is linked to OnRxBuf event", "Registry error"};
  ASSERT_EQ(texts.size(), 23u);
  for (int code = 1; code <= 23; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(ComErrorText(code), texts[code - 1]);
    EComPort plain(code);
    EXPECT_EQ(plain.what(), texts[code - 1]);
    EXPECT_EQ(plain.WinCode(), -1);
    EComPort withOs(code, code * 7);
    EXPECT_EQ(withOs.what(), texts[code - 1] + " (win error code: " + std::to_string(code * 7) + ")");
    EXPECT_EQ(withOs.Code(), code);
  }
  EXPECT_STREQ(EComPort(2, 0).what(), "WriteFile function failed (win error code: 0)");
  EXPECT_STREQ(ComErrorText(0), "");
  EXPECT_STREQ(ComErrorText(24), "");
}

TEST(ComPortSettings, LibraryDefaultsAndSystemValues) {
  TCustomComPort lib;
  TComPort sys;
  EXPECT_EQ(lib.Port(), "COM1");
  EXPECT_EQ(lib.BaudRate(), br9600);
  EXPECT_EQ(sys.BaudRate(), br115200);
  EXPECT_EQ(lib.FlowControl().ControlDTR, dtrDisable);
  EXPECT_EQ(sys.FlowControl().ControlDTR, dtrHandshake);
  EXPECT_EQ(lib.FlowControl().ControlRTS, rtsDisable);
  EXPECT_EQ(sys.FlowControl().ControlRTS, rtsEnable);
  EXPECT_EQ(lib.SyncMethod(), smThreadSync);
  EXPECT_EQ(sys.SyncMethod(), smWindowSync);
  for (const TCustomComPort* p : {static_cast<const TCustomComPort*>(&lib), static_cast<const TCustomComPort*>(&sys)}) {
    EXPECT_EQ(p->Events(), kAllComEvents);
    EXPECT_EQ(p->Timeouts().WriteTotalMultiplier, 100);
    EXPECT_EQ(p->Timeouts().WriteTotalConstant, 1000);
    EXPECT_EQ(p->Timeouts().ReadInterval, -1);
    EXPECT_FALSE(p->Connected());
  }
}

TEST(ComPortSettings, OddBufferSizesLowered) {
  TComPort port;
  port.SetBuffer({1025, 513});
  EXPECT_EQ(port.Buffer().InputSize, 1024);
  EXPECT_EQ(port.Buffer().OutputSize, 512);
  port.SetBuffer({2048, 4096});
  EXPECT_EQ(port.Buffer().InputSize, 2048);
}

// Which group each setter re-applies: while closed nothing, while open its
// own group, inside a batch nothing until the outer EndUpdate applies all.
TEST(ComPortSettings, SetterReappliesItsGroup) {
  struct Case {
    const char* name;
    std::function<void(TComPort&)> set;
    int buffers, lines, timeouts;
  };
  const std::vector<Case> cases = {
      {"baud", [](TComPort& p) { p.SetBaudRate(br57600); }, 0, 1, 0},
      {"custom baud", [](TComPort& p) { p.SetCustomBaudRate(250000); }, 0, 1, 0},
      {"data bits", [](TComPort& p) { p.SetDataBits(dbSeven); }, 0, 1, 0},
      {"stop bits", [](TComPort& p) { p.SetStopBits(sbTwoStopBits); }, 0, 1, 0},
      {"parity", [](TComPort& p) { p.SetParity({prEven, true, false, 0}); }, 0, 1, 0},
      {"flow", [](TComPort& p) { p.SetFlowControl({}); }, 0, 1, 0},
      {"discard null", [](TComPort& p) { p.SetDiscardNull(true); }, 0, 1, 0},
      {"event char", [](TComPort& p) { p.SetEventChar(10); }, 0, 1, 0},
      {"buffer", [](TComPort& p) { p.SetBuffer({4096, 4096}); }, 1, 0, 0},
      {"timeouts", [](TComPort& p) { p.SetTimeouts({-1, 0, 0, 10, 100}); }, 0, 0, 1},
      {"sync method", [](TComPort& p) { p.SetSyncMethod(smNone); }, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    {
      FakePort f;
      c.set(f.port);
      EXPECT_EQ(f.log.buffers + f.log.lines + f.log.timeouts, 0) << "applied while closed";
    }
    {
      FakePort f;
      f.port.SetEvents(0);
      f.port.Open();
      auto before = f.log;
      c.set(f.port);
      EXPECT_EQ(f.log.buffers - before.buffers, c.buffers);
      EXPECT_EQ(f.log.lines - before.lines, c.lines);
      EXPECT_EQ(f.log.timeouts - before.timeouts, c.timeouts);
    }
    {
      FakePort f;
      f.port.SetEvents(0);
      f.port.Open();
      auto before = f.log;
      f.port.BeginUpdate();
      f.port.BeginUpdate();
      c.set(f.port);
      c.set(f.port);
      f.port.EndUpdate();
      EXPECT_EQ(f.log.buffers + f.log.lines + f.log.timeouts,
                before.buffers + before.lines + before.timeouts) << "applied inside a batch";
      f.port.EndUpdate();
      EXPECT_EQ(f.log.buffers - before.buffers, 1);
      EXPECT_EQ(f.log.lines - before.lines, 1);
      EXPECT_EQ(f.log.timeouts - before.timeouts, 1);
      f.port.EndUpdate();  // unbalanced: no effect
      EXPECT_EQ(f.log.lines - before.lines, 1);
    }
  }
}

TEST(ComPortSettings, BatchEndedWhileClosedAppliesNothing) {
  FakePort f;
  f.port.BeginUpdate();
  f.port.SetBaudRate(br300);
  f.port.EndUpdate();
  EXPECT_EQ(f.log.lines, 0);
  f.port.SetEvents(0);
  f.port.Open();
  EXPECT_EQ(f.log.lastBaud, 300);
}

TEST(ComPortOpen, FailingApplyStepClosesAndRaises) {
  struct Case {
    int FakeBackend::*fail;
    int code;
  };
  const std::vector<Case> cases = {{&FakeBackend::failBuffers, 9}, {&FakeBackend::failLine, 7},
                                   {&FakeBackend::failTimeouts, 8}, {&FakeBackend::failOpen, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    FakePort f;
    f.fake->*c.fail = EINVAL;
    try {
      f.port.Open();
      FAIL() << "Open succeeded";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.Code(), c.code);
      EXPECT_EQ(e.WinCode(), EINVAL);
    }
    EXPECT_FALSE(f.port.Connected());
    EXPECT_FALSE(f.fake->open);
    EXPECT_FALSE(f.port.MonitorThreadRunning());
  }
}

TEST(ComPortSettings, FailedChangeKeepsValueAndPortOpen) {
  FakePort f;
  f.port.SetEvents(0);
  f.port.Open();
  f.fake->failLine = EINVAL;
  EXPECT_EQ(CodeOf([&] { f.port.SetBaudRate(br2400); }), 7);
  EXPECT_EQ(f.port.BaudRate(), br2400);
  EXPECT_TRUE(f.port.Connected());
  f.fake->failTimeouts = EIO;
  EXPECT_EQ(CodeOf([&] { f.port.SetTimeouts({}); }), 8);
  f.fake->failBuffers = EIO;
  EXPECT_EQ(CodeOf([&] { f.port.SetBuffer({64, 64}); }), 9);
  EXPECT_EQ(f.port.Buffer().InputSize, 64);
}

TEST(ComPortWrite, DeadlineFromWriteTimeouts) {
  FakePort f;
  f.port.SetEvents(0);
  f.port.Open();
  f.port.WriteStr(std::string(10, 'a'));
  EXPECT_EQ(f.log.lastDeadline, 100 * 10 + 1000);
  f.port.SetTimeouts({-1, 0, 0, 0, 0});
  f.port.WriteStr("x");
  EXPECT_EQ(f.log.lastDeadline, 0) << "no total time-out means no limit";
  // A huge per-byte figure must not wrap into a negative (instant) deadline.
  f.port.SetTimeouts({-1, 0, 0, INT_MAX, 1000});
  f.port.WriteStr(std::string(64, 'a'));
  EXPECT_EQ(f.log.lastDeadline, INT_MAX);
  int writes = f.log.writes;
  EXPECT_EQ(f.port.WriteStr(""), 0);
  EXPECT_EQ(f.log.writes, writes) << "empty text reached the device";
}

TEST(ComPortClose, PurgeFailure) {
  struct Case {
    int err;
    int code;
  };
  for (const Case& c : std::vector<Case>{{EPERM, 5}, {EIO, 0}, {ENXIO, 0}}) {
    SCOPED_TRACE(c.err);
    FakePort f;
    f.port.SetEvents(0);
    f.port.Open();
    f.fake->failPurge = c.err;
    EXPECT_EQ(CodeOf([&] { f.port.Close(); }), c.code);
    EXPECT_FALSE(f.port.Connected());
    EXPECT_FALSE(f.fake->open) << "device left open after a failed purge";
  }
}

TEST(ComPortRead, ReportsQueueLevelForDtrFlow) {
  FakePort f;
  f.port.SetEvents(0);
  f.port.Open();
  f.fake->queued = 40;
  std::string s;
  EXPECT_EQ(f.port.ReadStr(s, 16), 16);
  EXPECT_EQ(f.port.ReadStr(s, 16), 16);
  ASSERT_EQ(f.log.flowLevels, (std::vector<int>{24, 8}));
}

TEST(ComPortClosed, EveryTransferRaisesItsCode) {
  TComPort port;
  std::string s = "keep";
  TComEvents ev = evRxChar;
  EXPECT_EQ(CodeOf([&] { port.WriteStr("AT\r"); }), 2);
  EXPECT_EQ(CodeOf([&] { port.ReadStr(s, 16); }), 3);
  EXPECT_TRUE(s.empty());
  EXPECT_EQ(CodeOf([&] { port.InputCount(); }), 10);
  EXPECT_EQ(CodeOf([&] { port.ClearBuffer(true, true); }), 5);
  EXPECT_EQ(CodeOf([&] { port.WaitForEvent(ev, nullptr, 10); }), 21);
  EXPECT_EQ(port.WriteStr(""), 0);
  EXPECT_NO_THROW(port.Close());
}

TEST(PosixLine, EncodeFraming) {
  struct Case {
    TDataBits bits;
    TParityBits parity;
    TStopBits stop;
    tcflag_t want;
  };
  const std::vector<Case> cases = {
      {dbEight, prNone, sbOneStopBit, CS8},
      {dbSeven, prEven, sbOneStopBit, CS7 | PARENB},
      {dbSeven, prOdd, sbTwoStopBits, CS7 | PARENB | PARODD | CSTOPB},
      {dbFive, prMark, sbOne5StopBits, CS5 | PARENB | PARODD | CMSPAR | CSTOPB},
      {dbSix, prSpace, sbOneStopBit, CS6 | PARENB | CMSPAR},
  };
  const tcflag_t mask = CSIZE | PARENB | PARODD | CMSPAR | CSTOPB;
  for (const Case& c : cases) {
    struct termios2 t {};
    t.c_cflag = CS5 | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS;  // stale bits must go
    t.c_iflag = ICRNL | IXON | INPCK;
    t.c_oflag = OPOST;
    t.c_lflag = ICANON | ECHO | ISIG;
    TLineSettings line;
    line.dataBits = c.bits;
    line.parity.Bits = c.parity;
    line.stopBits = c.stop;
    ASSERT_EQ(EncodeLine(line, t), 0);
    EXPECT_EQ(t.c_cflag & mask, c.want) << c.bits << "/" << c.parity << "/" << c.stop;
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | INPCK), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_cc[VMIN], 0);
    EXPECT_EQ(t.c_cc[VTIME], 0);
  }
  struct termios2 t {};
  TLineSettings line;
  line.flow.OutCTSFlow = true;
  line.flow.XonXoffIn = true;
  line.flow.XonChar = 0x11;
  line.flow.XoffChar = 0x13;
  line.parity = {prEven, true, true, 0};
  ASSERT_EQ(EncodeLine(line, t), 0);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXOFF | IXON | INPCK), static_cast<tcflag_t>(IXOFF | INPCK));
  EXPECT_EQ(t.c_cc[VSTART], 0x11);
  EXPECT_EQ(t.c_cc[VSTOP], 0x13);
  line.baud = 0;
  EXPECT_EQ(EncodeLine(line, t), EINVAL);
}

TEST(PosixLine, DtrHandshakeThresholds) {
  // 1024-byte queue: drop above 768 queued (fewer than 256 free), raise below 256.
  struct Step {
    int queued;
    bool changes;
    bool raised;
  };
  const std::vector<Step> steps = {{0, false, true},    {768, false, true},  {769, true, false},
                                   {1000, false, false}, {256, false, false}, {255, true, true},
                                   {500, false, true},   {1024, true, false}, {0, true, true}};
  DtrFlowGate g;
  g.Reset(1024);
  for (const Step& s : steps) {
    SCOPED_TRACE(s.queued);
    EXPECT_EQ(g.Update(s.queued), s.changes);
    EXPECT_EQ(g.Raised(), s.raised);
  }
  g.Reset(0);
  EXPECT_FALSE(g.Update(5000)) << "no queue size, no flow control";
}

TEST(PtyPort, BaudRatesReachTheLine) {
  struct Case {
    TBaudRate rate;
    unsigned speed;
  };
  const std::vector<Case> cases = {
      {br110, 110},       {br300, 300},       {br600, 600},       {br1200, 1200},
      {br2400, 2400},     {br4800, 4800},     {br9600, 9600},     {br14400, 14400},
      {br19200, 19200},   {br38400, 38400},   {br56000, 56000},   {br57600, 57600},
      {br115200, 115200}, {br128000, 128000}, {br256000, 256000}, {brCustom, 250000}};
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.SetCustomBaudRate(250000);
  port.Open();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.speed);
    EXPECT_EQ(BaudRateValue(c.rate, 250000), static_cast<int>(c.speed));
    port.SetBaudRate(c.rate);
    struct termios2 t {};
    ASSERT_EQ(ioctl(pty.Master(), TCGETS2, &t), 0);
    EXPECT_EQ(t.c_ospeed, c.speed);
    EXPECT_EQ(t.c_ispeed, c.speed);
  }
}

TEST(PtyPort, OpenCloseIdempotentAndSamePortNoop) {
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.Open();
  port.Open();
  EXPECT_TRUE(port.Connected());
  port.WriteStr("AT\r");
  EXPECT_EQ(pty.Drain(), "AT\r");
  pty.Send("OK");
  WaitQueued(port, 2);
  port.SetPort(pty.Slave());
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.InputCount(), 2) << "same-name Port reopened and lost input";
  port.Close();
  port.Close();
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(port.DevicePath(), "");
}

TEST(PtyPort, RetargetWhileOpen) {
  Pty a, b;
  TComPort port;
  port.SetPort(a.Slave());
  port.SetEvents(0);
  port.Open();
  port.SetPort(b.Slave());
  EXPECT_TRUE(port.Connected());
  EXPECT_EQ(port.DevicePath(), b.Slave());
  port.WriteStr("x");
  EXPECT_EQ(b.Drain(), "x");
  EXPECT_EQ(a.Drain(), "");

  try {
    port.SetPort("/nonexistent/ttyQ9");
    FAIL() << "re-open of a missing device succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code(), 1);
    EXPECT_EQ(e.WinCode(), ENOENT);
  }
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(port.Port(), "/nonexistent/ttyQ9");
}

TEST(PtyPort, FailedOpenLeavesClosed) {
  TComPort port;
  port.SetPort("COM_NOT_MAPPED_77");
  try {
    port.Open();
    FAIL();
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code(), 1);
    EXPECT_EQ(e.WinCode(), ENOENT);
    EXPECT_EQ(std::string(e.what()), "Unable to open com port (win error code: " + std::to_string(ENOENT) + ")");
  }
  EXPECT_FALSE(port.Connected());
}

TEST(PtyPort, OpenThroughPortMapName) {
  const auto dir = std::filesystem::temp_directory_path() / ("qd_comport_" + std::to_string(getpid()));
  SetSettingsStoreFolder(dir.string());
  Pty pty;
  TComPort port;
  port.SetDeviceResolver(ResolvePortDevice);  // as the link does
  port.SetPort("COM40");
  AddPortMapEntry("COM40", pty.Slave());  // the name is looked up at the open
  port.SetEvents(0);
  port.Open();
  EXPECT_EQ(port.DevicePath(), pty.Slave());
  port.Close();
  RemovePortMapEntry("COM40");
  std::filesystem::remove_all(dir);
}

TEST(PtyPort, ExclusiveOpen) {
  Pty pty;
  TComPort first, second;
  for (TComPort* p : {&first, &second}) {
    p->SetPort(pty.Slave());
    p->SetEvents(0);
  }
  first.Open();
  try {
    second.Open();
    FAIL() << "device opened twice";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code(), 1);
    EXPECT_TRUE(e.WinCode() == EWOULDBLOCK || e.WinCode() == EBUSY) << e.WinCode();
  }
  EXPECT_FALSE(second.Connected());
  first.Close();
  EXPECT_NO_THROW(second.Open());
}

TEST(PtyPort, BinaryTransparentBothWays) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.Open();
  EXPECT_EQ(port.WriteStr(all), 256);
  EXPECT_EQ(pty.Drain(), all);
  pty.Send(all);
  std::string got, piece;
  auto t0 = Clock::now();
  while (got.size() < all.size() && MsSince(t0) < 2000) {
    port.ReadStr(piece, 16);
    ASSERT_LE(piece.size(), 16u);
    got += piece;
  }
  EXPECT_EQ(got, all);
}

TEST(PtyPort, ReadStrTakesAtMostCount) {
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.Open();
  std::string s = "stale";
  EXPECT_EQ(port.ReadStr(s, 16), 0);
  EXPECT_EQ(s, "");
  const std::string sent = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
  pty.Send(sent);
  WaitQueued(port, 40);
  EXPECT_EQ(port.ReadStr(s, 16), 16);
  EXPECT_EQ(s, sent.substr(0, 16));
  EXPECT_EQ(port.InputCount(), 24);
  EXPECT_EQ(port.ReadStr(s, 100), 24);
  EXPECT_EQ(s, sent.substr(16));
  pty.Send("zz");
  WaitQueued(port, 2);
  port.ClearBuffer(true, false);
  EXPECT_EQ(port.InputCount(), 0);
}

TEST(PtyPort, WaitForEventTimesOutOrSeesData) {
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.Open();
  TComEvents ev = evRxChar;
  auto t0 = Clock::now();
  port.WaitForEvent(ev, nullptr, 10);
  long ms = MsSince(t0);
  EXPECT_EQ(ev, 0u);
  EXPECT_GE(ms, 8);
  EXPECT_LT(ms, 200);

  std::thread sender([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    pty.Send("O");
  });
  ev = evRxChar;
  t0 = Clock::now();
  port.WaitForEvent(ev, nullptr, 3000);
  sender.join();
  EXPECT_EQ(ev, static_cast<TComEvents>(evRxChar));
  EXPECT_LT(MsSince(t0), 1000) << "wait did not end on arrival";
}

TEST(PtyPort, MonitorThreadRefusesWait) {
  Pty a, b;
  TComPort port;
  port.SetPort(a.Slave());
  ASSERT_NE(port.Events(), 0u);
  port.Open();
  EXPECT_TRUE(port.MonitorThreadRunning());
  TComEvents ev = evRxChar;
  EXPECT_EQ(CodeOf([&] { port.WaitForEvent(ev, nullptr, 10); }), 20);
  port.Close();
  EXPECT_FALSE(port.MonitorThreadRunning());

  port.SetEvents(0);
  port.Open();
  EXPECT_FALSE(port.MonitorThreadRunning());
  // A re-open after a port change takes Events as they are then.
  port.SetEvents(evRxChar);
  port.SetPort(b.Slave());
  EXPECT_TRUE(port.MonitorThreadRunning());
  EXPECT_EQ(CodeOf([&] { port.WaitForEvent(ev, nullptr, 10); }), 20);
}

TEST(PtyPort, HangUpFailsWaitAndWrite) {
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.Open();
  pty.HangUp();
  TComEvents ev = evRxChar;
  auto t0 = Clock::now();
  EXPECT_EQ(CodeOf([&] { port.WaitForEvent(ev, nullptr, 1000); }), 21);
  EXPECT_LT(MsSince(t0), 500);
  EXPECT_EQ(CodeOf([&] { port.WriteStr("AT\r"); }), 2);
  EXPECT_NO_THROW(port.Close()) << "closing a dead device must not fail";
}

TEST(PtyPort, WriteTimesOutWhenNobodyReads) {
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.Open();
  port.SetTimeouts({-1, 0, 0, 0, 150});
  auto t0 = Clock::now();
  try {
    port.WriteStr(std::string(4 << 20, 'U'));
    FAIL() << "a stalled write reported success";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code(), 2);
    EXPECT_EQ(e.WinCode(), ETIMEDOUT);
  }
  long ms = MsSince(t0);
  EXPECT_GE(ms, 140);
  EXPECT_LT(ms, 2000);
}

TEST(PtyPort, CloseFromOtherThreadEndsWait) {
  for (int timeout : {10, 5000}) {
    SCOPED_TRACE(timeout);
    Pty pty;
    TComPort port;
    port.SetPort(pty.Slave());
    port.SetEvents(0);
    port.Open();
    auto waiter = std::async(std::launch::async, [&] {
      try {
        for (;;) {
          TComEvents ev = evRxChar;
          port.WaitForEvent(ev, nullptr, timeout);
        }
      } catch (const EComPort& e) {
        return e.Code();
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto t0 = Clock::now();
    port.Close();
    EXPECT_LT(MsSince(t0), 1000) << "Close waited for the pending wait";
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(3)), std::future_status::ready) << "wait hung";
    EXPECT_EQ(waiter.get(), 21);
  }
}

// The receiver's loop against the window thread's writes and reopens; run
// under ThreadSanitizer to catch races.
TEST(PtyPort, ReceiverAndWindowThreadsTogether) {
  Pty pty;
  TComPort port;
  port.SetPort(pty.Slave());
  port.SetEvents(0);
  port.Open();
  std::atomic<bool> stop{false};
  std::atomic<int> bytes{0};
  std::vector<int> codes;
  std::thread receiver([&] {
    std::string piece;
    while (!stop) {
      try {
        TComEvents ev = evRxChar;
        port.WaitForEvent(ev, nullptr, 10);
        if (ev && port.InputCount() > 0) bytes += port.ReadStr(piece, 16);
      } catch (const EComPort& e) {
        codes.push_back(e.Code());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
  });
  for (int i = 0; i < 30; ++i) {
    pty.Send("OK\r\n");
    port.WriteStr("AT\r");
    if (i % 5 == 4) {
      port.Close();
      port.Open();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  stop = true;
  receiver.join();
  EXPECT_GT(bytes.load(), 0);
  for (int c : codes) EXPECT_TRUE(c == 3 || c == 10 || c == 21) << c;
}
