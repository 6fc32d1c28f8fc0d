// Installing and updating suites on the virtual phone over a pseudo-terminal:
// the lines on the wire, the messages, the port afterwards and the log.
#include <dirent.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "content/MidletPage.h"
#include "support/LinkProbe.h"
#include "support/SimLink.h"
#include "support/WireText.h"
#include "support/ZipFile.h"

namespace fs = std::filesystem;

namespace {

const std::string kOk = "\r\nOK\r\n";
const std::vector<std::string> kRefreshLines = {"AT", "AT*FLIST=4", "AT*FDWN=\"4\""};

std::string Bytes(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 13 + seed + i / 97) & 0xFF);
  return s;
}

std::string Descriptor(const std::string& name, const std::string& version, size_t jarSize) {
  return "MIDlet-Name: " + name + "\r\nMIDlet-Version: " + version +
         "\r\nMIDlet-Vendor: Quendrel Test\r\nMIDlet-Jar-URL: http://example.invalid/other.jar\r\nMIDlet-Jar-Size: " +
         std::to_string(jarSize) + "\r\n";
}

int OpenFds() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

// Samples the port from another thread: was it ever closed meanwhile?
class PortWatch {
 public:
  explicit PortWatch(TLink& link) : link_(link), thread_([this] { Run(); }) {}
  ~PortWatch() {
    stop_ = true;
    thread_.join();
  }
  bool SawClosed() const { return sawClosed_; }

 private:
  void Run() {
    while (!stop_) {
      if (!link_.Port().Connected()) sawClosed_ = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  TLink& link_;
  std::atomic<bool> stop_{false}, sawClosed_{false};
  std::thread thread_;
};

class Install : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.link->SetClock(TClock(0.02));
    setenv("HOME", rig.dir.path().c_str(), 1);
    fs::create_directories(rig.dir.File("pc"));
    rig.pages.PcFolder = rig.dir.File("pc");
    rig.pages.FolderAsked = true;
  }

  // A PC suite: descriptor declaring 'declared' bytes, archive of jar bytes.
  void PcSuite(const std::string& file, const std::string& name, const std::string& version, const std::string& jar,
               long declared = -1) {
    rig.dir.Write("pc/" + file + ".jad", Descriptor(name, version, declared < 0 ? jar.size() : declared));
    rig.dir.Write("pc/" + file + ".jar", jar);
  }
  void PhoneSuite(const std::string& folder, const std::string& name, const std::string& version) {
    fs::create_directories(rig.dir.File("phone/4/" + folder));
    rig.dir.Write("phone/4/" + folder + "/" + folder + ".jad", Descriptor(name, version, 3));
    rig.dir.Write("phone/4/" + folder + "/" + folder + ".jar", "JJJ");
  }
  void SetOptions(const std::function<void(phonesim::Options&)>& change) {
    phonesim::Options o = rig.PhoneOptions();
    change(o);
    rig.SetPhoneOptions(o);
  }
  // Refresh the page, select the PC row of the suite, forget the lines so far.
  void Open(const std::string& name) {
    page.LocalAppDL_RefreshPage();
    ASSERT_EQ(rig.view.page, TPage::Midlet);
    const auto& rows = rig.view.lists[TListId::PcSuites];
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i][0] == name) rig.view.selection[TListId::PcSuites] = {static_cast<int>(i)};
    ASSERT_FALSE(rig.view.selection[TListId::PcSuites].empty()) << name;
    rig.ClearPhoneLines();
    rig.view.messages.clear();
  }
  std::string Mark(const std::string& name) {
    for (const auto& row : rig.view.lists[TListId::PcSuites])
      if (row[0] == name) return row[3];
    return "?";
  }
  std::vector<std::string> Lines() { return rig.PhoneLines(); }
  std::string Request(const std::string& file, size_t size) {
    return "AT*FUPL=\"" + file + "\"," + std::to_string(size) + ",4,1";
  }
  std::string PcFile(const std::string& name) { return rig.dir.Read("pc/" + name); }

  SimLink rig{{}, SimLink::Line::Memory};
  TMidletPage page{*rig.link, rig.pages};
};

TEST_F(Install, FreshInstallSendsBothFilesAndKeepsThePortOpen) {
  const std::string jar = Bytes(200, 1);
  PcSuite("game", "Game", "1.0", jar);
  Open("Game");
  EXPECT_EQ(Mark("Game"), "[_]");
  const std::string jad = PcFile("game.jad");
  {
    PortWatch watch(*rig.link);
    page.LAD_ONE_ButtonClick();
    EXPECT_FALSE(watch.SawClosed());
  }
  EXPECT_TRUE(rig.view.messages.empty());
  std::vector<std::string> expected = {Request("game.jad", jad.size())};
  for (const auto& l : ExpectedPackets(jad)) expected.push_back(l);
  expected.push_back(Request("game.jar", jar.size()));  // named after the descriptor, not its Jar-URL
  for (const auto& l : ExpectedPackets(jar)) expected.push_back(l);
  for (const auto& l : kRefreshLines) expected.push_back(l);
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(Mark("Game"), "[V]");
  EXPECT_EQ(rig.view.lists[TListId::PhoneSuites],
            (std::vector<std::vector<std::string>>{{"Game", "1.0", std::to_string(jar.size())}}));
  EXPECT_EQ(rig.dir.Read("phone/4/Game/game.jar"), jar);
  EXPECT_TRUE(rig.link->Port().Connected());
  EXPECT_EQ(rig.view.actionDisableCount, 1);
  EXPECT_TRUE(rig.view.actionButtonsEnabled);
  EXPECT_EQ(rig.view.installButtonsEnabledCount, 1);
  EXPECT_FALSE(rig.view.progressVisible);
  const auto& texts = rig.view.statusTexts;
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Sending " + rig.dir.File("pc/game.jad")), texts.end());
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Sending " + rig.dir.File("pc/game.jar")), texts.end());
}

// A phone with no suites answers its list with nothing between the header
// and "OK"; whether or not it puts a packet header there, the page opens
// without a word and the install goes through.
TEST_F(Install, EmptyPhoneListInEitherLayout) {
  PcSuite("game", "Game", "1.0", Bytes(120, 2));
  for (bool bare : {false, true}) {
    SCOPED_TRACE(bare ? "no packet header" : "packet header");
    fs::remove_all(rig.dir.File("phone/4/Game"));
    phonesim::Options o = rig.PhoneOptions();
    o.bareSuiteList = bare;
    rig.SetPhoneOptions(o);
    Open("Game");
    EXPECT_TRUE(rig.view.lists[TListId::PhoneSuites].empty());
    EXPECT_EQ(page.InstallSuite(*page.PcSuites.First()).outcome, TOutcome::Ok);
    EXPECT_TRUE(rig.view.messages.empty()) << rig.view.messages.front();
    EXPECT_EQ(Mark("Game"), "[V]");
  }
}

std::vector<std::string> FolderNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(Install, ArchiveWithoutDescriptorSendsOneMadeFromItsManifest) {
  // CR LF and LF line ends, continuation lines, and a per-entry section that is no part of the suite.
  const std::string manifest =
      "Manifest-Version: 1.0\r\nMIDlet-Name: Zip Game\r\nMIDlet-Version: 2.1\nMIDlet-Vendor: Quendrel\r\n  Test\r\n"
      "MIDlet-1: Zip Game, /icon.png, zip.Main\nMIDlet-Description: a description long enough to be\r\n"
      "  continued on the next line\nMicroEdition-Profile: MIDP-2.0\r\n\r\nName: zip/Main.class\r\nSHA1-Digest: x\r\n";
  ASSERT_TRUE(WriteZip(rig.dir.File("pc/zipgame.jar"),
                       {{"META-INF/MANIFEST.MF", manifest}, {"zip/Main.class", Bytes(300, 3)}}));
  const std::string jar = PcFile("zipgame.jar");
  const std::vector<std::string> pcBefore = FolderNames(rig.dir.File("pc"));
  Open("Zip Game");
  EXPECT_EQ(Mark("Zip Game"), "[_]");
  page.LAD_ONE_ButtonClick();
  EXPECT_TRUE(rig.view.messages.empty()) << rig.view.messages.front();
  EXPECT_EQ(Mark("Zip Game"), "[V]");

  // The phone kept the descriptor it was sent, under the archive's name with .jad.
  const std::string jad = rig.dir.Read("phone/4/Zip Game/zipgame.jad");
  EXPECT_EQ(rig.dir.Read("phone/4/Zip Game/zipgame.jar"), jar);
  struct Want {
    const char* key;
    std::string value;
  };
  const Want wants[] = {{"Manifest-Version", "1.0"},
                        {"MIDlet-Name", "Zip Game"},
                        {"MIDlet-Version", "2.1"},
                        {"MIDlet-Vendor", "Quendrel Test"},
                        {"MIDlet-1", "Zip Game, /icon.png, zip.Main"},
                        {"MIDlet-Description", "a description long enough to be continued on the next line"},
                        {"MicroEdition-Profile", "MIDP-2.0"},
                        {"MIDlet-Jar-URL", "zipgame.jar"},
                        {"MIDlet-Jar-Size", std::to_string(jar.size())}};
  for (const Want& w : wants) {
    std::string value;
    EXPECT_TRUE(GetJadAttribute(jad, w.key, &value)) << w.key;
    EXPECT_EQ(value, w.value) << w.key;
  }
  EXPECT_FALSE(GetJadAttribute(jad, "SHA1-Digest", nullptr));
  // Sent exactly as a descriptor file of that name would be.
  std::vector<std::string> expected = {Request("zipgame.jad", jad.size())};
  for (const auto& l : ExpectedPackets(jad)) expected.push_back(l);
  expected.push_back(Request("zipgame.jar", jar.size()));
  for (const auto& l : ExpectedPackets(jar)) expected.push_back(l);
  for (const auto& l : kRefreshLines) expected.push_back(l);
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(FolderNames(rig.dir.File("pc")), pcBefore) << "nothing is written into the PC folder";
}

TEST_F(Install, DescriptorDisagreeingWithItsManifestIsRefused) {
  ASSERT_TRUE(WriteZip(rig.dir.File("pc/game.jar"),
                       {{"META-INF/MANIFEST.MF", "MIDlet-Name: Game\nMIDlet-Version: 2.0\nMIDlet-Vendor: Quendrel Test\n"}}));
  rig.dir.Write("pc/game.jad", Descriptor("Game", "1.0", PcFile("game.jar").size()));
  Open("Game");
  page.LAD_ONE_ButtonClick();
  EXPECT_EQ(rig.view.messages,
            (std::vector<std::string>{"Attribute Mismatch!!\nIt couldn't be installed!!", "Send JAR data ERR"}));
  EXPECT_EQ(Mark("Game"), "[_]");
}

TEST_F(Install, LogHoldsEveryLineAndReplyOfBothPhases) {
  const std::string jar = Bytes(100, 2);
  PcSuite("game", "Game", "1.0", jar);
  Open("Game");
  const std::string jad = PcFile("game.jad");
  page.LAD_ONE_ButtonClick();
  ASSERT_TRUE(rig.view.messages.empty());
  // The phone echoes each line before its answer, and the log keeps the whole reply.
  std::string expected;
  auto exchange = [&expected](const std::string& line) { expected += line + "\r\n" + line + "\r\n" + kOk; };
  exchange(Request("game.jad", jad.size()));
  for (const auto& l : ExpectedPackets(jad)) exchange(l);
  exchange(Request("game.jar", jar.size()));
  for (const auto& l : ExpectedPackets(jar)) exchange(l);
  EXPECT_EQ(rig.dir.Read("LAD.log"), expected);
}

TEST_F(Install, StatusDecidesWhatTheButtonDoes) {
  struct Case {
    const char* label;
    const char* phoneVersion;
    std::vector<std::string> messages;
  } cases[] = {
      {"same version", "1.0.0", {"MIDlet already exists on Phone"}},
      {"phone newer", "1.1", {"Old MIDlet"}},
  };
  PcSuite("game", "Game", "1.0", "JJJ");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(rig.dir.File("phone/4"));
    PhoneSuite("g", "Game", c.phoneVersion);
    Open("Game");
    int disabled = rig.view.actionDisableCount;
    page.LAD_ONE_ButtonClick();
    EXPECT_EQ(rig.view.messages, c.messages);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(rig.view.actionDisableCount, disabled);
    EXPECT_TRUE(rig.view.actionButtonsEnabled);
  }
}

TEST_F(Install, NoSelection) {
  PcSuite("game", "Game", "1.0", "JJJ");
  page.LocalAppDL_RefreshPage();
  rig.ClearPhoneLines();
  page.LAD_ONE_ButtonClick();
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"No MIDlet on PC be selected"});
  EXPECT_TRUE(Lines().empty());
}

TEST_F(Install, ConfirmedUpdateRemovesThenInstalls) {
  PhoneSuite("old", "Game", "1.0");
  const std::string jar = Bytes(95, 3);
  PcSuite("game", "Game", "2.0", jar);
  Open("Game");
  EXPECT_EQ(Mark("Game"), "[_]");
  rig.view.updateAnswers = {true};
  page.LAD_ONE_ButtonClick();
  EXPECT_EQ(rig.view.updateQuestions, std::vector<std::string>{"Update Game?"});
  EXPECT_TRUE(rig.view.messages.empty());
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], "AT*FUPL=\"Game\",0,4,3");
  EXPECT_EQ(lines[1], Request("game.jad", PcFile("game.jad").size()));
  auto jarRequest = std::find(lines.begin(), lines.end(), Request("game.jar", jar.size()));
  EXPECT_NE(jarRequest, lines.end());
  EXPECT_EQ(Mark("Game"), "[V]");
  EXPECT_EQ(rig.view.lists[TListId::PhoneSuites][0][1], "2.0");
  EXPECT_TRUE(rig.view.actionButtonsEnabled);
}

TEST_F(Install, CancelledUpdateSendsNothing) {
  PhoneSuite("old", "Game", "1.0");
  PcSuite("game", "Game", "2.0", "JJJ");
  Open("Game");
  rig.view.updateAnswers = {false};
  page.LAD_ONE_ButtonClick();
  EXPECT_EQ(rig.view.updateQuestions, std::vector<std::string>{"Update Game?"});
  EXPECT_TRUE(Lines().empty());
  EXPECT_TRUE(rig.view.messages.empty());
  EXPECT_EQ(rig.view.actionDisableCount, 0);
  EXPECT_TRUE(rig.view.actionButtonsEnabled);
}

TEST_F(Install, RefusedRemovalOfAnUpdateInstallsNothing) {
  PhoneSuite("old", "Game", "1.0");
  PcSuite("game", "Game", "2.0", "JJJ");
  Open("Game");
  SetOptions([](phonesim::Options& o) { o.errorPrefix = "AT*FUPL=\"Game\""; });
  rig.view.updateAnswers = {true};
  page.LAD_ONE_ButtonClick();
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"Update Error"});
  EXPECT_EQ(Lines(), std::vector<std::string>{"AT*FUPL=\"Game\",0,4,3"});
  EXPECT_TRUE(rig.view.actionButtonsEnabled);
}

TEST_F(Install, ArchiveSizeMismatchRefusedBeforeAnythingIsWritten) {
  struct Case {
    const char* label;
    bool removeArchive;
  } cases[] = {{"one byte longer", false}, {"archive missing", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    PcSuite("game", "Game", "1.0", Bytes(101, 4), 100);
    if (c.removeArchive) fs::remove(rig.dir.File("pc/game.jar"));
    Open("Game");
    fs::remove(rig.dir.File("LAD.log"));
    PortWatch watch(*rig.link);
    page.LAD_ONE_ButtonClick();
    EXPECT_EQ(rig.view.messages, std::vector<std::string>{"JAR size mismatch!!"});
    EXPECT_EQ(Lines(), kRefreshLines);  // only the refresh
    EXPECT_FALSE(watch.SawClosed());
    EXPECT_FALSE(fs::exists(rig.dir.File("LAD.log")));
    EXPECT_TRUE(rig.view.actionButtonsEnabled);
  }
}

TEST_F(Install, EmptyDescriptorSendsOnlyItsRequest) {
  const std::string jar = Bytes(30, 5);
  PcSuite("game", "Game", "1.0", jar);
  Open("Game");
  rig.dir.Write("pc/game.jad", "");  // emptied after the scan
  page.LAD_ONE_ButtonClick();
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], Request("game.jad", 0));
  EXPECT_EQ(lines[1], Request("game.jar", jar.size()));
  EXPECT_EQ(lines[2], ExpectedPackets(jar)[0]);
  // The phone has no descriptor to go with the archive; the refresh then
  // finds the emptied descriptor lacking its first attribute.
  EXPECT_EQ(rig.view.messages,
            (std::vector<std::string>{"Invalid Descriptor!!\nPlease check JAD file!!", "Send JAR data ERR",
                                      rig.dir.File("pc/game.jad") + " lost <MIDlet-Jar-Size>"}));
}

TEST_F(Install, ArchiveOf256PacketsEndsWithF0) {
  const std::string jar = Bytes(90 * 256, 6);
  PcSuite("big", "Big", "1.0", jar);
  Open("Big");
  page.LAD_ONE_ButtonClick();
  EXPECT_TRUE(rig.view.messages.empty());
  std::vector<std::string> lines = Lines();
  auto req = std::find(lines.begin(), lines.end(), Request("big.jar", jar.size()));
  ASSERT_NE(req, lines.end());
  std::vector<std::string> sent(req + 1, req + 1 + 256);
  EXPECT_EQ(sent, ExpectedPackets(jar));
  EXPECT_EQ(sent.back().substr(0, 12), "AT*FUPL=F000");
  EXPECT_EQ(sent.back().size(), 12u + 180 + 4);
  EXPECT_EQ(rig.dir.Read("phone/4/Big/big.jar"), jar);
  EXPECT_EQ(Mark("Big"), "[V]");
}

struct RefusalCase {
  const char* label;
  std::function<void(phonesim::Options&)> fault;
  std::vector<std::string> messages;
  bool archiveRequested;
  bool update = false;  // the phone holds Game 0.9, removed first
};

TEST_F(Install, RefusalsCloseThePortAndTheRefreshReopensIt) {
  const RefusalCase cases[] = {
      {"coded refusal of the archive", [](phonesim::Options& o) { o.installErrorCode = 2; },
       {"Attribute Mismatch!!\nIt couldn't be installed!!", "Send JAR data ERR"}, true},
      {"coded refusal, memory", [](phonesim::Options& o) { o.installErrorCode = 3; },
       {"Insufficient Memory!!\nIt couldn't be installed!!", "Send JAR data ERR"}, true},
      {"descriptor request refused", [](phonesim::Options& o) { o.refuseUpload = true; },
       {"Send_JAD_REQ_ERR", " 3 "}, false},
      {"archive request refused", [](phonesim::Options& o) { o.errorPrefix = "AT*FUPL=\"game.jar\""; },
       {"Send_JAR_REQ_ERR", "AT*FUPL=\"game.jar\",120,4,1\r\n\r\n"}, true},  // the echo: no "*FUPL:" in it
      {"descriptor request unanswered", [](phonesim::Options& o) { o.noEchoSilentPrefix = "AT*FUPL=\"game.jad\""; },
       {"Send_JAD_REQ_timeout"}, false},
      // An update fails after the removal: the user learns the old version is gone.
      {"update, coded refusal, memory", [](phonesim::Options& o) { o.installErrorCode = 3; },
       {"Insufficient Memory!!\nIt couldn't be installed!!", "Send JAR data ERR",
        "The update failed after the old version was removed from the phone: Game 0.9"},
       true, true},
      {"update, descriptor request refused", [](phonesim::Options& o) { o.refuseUpload = true; },
       {"Send_JAD_REQ_ERR", " 3 ", "The update failed after the old version was removed from the phone: Game 0.9"},
       false, true},
  };
  PcSuite("game", "Game", "1.0", Bytes(120, 7));
  rig.link->SetClock(TClock(0.02));  // each refusal reopens the port: its settle times, not the work, take the time
  for (const RefusalCase& c : cases) {
    SCOPED_TRACE(c.label);
    SetOptions([](phonesim::Options& o) {
      phonesim::Options fresh;
      fresh.contentDir = o.contentDir;
      o = fresh;
    });
    if (c.update) {
      PhoneSuite("old", "Game", "0.9");
      rig.view.updateAnswers = {true};
    }
    Open("Game");
    SetOptions(c.fault);
    bool closed;
    {
      PortWatch watch(*rig.link);
      page.LAD_ONE_ButtonClick();
      closed = watch.SawClosed();
    }
    EXPECT_EQ(rig.view.messages, c.messages);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(rig.link->Port().Connected());
    EXPECT_FALSE(TLinkProbe(*rig.link).ReceiverPaused());
    EXPECT_EQ(rig.view.page, TPage::Midlet);
    EXPECT_EQ(Mark("Game"), "[_]");
    std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_TRUE(std::equal(kRefreshLines.begin(), kRefreshLines.end(), lines.end() - 3));
    EXPECT_EQ(std::find(lines.begin(), lines.end(), Request("game.jar", 120)) != lines.end(), c.archiveRequested);
    EXPECT_TRUE(rig.view.actionButtonsEnabled);
  }
}

TEST_F(Install, RejectedPacketIsSentOnceMore) {
  struct Case {
    const char* label;
    int times;
    std::vector<std::string> messages;
    const char* mark;
  } cases[] = {{"once", 1, {}, "[V]"}, {"twice", 2, {"Resend Error!!"}, "[_]"}};
  PcSuite("game", "Game", "1.0", Bytes(50, 8));
  rig.link->SetClock(TClock(0.05));  // a packet sent again has a short wait of its own
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(rig.dir.File("phone/4"));
    fs::create_directories(rig.dir.File("phone/4"));
    SetOptions([&c](phonesim::Options& o) {
      o.rejectUploadPacket = 1;
      o.rejectUploadTimes = c.times;
    });
    Open("Game");
    page.LAD_ONE_ButtonClick();
    EXPECT_EQ(rig.view.messages, c.messages);
    std::vector<std::string> lines = Lines();
    ASSERT_GE(lines.size(), 3u);
    const std::string first = ExpectedPackets(PcFile("game.jad"))[0];
    EXPECT_EQ(lines[1], first);
    EXPECT_EQ(lines[2], first);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), first), 2);
    EXPECT_EQ(Mark("Game"), c.mark);
  }
}

TEST_F(Install, UnansweredArchivePacketCountsWhenSomethingCameBack) {
  const std::string jar = Bytes(250, 9);  // three packets
  PcSuite("game", "Game", "1.0", jar);
  Open("Game");
  const std::vector<std::string> packets = ExpectedPackets(jar);
  SetOptions([](phonesim::Options& o) { o.silentPrefix = "AT*FUPL=0201"; });  // archive packet 2: echo, then nothing
  rig.link->SetClock(TClock(0.02));  // the archive packet's long wait
  page.LAD_ONE_ButtonClick();
  std::vector<std::string> lines = Lines();
  auto second = std::find(lines.begin(), lines.end(), packets[1]);
  ASSERT_NE(second, lines.end());
  ASSERT_NE(second + 1, lines.end());
  EXPECT_EQ(*(second + 1), packets[2]);  // went on with the next packet
  ASSERT_GE(rig.view.messages.size(), 2u);
  EXPECT_EQ(rig.view.messages[0], "Send JAR data timeout");
  EXPECT_EQ(rig.view.messages[1], packets[1] + "\r\n");
  // The phone missed packet 2 and refuses packet 3.
  EXPECT_EQ(rig.view.messages.back(), "Send JAR data ERR");
}

TEST_F(Install, UnansweredArchivePacketWithNothingBackEndsTheInstall) {
  const std::string jar = Bytes(250, 10);
  PcSuite("game", "Game", "1.0", jar);
  Open("Game");
  const std::vector<std::string> packets = ExpectedPackets(jar);
  SetOptions([](phonesim::Options& o) { o.noEchoSilentPrefix = "AT*FUPL=0201"; });
  rig.link->SetClock(TClock(0.02));  // the archive packet's long wait
  bool closed;
  {
    PortWatch watch(*rig.link);
    page.LAD_ONE_ButtonClick();
    closed = watch.SawClosed();
  }
  EXPECT_EQ(rig.view.messages,
            (std::vector<std::string>{"Send JAR data timeout", "Send JAR data ERR/Check connection"}));
  std::vector<std::string> lines = Lines();
  EXPECT_EQ(std::find(lines.begin(), lines.end(), packets[2]), lines.end());
  EXPECT_TRUE(closed);
  EXPECT_TRUE(rig.link->Port().Connected());
}

TEST_F(Install, UnansweredLastArchivePacketIsAFailure) {
  const std::string jar = Bytes(250, 12);  // three packets; the descriptor takes two
  PcSuite("game", "Game", "1.0", jar);
  Open("Game");
  SetOptions([](phonesim::Options& o) { o.silentPrefix = "AT*FUPL=0300"; });  // echo, then nothing
  rig.link->SetClock(TClock(0.02));  // the archive packet's long wait
  EXPECT_EQ(page.InstallSuite(*page.PcSuites.First()).outcome, TOutcome::TimedOut);
  std::vector<std::string> lines = Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 4], ExpectedPackets(jar)[2]);  // then only the refresh
  EXPECT_FALSE(fs::exists(rig.dir.File("phone/4/Game")));
}

TEST_F(Install, UpdateChecksThePcSideBeforeRemovingTheOldSuite) {
  const std::pair<std::function<void()>, const char*> spoilers[] = {
      {[this] { rig.dir.Write("pc/game.jar", Bytes(101, 4)); }, "JAR size mismatch!!"},
      {[this] { fs::create_directory(rig.dir.File("LAD.log")); }, "Open log Err"}};
  for (const auto& [spoil, message] : spoilers) {
    SCOPED_TRACE(message);
    PcSuite("game", "Game", "2.0", Bytes(100, 4));
    PhoneSuite("old", "Game", "1.0");
    Open("Game");
    spoil();
    rig.view.updateAnswers = {true};
    EXPECT_EQ(page.InstallSuite(*page.PcSuites.First()).outcome, TOutcome::Failed);
    EXPECT_EQ(rig.view.messages, std::vector<std::string>{message});
    EXPECT_EQ(Lines(), kRefreshLines);  // no removal
    EXPECT_EQ(rig.dir.Read("phone/4/old/old.jar"), "JJJ");
    fs::remove_all(rig.dir.File("LAD.log"));
  }
}

TEST_F(Install, SuiteNamesThatCannotTravelAreRefusedBeforeAnythingIsSent) {
  PcSuite("say", "Say \"Hi\"", "2.0", "JJJ");
  for (bool update : {false, true}) {
    if (update) PhoneSuite("old", "Say \"Hi\"", "1.0");
    Open("Say \"Hi\"");
    EXPECT_EQ(page.InstallSuite(*page.PcSuites.First()).outcome, TOutcome::Failed);
    EXPECT_EQ(rig.view.messages, std::vector<std::string>{"Invalid file name: Say \"Hi\""});
    EXPECT_TRUE(Lines().empty());
  }
  EXPECT_EQ(page.UninstallSuite(*page.PhoneSuites.First()).outcome, TOutcome::Failed);
  EXPECT_TRUE(Lines().empty());
}

TEST_F(Install, AbortDuringArchiveStopsAndClosesFiles) {
  const std::string jar = Bytes(900, 11);  // ten packets
  PcSuite("game", "Game", "1.0", jar);
  Open("Game");
  const std::vector<std::string> packets = ExpectedPackets(jar);
  const int fdsBefore = OpenFds();
  rig.view.onWaitTurn = [&] {
    std::vector<std::string> lines = rig.PhoneLines();
    if (std::find(lines.begin(), lines.end(), packets[3]) != lines.end()) rig.link->Flags().LinkFailed = 1;
  };
  page.LAD_ONE_ButtonClick();
  rig.view.onWaitTurn = nullptr;
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{kLineLostAdvice});
  EXPECT_EQ(rig.view.page, TPage::Logo);
  EXPECT_EQ(rig.link->Flags().LinkFailed, 0);
  std::vector<std::string> lines = Lines();
  EXPECT_EQ(lines.back(), packets[3]);  // no refresh, nothing more
  EXPECT_EQ(OpenFds(), fdsBefore);
  EXPECT_TRUE(rig.view.actionButtonsEnabled);
  EXPECT_EQ(rig.view.installButtonsEnabledCount, 0);  // no ending
  EXPECT_FALSE(rig.view.progressVisible);
  // The log is closed: a new log can replace it at once.
  EXPECT_TRUE(rig.link->TransferLog().Open());
  rig.link->TransferLog().Close();
}

}  // namespace
