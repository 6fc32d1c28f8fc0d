// The receiver thread and the waiting loop over a real pseudo-terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "support/LinkProbe.h"
#include "support/SimLink.h"

namespace {

using Clock = std::chrono::steady_clock;

long MsSince(Clock::time_point t0) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
}

// A bare pty whose master side the test writes by hand.
struct RawPty {
  RawPty() {
    master = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master);
    unlockpt(master);
    slave = ptsname(master);
    int fd = open(slave.c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    tcsetattr(fd, TCSANOW, &t);
    keep = fd;
  }
  ~RawPty() {
    if (keep >= 0) close(keep);
    if (master >= 0) close(master);
  }
  void Send(const std::string& s) const { ASSERT_EQ(write(master, s.data(), s.size()), (ssize_t)s.size()); }
  int master = -1;
  int keep = -1;
  std::string slave;
};

TEST(Receiver, AtGivesOk) {
  SimLink s;
  s.Connect();
  EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Awaited);
  EXPECT_EQ(s.link->Reply().State(), rsOk);
  EXPECT_EQ(s.link->Reply().Text(), "AT\r\n\r\nOK\r\n");
}

TEST(Receiver, LongInputArrivesInOrder) {
  SimLink s;
  s.Connect();
  std::string cmd = "AT+XYZ";
  for (int i = 0; i < 60; ++i) cmd += static_cast<char>('A' + i % 26);
  EXPECT_EQ(s.Exchange(cmd + "\r\n"), TWaitEnd::Error);
  EXPECT_EQ(s.link->Reply().Text(), cmd + "\r\n\r\nERROR\r\n");
}

TEST(Receiver, SplitReplyStillClassified) {
  phonesim::Options o;
  o.splitPauseMs = 40;  // well past the 10 ms burst end
  SimLink s(o);
  s.Connect();
  EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Awaited);
}

TEST(Receiver, HangUpTakesFailurePathB) {
  SimLink s;
  s.Connect();
  EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Awaited);
  s.sim->HangUp();
  ASSERT_TRUE(s.PumpUntil([&] { return s.view.HasMessage("COM Port Exception while wait event"); }));
  // The thread ends and its end is handled on the window thread.
  ASSERT_TRUE(s.PumpUntil([&] { return !TLinkProbe(*s.link).ReceiverRunning(); }));
  EXPECT_EQ(s.view.linkPanel, "Status: Disconnect");
  EXPECT_EQ(s.link->Flags().LinkFailed, 1);
  // The device is released; the port keeps the user's name.
  EXPECT_EQ(s.link->Port().Port(), SimLink::kPortName);
  EXPECT_FALSE(s.link->Port().Connected());
  EXPECT_TRUE(s.view.canConnect);
  EXPECT_FALSE(s.view.canDisconnect);
  EXPECT_TRUE(s.view.canChangeSettings);
  EXPECT_EQ(s.link->Port().Events(), 0u);
  // LinkFailed stays until a waiting loop gives up on it.
  s.link->Reply().Reset(rsWaiting);
  EXPECT_EQ(TLinkProbe(*s.link).WaitReply(TWaitRule{}), TWaitEnd::Aborted);
  EXPECT_EQ(s.link->Flags().LinkFailed, 0);
  EXPECT_EQ(s.view.page, TPage::Logo);
}

TEST(Receiver, CodedErrorShowsInstallMessageAndClearsText) {
  TempDir dir;
  IsolateSettings(dir);
  RawPty pty;
  FakeView view;
  TLink link(view);
  link.Port().SetPort(pty.slave);
  link.Port().SetEvents(0);
  link.Port().Open();
  link.Open();
  link.Reply().Reset(rsWaiting);
  pty.Send("\r\n*FUPL: ERROR(3)\r\n");
  EXPECT_EQ(TLinkProbe(link).WaitReply(TWaitRule{}), TWaitEnd::Error);
  auto until = Clock::now() + std::chrono::seconds(5);
  while (!view.HasMessage("Insufficient Memory!!\nIt couldn't be installed!!") && Clock::now() < until)
    link.WaitTurn();
  EXPECT_EQ(view.messages, std::vector<std::string>{"Insufficient Memory!!\nIt couldn't be installed!!"});
  EXPECT_EQ(link.Reply().Text(), "");

  // An unknown code gives the generic text and then the raw reply.
  view.messages.clear();
  link.Reply().Reset(rsWaiting);
  pty.Send("\r\n*FUPL: ERROR(Z)\r\n");
  EXPECT_EQ(TLinkProbe(link).WaitReply(TWaitRule{}), TWaitEnd::Error);
  until = Clock::now() + std::chrono::seconds(5);
  while (view.messages.size() < 2 && Clock::now() < until) link.WaitTurn();
  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[0], "JAVA Operation failed!!");
  EXPECT_EQ(view.messages[1], "\r\n*FUPL: ERROR(Z)\r\n");
}

TEST(Receiver, PausedReceiverLeavesTheTextAlone) {
  TempDir dir;
  IsolateSettings(dir);
  RawPty pty;
  FakeView view;
  TLink link(view);
  link.Port().SetPort(pty.slave);
  link.Port().SetEvents(0);
  link.Port().Open();
  link.Open();
  TLinkProbe(link).PauseReceiver();
  EXPECT_TRUE(TLinkProbe(link).ReceiverPaused());
  link.Reply().Reset(rsWaiting);
  pty.Send("\r\nOK\r\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(link.Reply().Text(), "");
  EXPECT_EQ(link.Reply().State(), rsWaiting);
  link.Open();  // resumes the paused one
  EXPECT_FALSE(TLinkProbe(link).ReceiverPaused());
  EXPECT_EQ(TLinkProbe(link).WaitReply(TWaitRule{}), TWaitEnd::Awaited);
  EXPECT_EQ(link.Reply().Text(), "\r\nOK\r\n");
}

TEST(Receiver, CloseEndsTheThread) {
  SimLink s;
  s.Connect();
  ASSERT_TRUE(TLinkProbe(*s.link).ReceiverRunning());
  s.link->Close();
  EXPECT_TRUE(s.PumpUntil([&] { return !TLinkProbe(*s.link).ReceiverRunning(); }));
  EXPECT_TRUE(s.view.messages.empty());
}

TEST(WaitLoop, SilentPhoneTimesOutAfterTheLimit) {
  phonesim::Options o;
  o.silentPrefix = "AT";
  SimLink s(o);
  s.Connect();
  auto t0 = Clock::now();
  EXPECT_EQ(s.Exchange("AT\r\n", TWaitRule{StateBit(rsOk), 30, 10, false}), TWaitEnd::Timeout);
  long ms = MsSince(t0);
  EXPECT_GE(ms, 300);  // 31 ticks of 10 ms
  EXPECT_LT(ms, 3000);
}

TEST(WaitLoop, GrowthRuleEndsOnASilentPhone) {
  phonesim::Options o;
  o.noEchoSilentPrefix = "AT";  // nothing at all comes back
  SimLink s(o);
  s.Connect();
  auto t0 = Clock::now();
  EXPECT_EQ(s.Exchange("AT\r\n", TWaitRule{StateBit(rsOk), 20, 10, true}), TWaitEnd::Timeout);
  long ms = MsSince(t0);
  EXPECT_GE(ms, 2 * 200);  // two expiries
  EXPECT_LT(ms, 5000);
}

TEST(WaitLoop, GrowthRuleWaitsWhileTheReplyGrows) {
  phonesim::Options o;
  o.silentPrefix = "AT";  // the echo arrives, then nothing
  SimLink s(o);
  s.Connect();
  // The echo makes the text grow once; the next expiry without growth ends it.
  auto t0 = Clock::now();
  EXPECT_EQ(s.Exchange("AT\r\n", TWaitRule{StateBit(rsOk), 20, 10, true}), TWaitEnd::Timeout);
  EXPECT_GE(MsSince(t0), 2 * 200);
  EXPECT_EQ(s.link->Reply().Text(), "AT\r\n");
}

TEST(WaitLoop, ClosingDuringAWaitAbortsWithoutMessages) {
  phonesim::Options o;
  o.silentPrefix = "AT";
  SimLink s(o);
  s.Connect();
  s.view.ShowProgressBar(true);
  s.view.SetStatusLabel("Send x");
  int pumps = 0;
  s.view.onWaitTurn = [&] {
    if (++pumps == 5) s.link->Flags().AppClosing = 1;
  };
  EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Aborted);
  EXPECT_TRUE(s.view.messages.empty());
  EXPECT_FALSE(s.view.progressVisible);
  EXPECT_FALSE(s.view.statusVisible);
  EXPECT_EQ(s.view.page, TPage::Logo);
}

TEST(WaitLoop, ScaledClockShortensTicks) {
  phonesim::Options o;
  o.silentPrefix = "AT";
  SimLink s(o);
  s.Connect();
  s.link->SetClock(TClock(0.1));
  auto t0 = Clock::now();
  EXPECT_EQ(s.Exchange("AT\r\n", TWaitRule{StateBit(rsOk), 500, 10, false}), TWaitEnd::Timeout);
  EXPECT_LT(MsSince(t0), 4000);
}

}  // namespace
