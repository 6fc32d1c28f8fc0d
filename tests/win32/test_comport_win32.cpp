// The port layer on its Win32 back end, against real comm handles. Run by
// scripts/wine-port-test.py, which maps two Linux pseudo-terminals as COM
// ports of a Wine prefix: the virtual phone (QUENDREL_PHONE_PORT) and a
// scripted far end (QUENDREL_PEER_PORT) that obeys lines sent to it:
//   !send TEXT     sends TEXT            !later MS TEXT  sends TEXT after MS ms
//   !loop N        sends back the next N bytes it receives
//   !stall MS      reads nothing for MS ms
//   !hangup        hangs the line up (the port name then leads to a fresh line)
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "port/ComPort.h"
#include "port/win32/Win32ComBackend.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t0) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count());
}

std::string EnvPort(const char* var) {
  const char* v = std::getenv(var);
  return v ? v : "";
}

int CodeOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EComPort& e) {
    return e.Code();
  }
  return 0;
}

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

// A port on the scripted far end, with the back end kept for inspection.
struct PeerPort {
  Win32ComBackend* backend;
  TComPort port;
  PeerPort() : port(Make(&backend)) {
    port.SetPort(EnvPort("QUENDREL_PEER_PORT"));
    port.SetEvents(0);
  }
  static std::unique_ptr<IComBackend> Make(Win32ComBackend** out) {
    auto b = std::make_unique<Win32ComBackend>();
    *out = b.get();
    return b;
  }
  // The leading line end cuts off whatever an earlier test left unfinished.
  void Command(const std::string& line) { port.WriteStr("\n" + line + "\n"); }
};

void WaitQueued(TCustomComPort& port, int n) {
  auto t0 = Clock::now();
  while (port.InputCount() < n && MsSince(t0) < 3000) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Reads the way the receiver does: wait in 10 ms bursts, take what is queued.
std::string Collect(TCustomComPort& port, size_t want, int limitMs) {
  std::string got, piece;
  auto t0 = Clock::now();
  while (got.size() < want && MsSince(t0) < limitMs) {
    TComEvents ev = evRxChar;
    port.WaitForEvent(ev, nullptr, 10);
    if (ev && port.InputCount() > 0) {
      port.ReadStr(piece, 16);
      got += piece;
    }
  }
  return got;
}

// Waits at the bottom of `depth` frames that each hold a guard pattern, and
// tells whether the patterns survived: a wait that was given up but still
// writes its mask or status into a stack that has moved on breaks them
// (or the program).
[[gnu::noinline]] bool WaitDeep(TCustomComPort& port, int depth, int timeoutMs, TComEvents* ev) {
  volatile unsigned char guard[512];
  for (auto& b : guard) b = 0xA5;
  bool ok = true;
  if (depth == 0) {
    TComEvents e = evRxChar;
    port.WaitForEvent(e, nullptr, timeoutMs);
    *ev = e;
  } else {
    ok = WaitDeep(port, depth - 1, timeoutMs, ev);
  }
  for (auto& b : guard) ok = ok && b == 0xA5;
  return ok;
}

class Win32Port : public ::testing::Test {
 protected:
  void SetUp() override {
    if (EnvPort("QUENDREL_PEER_PORT").empty())
      GTEST_SKIP() << "QUENDREL_PEER_PORT not set; run through scripts/wine-port-test.py";
  }
};

}  // namespace

// Each setting reaches its own DCB field, including the ones Linux has no
// place for (DSR flow and sensitivity, continue on XOFF, event character,
// parity replacement, null stripping, RTS toggle).
TEST(Win32Line, EncodeDcbFields) {
  struct Case {
    const char* name;
    std::function<void(TLineSettings&)> set;
    std::function<bool(const DCB&)> holds;
  };
  const std::vector<Case> cases = {
      {"5M1.5", [](TLineSettings& l) { l.dataBits = dbFive; l.parity.Bits = prMark; l.stopBits = sbOne5StopBits; },
       [](const DCB& d) { return d.ByteSize == 5 && d.Parity == MARKPARITY && d.StopBits == ONE5STOPBITS; }},
      {"check+replace", [](TLineSettings& l) { l.parity = {prOdd, true, true, '?'}; },
       [](const DCB& d) { return d.fParity && d.fErrorChar && d.ErrorChar == '?'; }},
      {"no parity bit, no check", [](TLineSettings& l) { l.parity = {prNone, true, true, '?'}; },
       [](const DCB& d) { return !d.fParity && !d.fErrorChar; }},
      {"dsr", [](TLineSettings& l) { l.flow.OutDSRFlow = true; l.flow.DSRSensitivity = true; },
       [](const DCB& d) { return d.fOutxDsrFlow && d.fDsrSensitivity && !d.fOutxCtsFlow; }},
      {"xon/xoff", [](TLineSettings& l) { l.flow.XonXoffOut = l.flow.XonXoffIn = l.flow.TxContinueOnXoff = true; l.flow.XonChar = 0x21; },
       [](const DCB& d) { return d.fOutX && d.fInX && d.fTXContinueOnXoff && d.XonChar == 0x21 && d.XoffChar == 0x13; }},
      {"dtr handshake, rts toggle", [](TLineSettings& l) { l.flow.ControlDTR = dtrHandshake; l.flow.ControlRTS = rtsToggle; },
       [](const DCB& d) { return d.fDtrControl == DTR_CONTROL_HANDSHAKE && d.fRtsControl == RTS_CONTROL_TOGGLE; }},
      {"null, event char", [](TLineSettings& l) { l.discardNull = true; l.eventChar = '\n'; },
       [](const DCB& d) { return d.fNull && d.EvtChar == '\n'; }},
  };
  for (const Case& c : cases) {
    DCB dcb{};
    // Stale bits from the driver must not survive.
    dcb.fOutxDsrFlow = dcb.fDsrSensitivity = dcb.fOutX = dcb.fInX = dcb.fNull = dcb.fParity = 1;
    dcb.fErrorChar = dcb.fOutxCtsFlow = dcb.fTXContinueOnXoff = dcb.fAbortOnError = 1;
    dcb.EvtChar = 'x';
    TLineSettings line;
    c.set(line);
    ASSERT_EQ(EncodeDcb(line, 2048, dcb), 0) << c.name;
    EXPECT_TRUE(c.holds(dcb)) << c.name;
    EXPECT_TRUE(dcb.fBinary) << c.name;
    EXPECT_FALSE(dcb.fAbortOnError) << c.name;
    EXPECT_EQ(dcb.XonLim, 512) << c.name;
    EXPECT_EQ(dcb.XoffLim, 512) << c.name;
  }
  TLineSettings bad;
  bad.baud = 0;
  DCB dcb{};
  EXPECT_EQ(EncodeDcb(bad, 1024, dcb), ERROR_INVALID_PARAMETER);
}

TEST(Win32Closed, EveryTransferRaisesItsCodeWithInvalidHandle) {
  TComPort port;
  std::string s;
  TComEvents ev = evRxChar;
  struct Case {
    std::function<void()> op;
    int code;
  };
  const std::vector<Case> cases = {{[&] { port.WriteStr("AT\r"); }, 2},
                                   {[&] { port.ReadStr(s, 16); }, 3},
                                   {[&] { port.InputCount(); }, 10},
                                   {[&] { port.ClearBuffer(true, true); }, 5},
                                   {[&] { port.WaitForEvent(ev, nullptr, 10); }, 21}};
  for (const Case& c : cases) {
    try {
      c.op();
      ADD_FAILURE() << "no error for code " << c.code;
    } catch (const EComPort& e) {
      EXPECT_EQ(e.Code(), c.code);
      EXPECT_EQ(e.WinCode(), ERROR_INVALID_HANDLE);
    }
  }
}

TEST_F(Win32Port, OpenFailuresCarryTheSystemError) {
  TComPort port;
  port.SetEvents(0);
  port.SetPort("COM250");
  try {
    port.Open();
    FAIL() << "a port nobody has opened";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code(), 1);
    EXPECT_EQ(e.WinCode(), ERROR_FILE_NOT_FOUND);
    EXPECT_STREQ(e.what(), "Unable to open com port (win error code: 2)");
  }
  EXPECT_FALSE(port.Connected());
}

TEST_F(Win32Port, ExclusiveOpen) {
  PeerPort first, second;
  first.port.Open();
  try {
    second.port.Open();
    FAIL() << "port opened twice";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code(), 1);
    EXPECT_EQ(e.WinCode(), ERROR_ACCESS_DENIED);
  }
  EXPECT_FALSE(second.port.Connected());
  first.port.Close();
  EXPECT_NO_THROW(second.port.Open());
}

TEST_F(Win32Port, ReadStrTakesAtMostCount) {
  PeerPort p;
  p.port.Open();
  std::string s = "stale";
  EXPECT_EQ(p.port.ReadStr(s, 16), 0);
  EXPECT_EQ(s, "");
  const std::string sent = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
  p.Command("!send " + sent);
  WaitQueued(p.port, 40);
  EXPECT_EQ(p.port.ReadStr(s, 16), 16);
  EXPECT_EQ(s, sent.substr(0, 16));
  EXPECT_EQ(p.port.InputCount(), 24);
  EXPECT_EQ(p.port.ReadStr(s, 100), 24);
  EXPECT_EQ(s, sent.substr(16));
  p.Command("!send zz");
  WaitQueued(p.port, 2);
  p.port.ClearBuffer(true, false);
  EXPECT_EQ(p.port.InputCount(), 0);
}

TEST_F(Win32Port, WaitForEventTimesOutOrSeesData) {
  PeerPort p;
  p.port.Open();
  for (int round = 0; round < 3; ++round) {
    TComEvents ev = evRxChar;
    auto t0 = Clock::now();
    p.port.WaitForEvent(ev, nullptr, 10);
    long ms = MsSince(t0);
    EXPECT_EQ(ev, 0u);
    EXPECT_GE(ms, 9);
    EXPECT_LT(ms, 200);
    // The wait was ended by clearing the mask, the only way that ends it on
    // a UART driver, where CancelIo alone leaves it pending.
    DWORD mask = 1;
    ASSERT_TRUE(GetCommMask(p.backend->NativeHandle(), &mask));
    EXPECT_EQ(mask, 0u) << "a timed-out wait left the event mask armed";
  }
  // Thousands of 1-2 ms waits against the silent far end, given up as
  // Wine's waiting thread finishes, each from another stack depth, so
  // memory a given-up wait still wrote into would be in use.
  auto t0 = Clock::now();
  for (int i = 0; i < 2000; ++i) {
    TComEvents ev = evRxChar;
    ASSERT_TRUE(WaitDeep(p.port, i % 7, 1 + i % 2, &ev)) << "stack overwritten after wait " << i;
    ASSERT_EQ(ev, 0u) << i;
  }
  EXPECT_LT(MsSince(t0), 20000);
  DWORD mask = 1;
  ASSERT_TRUE(GetCommMask(p.backend->NativeHandle(), &mask));
  EXPECT_EQ(mask, 0u);
  p.Command("!later 60 O");
  TComEvents ev = evRxChar;
  t0 = Clock::now();
  p.port.WaitForEvent(ev, nullptr, 3000);
  long ms = MsSince(t0);
  EXPECT_EQ(ev, static_cast<TComEvents>(evRxChar));
  EXPECT_GE(ms, 40) << "wait ended before the byte was sent";
  EXPECT_LT(ms, 1000) << "wait did not end on arrival";
  // Queued bytes end the next wait at once.
  t0 = Clock::now();
  ev = evRxChar;
  p.port.WaitForEvent(ev, nullptr, 3000);
  EXPECT_EQ(ev, static_cast<TComEvents>(evRxChar));
  EXPECT_LT(MsSince(t0), 100);
}

// Through the far end and back while another thread waits and reads, as a
// transfer does: every byte value, then 200 KB in packet-sized writes and in
// one write larger than the port's own write buffer.
TEST_F(Win32Port, BinaryTransparentBothWays) {
  struct Case {
    const char* label;
    size_t bytes;
    size_t piece;
  };
  const Case cases[] = {{"every byte value", 256, 256}, {"200 KB in packets", 200000, 600},
                        {"200 KB at once", 200000, 200000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::string sent(c.bytes, '\0');
    for (size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<char>(i * 167 + i / 256);
    PeerPort p;
    p.port.Open();
    p.Command("!loop " + std::to_string(sent.size()));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto t0 = Clock::now();
    auto reader = std::async(std::launch::async, [&] {
      std::string got, piece;
      while (got.size() < sent.size() && MsSince(t0) < 60000) {
        TComEvents ev = evRxChar;
        p.port.WaitForEvent(ev, nullptr, 10);
        if (ev && p.port.ReadStr(piece, 4096) > 0) got += piece;
      }
      return got;
    });
    for (size_t at = 0; at < sent.size(); at += c.piece)
      EXPECT_EQ(p.port.WriteStr(sent.substr(at, c.piece)), static_cast<int>(std::min(c.piece, sent.size() - at)));
    const std::string got = reader.get();
    EXPECT_EQ(got.size(), sent.size());
    EXPECT_TRUE(got == sent) << "bytes differ";
    std::printf("  %s: %zu bytes back in %ld ms\n", c.label, got.size(), MsSince(t0));
  }
}

TEST_F(Win32Port, HangUpFailsWaitAndWrite) {
  PeerPort p;
  p.port.Open();
  p.Command("!hangup");
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  TComEvents ev = evRxChar;
  auto t0 = Clock::now();
  try {
    p.port.WaitForEvent(ev, nullptr, 1000);
    FAIL() << "wait on a hung-up line succeeded";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.Code(), 21);
    EXPECT_GT(e.WinCode(), 0);
  }
  EXPECT_LT(MsSince(t0), 500);
  EXPECT_EQ(CodeOf([&] { p.port.WriteStr("AT\r"); }), 2);
  EXPECT_NO_THROW(p.port.Close()) << "closing a dead line must not fail";
}

// A write to a far end that stalls: with a write time-out it fails once
// the time is up; with none (both parts zero) it waits for the reader.
TEST_F(Win32Port, WriteToAStalledReader) {
  struct Case {
    const char* label;
    int stallMs;
    int constantMs;  // the write time-out's constant part; 0 with 0 per byte: none
    size_t bytes;
  };
  const Case cases[] = {{"a 150 ms time-out", 2500, 150, 4u << 20}, {"no time-out", 600, 0, 1u << 20}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PeerPort p;
    p.port.Open();
    p.Command("!stall " + std::to_string(c.stallMs));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    p.port.SetTimeouts({-1, 0, 0, 0, c.constantMs});
    auto t0 = Clock::now();
    if (c.constantMs > 0) {
      try {
        p.port.WriteStr(std::string(c.bytes, 'U'));
        ADD_FAILURE() << "a stalled write reported success";
      } catch (const EComPort& e) {
        EXPECT_EQ(e.Code(), 2);
        EXPECT_EQ(e.WinCode(), ERROR_TIMEOUT);
      }
      EXPECT_GE(MsSince(t0), c.constantMs - 10);
      EXPECT_LT(MsSince(t0), 2000);
    } else {
      EXPECT_NO_THROW(p.port.WriteStr(std::string(c.bytes, 'U')));
      EXPECT_GE(MsSince(t0), c.stallMs / 2);
    }
    p.port.Close();
    // Let the far end swallow the rest before the next write talks to it.
    std::this_thread::sleep_for(std::chrono::milliseconds(c.stallMs + 100));
  }
}

TEST_F(Win32Port, CloseFromOtherThreadEndsWait) {
  for (int timeout : {10, 5000}) {
    SCOPED_TRACE(timeout);
    PeerPort p;
    p.port.Open();
    auto waiter = std::async(std::launch::async, [&] {
      try {
        for (;;) {
          TComEvents ev = evRxChar;
          p.port.WaitForEvent(ev, nullptr, timeout);
        }
      } catch (const EComPort& e) {
        return e.Code();
      }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    auto t0 = Clock::now();
    p.port.Close();
    EXPECT_LT(MsSince(t0), 1000) << "Close waited for the pending wait";
    ASSERT_EQ(waiter.wait_for(std::chrono::seconds(3)), std::future_status::ready) << "wait hung";
    EXPECT_EQ(waiter.get(), 21);
  }
}

// What the driver reports back after the settings are applied. Wine keeps
// only what a Linux tty can hold, and a pseudo-terminal always runs 8 bits
// without parity; the rest is read back only on Windows.
TEST_F(Win32Port, DriverReportsAppliedSettings) {
  PeerPort p;
  p.port.SetBaudRate(br57600);
  p.port.SetStopBits(sbTwoStopBits);
  p.port.SetFlowControl({.OutCTSFlow = true, .ControlDTR = dtrEnable, .ControlRTS = rtsHandshake,
                         .XonXoffOut = true, .XonXoffIn = true, .XonChar = 0x11, .XoffChar = 0x13});
  p.port.SetTimeouts({-1, 3, 40, 7, 900});
  p.port.SetBuffer({4096, 2048});
  p.port.Open();
  const HANDLE h = p.backend->NativeHandle();
  DCB d{};
  d.DCBlength = sizeof d;
  ASSERT_TRUE(GetCommState(h, &d)) << GetLastError();
  EXPECT_EQ(d.BaudRate, 57600u);
  EXPECT_EQ(d.StopBits, TWOSTOPBITS);
  EXPECT_TRUE(d.fOutxCtsFlow && d.fOutX && d.fInX);
  EXPECT_EQ(d.XonChar, 0x11);
  EXPECT_EQ(d.XoffChar, 0x13);
  COMMTIMEOUTS t{};
  ASSERT_TRUE(GetCommTimeouts(h, &t));
  EXPECT_EQ((std::vector<DWORD>{t.ReadIntervalTimeout, t.ReadTotalTimeoutMultiplier, t.ReadTotalTimeoutConstant,
                                 t.WriteTotalTimeoutMultiplier, t.WriteTotalTimeoutConstant}),
            (std::vector<DWORD>{MAXDWORD, 3, 40, 7, 900}));
  if (UnderWine()) return;

  COMMPROP prop{};
  ASSERT_TRUE(GetCommProperties(h, &prop));
  EXPECT_EQ(prop.dwCurrentRxQueue, 4096u);
  EXPECT_EQ(prop.dwCurrentTxQueue, 2048u);
  p.port.BeginUpdate();
  p.port.SetDataBits(dbSeven);
  p.port.SetParity({prEven, true, true, '?'});
  p.port.SetFlowControl({.OutDSRFlow = true, .ControlDTR = dtrHandshake, .DSRSensitivity = true,
                         .TxContinueOnXoff = true});
  p.port.SetDiscardNull(true);
  p.port.SetEventChar('\n');
  p.port.EndUpdate();
  ASSERT_TRUE(GetCommState(h, &d));
  EXPECT_EQ(d.ByteSize, 7);
  EXPECT_EQ(d.Parity, EVENPARITY);
  EXPECT_TRUE(d.fOutxDsrFlow && d.fDsrSensitivity && d.fTXContinueOnXoff);
  EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
  EXPECT_TRUE(d.fParity && d.fErrorChar && d.fNull);
  EXPECT_EQ(d.ErrorChar, '?');
  EXPECT_EQ(d.EvtChar, '\n');
}

TEST_F(Win32Port, AtExchangeWithTheVirtualPhone) {
  const std::string phone = EnvPort("QUENDREL_PHONE_PORT");
  if (phone.empty()) GTEST_SKIP() << "QUENDREL_PHONE_PORT not set";
  TComPort port;  // the program's own defaults: 115200, DTR handshake, RTS on
  port.SetPort(phone);
  port.SetEvents(0);
  port.Open();
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    port.ClearBuffer(true, false);
    EXPECT_EQ(port.WriteStr("AT\r\n"), 4);
    const std::string want = "AT\r\n\r\nOK\r\n";
    EXPECT_EQ(Collect(port, want.size(), 3000), want);
  }
  port.Close();
}
