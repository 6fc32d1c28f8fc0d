// Port choice, connect/disconnect, the menu states and the link check.
#include <gtest/gtest.h>

#include <chrono>

#include "app/vphone/VirtualPhone.h"
#include "link/PortMap.h"
#include "link/Settings.h"
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
  if (!c.map.empty()) {
    EXPECT_FALSE(connection.Indicators().ports[0].visible) << c.what;  // no Auto with a map
  }
}

INSTANTIATE_TEST_SUITE_P(
    PortMapCases, LoadPorts,
    ::testing::Values(
        PortCase{"PortNo 3 with COM1 and COM3", 3, {"COM1", "COM3"}, "COM3", "Connection: COM3", 2, 2},
        PortCase{"PortNo 7 not in the map", 7, {"COM1", "COM3"}, "COM1", "Connection: COM1", 1, 2},
        PortCase{"key missing, COM1 listed", -1, {"COM2", "COM1"}, "COM1", "Connection: COM1", 1, 2},
        PortCase{"key missing, no COM1", -1, {"COM4", "COM5"}, "COM4", "Connection: COM4", 1, 2},
        PortCase{"six ports, stored one among the last two", 6, {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6"},
                 "COM1", "Connection: COM1", 1, 4},
        PortCase{"Auto stored, map present", 0, {"COM2", "COM3"}, "COM2", "Connection: COM2", 1, 2},
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
// one keeps the port. The dialog stores no port number; the connect does,
// once the port opened.
TEST(PortSetup, ChoiceNamesThePortTheNextConnectOpens) {
  struct Row {
    const char* what;
    std::string typed;
    std::string port;  // afterwards
    int storedAfterConnect;
    int secondPhoneLines;
  };
  const Row rows[] = {
      {"other phone, typed with blanks", " COM51\t", "COM51", 51, 1},
      {"blank keeps the port", "  ", SimLink::kPortName, 50, 0},
      {"port that will not open", "COM52", "COM52", 1, 0},
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
    EXPECT_EQ(s.link->Port().Port(), r.port) << r.what;
    EXPECT_EQ(s.link->Port().BaudRate(), br57600) << r.what;
    EXPECT_FALSE(s.link->Port().Connected()) << r.what;
    int v = -1;
    ASSERT_TRUE(ReadConnectValue("PortNo", &v));
    EXPECT_EQ(v, 1) << r.what;

    s.connection->Connect1Click();
    const bool opens = r.storedAfterConnect != 1;
    ASSERT_EQ(s.link->Port().Connected(), opens) << r.what;
    if (opens) {
      EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Awaited) << r.what;
      EXPECT_EQ(s.view.portPanel, "Connection: " + r.port) << r.what;
    } else {
      EXPECT_EQ(s.view.messages, std::vector<std::string>{"Unable to open ComPort!!\nPlease change the Port NO."});
    }
    EXPECT_EQ(second.ReceivedLines().size(), static_cast<size_t>(r.secondPhoneLines)) << r.what;
    ASSERT_TRUE(ReadConnectValue("PortNo", &v));
    EXPECT_EQ(v, r.storedAfterConnect) << r.what;
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

TEST(Connect, AfterReceiverFailureStartsReceiverAndStoresCom1) {
  SimLink s;
  // A second phone stands in for "COM1", where the failure path puts the port.
  phonesim::Options o;
  o.contentDir = s.dir.path() + "/phone";
  phonesim::PhoneSim com1(o);
  ASSERT_TRUE(com1.Start());
  AddPortMapEntry("COM1", com1.DevicePath());
  s.connection->Connect1Click();
  s.sim->HangUp();
  ASSERT_TRUE(s.PumpUntil([&] { return !TLinkProbe(*s.link).ReceiverRunning(); }));
  ASSERT_EQ(s.link->Port().Port(), "COM1");
  ASSERT_TRUE(s.link->Port().Connected());  // marked open on COM1
  EXPECT_EQ(s.link->Flags().LinkFailed, 1);
  s.connection->Connect1Click();
  EXPECT_TRUE(TLinkProbe(*s.link).ReceiverRunning());
  EXPECT_EQ(s.view.portPanel, "Connection: COM1");
  int v = -1;
  ASSERT_TRUE(ReadConnectValue("PortNo", &v));
  EXPECT_EQ(v, 1);
  // The reconnect leaves the failure behind: the first wait after it is a
  // wait like any other, not cancelled with no word.
  EXPECT_EQ(s.link->Flags().LinkFailed, 0);
  EXPECT_EQ(s.Exchange("AT\r\n"), TWaitEnd::Awaited);
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
      EXPECT_EQ(language, 1028);
    }
  }
}

}  // namespace
