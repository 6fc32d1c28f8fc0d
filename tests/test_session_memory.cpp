// The link's operations against the virtual phone in memory, with no pty:
// for each, what ends up on the phone and in the PC folder, the lists shown
// and the messages, when the phone complies, refuses or stays silent. The
// link's waits read the phone, so no receiver thread runs. Every row runs
// twice: on the test's thread, and on a session worker that sees the view
// through the window queue this thread serves, as the window runs them.
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "content/MidletPage.h"
#include "link/SessionWorker.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"
#include "support/WireText.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;
using Changes = std::map<std::string, std::optional<std::string>>;  // nullopt: the file is gone
using Operation = void (*)(SimLink&, TMidletPage&);

const std::string kPicture = faults::Pattern(200, 1);  // three packets
const std::string kUpload = faults::Pattern(250, 2);
const std::string kJar = faults::Pattern(120, 3);

std::string Descriptor(const std::string& name, size_t jarSize) {
  return "MIDlet-Name: " + name + "\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: Quendrel Test\r\nMIDlet-Jar-URL: " +
         name + ".jar\r\nMIDlet-Jar-Size: " + std::to_string(jarSize) + "\r\n";
}

// Where every row starts, relative to the phone's storage and the PC folder.
const faults::TFolderSnapshot kPhone = {
    {"3/pic.gif", kPicture}, {"4/Alpha/Alpha.jad", Descriptor("Alpha", 3)}, {"4/Alpha/Alpha.jar", "JJJ"}};
const faults::TFolderSnapshot kPc = {{"up.gif", kUpload}, {"Game.jad", Descriptor("Game", kJar.size())}, {"Game.jar", kJar}};

// Folder 3 is selected before each row's fault is set.
void Check(SimLink& r, TMidletPage&) { CheckLink(*r.link); }
void Select(SimLink& r, TMidletPage&) { SelectPhoneFolder(*r.link, r.pages, 3); }
void List(SimLink& r, TMidletPage&) { ListPhoneFolder(*r.link, r.pages); }
void Upload(SimLink& r, TMidletPage&) {
  r.pages.PhoneListKnown = true;  // as after the listing that opens the page
  UploadFile(*r.link, r.pages, r.pages.PcFolder, "up.gif", 3);
}
void Download(SimLink& r, TMidletPage&) { DownloadFile(*r.link, r.pages.PcFolder, "pic.gif", static_cast<int>(kPicture.size())); }
void Remove(SimLink& r, TMidletPage&) { RemovePhoneFile(*r.link, "pic.gif"); }
void Suites(SimLink&, TMidletPage& page) { page.LocalAppDL_RefreshPage(); }
void Install(SimLink&, TMidletPage& page) {
  page.LocalAppDL_RefreshPage();
  page.LAD_ONE_ButtonClick();
}
void Uninstall(SimLink&, TMidletPage& page) {
  page.LocalAppDL_RefreshPage();
  page.LocalAppDL_REMOVE_ButtonClick();
}

struct Case {
  const char* label;
  Operation run;
  phonesim::Options faults = {};
  std::vector<std::string> messages = {};
  Changes phone = {}, pc = {};
  Rows files = {}, suites = {};  // the phone's lists as shown
  bool openFails = false;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

const Rows kAlpha = {{"Alpha", "1.0", "3"}};
const Changes kGameInstalled = {{"4/Game/Game.jad", Descriptor("Game", kJar.size())}, {"4/Game/Game.jar", kJar}};
const Changes kAlphaGone = {{"4/Alpha/Alpha.jad", std::nullopt}, {"4/Alpha/Alpha.jar", std::nullopt}};
const std::string kPacket2 = ExpectedPackets(kUpload)[1];

using O = phonesim::Options;
// A phone with one fault.
template <class T, class V>
O With(T O::*field, V value) {
  O o;
  o.*field = value;
  return o;
}

const Case kCases[] = {
    {"check link", Check},
    {"check link refused", Check, With(&O::errorPrefix, "AT"), {"Connection failed"}},
    {"check link unanswered", Check, With(&O::silentPrefix, "AT"), {"Connection Timeout", "AT\r\n"}},
    {"check link, port fails", Check, {}, {"Unable to open ComPort!!\nPlease change the Port NO."}, {}, {}, {}, {}, true},
    {"select", Select},
    {"select refused", Select, With(&O::errorPrefix, "AT*FLIST="), {"Change Folder on Mobile failed"}},
    {"select unanswered", Select, With(&O::noEchoSilentPrefix, "AT*FLIST="), {"Change Folder Timeout"}},
    {"list", List, {}, {}, {}, {}, {{"pic.gif", "200"}}},
    {"list refused", List, With(&O::errorPrefix, "AT*FLIST?"), {"Get_List_Error"}},
    {"list unanswered", List, With(&O::silentPrefix, "AT*FLIST?"), {"Get_List_Timeout", "AT*FLIST?\r\n"}},
    {"upload", Upload, {}, {}, {{"3/up.gif", kUpload}}},
    {"upload refused", Upload, With(&O::refuseUpload, true), {"Send_UPLOAD_REQ_ERR", " 3 "}},
    {"upload packet refused", Upload, With(&O::errorPrefix, "AT*FUPL=02"), {"Send File data ERR"}},
    {"upload, the line goes down", Upload, With(&O::hangupAfterLines, 1),
     {"COM Port Exception while wait event", kLineLostAdvice}},
    {"upload packet unanswered", Upload, With(&O::silentPrefix, "AT*FUPL=02"), {"Send File data timeout", kPacket2 + "\r\n"}},
    {"download", Download, {}, {}, {}, {{"pic.gif", kPicture}}},
    // A failed download leaves nothing under the name.
    {"download acknowledge refused", Download, With(&O::errorPrefix, "AT*ACK"), {"Download_Error"}},
    {"download, replies in two bursts", Download, With(&O::splitPauseMs, 40), {}, {}, {{"pic.gif", kPicture}}},
    {"download unanswered", Download, With(&O::noEchoSilentPrefix, "AT*FDWN"), {"Download_Timeout"}},
    {"remove", Remove, {}, {}, {{"3/pic.gif", std::nullopt}}},
    {"remove refused", Remove, With(&O::errorPrefix, "AT*FRMV"), {"File_Remove_ERR"}},
    {"list suites", Suites, {}, {}, {}, {}, {}, kAlpha},
    {"list suites in two bursts", Suites, With(&O::splitPauseMs, 40), {}, {}, {}, {}, kAlpha},
    {"list suites refused", Suites, With(&O::errorPrefix, "AT*FDWN"), {"Get_List_Error"}},
    {"list suites unanswered", Suites, With(&O::silentPrefix, "AT*FDWN"), {"Get_List_Timeout", "AT*FDWN=\"4\"\r\n"}},
    {"install", Install, {}, {}, kGameInstalled, {}, {}, {{"Alpha", "1.0", "3"}, {"Game", "1.0", "120"}}},
    {"install refused", Install, With(&O::refuseUpload, true), {"Send_JAD_REQ_ERR", " 3 "}, {}, {}, {}, kAlpha},
    {"install out of memory", Install, With(&O::installErrorCode, 3), {"Insufficient Memory!!\nIt couldn't be installed!!", "Send JAR data ERR"}, {}, {}, {}, kAlpha},
    {"uninstall", Uninstall, {}, {}, kAlphaGone},
    {"uninstall refused", Uninstall, With(&O::errorPrefix, "AT*FUPL=\"Alpha\""), {"Remove_Error"}, {}, {}, {}, kAlpha},
};

faults::TFolderSnapshot Apply(faults::TFolderSnapshot files, const Changes& changes) {
  for (const auto& [name, bytes] : changes) {
    if (bytes) files[name] = *bytes;
    else files.erase(name);
  }
  return files;
}

class MemorySession : public ::testing::TestWithParam<Case> {
 protected:
  explicit MemorySession(bool onWorker = false) : rig{{}, SimLink::Line::Memory, onWorker} {
    if (onWorker) worker = std::make_unique<TSessionWorker>(*rig.link);
  }
  void SetUp() override {
    rig.link->SetClock(TClock(0.02));
    setenv("HOME", rig.dir.path().c_str(), 1);
    for (const auto& [name, bytes] : kPhone) rig.dir.Write("phone/" + name, bytes);
    for (const auto& [name, bytes] : kPc) rig.dir.Write("pc/" + name, bytes);
    rig.pages.PcFolder = rig.dir.File("pc");
    rig.pages.FolderAsked = true;
    if (GetParam().openFails) {
      rig.memory->FailOpen(EACCES);
      return;
    }
    Run([this] {
      rig.Connect();
      SelectPhoneFolder(*rig.link, rig.pages, 3);
    });
    rig.memory->SetOptions(GetParam().faults);
  }
  void TearDown() override { worker.reset(); }

  // Here, or on the worker while this thread serves the window queue.
  void Run(const std::function<void()>& operation) {
    if (!worker) return operation();
    worker->Submit(rig.queuedView.WithSelection(operation));
    ASSERT_TRUE(worker->ServeUntilIdle(rig.window, std::chrono::seconds(30)));
  }

  void RunAndCheck() {
    const Case& c = GetParam();
    // A silenced phone leaves nothing to wait for but the time-outs.
    if (!c.faults.silentPrefix.empty() || !c.faults.noEchoSilentPrefix.empty()) rig.link->SetClock(TClock(0.002));
    // The first suite on each side was selected when the operation was chosen.
    rig.view.selection[TListId::PcSuites] = rig.view.selection[TListId::PhoneSuites] = {0};
    Run([&] { c.run(rig, page); });
    EXPECT_EQ(rig.view.messages, c.messages);
    EXPECT_EQ(faults::Snapshot(rig.dir.File("phone")), Apply(kPhone, c.phone));
    EXPECT_EQ(faults::Snapshot(rig.dir.File("pc")), Apply(kPc, c.pc));
    EXPECT_EQ(rig.view.lists[TListId::PhoneFiles], c.files);
    EXPECT_EQ(rig.view.lists[TListId::PhoneSuites], c.suites);
  }

  SimLink rig;
  TMidletPage page{*rig.link, rig.pages};
  std::unique_ptr<TSessionWorker> worker;
};

class MemorySessionOnWorker : public MemorySession {
 protected:
  MemorySessionOnWorker() : MemorySession(true) {}
};

TEST_P(MemorySession, StorageListsAndMessages) { RunAndCheck(); }
TEST_P(MemorySessionOnWorker, StorageListsAndMessages) { RunAndCheck(); }

// The worker never waits for the window to show progress or rows: an
// uninstall and its refresh end while nobody serves the window, on the
// row that was selected when it was chosen, whatever is selected later.
TEST(MemorySessionWindow, ShowsWithoutHoldingTheWorker) {
  SimLink rig{{}, SimLink::Line::Memory, true};
  rig.link->SetClock(TClock(0.05));
  for (const auto& [name, bytes] : kPhone) rig.dir.Write("phone/" + name, bytes);
  for (const auto& [name, bytes] : kPc) rig.dir.Write("pc/" + name, bytes);
  rig.pages.PcFolder = rig.dir.File("pc");
  rig.pages.FolderAsked = true;
  TMidletPage page{*rig.link, rig.pages};
  TSessionWorker worker(*rig.link);
  worker.Submit([&] { rig.Connect(); });
  ASSERT_TRUE(worker.ServeUntilIdle(rig.window, std::chrono::seconds(30)));
  rig.view.selection[TListId::PhoneSuites] = {0};
  worker.Submit(rig.queuedView.WithSelection([&] {
    page.LocalAppDL_RefreshPage();
    page.LocalAppDL_REMOVE_ButtonClick();
  }));
  rig.view.selection[TListId::PhoneSuites] = {};
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!worker.Idle() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_TRUE(worker.Idle());
  EXPECT_TRUE(rig.view.lists[TListId::PhoneSuites].empty());  // nothing shown yet
  ASSERT_TRUE(worker.ServeUntilIdle(rig.window, std::chrono::seconds(1)));
  EXPECT_TRUE(rig.view.messages.empty());
  EXPECT_EQ(faults::Snapshot(rig.dir.File("phone")), (faults::TFolderSnapshot{{"3/pic.gif", kPicture}}));
  EXPECT_TRUE(rig.view.lists[TListId::PhoneSuites].empty());  // the refresh after the uninstall
}

INSTANTIATE_TEST_SUITE_P(Memory, MemorySession, ::testing::ValuesIn(kCases));
INSTANTIATE_TEST_SUITE_P(Memory, MemorySessionOnWorker, ::testing::ValuesIn(kCases));

}  // namespace
