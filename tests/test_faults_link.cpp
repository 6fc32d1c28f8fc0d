// Faults injected on the line while the link and the pages work against the
// virtual phone: hang-ups in every kind of exchange, noise and floods,
// replies cut at every point, and a phone that never answers. After each
// fault the user's files are compared with what they were before.
#include <gtest/gtest.h>


#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "content/MidletPage.h"
#include "link/PortMap.h"
#include "link/Transfers.h"
#include "support/LinkProbe.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kWaitEvent = "COM Port Exception while wait event";
const char* const kReceive = "COM port exception while receive";

std::string Descriptor(const std::string& name, const std::string& version, size_t jarSize) {
  return "MIDlet-Name: " + name + "\r\nMIDlet-Version: " + version +
         "\r\nMIDlet-Vendor: Quendrel Test\r\nMIDlet-Jar-URL: http://example.invalid/g.jar\r\nMIDlet-Jar-Size: " +
         std::to_string(jarSize) + "\r\n";
}

long Seconds(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - since).count());
}

class FaultRig {
 public:
  FaultRig() {
    rig.link->SetClock(TClock(0.02));
    setenv("HOME", rig.dir.path().c_str(), 1);
    fs::create_directories(Pc(""));
    rig.pages.PcFolder = Pc("");
    rig.pages.FolderAsked = true;
    rig.Connect();
  }

  std::string Pc(const std::string& name) const { return rig.dir.File("pc/" + name); }
  std::string Phone(const std::string& name) const { return rig.dir.File("phone/" + name); }
  void SetOptions(const std::function<void(phonesim::Options&)>& change) {
    phonesim::Options o = rig.sim->GetOptions();
    change(o);
    rig.sim->SetOptions(o);
  }
  bool PhoneGot(const std::string& line) const {
    auto lines = rig.sim->ReceivedLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  // A MIDlet page showing the PC suite 'name' selected.
  void OpenMidletPage(const std::string& name) {
    midlets.LocalAppDL_RefreshPage();
    ASSERT_EQ(rig.view.page, TPage::Midlet);
    const auto& rows = rig.view.lists[TListId::PcSuites];
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i][0] == name) rig.view.selection[TListId::PcSuites] = {static_cast<int>(i)};
    ASSERT_FALSE(rig.view.selection[TListId::PcSuites].empty()) << name;
  }
  // Connect alone brings the link back on the port the line dropped on.
  void Reconnect() {
    rig.view.messages.clear();
    rig.connection->Connect1Click();
  }

  SimLink rig;
  TMidletPage midlets{*rig.link, rig.pages};
};

// ---------------------------------------------------------------------------
// Hang-up during each kind of exchange.

struct HangCase {
  const char* label;
  // Puts files in place and arms the hang-up; runs before the snapshot.
  std::function<void(FaultRig&)> arrange;
  std::function<void(FaultRig&)> run;
  // Files the fault may legitimately change (relative to pc/), with the
  // bytes they must hold afterwards.
  std::function<faults::TFolderSnapshot(FaultRig&)> pcChanges;
  // Nothing of the interrupted file may show up on the phone.
  std::string phoneMustNotHave;
};

void PrintTo(const HangCase& c, std::ostream* os) { *os << c.label; }

const std::string kUpload = faults::Pattern(500, 1);     // six packets
const std::string kDownload = faults::Pattern(500, 2);   // six packets
const std::string kThreePackets = kDownload.substr(0, 250);
const std::string kFourPackets = kDownload.substr(0, 340);
const std::string kJar = faults::Pattern(250, 3);        // three archive packets
const std::string kPrecious = "the user's own bytes, not to be lost";

std::vector<HangCase> HangCases() {
  auto hangAfter = [](int lines) {
    return [lines](FaultRig& f) { f.SetOptions([lines](phonesim::Options& o) { o.hangupAfterLines = lines; }); };
  };
  auto unchanged = [](FaultRig&) { return faults::TFolderSnapshot{}; };
  return {
      {"phone listing",
       [hangAfter](FaultRig& f) {
         f.rig.dir.Write("pc/keep.gif", kUpload);
         f.rig.dir.Write("phone/3/a.gif", "A");
         SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
         hangAfter(1)(f);
       },
       [](FaultRig& f) { ListPhoneFolder(*f.rig.link, f.rig.pages); }, unchanged, ""},
      {"upload request",
       [hangAfter](FaultRig& f) {
         f.rig.dir.Write("pc/up.bin", kUpload);
         SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
         ListPhoneFolder(*f.rig.link, f.rig.pages);  // the overwrite check needs it
         hangAfter(1)(f);
       },
       [](FaultRig& f) { UploadFile(*f.rig.link, f.rig.pages, f.rig.pages.PcFolder, "up.bin", 3); }, unchanged, "3/up.bin"},
      {"upload packet 3",
       [hangAfter](FaultRig& f) {
         f.rig.dir.Write("pc/up.bin", kUpload);
         SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
         ListPhoneFolder(*f.rig.link, f.rig.pages);  // the overwrite check needs it
         hangAfter(4)(f);  // request, packets 1, 2, then 3 hangs up
       },
       [](FaultRig& f) { UploadFile(*f.rig.link, f.rig.pages, f.rig.pages.PcFolder, "up.bin", 3); }, unchanged, "3/up.bin"},
      {"download packet after the first ACK, new PC file",
       [hangAfter](FaultRig& f) {
         f.rig.dir.Write("phone/3/dl.bin", kDownload);
         SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
         hangAfter(2)(f);  // the request, then the first AT*ACK hangs up
       },
       // A failed download keeps nothing under the new name.
       [](FaultRig& f) { DownloadFile(*f.rig.link, f.rig.pages.PcFolder, "dl.bin", 500); }, unchanged, ""},
      {"download packet after the first ACK, overwriting a PC file",
       [hangAfter](FaultRig& f) {
         f.rig.dir.Write("phone/3/dl.bin", kDownload);
         f.rig.dir.Write("pc/dl.bin", kPrecious);
         f.rig.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
         SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
         hangAfter(2)(f);
       },
       [](FaultRig& f) { DownloadFile(*f.rig.link, f.rig.pages.PcFolder, "dl.bin", 500); }, unchanged, ""},
      {"install archive packet 2",
       [](FaultRig& f) {
         f.rig.dir.Write("pc/game.jad", Descriptor("Game", "1.0", kJar.size()));
         f.rig.dir.Write("pc/game.jar", kJar);
         f.OpenMidletPage("Game");
         const std::string second = "AT*FUPL=" + faults::PacketLine(2, false, kJar.substr(90, 90));
         bool fired = false;
         f.rig.view.onWaitTurn = [&f, second, fired]() mutable {
           if (!fired && f.PhoneGot(second)) {
             fired = true;
             f.rig.sim->HangUp();
           }
         };
       },
       [](FaultRig& f) {
         f.midlets.LAD_ONE_ButtonClick();
         f.rig.view.onWaitTurn = nullptr;
       },
       unchanged, "4/Game/game.jar"},
      {"install archive packet 3 while it is resent",
       [](FaultRig& f) {
         f.rig.dir.Write("pc/game.jad", Descriptor("Game", "1.0", kJar.size()));
         f.rig.dir.Write("pc/game.jar", kJar);
         f.OpenMidletPage("Game");
         // Descriptor request and two packets, archive request and three
         // packets; the third is rejected and its resend hangs up.
         f.SetOptions([](phonesim::Options& o) {
           o.rejectUploadPacket = 3;
           o.hangupAfterLines = 8;
         });
       },
       [](FaultRig& f) { f.midlets.LAD_ONE_ButtonClick(); }, unchanged, "4/Game/game.jar"},
  };
}

class HangUp : public ::testing::TestWithParam<HangCase> {};

TEST_P(HangUp, EndsThroughTheAbortKeepsFilesAndTheNextConnectWorks) {
  const HangCase& c = GetParam();
  FaultRig f;
  f.rig.dir.Write("pc/bystander.gif", "GIF89a and more");
  c.arrange(f);
  f.rig.view.messages.clear();
  const faults::TFolderSnapshot before = faults::Snapshot(f.Pc(""));
  const unsigned aborts = f.rig.link->Flags().AbortCount;
  const auto start = Clock::now();

  c.run(f);
  // The window goes on serving events: the receiver finishes its failure
  // path (its boxes and the menu) and ends.
  EXPECT_TRUE(f.rig.PumpUntil([&] { return !TLinkProbe(*f.rig.link).ReceiverRunning(); }, 3000));

  EXPECT_LT(Seconds(start), 15);
  // The abort rule: logo page, bars hidden, the flag cleared once.
  EXPECT_EQ(f.rig.link->Flags().AbortCount, aborts + 1);
  EXPECT_EQ(f.rig.link->Flags().LinkFailed, 0);
  EXPECT_EQ(f.rig.view.page, TPage::Logo);
  EXPECT_FALSE(f.rig.view.progressVisible);
  EXPECT_FALSE(f.rig.view.statusVisible);
  EXPECT_TRUE(f.rig.view.actionButtonsEnabled);
  EXPECT_NE(f.rig.link->Reply().State(), rsOk);
  // The receiver speaks, and the port keeps the user's name; the ended
  // operation adds what brings the line back, once.
  ASSERT_FALSE(f.rig.view.messages.empty());
  EXPECT_EQ(f.rig.view.messages.front(), kWaitEvent);
  EXPECT_EQ(std::count(f.rig.view.messages.begin(), f.rig.view.messages.end(), kLineLostAdvice), 1);
  for (const std::string& m : f.rig.view.messages)
    EXPECT_TRUE(m == kWaitEvent || m == kReceive || m == kLineLostAdvice) << m;
  EXPECT_TRUE(f.rig.view.canConnect);
  EXPECT_FALSE(f.rig.view.canDisconnect);
  EXPECT_EQ(f.rig.view.linkPanel, "Status: Disconnect");
  EXPECT_EQ(f.rig.link->Port().Port(), SimLink::kPortName);
  EXPECT_FALSE(f.rig.link->Port().Connected());

  // The user's files: unchanged except what the case allows.
  faults::TFolderSnapshot expected = before;
  for (const auto& [name, bytes] : c.pcChanges(f)) expected[name] = bytes;
  faults::TFolderSnapshot after = faults::Snapshot(f.Pc(""));
  EXPECT_EQ(after, expected);
  if (!c.phoneMustNotHave.empty()) {
    EXPECT_FALSE(faults::Exists(f.Phone(c.phoneMustNotHave)));
  }

  // The phone comes back on a new line under the same port name.
  phonesim::Options o;
  o.contentDir = f.rig.dir.File("phone");
  f.rig.sim = std::make_unique<phonesim::PhoneSim>(o);
  ASSERT_TRUE(f.rig.sim->Start());
  AddPortMapEntry(SimLink::kPortName, f.rig.sim->DevicePath());
  f.Reconnect();
  EXPECT_TRUE(f.rig.link->Port().Connected());
  EXPECT_TRUE(CheckLink(*f.rig.link));
  EXPECT_TRUE(f.rig.view.messages.empty()) << f.rig.view.messages.front();
  SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
  EXPECT_EQ(f.rig.link->Reply().State(), rsOk);
  EXPECT_EQ(f.rig.view.linkPanel, "Status: Connection");
}

INSTANTIATE_TEST_SUITE_P(Faults, HangUp, ::testing::ValuesIn(HangCases()));

// ---------------------------------------------------------------------------
// A phone that never answers one kind of command.

struct SilentCase {
  const char* label;
  std::string prefix;  // lines starting with it get nothing back, not even the echo
  std::function<void(FaultRig&)> arrange;
  std::function<void(FaultRig&)> run;
  std::vector<std::string> messages;
  // The clock of the run: nothing to wait for but the time-out. Where the
  // silenced command is the operation's first, a still faster one.
  double clock = 0.01;
};

// Where the unanswered command is the first the operation sends.
constexpr double kSilentFirst = 0.004;

void PrintTo(const SilentCase& c, std::ostream* os) { *os << c.label; }

std::vector<SilentCase> SilentCases() {
  auto folder3 = [](FaultRig& f) {
    f.rig.dir.Write("pc/up.bin", kUpload);
    f.rig.dir.Write("phone/3/dl.bin", kDownload);
    SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
    ListPhoneFolder(*f.rig.link, f.rig.pages);  // the overwrite check needs it
  };
  auto midlet = [](FaultRig& f) {
    f.rig.dir.Write("pc/game.jad", Descriptor("Game", "1.0", kJar.size()));
    f.rig.dir.Write("pc/game.jar", kJar);
    fs::create_directories(f.Phone("4/Old"));
    f.rig.dir.Write("phone/4/Old/old.jad", Descriptor("Old", "1.0", 3));
    f.rig.dir.Write("phone/4/Old/old.jar", "JJJ");
    f.OpenMidletPage("Game");
  };
  auto none = [](FaultRig&) {};
  return {
      {"AT", "AT", none, [](FaultRig& f) { EXPECT_FALSE(CheckLink(*f.rig.link)); }, {"Connection Timeout"},
       kSilentFirst},
      {"folder select", "AT*FLIST=", none, [](FaultRig& f) { SelectPhoneFolder(*f.rig.link, f.rig.pages, 3); },
       {"Change Folder Timeout"}, kSilentFirst},
      {"listing", "AT*FLIST?", folder3, [](FaultRig& f) { ListPhoneFolder(*f.rig.link, f.rig.pages); },
       {"Get_List_Timeout"}, kSilentFirst},
      {"remove", "AT*FRMV", folder3, [](FaultRig& f) { RemovePhoneFile(*f.rig.link, "dl.bin"); },
       {"File_Remove_timeout"}, kSilentFirst},
      {"upload request", "AT*FUPL=\"", folder3, [](FaultRig& f) { UploadFile(*f.rig.link, f.rig.pages, f.rig.pages.PcFolder, "up.bin", 3); },
       {"Send_UPLOAD_REQ_timeout"}},
      {"upload packet", "AT*FUPL=0201", folder3, [](FaultRig& f) { UploadFile(*f.rig.link, f.rig.pages, f.rig.pages.PcFolder, "up.bin", 3); },
       {"Send File data timeout"}},
      {"download request", "AT*FDWN", folder3, [](FaultRig& f) { DownloadFile(*f.rig.link, f.rig.pages.PcFolder, "dl.bin", 500); },
       {"Download_Timeout"}},
      {"download acknowledge", "AT*ACK", folder3, [](FaultRig& f) { DownloadFile(*f.rig.link, f.rig.pages.PcFolder, "dl.bin", 500); },
       {"Download_Timeout"}},
      {"MIDlet list", "AT*FDWN=\"4\"", none, [](FaultRig& f) { f.midlets.LocalAppDL_RefreshPage(); },
       {"Get_List_Timeout"}},
      {"uninstall", "AT*FUPL=\"Old\",0,4,3", midlet,
       [](FaultRig& f) {
         for (size_t i = 0; i < f.rig.view.lists[TListId::PhoneSuites].size(); ++i)
           if (f.rig.view.lists[TListId::PhoneSuites][i][0] == "Old")
             f.rig.view.selection[TListId::PhoneSuites] = {static_cast<int>(i)};
         f.midlets.LocalAppDL_REMOVE_ButtonClick();
       },
       {"Remove_Timeout"}},
      {"install request", "AT*FUPL=\"game.jad\"", midlet, [](FaultRig& f) { f.midlets.LAD_ONE_ButtonClick(); },
       {"Send_JAD_REQ_timeout"}},
      {"archive packet", "AT*FUPL=0201", midlet, [](FaultRig& f) { f.midlets.LAD_ONE_ButtonClick(); },
       {"Send JAR data timeout", "Send JAR data ERR/Check connection"}},
  };
}

class SilentPhone : public ::testing::TestWithParam<SilentCase> {};

TEST_P(SilentPhone, EveryWaitEndsWithItsOwnTimeOut) {
  const SilentCase& c = GetParam();
  FaultRig f;
  c.arrange(f);
  const faults::TFolderSnapshot pcBefore = faults::Snapshot(f.Pc(""));
  const faults::TFolderSnapshot phoneBefore = faults::Snapshot(f.Phone(""));
  f.rig.view.messages.clear();
  f.SetOptions([&](phonesim::Options& o) { o.noEchoSilentPrefix = c.prefix; });
  f.rig.link->SetClock(TClock(c.clock));
  const auto start = Clock::now();
  c.run(f);
  EXPECT_LT(Seconds(start), 20) << "a wait of 5000 ticks lasts about 5 s at this scale";
  EXPECT_EQ(f.rig.view.messages, c.messages);
  EXPECT_NE(f.rig.view.page, TPage::Content);
  // The link check leaves its own "Com Port OK" up, as it does on success.
  if (c.prefix != "AT") {
    EXPECT_FALSE(f.rig.view.statusVisible);
  }
  EXPECT_TRUE(f.rig.view.actionButtonsEnabled);
  // The phone did get the command: the silence was the phone's.
  bool sent = false;
  for (const std::string& l : f.rig.sim->ReceivedLines()) sent = sent || l.rfind(c.prefix, 0) == 0;
  EXPECT_TRUE(sent);
  // Nothing of the user's is lost: a download that timed out before its
  // first packet leaves an empty new file at most.
  faults::TFolderSnapshot pcAfter = faults::Snapshot(f.Pc(""));
  if (pcAfter.count("dl.bin") && !pcBefore.count("dl.bin")) {
    EXPECT_EQ(kDownload.substr(0, pcAfter["dl.bin"].size()), pcAfter["dl.bin"]);
    pcAfter.erase("dl.bin");
  }
  EXPECT_EQ(pcAfter, pcBefore);
  // The phone keeps what it had; a timed-out upload stores nothing.
  faults::TFolderSnapshot phoneAfter = faults::Snapshot(f.Phone(""));
  EXPECT_EQ(phoneAfter, phoneBefore);
}

INSTANTIATE_TEST_SUITE_P(Faults, SilentPhone, ::testing::ValuesIn(SilentCases()));


// ---------------------------------------------------------------------------
// Phones that lay out, cut or garble their replies otherwise: each
// operation either does its work whole, or fails with the user's files on
// both sides as they were and a result that says so.

struct MisbehaveCase {
  const char* label;
  std::function<void(phonesim::Options&)> fault;
  std::function<TResult(FaultRig&)> run;
  bool succeeds;
  // On success: what must now be where (relative to the phone's and the
  // PC's folders).
  std::map<std::string, std::string> phoneAfter, pcAfter;
  bool userFileFirst = false;  // the PC already holds a file of the fetched name
  std::string onPhone = kDownload;  // the phone's dl.bin
  std::string message = {};  // when set: shown, and the only message
};

// More lines than any row needs: a phone past them is cut off, and the row fails.
constexpr size_t kLineBound = 100;



void PrintTo(const MisbehaveCase& c, std::ostream* os) { *os << c.label; }

std::vector<MisbehaveCase> MisbehaveCases() {
  auto cutEvery = [](int n) {
    return [n](phonesim::Options& o) {
      o.splitPauseMs = 15;
      o.splitEvery = n;
    };
  };
  auto resultApart = [](phonesim::Options& o) {
    // Everything but the closing "\r\nOK\r\n", then the code on its own.
    o.splitPauseMs = 15;
    o.splitAt = -6;
  };
  auto listing = [](FaultRig& f) {
    if (!SelectPhoneFolder(*f.rig.link, f.rig.pages, 3).Ok()) return TResult::Of(TOutcome::Failed);
    TResult r = ListPhoneFolder(*f.rig.link, f.rig.pages);
    if (r.Ok() && f.rig.pages.PhoneFileList.Count() != 2) return TResult::Of(TOutcome::Failed);
    return r;
  };
  auto get = [](FaultRig& f) {
    SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
    return DownloadFile(*f.rig.link, f.rig.pages.PcFolder, "dl.bin",
                        static_cast<int>(fs::file_size(f.Phone("3/dl.bin"))));
  };
  // With the size the phone's listing gives.
  auto getListed = [](FaultRig& f) {
    SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
    if (!ListPhoneFolder(*f.rig.link, f.rig.pages).Ok()) return TResult::Of(TOutcome::Failed);
    return DownloadFile(*f.rig.link, f.rig.pages.PcFolder, "dl.bin",
                        FindPhoneFile(f.rig.pages.PhoneFileList, "dl.bin")->Size);
  };
  auto listedAs = [](const char* text) {
    return [text](phonesim::Options& o) { o.listedSizes = {{"dl.bin", text}}; };
  };
  const std::string unreadable = "Unreadable size in the phone's listing: dl.bin";
  const std::string pastSize = "More data than the phone's listing gives: dl.bin";
  auto put = [](FaultRig& f) {
    SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
    if (!ListPhoneFolder(*f.rig.link, f.rig.pages).Ok()) return TResult::Of(TOutcome::Failed);
    return UploadFile(*f.rig.link, f.rig.pages, f.rig.pages.PcFolder, "up.bin", 3);
  };
  auto install = [](FaultRig& f) {
    f.OpenMidletPage("Game");
    return f.midlets.InstallSuite(*f.midlets.PcSuites.First());
  };
  auto suites = [](FaultRig& f) {
    f.midlets.LocalAppDL_RefreshPage();
    const auto& rows = f.rig.view.lists[TListId::PhoneSuites];
    const bool listed = rows.size() == 1 && rows[0][0] == "OK Old";
    return TResult::Of(listed && f.rig.view.messages.empty() ? TOutcome::Ok : TOutcome::Failed);
  };
  auto fault = [](auto set) {
    return [set](phonesim::Options& o) {
      o.splitPauseMs = 5;
      o.splitEvery = 40;
      set(o);
    };
  };
  auto fullDisk = [get](FaultRig& f) { return faults::UnderFileSizeLimit(200, [&] { return get(f); }); };
  const std::string got = kDownload, sent = kUpload;
  return {
      {"fetch, a packet corrupted twice", fault([](phonesim::Options& o) {
         o.corruptDownloadPacket = 2;
         o.corruptDownloadTimes = 2;
         o.corruptDownloadChar = 17;
       }), get, true, {}, {{"dl.bin", got}}},
      {"fetch, a packet repeated", fault([](phonesim::Options& o) { o.repeatDownloadPacket = 2; }), get, true, {},
       {{"dl.bin", got}}},
      {"fetch, packets out of order", fault([](phonesim::Options& o) { o.swapDownloadPacket = 2; }), get, false, {},
       {}},
      {"fetch over a file, packets out of order", fault([](phonesim::Options& o) { o.swapDownloadPacket = 2; }), get,
       false, {}, {}, true},
      {"fetch, a packet past the end", fault([](phonesim::Options& o) { o.downloadPastEnd = true; }), get, false, {},
       {}, true},
      {"fetch, the first packet marked last", fault([](phonesim::Options& o) { o.earlyLastPacket = 1; }), get, false,
       {}, {}, true},
      {"fetch, packets on past the listed size for ever", [](phonesim::Options& o) { o.pastSizePackets = 0; }, get,
       false, {}, {}, true, kDownload, pastSize},
      {"fetch, two packets past the listed size, then the last", fault([](phonesim::Options& o) {
         o.pastSizePackets = 2;
       }), get, false, {}, {}, false, kDownload, pastSize},
      {"fetch, every check value wrong", [](phonesim::Options& o) { o.badCheck = true; }, get, false, {}, {}, true,
       kDownload, "Packet still damaged after 3 requests: dl.bin"},
      {"fetch, listed as (0)", listedAs("0"), getListed, false, {}, {}, true, kDownload, pastSize},
      {"fetch of an empty file listed as (0)", listedAs("0"), getListed, true, {}, {{"dl.bin", ""}}, false, ""},
      {"fetch, listed as (-5)", listedAs("-5"), getListed, false, {}, {}, true, kDownload, unreadable},
      {"fetch onto a full disk", [](phonesim::Options&) {}, fullDisk, false, {}, {}, true},
      {"fetch of a new file onto a full disk", [](phonesim::Options&) {}, fullDisk, false, {}, {}},
      {"listing in bursts of 7", cutEvery(7), listing, true, {}, {}},
      {"listing, result code apart", resultApart, listing, true, {}, {}},
      // A reply a burst per five bytes takes long: a first, a middle and a
      // last packet hold every place a cut can fall.
      {"fetch in bursts of 5", cutEvery(5), get, true, {}, {{"dl.bin", kThreePackets}}, false, kThreePackets},
      {"fetch, result code apart", resultApart, get, true, {}, {{"dl.bin", got}}},
      {"fetch, RING inside the first packet", [](phonesim::Options& o) { o.lineInPacket = 1; }, get, true, {},
       {{"dl.bin", got}}},
      {"fetch, RING inside packet 3, in bursts of 5",
       [cutEvery](phonesim::Options& o) {
         cutEvery(5)(o);
         o.lineInPacket = 3;
       },
       get, true, {}, {{"dl.bin", kFourPackets}}, false, kFourPackets},
      {"fetch over a file, RING inside the last packet", [](phonesim::Options& o) { o.lineInPacket = 6; }, get, true,
       {}, {{"dl.bin", got}}, true},
      {"fetch behind noise", [](phonesim::Options& o) { o.garbage = o.noiseBeforeEcho = true; }, get, true, {},
       {{"dl.bin", got}}},
      {"send in bursts of 3", cutEvery(3), put, true, {{"3/up.bin", sent}}, {}},
      {"send behind noise", [](phonesim::Options& o) { o.noiseBeforeEcho = true; }, put, true, {{"3/up.bin", sent}},
       {}},
      {"suite list in bursts of 11", cutEvery(11), suites, true, {}, {}},
      {"suite list, result code apart", resultApart, suites, true, {}, {}},
      {"suite list without packet headers", [](phonesim::Options& o) { o.bareSuiteList = true; }, suites, true, {},
       {}},
      {"install in bursts of 9", cutEvery(9), install, true, {{"4/Game/game.jar", kJar}}, {}},
      {"install, suite list without packet headers", [](phonesim::Options& o) { o.bareSuiteList = true; }, install,
       true, {{"4/Game/game.jar", kJar}}, {}},
      {"refused removal of a name holding OK, behind noise",
       [](phonesim::Options& o) {
         o.noiseBeforeEcho = true;
         o.errorPrefix = "AT*FRMV";
         o.splitPauseMs = 15;  // the echo arrives alone first
         o.splitAt = 1;
       },
       [](FaultRig& f) {
         SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
         return RemovePhoneFile(*f.rig.link, "OK.gif");
       },
       false, {}, {}},
      {"a reply past the cap", [](phonesim::Options& o) { o.floodBytes = 2 * 1024 * 1024; }, listing, false, {}, {}},
  };
}

class MisbehavingPhone : public ::testing::TestWithParam<MisbehaveCase> {};

TEST_P(MisbehavingPhone, WorksWholeOrFailsLeavingEverythingAsItWas) {
  const MisbehaveCase& c = GetParam();
  FaultRig f;
  f.rig.dir.Write("pc/up.bin", kUpload);
  f.rig.dir.Write("pc/game.jad", Descriptor("Game", "1.0", kJar.size()));
  f.rig.dir.Write("pc/game.jar", kJar);
  f.rig.dir.Write("phone/3/dl.bin", c.onPhone);
  f.rig.dir.Write("phone/3/OK.gif", "GIF89a");
  fs::create_directories(f.Phone("4/Old"));
  f.rig.dir.Write("phone/4/Old/old.jad", Descriptor("OK Old", "1.0", 3));
  f.rig.dir.Write("phone/4/Old/old.jar", "JJJ");
  if (c.userFileFirst) {
    f.rig.dir.Write("pc/dl.bin", kPrecious);
    f.rig.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  }
  const faults::TFolderSnapshot pcBefore = faults::Snapshot(f.Pc(""));
  const faults::TFolderSnapshot phoneBefore = faults::Snapshot(f.Phone(""));
  f.SetOptions(c.fault);
  int turns = 0;
  f.rig.view.onWaitTurn = [&] {
    if (++turns % 50 == 0 && f.rig.sim->ReceivedLines().size() > kLineBound) f.rig.sim->HangUp();
  };
  const TResult result = c.run(f);
  f.rig.view.onWaitTurn = nullptr;
  EXPECT_LE(f.rig.sim->ReceivedLines().size(), kLineBound);
  EXPECT_EQ(result.Ok(), c.succeeds) << static_cast<int>(result.outcome) << " "
                                      << ::testing::PrintToString(f.rig.view.messages);
  if (!c.message.empty()) {
    EXPECT_EQ(f.rig.view.messages, std::vector<std::string>{c.message});
  }
  faults::TFolderSnapshot pcWanted = pcBefore, phoneWanted = phoneBefore;
  for (const auto& [name, bytes] : c.pcAfter) pcWanted[name] = bytes;
  for (const auto& [name, bytes] : c.phoneAfter) phoneWanted[name] = bytes;
  if (c.succeeds) {
    // An install also stores its descriptor, which is not compared here.
    faults::TFolderSnapshot phoneNow = faults::Snapshot(f.Phone(""));
    phoneNow.erase("4/Game/game.jad");
    EXPECT_EQ(faults::Snapshot(f.Pc("")), pcWanted);
    EXPECT_EQ(phoneNow, phoneWanted);
  } else {
    EXPECT_EQ(faults::Snapshot(f.Pc("")), pcBefore);
    EXPECT_EQ(faults::Snapshot(f.Phone("")), phoneBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, MisbehavingPhone, ::testing::ValuesIn(MisbehaveCases()));

// ---------------------------------------------------------------------------
// Replies cut at every point.

struct SplitCase {
  const char* label;
  std::string command;  // the line the PC sends (its echo leads the text)
  std::string reply;
  int start;            // the requester's start value
  unsigned awaited;     // verdicts that end the requester's wait
  // What the requester reads out of the text once its wait has ended.
  std::function<std::string(const std::string&)> read;
};

void PrintTo(const SplitCase& c, std::ostream* os) { *os << c.label; }

std::string ReadListing(const std::string& text) {
  std::string out;
  for (const TListingEntry& e : ParseListing(text).entries) out += e.name + "|" + std::to_string(e.size) + ";";
  return out;
}

// As the download does: from the packet header on, into memory.
std::string ReadPackets(const std::string& text) {
  size_t at = text.find("*FDWN:");
  TMemorySink sink;
  TPacketParseResult r = ParsePacketText(at == std::string::npos ? text : text.substr(at), sink, rsWaiting);
  return std::to_string(r.state) + ":" + std::string(sink.bytes.begin(), sink.bytes.end());
}

std::string ReadSuites(const std::string& text) {
  TInfoList<Mobile_info> list;
  ParsePhoneSuiteList(text, list);
  std::string out;
  for (Mobile_info* m = list.First(); m; m = m->next.get())
    out += m->url + "|" + m->name + "|" + std::to_string(m->size) + "|" + m->version + ";";
  return out;
}

std::string ReadNothing(const std::string&) { return ""; }

const std::string kFull = faults::Pattern(90, 7);
const std::string kLast = faults::Pattern(40, 8);

std::vector<SplitCase> SplitCases() {
  const unsigned first = StateBit(rsOk) | StateBit(rsFirstPacket) | StateBit(rsNextPacket);
  const unsigned later = StateBit(rsOk) | StateBit(rsNextPacket);
  return {
      {"AT answered OK", "AT", "\r\nOK\r\n", rsWaiting, StateBit(rsOk), ReadNothing},
      {"listing", "AT*FLIST?", "\r\n<F> a.mid (0)\r\n<F> b song.mid (5)\r\n<D> sub\r\n<F> c.gif (1234)\r\n<F> BOOK ERROR (2).gif (7)\r\n\r\nOK\r\n",
       rsWaiting, StateBit(rsOk), ReadListing},
      {"listing, another phone's layout", "AT*FLIST?",
       "\r\n*FLIST: 3\r\n<F rw> OK.mid (12)\r\n\r\n<D> ERROR\r\n<X> other (1)\r\n<F>   two  spaces.gif (0)\r\nOK\r\n",
       rsWaiting, StateBit(rsOk), ReadListing},
      {"upload request accepted", "AT*FUPL=\"OK (2) ERROR.gif\",1234,3", "\r\nOK\r\n", rsWaiting, StateBit(rsOk),
       ReadNothing},
      {"upload packet accepted", "AT*FUPL=01006162630138", "\r\nOK\r\n", rsWaiting,
       StateBit(rsOk) | StateBit(rsPacketRejected), ReadNothing},
      {"upload packet rejected", "AT*FUPL=01006162630139", "\r\n*FUPL: D_ERR\r\n", rsWaiting,
       StateBit(rsOk) | StateBit(rsPacketRejected), ReadNothing},
      {"download first packet", "AT*FDWN=\"BOOK ACK (1).bin\"", "\r\n*FDWN: 1\r\n" + faults::PacketLine(1, false, kFull) + "\r\n",
       rsWaiting, first, ReadPackets},
      {"download of one packet with OK", "AT*FDWN=\"abc.txt\"", "\r\n*FDWN: 1\r\n01006162630138\r\n\r\nOK\r\n",
       rsWaiting, first, ReadPackets},
      {"download next packet", "AT*ACK", "\r\n*FDWN: 2\r\n" + faults::PacketLine(2, false, kFull) + "\r\n",
       rsFirstPacket, later, ReadPackets},
      {"download last packet and OK", "AT*ACK",
       "\r\n*FDWN: 3\r\n" + faults::PacketLine(3, true, kLast) + "\r\n\r\nOK\r\n", rsFirstPacket, later, ReadPackets},
      // A call coming in puts "RING" between a packet's header and its data.
      {"download first packet, RING before its data", "AT*FDWN=\"r.bin\"",
       "\r\n*FDWN: 1\r\nRING\r\n" + faults::PacketLine(1, false, kFull) + "\r\n", rsWaiting, first, ReadPackets},
      {"download of one packet with OK, RING before its data", "AT*FDWN=\"abc.txt\"",
       "\r\n*FDWN: 1\r\nRING\r\n01006162630138\r\n\r\nOK\r\n", rsWaiting, first, ReadPackets},
      {"download next packet, RING before its data", "AT*ACK",
       "\r\n*FDWN: 2\r\nRING\r\n" + faults::PacketLine(2, false, kFull) + "\r\n", rsFirstPacket, later, ReadPackets},
      {"download last packet and OK, RING before its data", "AT*ACK",
       "\r\n*FDWN: 3\r\nRING\r\n" + faults::PacketLine(3, true, kLast) + "\r\n\r\nOK\r\n", rsFirstPacket, later,
       ReadPackets},
      {"MIDlet list", "AT*FDWN=\"4\"",
       "\r\n*FDWN: 1\r\n0100URL:snake.jar\r\nNAME:Snake Run\r\nSIZE:410\r\nVERSION:1.0\r\n\r\nOK\r\n", rsWaiting,
       StateBit(rsOk), ReadSuites},
      {"MIDlet list with a seam", "AT*FDWN=\"4\"",
       "\r\n*FDWN: 1\r\n0100URL:snake.jar\r\nNAME:Sn0000*FDWN:0201ake Run\r\nSIZE:410\r\nVERSION:1.0\r\n\r\nOK\r\n",
       rsWaiting, StateBit(rsOk), ReadSuites},
      {"MIDlet list, no packet header", "AT*FDWN=\"4\"",
       "\r\n*FDWN: 1\r\nURL:OK.jar\r\nNAME:OK\r\nSIZE:410\r\nVERSION:1.0\r\n\r\nOK\r\n", rsWaiting, StateBit(rsOk),
       ReadSuites},
      {"empty MIDlet list", "AT*FDWN=\"4\"", "\r\n*FDWN: 1\r\n\r\nOK\r\n", rsWaiting, StateBit(rsOk), ReadSuites},
      {"empty MIDlet list, packet header", "AT*FDWN=\"4\"", "\r\n*FDWN: 1\r\n0100\r\nOK\r\n", rsWaiting,
       StateBit(rsOk), ReadSuites},
      {"empty MIDlet list, OK right after the header", "AT*FDWN=\"4\"", "\r\n*FDWN: 1\r\nOK\r\n", rsWaiting,
       StateBit(rsOk), ReadSuites},
      {"download of a whole 184-character line without its line end", "AT*FDWN=\"bare.bin\"",
       "\r\n*FDWN: 1\r\n" + faults::PacketLine(1, false, kFull.substr(0, 88)), rsWaiting, first, ReadPackets},
      {"removal of a name holding OK, refused", "AT*FRMV=\"OK.txt\"", "\r\nERROR\r\n", rsWaiting,
       StateBit(rsOk) | StateBit(rsError),
       [](const std::string& t) { return std::to_string(ClassifyReply(t, rsWaiting, "AT*FRMV=\"OK.txt\"").state); }},
  };
}

class SplitReply : public ::testing::TestWithParam<SplitCase> {};

// Feeds the text to a reply channel in bursts cut at the given places, as
// the receiver would, and returns the verdict after each burst.
std::vector<int> Bursts(const SplitCase& c, const std::string& text, const std::vector<size_t>& cuts) {
  TReplyChannel channel;
  channel.Reset(c.start, c.command);
  std::vector<int> verdicts;
  size_t from = 0;
  for (size_t cut : cuts) {
    channel.Append(text.data() + from, cut - from);
    verdicts.push_back(channel.Classify().state);
    from = cut;
  }
  channel.Append(text.data() + from, text.size() - from);
  verdicts.push_back(channel.Classify().state);
  return verdicts;
}

// However the reply is cut, in two bursts or three, the verdict after the
// last burst is that of the whole reply; a wait that ends on an earlier
// burst already holds everything it reads.
TEST_P(SplitReply, EveryCutGivesTheUnsplitResult) {
  const SplitCase& c = GetParam();
  const std::string text = c.command + "\r\n" + c.reply;
  const int whole = ClassifyReply(text, c.start, c.command).state;
  ASSERT_TRUE(c.awaited & StateBit(whole)) << "unsplit verdict " << whole;
  const std::string wanted = c.read(text);
  auto check = [&](const std::vector<size_t>& cuts) {
    const std::vector<int> verdicts = Bursts(c, text, cuts);
    for (size_t i = 0; i < cuts.size(); ++i) {
      if (c.awaited & StateBit(verdicts[i])) {
        EXPECT_EQ(c.read(text.substr(0, cuts[i])), wanted) << "wait ended after the burst up to " << cuts[i];
        return;
      }
    }
    EXPECT_EQ(verdicts.back(), whole) << "cut at " << ::testing::PrintToString(cuts);
  };
  for (size_t k = 1; k < text.size(); ++k) {
    check({k});
    for (size_t k2 = k + 1; k2 < text.size(); k2 += 7) check({k, k2});
  }
}

INSTANTIATE_TEST_SUITE_P(Faults, SplitReply, ::testing::ValuesIn(SplitCases()));

// The same through the port: a phone of our own writes the reply in two
// bursts with a pause at the cut, and the link's result must be the same.
class SplitOnTheLine : public ::testing::Test {
 protected:
  void SetUp() override {
    link.SetClock(TClock(0.02));
    IsolateSettings(dir);
    setenv("HOME", dir.path().c_str(), 1);
    fs::create_directories(dir.File("pc"));
    pages.PcFolder = dir.File("pc");
    link.Port().SetPort(phone.Path());
    link.Port().SetEvents(0);
    link.Port().Open();
    link.Open();
  }
  // Cuts a reply at k; the cut gets 25 ms of silence (more than a burst's 10 ms).
  static std::vector<std::string> Cut(const std::string& reply, size_t k) {
    if (k == 0 || k >= reply.size()) return {reply};
    return {reply.substr(0, k), reply.substr(k)};
  }
  // Cut points: every one for short replies, else a stride plus both ends.
  static std::vector<size_t> Points(size_t size, size_t stride) {
    std::vector<size_t> ks;
    for (size_t k = 1; k < size; k += (size < 24 ? 1 : stride)) ks.push_back(k);
    ks.push_back(size - 1);
    return ks;
  }

  TempDir dir;
  faults::ScriptPhone phone{nullptr, 25};
  FakeView view;
  TLink link{view};
  TPageState pages;
};

// A phone and a link of their own, opened on this clock, on the thread that
// makes them (the link's owner).
struct OwnLine {
  OwnLine() {
    link.SetClock(TClock(0.02));
    link.Port().SetPort(phone.Path());
    link.Port().SetEvents(0);
    link.Port().Open();
    link.Open();
  }
  faults::ScriptPhone phone{nullptr, 25};
  FakeView view;
  TLink link{view};
};

TEST_F(SplitOnTheLine, AtListingUploadAndDownload) {
  // A download of two packets, its first reply cut at k; then the same with
  // a "RING" between each packet's header and its data. Each on a line of
  // its own, beside the rest: the runs mostly wait out the cuts' silences.
  const std::string bytes = kFull + kLast;
  const auto downloads = [this, &bytes](const std::string& ring, const std::string& folder) {
    OwnLine own;
    fs::create_directories(dir.File(folder));
    const std::string firstReply = "\r\n*FDWN: 1\r\n" + ring + faults::PacketLine(1, false, kFull) + "\r\n";
    const std::string lastReply = "\r\n*FDWN: 2\r\n" + ring + faults::PacketLine(2, true, kLast) + "\r\n\r\nOK\r\n";
    for (size_t k : Points(firstReply.size(), 13)) {
      for (bool cutLast : {false, true}) {
        // The script owns its copies: the phone's thread may still be in it
        // when this test's locals are gone.
        own.phone.SetScript([firstReply, lastReply, k, cutLast](const std::string& line) {
          const bool last = line == "AT*ACK";
          const std::string& r = last ? lastReply : firstReply;
          return last == cutLast ? Cut(r, std::min(k, r.size() - 1)) : std::vector<std::string>{r};
        });
        fs::remove(dir.File(folder + "/two.bin"));
        DownloadFile(own.link, dir.File(folder), "two.bin", 130);
        EXPECT_EQ(own.link.Reply().State(), rsOk) << ring << k;
        EXPECT_EQ(dir.Read(folder + "/two.bin"), bytes) << ring << k;
        if (!own.link.Port().Connected()) {  // a failed download closed it; carry on
          own.link.Port().Open();
          own.link.ResumeReceiver();
        }
      }
    }
    EXPECT_TRUE(own.view.messages.empty()) << own.view.messages.front();
  };
  std::future<void> plain = std::async(std::launch::async, downloads, "", "pc/plain");
  std::future<void> ringing = std::async(std::launch::async, downloads, "RING\r\n", "pc/ring");

  const std::string listing = SplitCases()[1].reply;
  for (size_t k : Points(6, 1)) {
    phone.SetScript([k](const std::string&) { return Cut("\r\nOK\r\n", k); });
    EXPECT_TRUE(CheckLink(link)) << k;
  }
  for (size_t k : Points(listing.size(), 5)) {
    phone.SetScript([listing, k](const std::string&) { return Cut(listing, k); });
    ListPhoneFolder(link, pages);
    EXPECT_EQ(link.Reply().State(), rsOk) << k;
    std::string got;
    for (pic_info* p = pages.PhoneFileList.First(); p; p = p->next.get())
      got += p->Name + "|" + std::to_string(p->Size) + ";";
    EXPECT_EQ(got, "a.mid|0;b song.mid|5;c.gif|1234;BOOK ERROR (2).gif|7;") << k;
  }
  dir.Write("pc/abc.txt", "abc");
  for (size_t k : Points(6, 1)) {
    phone.SetScript([k](const std::string&) { return Cut("\r\nOK\r\n", k); });
    UploadFile(link, pages, pages.PcFolder, "abc.txt", 3);
    EXPECT_EQ(link.Reply().State(), rsOk) << k;
  }
  EXPECT_TRUE(view.messages.empty()) << view.messages.front();
  plain.get();
  ringing.get();
}

// A phone that drips a byte now and then keeps the reply growing, which
// extends a growth-rule wait at every expiry; the wait's ceiling still ends
// it, as a time-out, and the user's file is not touched.
TEST_F(SplitOnTheLine, ADrippingPhoneMeetsTheCeiling) {
  link.SetClock(TClock(0.01));  // an expiry of the wait still outlasts the pause between drips
  phone.SetScript([](const std::string&) { return std::vector<std::string>(120, "x"); });
  dir.Write("pc/drip.bin", "mine");
  view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  const auto start = std::chrono::steady_clock::now();
  const TResult got = DownloadFile(link, pages.PcFolder, "drip.bin", 10);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_EQ(got.outcome, TOutcome::TimedOut);
  // 120 bursts 25 ms apart last 3 s; the ceiling at this clock is 0.65 s.
  EXPECT_LT(seconds, 2.5);
  EXPECT_EQ(dir.Read("pc/drip.bin"), "mine");
  ASSERT_FALSE(view.messages.empty());
  EXPECT_EQ(view.messages.front(), "Download_Timeout");
}

// ---------------------------------------------------------------------------
// Noise and floods.

TEST(Garbage, NoiseBeforeEveryReplyChangesNothing) {
  FaultRig f;
  f.SetOptions([](phonesim::Options& o) { o.garbage = true; });
  f.rig.dir.Write("pc/up.bin", kUpload);
  f.rig.dir.Write("phone/3/dl.bin", kDownload);
  f.rig.dir.Write("phone/3/other.gif", "GIF89a");
  EXPECT_TRUE(CheckLink(*f.rig.link));
  SelectPhoneFolder(*f.rig.link, f.rig.pages, 3);
  EXPECT_EQ(f.rig.link->Reply().State(), rsOk);
  ListPhoneFolder(*f.rig.link, f.rig.pages);
  std::vector<std::string> names;
  for (pic_info* p = f.rig.pages.PhoneFileList.First(); p; p = p->next.get())
    names.push_back(p->Name + "/" + std::to_string(p->Size));
  EXPECT_EQ(names, (std::vector<std::string>{"dl.bin/500", "other.gif/6"}));
  UploadFile(*f.rig.link, f.rig.pages, f.rig.pages.PcFolder, "up.bin", 3);
  EXPECT_EQ(f.rig.link->Reply().State(), rsOk);
  EXPECT_EQ(faults::ReadAll(f.Phone("3/up.bin")), kUpload);
  DownloadFile(*f.rig.link, f.rig.pages.PcFolder, "dl.bin", 500);
  EXPECT_EQ(f.rig.link->Reply().State(), rsOk);
  EXPECT_EQ(faults::ReadAll(f.Pc("dl.bin")), kDownload);
  EXPECT_TRUE(f.rig.view.messages.empty()) << f.rig.view.messages.front();
}

// The window must stay live during a flood; ThreadSanitizer's
// instrumentation slows every scan of the kept text by about ten times.
#ifdef __SANITIZE_THREAD__
constexpr double kMaxPumpGapMs = 1000.0;
#else
constexpr double kMaxPumpGapMs = 100.0;
#endif

TEST(Flood, StaysResponsiveAndBoundedAndFailsPastTheCap) {
  FaultRig f;
  constexpr int kFlood = 4 * 1024 * 1024;  // four times the kept text
  // Warm the heap up to its working size before measuring.
  EXPECT_EQ(f.rig.Exchange("AT\r\n"), TWaitEnd::Awaited);
  const long rssBefore = faults::VmRssKb();
  f.SetOptions([](phonesim::Options& o) { o.floodBytes = kFlood; });

  Clock::time_point last = Clock::now();
  double maxGapMs = 0;
  size_t maxText = 0;
  int pumps = 0;
  f.rig.view.onWaitTurn = [&] {
    Clock::time_point now = Clock::now();
    maxGapMs = std::max(maxGapMs, std::chrono::duration<double, std::milli>(now - last).count());
    last = now;
    maxText = std::max(maxText, f.rig.link->Reply().TextLength());
    ++pumps;
  };
  f.rig.link->Reply().Reset(rsWaiting);
  ASSERT_TRUE(TLinkProbe(*f.rig.link).SendLine("AT\r\n"));
  const auto start = Clock::now();
  // A generous limit: the whole flood has to pass through the pty first.
  TWaitEnd end = TLinkProbe(*f.rig.link).WaitReply(TWaitRule{StateBit(rsOk), 60000, 10, false});
  f.rig.view.onWaitTurn = nullptr;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  const long rssAfter = faults::VmRssKb();

  // Nothing is dropped to make room: the reply that outgrew the cap fails
  // the exchange instead of being read in part.
  EXPECT_EQ(end, TWaitEnd::TooLong) << "after " << seconds << " s";
  EXPECT_LT(maxGapMs, kMaxPumpGapMs) << pumps << " pumps";
  EXPECT_LE(maxText, TReplyChannel::kMaxReplyText);
  EXPECT_EQ(f.rig.link->Reply().TextLength(), TReplyChannel::kMaxReplyText);
  ASSERT_GT(rssBefore, 0);
  EXPECT_LT(rssAfter - rssBefore, 64L * 1024) << rssBefore << " KiB -> " << rssAfter << " KiB";
  RecordProperty("flood_seconds", std::to_string(seconds));
  RecordProperty("max_pump_gap_ms", std::to_string(maxGapMs));
  std::printf("flood of %d bytes: %.2f s, longest pump gap %.1f ms, RSS %ld -> %ld KiB\n", kFlood, seconds,
              maxGapMs, rssBefore, rssAfter);
}

TEST(Flood, SilentFloodEndsInTheRequestersOwnTimeOut) {
  // Text without end whose verdict comes too late: the wait ends by its
  // own limit, holding the kept tail, not megabytes.
  FaultRig f;
  f.SetOptions([](phonesim::Options& o) { o.floodBytes = 3 * 1024 * 1024; });
  f.rig.link->Reply().Reset(rsWaiting);
  ASSERT_TRUE(TLinkProbe(*f.rig.link).SendLine("AT*FLIST=3\r\n"));
  const auto start = Clock::now();
  TWaitEnd end = TLinkProbe(*f.rig.link).WaitReply(TWaitRule{StateBit(rsOk), 200, 10, false});
  EXPECT_LT(Seconds(start), 10);
  // 200 ticks are far too short for 3 MiB: the wait ends on its own
  // limit, or on the cap when the pty is quicker than that.
  EXPECT_TRUE(end == TWaitEnd::Timeout || end == TWaitEnd::TooLong) << static_cast<int>(end);
  EXPECT_LE(f.rig.link->Reply().TextLength(), TReplyChannel::kMaxReplyText);
}

TEST(Flood, StopAndPauseDoNotWaitForTheFloodToEnd) {
  // A device that never pauses: the receiver's cycle would last as long as
  // the flood, and the pause before a port close (every failed transfer)
  // or the link's end would wait for it with the window frozen.
  struct Case {
    const char* label;
    std::function<void(FaultRig&)> act;
  };
  const Case cases[] = {{"pause", [](FaultRig& f) { TLinkProbe(*f.rig.link).PauseReceiver(); }},
                        {"end of the link", [](FaultRig& f) { f.rig.EndLink(); }}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    FaultRig f;
    f.SetOptions([](phonesim::Options& o) { o.floodBytes = 64 * 1024 * 1024; });
    f.rig.link->Reply().Reset(rsWaiting);
    ASSERT_TRUE(TLinkProbe(*f.rig.link).SendLine("AT\r\n"));
    ASSERT_TRUE(f.rig.PumpUntil([&] { return f.rig.link->Reply().TextLength() > 64 * 1024; }));
    const auto start = Clock::now();
    c.act(f);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    EXPECT_LT(ms, 1000.0);
    if (f.rig.link) {
      const size_t length = f.rig.link->Reply().TextLength();
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_EQ(f.rig.link->Reply().TextLength(), length) << "a paused receiver reads nothing";
    }
  }
}

}  // namespace
