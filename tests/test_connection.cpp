// Port choice, connect/disconnect, the menu states and the link check.
#include <gtest/gtest.h>

#include <array>
#include <chrono>

#include "app/core/PortAdvice.h"
#include "app/vphone/VirtualPhone.h"
#include "link/PortMap.h"
#include "content/UiText.h"
#include "link/Settings.h"
#include "support/CliRun.h"
#include "support/LinkProbe.h"
#include "support/SimLink.h"

namespace {

using Clock = std::chrono::steady_clock;

struct PortCase {
  const char* what;
  int storedPortNo;  // -1: no key at all
  std::vector<std::string> map;
  std::string port;       // ComPort1.Port() afterwards
  std::string panel;      // status panel 0
  int checkedEntry;       // 1..4, 0 for none
  int visibleEntries;
};

class LoadPorts : public ::testing::TestWithParam<PortCase> {};

TEST_P(LoadPorts, ChoosesAndShows) {
  const PortCase& c = GetParam();
  TempDir dir;
  IsolateSettings(dir);
  if (c.storedPortNo >= 0) WriteConnectValue("PortNo", c.storedPortNo);
  for (const auto& name : c.map) AddPortMapEntry(name, "/dev/null-" + name);
  FakeView view;
  TLink link(view);
  TConnection connection(link);
  connection.Ports().LoadPortSettings();
  connection.Ports().ShowPortPanel();
  EXPECT_EQ(link.Port().Port(), c.port) << c.what;
  EXPECT_EQ(view.portPanel, c.panel) << c.what;
  int visible = 0, checked = 0;
  for (int i = 1; i <= 4; ++i) {
    if (connection.Indicators().ports[i].visible) ++visible;
    if (connection.Indicators().ports[i].checked) checked = i;
  }
  EXPECT_EQ(checked, c.checkedEntry) << c.what;
  EXPECT_EQ(visible, c.visibleEntries) << c.what;
  // Auto stays offered with a map: it looks for the phone.
  EXPECT_TRUE(connection.Indicators().ports[0].visible) << c.what;
  EXPECT_EQ(connection.Indicators().ports[0].checked, c.storedPortNo == 0 && !c.map.empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    PortMapCases, LoadPorts,
    ::testing::Values(
        PortCase{"PortNo 3 with COM1 and COM3", 3, {"COM1", "COM3"}, "COM3", "Connection: COM3", 2, 2},
        // A stored port the system lost stays the choice: its open names it.
        PortCase{"PortNo 7 not in the map", 7, {"COM1", "COM3"}, "COM7", "Connection: COM7", 0, 2},
        PortCase{"key missing, COM1 listed", -1, {"COM2", "COM1"}, "COM1", "Connection: COM1", 1, 2},
        PortCase{"key missing, no COM1", -1, {"COM4", "COM5"}, "COM4", "Connection: COM4", 1, 2},
        PortCase{"six ports, stored one among the last two", 6, {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"},
                 "COM6", "Connection: COM6", 0, 4},
        PortCase{"Auto stored, map present", 0, {"COM2", "COM3"}, "COM1", "Connection: Auto", 0, 2},
        PortCase{"no map: entries as built", 5, {}, "COM1", "Connection: COM5", 0, 4},
        PortCase{"no map, Auto stored", 0, {}, "COM1", "Connection: Auto", 0, 4}));

TEST(PortMenu, AutoKeepsThePortAndStoresZero) {
  TempDir dir;
  IsolateSettings(dir);
  FakeView view;
  TLink link(view);
  TConnection connection(link);
  link.Port().SetPort("COM2");
  connection.Ports().mAutoClick();
  EXPECT_EQ(link.Port().Port(), "COM2");
  int v = -1;
  ASSERT_TRUE(ReadConnectValue("PortNo", &v));
  EXPECT_EQ(v, 0);
  EXPECT_EQ(view.portPanel, "Connection: Auto");
  EXPECT_TRUE(view.ports[0].checked);
  for (int i = 1; i <= 4; ++i) EXPECT_FALSE(view.ports[i].checked);
}

TEST(PortMenu, EntryCaptionedCom12StoresTwelve) {
  TempDir dir;
  IsolateSettings(dir);
  AddPortMapEntry("COM1", "/dev/null-1");
  AddPortMapEntry("COM12", "/dev/null-12");
  FakeView view;
  TLink link(view);
  TConnection connection(link);
  connection.Ports().LoadPortSettings();
  ASSERT_EQ(connection.Indicators().ports[2].caption, "COM12");
  connection.Ports().mCOM2Click();
  int v = -1;
  ASSERT_TRUE(ReadConnectValue("PortNo", &v));
  EXPECT_EQ(v, 12);
  EXPECT_EQ(link.Port().Port(), "COM12");
  EXPECT_EQ(view.portPanel, "Connection: COM12");
  EXPECT_TRUE(view.ports[2].checked);
  EXPECT_FALSE(view.ports[1].checked);
}

TEST(PortMenu, FailedReopenPropagatesAndStoresNothing) {
  SimLink s;
  s.Connect();
  AddPortMapEntry("COM3", "/dev/does-not-exist");  // the entry's own caption
  WriteConnectValue("PortNo", 1);
  EXPECT_THROW(s.connection->Ports().mCOM3Click(), EComPort);
  int v = -1;
  ReadConnectValue("PortNo", &v);
  EXPECT_EQ(v, 1);
  EXPECT_FALSE(s.link->Port().Connected());
}

// The set-up dialog's choice (offered while disconnected) names the port
// the next Connect opens: a typed name, blanks around it dropped; a blank
// one keeps the port. The window stores it as the user's choice at once.
TEST(PortSetup, ChoiceNamesThePortTheNextConnectOpens) {
  struct Row {
    const char* what;
    std::string typed;
    std::string port;  // afterwards
    int stored;
    bool opens;
    int secondPhoneLines;
  };
  const Row rows[] = {
      {"other phone, typed with blanks", " COM51\t", "COM51", 51, true, 1},
      {"blank keeps the port", "  ", SimLink::kPortName, 50, true, 0},
      {"port that will not open", "COM52", "COM52", 52, false, 0},
  };
  for (const Row& r : rows) {
    SimLink s;
    phonesim::Options o;
    o.contentDir = s.dir.path() + "/phone";
    phonesim::PhoneSim second(o);
    ASSERT_TRUE(second.Start());
    AddPortMapEntry("COM51", second.DevicePath());
    AddPortMapEntry("COM52", "/dev/does-not-exist");
    WriteConnectValue("PortNo", 1);
    const std::vector<std::string> offered = PortSetupNames();
    ASSERT_GE(offered.size(), 3u) << r.what;
    EXPECT_EQ(std::vector<std::string>(offered.begin(), offered.begin() + 3),
              (std::vector<std::string>{SimLink::kPortName, "COM51", "COM52"}))
        << r.what;

    TPortChoice c = ReadPortChoice(s.link->Port());
    c.port = r.typed;
    c.baud = br57600;
    c.flow = TFlowChoice::None;
    ApplyPortChoice(s.link->Port(), c);
    s.connection->Ports().PortChosen();
    EXPECT_EQ(s.link->Port().Port(), r.port) << r.what;
    EXPECT_EQ(s.link->Port().BaudRate(), br57600) << r.what;
    EXPECT_FALSE(s.link->Port().Connected()) << r.what;
    EXPECT_EQ(s.view.portPanel, "Connection: " + r.port) << r.what;
    int v = -1;
    ASSERT_TRUE(ReadConnectValue("PortNo", &v));
    EXPECT_EQ(v, r.stored) << r.what;

    s.connection->Connect1Click();
    const bool opens = r.opens;
    ASSERT_EQ(s.link->Port().Connected(), opens) << r.what;
    if (opens) {
      EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Awaited) << r.what;
      EXPECT_EQ(s.view.portPanel, "Connection: " + r.port) << r.what;
    } else {
      EXPECT_EQ(s.view.messages, std::vector<std::string>{"Unable to open ComPort!!\nPlease change the Port NO."});
    }
    EXPECT_EQ(second.ReceivedLines().size(), static_cast<size_t>(r.secondPhoneLines)) << r.what;
    ASSERT_TRUE(ReadConnectValue("PortNo", &v));
    EXPECT_EQ(v, r.stored) << r.what;
    s.EndLink();
  }
}

struct MenuRow {
  bool connect, disconnect, setting;
  const char* panel;
};

void ExpectMenu(FakeView& v, const MenuRow& row, const char* what) {
  EXPECT_EQ(v.canConnect, row.connect) << what;
  EXPECT_EQ(v.canDisconnect, row.disconnect) << what;
  EXPECT_EQ(v.canChangeSettings, row.setting) << what;
  EXPECT_EQ(v.linkPanel, row.panel) << what;
}

TEST(MenuStates, FollowTheTable) {
  SimLink s;
  ExpectMenu(s.view, {true, true, true, "Status: Disconnect"}, "state as built");
  s.connection->FormCreate();
  ExpectMenu(s.view, {false, true, false, "Status: Connection"}, "after FormCreate");
  s.connection->Disconnect1Click();
  ExpectMenu(s.view, {true, false, true, "Status: Disconnect"}, "after Disconnect1Click");
  EXPECT_FALSE(s.link->Port().Connected());
  s.connection->Connect1Click();
  ExpectMenu(s.view, {false, true, false, "Status: Connection"}, "after Connect1Click");
  s.sim->HangUp();
  ASSERT_TRUE(s.PumpUntil([&] { return !TLinkProbe(*s.link).ReceiverRunning(); }));
  ExpectMenu(s.view, {true, false, true, "Status: Disconnect"}, "after a receiver failure");
}

TEST(MenuStates, FailedFirstOpenKeepsStateAsBuilt) {
  TempDir dir;
  IsolateSettings(dir);
  FakeView view;
  TLink link(view);
  TConnection connection(link);
  link.Port().SetPort("/dev/does-not-exist");
  connection.FormCreate();
  EXPECT_EQ(view.messages, std::vector<std::string>{"Unable to open ComPort!!\nPlease change the Port NO."});
  ExpectMenu(view, {true, true, true, "Status: Disconnect"}, "failed first open");
}

// A dropped line releases the device and keeps the user's port: the bar
// names it and shows the link down, and Connect, or the next page's link
// check, opens that port again. "COM1" stands by and must hear nothing.
TEST(Connect, DroppedLineKeepsTheUsersPort) {
  SimLink s;
  s.link->SetClock(TClock(0.02));
  phonesim::Options o;
  o.contentDir = s.dir.path() + "/phone";
  phonesim::PhoneSim com1(o);
  ASSERT_TRUE(com1.Start());
  AddPortMapEntry("COM1", com1.DevicePath());
  s.connection->Connect1Click();
  for (const bool byConnect : {true, false}) {
    SCOPED_TRACE(byConnect ? "Connect" : "the next page");
    s.sim->HangUp();
    ASSERT_TRUE(s.PumpUntil([&] { return !TLinkProbe(*s.link).ReceiverRunning(); }));
    EXPECT_EQ(s.link->Port().Port(), SimLink::kPortName);
    EXPECT_FALSE(s.link->Port().Connected());
    EXPECT_EQ(s.view.portPanel, std::string("Connection: ") + SimLink::kPortName);
    ExpectMenu(s.view, {true, false, true, "Status: Disconnect"}, "after the drop");
    // The phone comes back on the same port.
    s.sim = std::make_unique<phonesim::PhoneSim>(o);
    ASSERT_TRUE(s.sim->Start());
    AddPortMapEntry(SimLink::kPortName, s.sim->DevicePath());
    if (byConnect) {
      s.connection->Connect1Click();
      EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Awaited);
    } else {
      EXPECT_TRUE(CheckLink(*s.link));
    }
    EXPECT_EQ(s.sim->ReceivedLines(), std::vector<std::string>{"AT"});
  }
  EXPECT_TRUE(com1.ReceivedLines().empty());
  int v = -1;
  ASSERT_TRUE(ReadConnectValue("PortNo", &v));
  EXPECT_EQ(v, 50);
  s.EndLink();
}

TEST(CheckLink, OkShowsConnection) {
  SimLink s;
  s.link->SetClock(TClock(0.05));
  s.Connect();
  EXPECT_TRUE(CheckLink(*s.link));
  EXPECT_EQ(s.view.linkPanel, "Status: Connection");
  EXPECT_EQ(s.view.statusTexts, (std::vector<std::string>{"Open Com Port", "Com Port OK"}));
  EXPECT_FALSE(s.view.statusVisible);
  EXPECT_TRUE(s.view.messages.empty());
}

TEST(CheckLink, ErrorGivesConnectionFailed) {
  phonesim::Options o;
  o.errorPrefix = "AT";
  SimLink s(o);
  s.link->SetClock(TClock(0.05));
  s.Connect();
  EXPECT_FALSE(CheckLink(*s.link));
  EXPECT_EQ(s.view.messages, std::vector<std::string>{"Connection failed"});
  EXPECT_FALSE(s.view.statusVisible);  // "Com Port OK" does not outlive the check
  EXPECT_TRUE(s.link->Port().Connected());
}

TEST(CheckLink, SilenceGivesTimeoutThenRawReply) {
  phonesim::Options o;
  o.silentPrefix = "AT";
  SimLink s(o);
  s.link->SetClock(TClock(0.1));
  s.Connect();
  s.view.page = TPage::Content;
  s.view.title = TTitle::Picture;
  auto t0 = Clock::now();
  EXPECT_FALSE(CheckLink(*s.link));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_GE(ms, 400);  // 501 ticks at a tenth of the time, plus the pause
  EXPECT_EQ(s.view.messages, (std::vector<std::string>{"Connection Timeout", "AT\r\n"}));
  EXPECT_EQ(s.view.page, TPage::Logo);
  EXPECT_EQ(s.view.title, TTitle::Product);
  EXPECT_FALSE(s.view.statusVisible);
  EXPECT_TRUE(s.link->Port().Connected());
}

TEST(CheckLink, HangUpDuringWaitAbortsWithoutWaitMessage) {
  phonesim::Options o;
  o.silentPrefix = "AT";
  SimLink s(o);
  s.link->SetClock(TClock(0.05));
  s.Connect();
  int pumps = 0;
  s.view.onWaitTurn = [&] {
    if (++pumps == 3) s.sim->HangUp();
  };
  EXPECT_FALSE(CheckLink(*s.link));
  // One failure, one box and what brings the line back: nothing for the
  // absent fall-back port.
  EXPECT_EQ(s.view.messages, (std::vector<std::string>{"COM Port Exception while wait event", kLineLostAdvice}));
  EXPECT_EQ(s.view.page, TPage::Logo);
  EXPECT_EQ(s.link->Flags().LinkFailed, 0);
}

TEST(CheckLink, OpenFailureShowsTheText) {
  TempDir dir;
  IsolateSettings(dir);
  FakeView view;
  TLink link(view);
  link.SetClock(TClock(0.05));
  link.Port().SetPort("/dev/does-not-exist");
  EXPECT_FALSE(CheckLink(link));
  EXPECT_EQ(view.messages, std::vector<std::string>{"Unable to open ComPort!!\nPlease change the Port NO."});
  EXPECT_FALSE(view.statusVisible);
}

TEST(CheckLink, ClosedPortTakesThreeSecondsBeforeAt) {
  SimLink s;
  s.link->SetClock(TClock(0.1));
  auto t0 = Clock::now();
  EXPECT_TRUE(CheckLink(*s.link));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0).count();
  EXPECT_GE(ms, 3000 * s.link->Clock().DelayScale());  // three seconds of the link's delays
  EXPECT_EQ(s.sim->ReceivedLines(), std::vector<std::string>{"AT"});
}

}  // namespace

namespace {

// A demo run on the virtual phone picks it for this run only: the user's
// stored port survives the run, a connect and a menu choice of COM99.
TEST(VirtualPhonePort, ChosenForThisRunOnlyTheStoredPortStays) {
  struct Row {
    const char* what;
    int storedPortNo;  // -1: first run, no key
  };
  for (const Row& r : {Row{"stored COM3", 3}, Row{"first run", -1}}) {
    SCOPED_TRACE(r.what);
    TempDir dir;
    IsolateSettings(dir);
    if (r.storedPortNo >= 0) WriteConnectValue("PortNo", r.storedPortNo);
    FakeView view;
    {
      TVirtualPhone phone;
      std::string error;
      ASSERT_TRUE(phone.Start(&error)) << error;
      TLink link(view);
      TConnection connection(link);
      connection.Ports().LoadPortSettings();
      EXPECT_EQ(link.Port().Port(), TVirtualPhone::kPortName);
      connection.Connect1Click();
      EXPECT_TRUE(link.Port().Connected());
      connection.Ports().mCOM1Click();
      connection.Disconnect1Click();
    }
    int portNo = -1, language = -1;
    EXPECT_EQ(ReadConnectValue("PortNo", &portNo), r.storedPortNo >= 0);
    if (r.storedPortNo >= 0) {
      EXPECT_EQ(portNo, r.storedPortNo);
    }
    // A first run creates the key as a first start would.
    if (r.storedPortNo < 0) {
      EXPECT_TRUE(ReadConnectValue("Language", &language));
      EXPECT_EQ(language, LanguageCode(SystemLanguageIndex()));
    }
  }
}

}  // namespace

namespace {

// The user's port and "Auto", in the window's core and on the command
// line, over five ports on pseudo-terminals mapped in the settings store:
// COM1 and COM4 silent, COM2 answering "ERROR", COM3 held by another
// program, COM5 the phone (silent too in the rows without one).
TEST(UsersPort, StoredOrFoundThroughWindowAndCommandLine) {
  struct Row {
    const char* what;
    int portNo;
    std::string cliPort;  // "": the stored choice; CLI-only rows name one
    bool phone;
    std::string chosen;   // the port used, "" for none
    std::vector<std::string> said;  // in the messages (window) and on stderr (command line)
    std::array<bool, 5> askedAt;    // devices sent "AT" alone; the others hear nothing
  };
  const Row rows[] = {
      {"stored port fifth in the list", 5, "", true, "COM5", {}, {false, false, false, false, true}},
      {"stored port gone", 7, "", true, "", {"COM7"}, {false, false, false, false, false}},
      {"Auto stored finds the phone", 0, "", true, "COM5", {}, {true, true, false, true, true}},
      {"--port auto over a stored port", 2, "auto", true, "COM5", {"Phone found on COM5"},
       {true, true, false, true, true}},
      {"Auto with no phone", 0, "", false, "",
       {"COM1: no answer", "COM2: answered \"ERROR\", not \"OK\"", "COM3: busy", "COM4: no answer",
        "COM5: no answer", "cable"},
       {true, true, false, true, true}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.what);
    TempDir home;
    IsolateSettings(home);
    SetSettingsStoreFolder(home.path() + "/config");  // the command line's store too
    std::vector<std::unique_ptr<phonesim::PhoneSim>> devices;
    for (int i = 1; i <= 5; ++i) {
      phonesim::Options o;
      o.contentDir = home.path() + "/phone";
      if (i == 2) o.errorPrefix = "AT";
      else if (i != 5 || !r.phone) o.noEchoSilentPrefix = "AT";
      devices.push_back(std::make_unique<phonesim::PhoneSim>(o));
      ASSERT_TRUE(devices.back()->Start());
      AddPortMapEntry("COM" + std::to_string(i), devices.back()->DevicePath());
    }
    TComPort holder;
    holder.SetPort(devices[2]->DevicePath());
    holder.SetEvents(0);
    holder.Open();
    auto expectHeard = [&](const char* where) {
      for (size_t i = 0; i < devices.size(); ++i) {
        const std::vector<std::string> lines = devices[i]->ReceivedLines();
        if ("COM" + std::to_string(i + 1) == r.chosen) {
          EXPECT_FALSE(lines.empty()) << where;
          for (const std::string& l : lines) EXPECT_EQ(l, "AT") << where;
        } else {
          EXPECT_EQ(lines, r.askedAt[i] ? std::vector<std::string>{"AT"} : std::vector<std::string>{})
              << where << " COM" << i + 1;
        }
        devices[i]->ClearReceived();
      }
    };

    if (r.cliPort.empty()) {
      WriteConnectValue("PortNo", r.portNo);
      FakeView view;
      TLink link(view);
      link.SetOpenAdvice([](const std::string& port, int osError) { return PortOpenAdvice(port, osError); });
      TConnection connection(link);
      connection.Ports().SetSearchAnswerMs(400);
      connection.Ports().LoadPortSettings();
      connection.Ports().ShowPortPanel();
      const auto t0 = Clock::now();
      connection.FormCreate();
      EXPECT_TRUE(Clock::now() - t0 < std::chrono::seconds(5));
      std::string messages;
      for (const std::string& m : view.messages) messages += m + "\n";
      for (const std::string& part : r.said) EXPECT_NE(messages.find(part), std::string::npos) << messages;
      EXPECT_EQ(link.Port().Connected(), !r.chosen.empty());
      int stored = -1;
      ReadConnectValue("PortNo", &stored);
      if (!r.chosen.empty()) {
        EXPECT_EQ(view.portPanel, "Connection: " + r.chosen);
        EXPECT_EQ(stored, 5);
        link.Reply().Reset(rsWaiting);
        TLinkProbe(link).SendLine("AT\r\n");
        EXPECT_EQ(TLinkProbe(link).WaitReply(TWaitRule{}), TWaitEnd::Awaited);
      } else {
        EXPECT_EQ(stored, r.portNo);
      }
      connection.Disconnect1Click();
      expectHeard("window");
    }

    WriteConnectValue("PortNo", r.portNo);
    const CliResult c = RunCli(home, (r.cliPort.empty() ? "" : "--port " + r.cliPort + " ") + "at");
    EXPECT_EQ(c.status, r.chosen.empty() ? 1 : 0) << c.err;
    EXPECT_LT(c.seconds, 10.0);
    for (const std::string& part : r.said) EXPECT_NE(c.err.find(part), std::string::npos) << c.err;
    expectHeard("command line");
  }
}

}  // namespace
