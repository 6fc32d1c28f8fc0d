// The content page against the virtual phone over a pseudo-terminal:
// opening, the four batches, their refresh, aborts and failures.
#include <functional>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/core/Config.h"
#include "app/qt/UiTextQt.h"
#include "content/ContentPage.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"

namespace fs = std::filesystem;

namespace {

template <size_t N>
std::string B(const char (&s)[N]) {
  return std::string(s, N - 1);
}

std::string Le16(int v) { return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)}; }

std::string StillGif(int w, int h) {
  return "GIF89a" + Le16(w) + Le16(h) + B("\x80\x00\x00") + std::string(6, '\x40') +
         B("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x4c\x01\x00\x3b");
}

std::string Bmp(int w, int h, size_t size) {
  std::string b = "BM" + std::string(16, '\0') + Le16(w) + B("\x00\x00") + Le16(h) + B("\x00\x00");
  for (size_t i = b.size(); i < size; ++i) b += static_cast<char>(i * 7);
  return b;
}

class ContentPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s.link->SetClock(TClock(0.02));
    pc = s.dir.path() + "/pc";
    phone = s.dir.path() + "/phone/3";
    fs::create_directories(pc);
  }

  void PcFile(const std::string& name, const std::string& bytes) { WriteFile(pc + "/" + name, bytes); }
  void PhoneFile(const std::string& name, const std::string& bytes) { WriteFile(phone + "/" + name, bytes); }
  static void WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr) << path;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
  }
  static std::string ReadFile(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "<missing>";
    std::string out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return out;
  }

  // Names shown in a list view, in row order.
  std::vector<std::string> Rows(TListId list) {
    std::vector<std::string> names;
    for (const auto& row : s.view.lists[list]) names.push_back(row.at(0));
    return names;
  }
  std::vector<std::string> SortedRows(TListId list) {
    auto names = Rows(list);
    std::sort(names.begin(), names.end());
    return names;
  }
  // Selects the rows showing these names (ascending, as a list view reports them).
  void Select(TListId list, const std::vector<std::string>& names) {
    auto rows = Rows(list);
    std::vector<int> sel;
    for (const auto& n : names) {
      auto it = std::find(rows.begin(), rows.end(), n);
      ASSERT_NE(it, rows.end()) << n;
      sel.push_back(static_cast<int>(it - rows.begin()));
    }
    std::sort(sel.begin(), sel.end());
    s.view.selection[list] = sel;
  }
  int LinesStartingWith(const std::string& prefix) {
    int n = 0;
    for (const auto& l : s.sim->ReceivedLines())
      if (l.rfind(prefix, 0) == 0) ++n;
    return n;
  }
  void OpenPictures() {
    s.view.folderAnswers = {pc};
    page.DC_PIC_ToolButtonClick();
    ASSERT_EQ(s.view.page, TPage::Content) << (s.view.messages.empty() ? "" : s.view.messages.back());
  }

  SimLink s;
  TContentPage page{*s.link, s.pages};
  std::string pc, phone;
};

TEST_F(ContentPageTest, OpenSendFetchRemoveAndRefreshWithoutAskingAgain) {
  const std::string still = StillGif(20, 10);
  const std::string photo = Bmp(100, 80, 400);     // several packets
  const std::string other = Bmp(50, 50, 200);
  PcFile("still.gif", still);
  PcFile("photo.bmp", photo);
  PcFile("other.bmp", other);
  PcFile("notes.txt", "not a picture");
  PhoneFile("photo.bmp", "old photo");
  PhoneFile("other.bmp", "old other");
  PhoneFile("sun.gif", StillGif(8, 8));

  OpenPictures();
  EXPECT_EQ(s.view.folderCaptions, std::vector<std::string>{"Picture Folder"});
  EXPECT_EQ(s.view.title, TTitle::Picture);
  EXPECT_EQ(SortedRows(TListId::PcFiles), (std::vector<std::string>{"other.bmp", "photo.bmp", "still.gif"}));
  EXPECT_EQ(SortedRows(TListId::PhoneFiles), (std::vector<std::string>{"other.bmp", "photo.bmp", "sun.gif"}));
  EXPECT_EQ(s.pages.FolderNumber, 3);
  EXPECT_EQ(LinesStartingWith("AT*FLIST=3"), 1);
  EXPECT_TRUE(s.view.messages.empty()) << s.view.messages.front();
  // The size column is the file size in decimal.
  for (const auto& row : s.view.lists[TListId::PcFiles]) {
    if (row.at(0) == "photo.bmp") {
      EXPECT_EQ(row.at(1), "400");
    }
  }

  // Send two files: overwrite the one, rename the other. The question order
  // follows the row order of the PC list.
  Select(TListId::PcFiles, {"photo.bmp", "other.bmp"});
  auto rows = Rows(TListId::PcFiles);
  bool photoFirst = std::find(rows.begin(), rows.end(), "photo.bmp") < std::find(rows.begin(), rows.end(), "other.bmp");
  s.view.overwriteAnswers = photoFirst ? std::deque<TOverwriteAnswer>{TOverwriteAnswer::Overwrite, TOverwriteAnswer::Rename}
                                       : std::deque<TOverwriteAnswer>{TOverwriteAnswer::Rename, TOverwriteAnswer::Overwrite};
  s.view.renameAnswers = {"other2.bmp"};
  page.DC_PIC_UL_ButtonClick();
  EXPECT_EQ(ReadFile(phone + "/photo.bmp"), photo);
  EXPECT_EQ(ReadFile(phone + "/other2.bmp"), other);
  EXPECT_EQ(ReadFile(phone + "/other.bmp"), "old other");
  EXPECT_EQ(s.view.overwriteQuestions.size(), 2u);
  EXPECT_EQ(s.view.totalMax, 2);
  EXPECT_EQ(s.view.totalPos, 2);
  EXPECT_FALSE(s.view.totalVisible);
  EXPECT_FALSE(s.view.progressVisible);
  EXPECT_TRUE(s.view.actionButtonsEnabled);
  EXPECT_EQ(s.view.page, TPage::Content);
  EXPECT_EQ(LinesStartingWith("AT*FLIST=3"), 2);  // refreshed
  EXPECT_EQ(SortedRows(TListId::PhoneFiles),
            (std::vector<std::string>{"other.bmp", "other2.bmp", "photo.bmp", "sun.gif"}));

  // Fetch one phone file into the PC folder; the refresh lists it there.
  Select(TListId::PhoneFiles, {"sun.gif"});
  page.DC_PIC_DL_ButtonClick();
  EXPECT_EQ(ReadFile(pc + "/sun.gif"), StillGif(8, 8));
  EXPECT_EQ(LinesStartingWith("AT*FLIST=3"), 3);
  EXPECT_EQ(SortedRows(TListId::PcFiles),
            (std::vector<std::string>{"other.bmp", "photo.bmp", "still.gif", "sun.gif"}));

  // Remove on the phone side, then on the PC side.
  Select(TListId::PhoneFiles, {"other.bmp", "sun.gif"});
  page.DC_PIC_Remove_PHONE_ButtonClick();
  EXPECT_FALSE(fs::exists(phone + "/other.bmp"));
  EXPECT_FALSE(fs::exists(phone + "/sun.gif"));
  EXPECT_EQ(SortedRows(TListId::PhoneFiles), (std::vector<std::string>{"other2.bmp", "photo.bmp"}));

  Select(TListId::PcFiles, {"still.gif"});
  page.DC_PIC_Remove_PC_ButtonClick();
  EXPECT_FALSE(fs::exists(pc + "/still.gif"));
  EXPECT_EQ(s.view.trashed.size(), 1u);
  EXPECT_TRUE(fs::exists(pc + "/notes.txt"));
  EXPECT_EQ(SortedRows(TListId::PcFiles), (std::vector<std::string>{"other.bmp", "photo.bmp", "sun.gif"}));

  EXPECT_EQ(s.view.folderCaptions.size(), 1u);
  EXPECT_EQ(LinesStartingWith("AT*FLIST=3"), 5);
  EXPECT_EQ(s.view.actionDisableCount, 4);
  EXPECT_EQ(s.view.actionEnableCount, 4);
  EXPECT_TRUE(s.view.actionButtonsEnabled);
  EXPECT_TRUE(s.view.messages.empty()) << s.view.messages.front();
}

TEST_F(ContentPageTest, OpenersSetKindAndAlwaysAskForTheFolder) {
  struct Case {
    void (TContentPage::*opener)();
    int folder;
    const char* caption;
    TTitle title;
  };
  const Case cases[] = {
      {&TContentPage::Ring_ButtonClick, 1, "Melody Folder", TTitle::Melody},
      {&TContentPage::Animation_ButtonClick, 2, "Animation Folder", TTitle::Animation},
      {&TContentPage::DC_PIC_ToolButtonClick, 3, "Picture Folder", TTitle::Picture},
  };
  PcFile("song.mid", "MThd" + std::string(10, '\0'));
  size_t asked = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.caption);
    // Opened once, then pressed again: the chooser comes back every time.
    for (int press = 0; press < 2; ++press) {
      s.view.folderAnswers = {pc};
      (page.*c.opener)();
      ++asked;
      ASSERT_EQ(s.view.folderCaptions.size(), asked);
      EXPECT_EQ(s.view.folderCaptions.back(), c.caption);
      EXPECT_EQ(s.pages.FolderNumber, c.folder);
      EXPECT_EQ(s.view.title, c.title);
      EXPECT_EQ(s.view.page, TPage::Content);
      EXPECT_EQ(LinesStartingWith("AT*FLIST=" + std::to_string(c.folder)), press + 1);
    }
  }
  EXPECT_EQ(Rows(TListId::PcFiles), std::vector<std::string>{});  // no pictures here
  EXPECT_TRUE(s.view.HasMessage("No suitable file in this folder"));
}

TEST_F(ContentPageTest, CancelledChooserReturnsToTheLogoWithoutTalking) {
  s.view.page = TPage::Content;
  page.Animation_ButtonClick();  // no answer scripted: Cancel
  EXPECT_EQ(s.view.page, TPage::Logo);
  EXPECT_EQ(s.view.title, TTitle::Product);
  EXPECT_TRUE(s.pages.PcFolder.empty());
  EXPECT_TRUE(s.sim->ReceivedLines().empty());
  EXPECT_TRUE(s.view.messages.empty());
}

TEST_F(ContentPageTest, NothingSelectedOnlyTellsTheUser) {
  PcFile("a.bmp", Bmp(1, 1, 60));
  PhoneFile("b.gif", StillGif(1, 1));
  OpenPictures();
  struct Case {
    std::function<void(TContentPage&)> handler;
    const char* message;
  };
  // An action with nothing selected took up no file.
  auto none = [](TPageReport (TContentPage::*action)()) {
    return [action](TContentPage& p) { EXPECT_TRUE((p.*action)().files.empty()); };
  };
  const Case cases[] = {
      {none(&TContentPage::DC_PIC_UL_ButtonClick), "No File on PC be selected"},
      {none(&TContentPage::DC_PIC_DL_ButtonClick), "No File on MOBILE be selected"},
      {none(&TContentPage::DC_PIC_Remove_PHONE_ButtonClick), "No File on MOBILE be selected"},
      {none(&TContentPage::DC_PIC_Remove_PC_ButtonClick), "No File on PC be selected"},
      {&TContentPage::DC_PIC_PC_ListViewDblClick, nullptr},  // does nothing at all
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message ? c.message : "double click");
    s.view.messages.clear();
    s.sim->ClearReceived();
    int disabled = s.view.actionDisableCount;
    c.handler(page);
    if (c.message) {
      EXPECT_EQ(s.view.messages, std::vector<std::string>{c.message});
    } else {
      EXPECT_TRUE(s.view.messages.empty());
    }
    EXPECT_EQ(s.view.actionDisableCount, disabled);
    EXPECT_FALSE(s.view.totalVisible);
    EXPECT_TRUE(s.sim->ReceivedLines().empty());
    EXPECT_TRUE(s.view.opened.empty());
  }
}

TEST_F(ContentPageTest, DroppedFilesFromAnotherFolderAreSentAsOneBatch) {
  PcFile("here.bmp", Bmp(4, 4, 80));
  const std::string elsewhere = s.dir.path() + "/desktop";
  fs::create_directories(elsewhere);
  const std::string one = Bmp(10, 10, 300), two = StillGif(8, 8);
  WriteFile(elsewhere + "/one.bmp", one);
  WriteFile(elsewhere + "/two.gif", two);
  OpenPictures();
  s.view.messages.clear();  // the phone folder starts empty
  page.SendPcFiles({elsewhere + "/one.bmp", elsewhere + "/two.gif"});
  EXPECT_TRUE(s.view.messages.empty()) << s.view.messages.front();
  EXPECT_EQ(ReadFile(phone + "/one.bmp"), one);
  EXPECT_EQ(ReadFile(phone + "/two.gif"), two);
  EXPECT_EQ(s.view.totalMax, 2);
  EXPECT_EQ(s.view.totalPos, 2);
  // The page keeps its own folder and shows the phone's new files.
  EXPECT_EQ(s.pages.PcFolder, pc);
  EXPECT_EQ(Rows(TListId::PcFiles), std::vector<std::string>{"here.bmp"});
  EXPECT_EQ(SortedRows(TListId::PhoneFiles), (std::vector<std::string>{"one.bmp", "two.gif"}));
  EXPECT_TRUE(s.view.actionButtonsEnabled);
}

// Fits any picture named big*.bmp into NAME-fit.bmp beside it, except
// big-broken.bmp, of which no copy fits.
class FakeFitter : public fit::TPictureFitter {
 public:
  bool CanFit(const std::string& path, pcscan::TJudgement*) const override {
    return fs::path(path).filename().string().rfind("big", 0) == 0;
  }
  fit::TFitOutcome Fit(const std::string& path, const std::string&) const override {
    fit::TFitOutcome r;
    const fs::path p(path);
    if (p.stem() == "big-broken") {
      r.refusal = fit::TRefusal::NoFit;
      return r;
    }
    r.path = (p.parent_path() / (p.stem().string() + "-fit.bmp")).string();
    std::FILE* f = std::fopen(r.path.c_str(), "wb");
    const std::string bytes = Bmp(8, 8, 100);
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) r.refusal = fit::TRefusal::WriteFailed;
    if (f) std::fclose(f);
    return r;
  }
};

TEST_F(ContentPageTest, DroppedFilesAreJudgedOfferedACopyAndExplained) {
  const std::string fine = Bmp(10, 10, 120);
  const std::string drop = s.dir.path() + "/desktop/";
  fs::create_directories(drop);
  WriteFile(drop + "fine.bmp", fine);
  WriteFile(drop + "notes.txt", "hello");
  for (const char* big : {"big-yes.bmp", "big-no.bmp", "big-broken.bmp"}) WriteFile(drop + big, Bmp(10, 10, 70000));
  const std::vector<std::string> dropped = {drop + "fine.bmp", drop + "notes.txt", drop + "big-yes.bmp",
                                            drop + "big-no.bmp", drop + "big-broken.bmp"};
  const std::string tooLarge[3] = {"too large: 70000 bytes, the limit is 63000",
                                   "\u6a94\u6848\u904e\u5927\uff1a70000 \u4f4d\u5143\u7d44\uff0c\u4e0a\u9650\u70ba 63000",
                                   "\u6587\u4ef6\u8fc7\u5927\uff1a70000 \u5b57\u8282\uff0c\u4e0a\u9650\u4e3a 63000"};
  struct Row {
    const char* name;
    bool withFitter;
    int lang;
    std::vector<std::string> boxes;     // in the order judged
    std::vector<std::string> onPhone;   // sorted
    size_t questions;
  };
  const Row rows[] = {
      {"fitter, English", true, 0,
       {"notes.txt is not sent: not a picture this phone takes (unknown type)",
        "big-broken.bmp is not sent: cannot be fitted: not even a small copy fits in 63000 bytes"},
       {"big-yes-fit.bmp", "fine.bmp"}, 3},
      {"no fitter, English", false, 0,
       {"notes.txt is not sent: not a picture this phone takes (unknown type)",
        "big-yes.bmp is not sent: " + tooLarge[0], "big-no.bmp is not sent: " + tooLarge[0],
        "big-broken.bmp is not sent: " + tooLarge[0]},
       {"fine.bmp"}, 0},
      {"fitter, Traditional Chinese", true, 1,
       {"notes.txt \u672a\u50b3\u9001\uff1a\u4e0d\u662f\u672c\u624b\u6a5f\u53ef\u7528\u7684\u5716\u7247\uff08"
        "\u672a\u77e5\u683c\u5f0f\uff09",
        "big-broken.bmp \u672a\u50b3\u9001\uff1a\u7121\u6cd5\u8abf\u6574\uff1a\u5373\u4f7f\u7e2e\u5c0f\u4e5f\u7121"
        "\u6cd5\u5c0f\u65bc 63000 \u4f4d\u5143\u7d44"},
       {"big-yes-fit.bmp", "fine.bmp"}, 3},
  };
  PcFile("here.bmp", Bmp(4, 4, 80));
  OpenPictures();
  const FakeFitter fitter;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (const fs::directory_entry& e : fs::directory_iterator(phone)) fs::remove(e.path());
    fs::remove(drop + "big-yes-fit.bmp");
    page.OpenContentPage();  // the phone's list as emptied
    UiLanguage() = row.lang;
    s.view.messages.clear();
    s.view.fitQuestions.clear();
    s.view.fitAnswers = {true, false, true};
    const TDropReport report = page.SendDroppedFiles(dropped, row.withFitter ? &fitter : nullptr, QtUiTextDecoder());
    EXPECT_EQ(s.view.messages, row.boxes);
    ASSERT_EQ(s.view.fitQuestions.size(), row.questions);
    if (row.questions > 0) {
      if (row.lang == 0) {
        EXPECT_EQ(s.view.fitQuestions[0], "big-yes.bmp: " + tooLarge[0] + ".\nMake a copy that fits the phone and send it?");
      }
      EXPECT_NE(s.view.fitQuestions[1].find(tooLarge[row.lang]), std::string::npos) << s.view.fitQuestions[1];
    }
    std::vector<std::string> stored;
    for (const fs::directory_entry& e : fs::directory_iterator(phone)) stored.push_back(e.path().filename().string());
    std::sort(stored.begin(), stored.end());
    EXPECT_EQ(stored, row.onPhone);
    EXPECT_EQ(ReadFile(phone + "/fine.bmp"), fine);
    // The report names the same outcome: what went, what was made, what stayed.
    EXPECT_EQ(report.sent.size(), row.onPhone.size());
    EXPECT_EQ(report.fitted.size(), row.withFitter ? 1u : 0u);
    ASSERT_EQ(report.notSent.size(), dropped.size() - row.onPhone.size());
    for (const TDropReport::TNotSent& n : report.notSent)
      EXPECT_EQ(n.declined, row.withFitter && n.path == drop + "big-no.bmp") << n.path;
    // Every original is still there as it was.
    EXPECT_EQ(ReadFile(drop + "big-yes.bmp").size(), 70000u);
  }
  ResetAppConfig();
}

TEST_F(ContentPageTest, DoubleClickOpensTheFileAndRefreshes) {
  PcFile("a.bmp", Bmp(1, 1, 60));
  OpenPictures();
  Select(TListId::PcFiles, {"a.bmp"});
  page.DC_PIC_PC_ListViewDblClick();
  EXPECT_EQ(s.view.opened, std::vector<std::string>{pc + "/a.bmp"});
  EXPECT_EQ(LinesStartingWith("AT*FLIST=3"), 2);
  EXPECT_EQ(s.view.folderCaptions.size(), 1u);
}

// A port failure in the middle of a batch: the logo, no progress, a working
// tool bar, and no refresh. The same for a window closed during a transfer,
// which also adds no message of its own.
TEST_F(ContentPageTest, AbortInTheMiddleOfASend) {
  struct Case {
    const char* what;
    bool closeWindow;  // else the line hangs up
  };
  for (Case c : {Case{"hang-up", false}, Case{"window closed", true}}) {
    SCOPED_TRACE(c.what);
    SimLink sim;
    sim.link->SetClock(TClock(0.02));
    TContentPage p(*sim.link, sim.pages);
    std::string folder = sim.dir.path() + "/pc";
    fs::create_directories(folder);
    WriteFile(folder + "/one.bmp", Bmp(10, 10, 2000));
    WriteFile(folder + "/two.bmp", Bmp(10, 10, 2000));
    sim.view.folderAnswers = {folder};
    p.DC_PIC_ToolButtonClick();
    ASSERT_EQ(sim.view.page, TPage::Content);
    sim.view.selection[TListId::PcFiles] = {0, 1};
    size_t messagesAtAbort = 0;
    bool fired = false;
    auto packets = [&] {
      int n = 0;
      for (const auto& l : sim.sim->ReceivedLines())
        if (l.rfind("AT*FUPL=", 0) == 0 && l.find('"') == std::string::npos) ++n;
      return n;
    };
    sim.view.onWaitTurn = [&] {
      if (fired || packets() < 3) return;
      fired = true;
      messagesAtAbort = sim.view.messages.size();
      if (c.closeWindow) {
        sim.link->Flags().AppClosing = 1;
      } else {
        sim.sim->HangUp();
      }
    };
    p.DC_PIC_UL_ButtonClick();
    sim.view.onWaitTurn = nullptr;
    ASSERT_TRUE(fired);
    EXPECT_EQ(sim.view.page, TPage::Logo);
    EXPECT_FALSE(sim.view.progressVisible);
    EXPECT_FALSE(sim.view.totalVisible);
    EXPECT_TRUE(sim.view.actionButtonsEnabled);
    EXPECT_EQ(sim.view.actionEnableCount, sim.view.actionDisableCount);
    int requests = 0, lists = 0;
    for (const auto& l : sim.sim->ReceivedLines()) {
      if (l.rfind("AT*FUPL=\"", 0) == 0) ++requests;
      if (l.rfind("AT*FLIST=", 0) == 0) ++lists;
    }
    EXPECT_EQ(requests, 1) << "the second file must not be tried";
    EXPECT_EQ(lists, 1) << "no refresh after an abort";
    EXPECT_EQ(sim.view.totalPos, 0);
    if (c.closeWindow) {
      EXPECT_EQ(sim.view.messages.size(), messagesAtAbort);
    } else {
      // The receiver told about the port before the wait gave up, then
      // what brings the line back; the batch names the file cut off and
      // the one never started.
      EXPECT_TRUE(sim.view.HasMessage("COM Port Exception while wait event") ||
                  sim.view.HasMessage("COM port exception while receive"));
      EXPECT_TRUE(sim.view.HasMessage(kLineLostAdvice));
      const auto& rows = sim.view.lists[TListId::PcFiles];
      EXPECT_EQ(sim.view.messages.back(), "Not sent: " + rows.at(0).at(0) + ", " + rows.at(1).at(0));
    }
  }
}

// Each batch asks for the pause between its files: after the first file's
// lines, before the second file's request. Read from what the clock was
// asked, as a fast clock's pause is shorter than the traffic around it.
TEST_F(ContentPageTest, EveryPhoneBatchPausesBetweenFiles) {
  const struct {
    TBatchOp op;
    std::string second;  // the request for b.bmp
  } cases[] = {{TBatchOp::Send, "AT*FUPL=\"b.bmp\""},
               {TBatchOp::Fetch, "AT*FDWN=\"b.bmp\""},
               {TBatchOp::Remove, "AT*FRMV=\"b.bmp\""}};
  std::vector<std::pair<int, size_t>> asked;  // each delay asked, with the lines the phone had then
  TClock clock(0.02);
  clock.RecordDelays([&](int ms) { asked.emplace_back(ms, s.sim->ReceivedLines().size()); });
  s.link->SetClock(clock);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.second);
    for (const char* name : {"a.bmp", "b.bmp"}) {
      fs::remove(pc + "/" + name);
      fs::remove(phone + "/" + name);
      (c.op == TBatchOp::Send ? PcFile(name, Bmp(1, 1, 60)) : PhoneFile(name, Bmp(1, 1, 60)));
    }
    OpenPictures();
    Select(c.op == TBatchOp::Send ? TListId::PcFiles : TListId::PhoneFiles, {"a.bmp", "b.bmp"});
    s.sim->ClearReceived();
    asked.clear();
    switch (c.op) {
      case TBatchOp::Send: page.DC_PIC_UL_ButtonClick(); break;
      case TBatchOp::Fetch: page.DC_PIC_DL_ButtonClick(); break;
      case TBatchOp::Remove: page.DC_PIC_Remove_PHONE_ButtonClick(); break;
    }
    const std::vector<std::string> lines = s.sim->ReceivedLines();
    const size_t second = std::find_if(lines.begin(), lines.end(),
                                       [&](const std::string& l) { return l.rfind(c.second, 0) == 0; }) -
                          lines.begin();
    ASSERT_LT(second, lines.size());
    // Asked once, with every line of the first file on the phone and the second's request not yet.
    const std::pair<int, size_t> pause(kPauseBetweenFilesMs, second);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), pause), 1) << ::testing::PrintToString(asked);
  }
}

// A file the phone refused ends the batch, as does a fetch or a removal
// that failed any other way: nothing of the second file goes out, and the
// page still refreshes.
TEST_F(ContentPageTest, AFailedFileEndsTheBatchButStillRefreshes) {
  struct Case {
    const char* label;
    TBatchOp op;
    std::string errorPrefix, silentPrefix;  // faults that hit a.bmp only
    std::string second;                     // the request for b.bmp
    std::string ended;                      // the batch's end text, naming both
  };
  const Case cases[] = {
      {"send, the first refused", TBatchOp::Send, "AT*FUPL=\"a.bmp\"", "", "AT*FUPL=\"b.bmp\"",
       "Not sent: a.bmp, b.bmp"},
      {"fetch, the first refused", TBatchOp::Fetch, "AT*FDWN=\"a.bmp\"", "", "AT*FDWN=\"b.bmp\"",
       "Not fetched: a.bmp, b.bmp"},
      {"fetch, the first unanswered", TBatchOp::Fetch, "", "AT*FDWN=\"a.bmp\"", "AT*FDWN=\"b.bmp\"",
       "Not fetched: a.bmp, b.bmp"},
      {"remove, the first refused", TBatchOp::Remove, "AT*FRMV=\"a.bmp\"", "", "AT*FRMV=\"b.bmp\"",
       "Not removed: a.bmp, b.bmp"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    for (const char* name : {"a.bmp", "b.bmp"}) {
      fs::remove(pc + "/" + name);
      fs::remove(phone + "/" + name);
      (c.op == TBatchOp::Send ? PcFile(name, Bmp(1, 1, 60)) : PhoneFile(name, Bmp(1, 1, 60)));
    }
    phonesim::Options o = s.sim->GetOptions();
    o.errorPrefix.clear();
    o.silentPrefix.clear();
    s.sim->SetOptions(o);
    OpenPictures();
    o.errorPrefix = c.errorPrefix;
    o.silentPrefix = c.silentPrefix;
    s.sim->SetOptions(o);
    s.sim->ClearReceived();
    s.view.messages.clear();
    const TListId list = c.op == TBatchOp::Send ? TListId::PcFiles : TListId::PhoneFiles;
    Select(list, {"a.bmp", "b.bmp"});
    const TPageReport report = c.op == TBatchOp::Send    ? page.DC_PIC_UL_ButtonClick()
                               : c.op == TBatchOp::Fetch ? page.DC_PIC_DL_ButtonClick()
                                                         : page.DC_PIC_Remove_PHONE_ButtonClick();
    // The report says what the wire says: the first failed, the second never started.
    EXPECT_EQ(report.batch.results.size(), 1u);
    EXPECT_EQ(report.DoneCount(), 0u);
    EXPECT_EQ(report.NotDone(), (std::vector<std::string>{"a.bmp", "b.bmp"}));
    EXPECT_FALSE(report.batch.AllDone());
    EXPECT_TRUE(s.view.HasMessage(c.ended)) << ::testing::PrintToString(s.view.messages);
    EXPECT_EQ(LinesStartingWith(c.second), 0);
    EXPECT_FALSE(s.view.totalVisible);
    EXPECT_TRUE(s.view.actionButtonsEnabled);
    EXPECT_EQ(LinesStartingWith("AT*FLIST=3"), 1);
    EXPECT_EQ(s.view.page, TPage::Content);
  }
}

// A file whose failure closed the port does not take the rest with it:
// the batch opens the port again and goes on, or, when the phone does not
// answer, ends with one message naming the files not sent.
TEST_F(ContentPageTest, AFailedFileThatClosedThePortIsNoCascade) {
  struct Case {
    const char* label;
    const char* silent;  // lines the phone leaves unanswered
    std::vector<std::string> sent;
    std::string ended;  // the batch's end text
  };
  const Case cases[] = {
      {"the phone answers again", "AT*FUPL=\"a.bmp\"", {"b.bmp", "c.bmp"}, "Not sent: a.bmp"},
      // The first file sent times out, the phone never answers "AT" again.
      {"the phone stays silent", "AT", {}, "Not sent: "},  // all three, in the list's order
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
      PcFile(name, Bmp(1, 1, 60));
      fs::remove(phone + "/" + name);
    }
    phonesim::Options o = s.sim->GetOptions();
    o.silentPrefix.clear();
    s.sim->SetOptions(o);
    OpenPictures();
    o.silentPrefix = c.silent;
    s.sim->SetOptions(o);
    s.view.messages.clear();
    Select(TListId::PcFiles, {"a.bmp", "b.bmp", "c.bmp"});
    page.DC_PIC_UL_ButtonClick();
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) {
      const bool wanted = std::find(c.sent.begin(), c.sent.end(), name) != c.sent.end();
      EXPECT_EQ(ReadFile(phone + "/" + name) != "<missing>", wanted) << name;
    }
    for (const std::string& m : s.view.messages) EXPECT_EQ(m.find("COM port exception"), std::string::npos) << m;
    ASSERT_FALSE(s.view.messages.empty());
    const auto notSent = std::count_if(s.view.messages.begin(), s.view.messages.end(),
                                       [](const std::string& m) { return m.rfind("Not sent: ", 0) == 0; });
    EXPECT_EQ(notSent, 1) << ::testing::PrintToString(s.view.messages);
    std::string ended = c.ended;
    if (c.sent.empty()) {
      for (const std::string& row : Rows(TListId::PcFiles)) ended += (ended.back() == ' ' ? "" : ", ") + row;
    }
    EXPECT_TRUE(s.view.HasMessage(ended)) << ::testing::PrintToString(s.view.messages);
    EXPECT_EQ(s.view.messages.front(), "Send_UPLOAD_REQ_timeout");
    EXPECT_TRUE(s.view.actionButtonsEnabled);
  }
}

// A phone that answers OK to every packet and then lists the file with
// another size has not kept what was sent: the name alone confirms nothing.
TEST_F(ContentPageTest, ASentFileListedWithAnotherSizeIsNotStored) {
  PcFile("a.bmp", Bmp(1, 1, 60));
  OpenPictures();
  Select(TListId::PcFiles, {"a.bmp"});
  s.view.messages.clear();
  bool grown = false;
  s.view.onWaitTurn = [&] {
    // The phone stores a file whole before its last OK: the listing that follows sees it grown.
    if (grown || !fs::exists(phone + "/a.bmp")) return;
    grown = true;
    WriteFile(phone + "/a.bmp", Bmp(1, 1, 61));
  };
  const TPageReport report = page.DC_PIC_UL_ButtonClick();
  s.view.onWaitTurn = nullptr;
  ASSERT_TRUE(grown);
  EXPECT_EQ(s.view.messages, std::vector<std::string>{"Not stored by the phone: a.bmp"});
  EXPECT_FALSE(report.batch.AllDone());
}

TEST_F(ContentPageTest, FailedPcRemovalEndsTheBatch) {
  PcFile("a.bmp", Bmp(1, 1, 60));
  PcFile("b.bmp", Bmp(1, 1, 60));
  PhoneFile("x.gif", StillGif(1, 1));
  OpenPictures();
  const auto rows = Rows(TListId::PcFiles);
  // The first selected file vanishes behind the page's back, or the trash
  // refuses it: either way nothing is deleted for good.
  for (bool vanished : {false, true}) {
    SCOPED_TRACE(vanished ? "vanished" : "trash refuses");
    s.view.messages.clear();
    s.view.trashWorks = vanished;
    Select(TListId::PcFiles, {"a.bmp", "b.bmp"});
    if (vanished) fs::remove(pc + "/" + rows.at(0));
    page.DC_PIC_Remove_PC_ButtonClick();
    EXPECT_EQ(s.view.messages, (std::vector<std::string>{"Remove File ERR", "Not removed: a.bmp, b.bmp"}));
    EXPECT_EQ(fs::exists(pc + "/" + rows.at(0)), !vanished);
    EXPECT_TRUE(fs::exists(pc + "/" + rows.at(1)));
    EXPECT_TRUE(s.view.trashed.empty());
    EXPECT_EQ(Rows(TListId::PcFiles), vanished ? std::vector<std::string>{rows.at(1)} : rows);
    EXPECT_TRUE(s.view.actionButtonsEnabled);
  }
}

TEST_F(ContentPageTest, PcRemovalPausesBetweenFilesAndStopsOnStop) {
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) PcFile(name, Bmp(1, 1, 60));
  PhoneFile("x.gif", StillGif(1, 1));
  OpenPictures();
  const double pauseMs = kPauseBetweenFilesMs * s.link->Clock().DelayScale();
  for (bool stop : {false, true}) {
    SCOPED_TRACE(stop ? "Stop in the first pause" : "no Stop");
    if (stop) {
      for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) PcFile(name, Bmp(1, 1, 60));
      page.OpenContentPage();
    }
    s.view.messages.clear();
    s.view.trashed.clear();
    Select(TListId::PcFiles, {"a.bmp", "b.bmp", "c.bmp"});
    // The window's turns while one file is gone: the pause after it.
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> afterFirst;
    s.view.onWaitTurn = [&] {
      if (s.view.trashed.size() != 1) return;
      afterFirst.push_back(Clock::now());
      if (stop && afterFirst.size() == 1) s.link->Flags().RequestStop();
    };
    page.DC_PIC_Remove_PC_ButtonClick();
    s.view.onWaitTurn = nullptr;
    ASSERT_FALSE(afterFirst.empty());
    if (stop) {
      EXPECT_EQ(s.view.trashed.size(), 1u);
      EXPECT_EQ(Rows(TListId::PcFiles).size(), 2u);
    } else {
      EXPECT_EQ(s.view.trashed.size(), 3u);
      const std::chrono::duration<double, std::milli> paused = afterFirst.back() - afterFirst.front();
      EXPECT_GE(paused.count(), pauseMs * 0.8);
      EXPECT_TRUE(Rows(TListId::PcFiles).empty());
    }
    EXPECT_EQ(s.view.messages, std::vector<std::string>(!stop, "No suitable file in this folder"));
    EXPECT_TRUE(s.view.actionButtonsEnabled);
  }
}

TEST_F(ContentPageTest, DamagedGifInTheFolderStillShowsThePage) {
  PcFile("a.bmp", Bmp(1, 1, 60));
  PhoneFile("x.gif", StillGif(1, 1));
  PhoneFile("y.gif", StillGif(1, 1));
  OpenPictures();
  // A GIF with a good header and a body cut short appears before the refresh.
  PcFile("broken.gif", StillGif(4, 4).substr(0, 24));
  s.view.page = TPage::Logo;
  Select(TListId::PhoneFiles, {"x.gif"});
  page.DC_PIC_Remove_PHONE_ButtonClick();
  EXPECT_FALSE(fs::exists(phone + "/x.gif"));
  EXPECT_EQ(s.view.page, TPage::Content);
  EXPECT_EQ(Rows(TListId::PcFiles), std::vector<std::string>{"a.bmp"});
  EXPECT_EQ(Rows(TListId::PhoneFiles), std::vector<std::string>{"y.gif"});
  EXPECT_TRUE(s.view.messages.empty()) << s.view.messages.front();
  EXPECT_TRUE(s.view.actionButtonsEnabled);
  EXPECT_EQ(s.view.actionEnableCount, s.view.actionDisableCount);
}

TEST_F(ContentPageTest, MissingPcFolderStillListsThePhone) {
  PhoneFile("x.gif", StillGif(1, 1));
  s.view.folderAnswers = {pc + "/gone"};
  page.DC_PIC_ToolButtonClick();
  EXPECT_EQ(s.view.messages, std::vector<std::string>{"Unable to open directory"});
  EXPECT_EQ(s.view.page, TPage::Content);
  EXPECT_EQ(Rows(TListId::PhoneFiles), std::vector<std::string>{"x.gif"});
  EXPECT_TRUE(page.PcFileList.Empty());
}

}  // namespace
