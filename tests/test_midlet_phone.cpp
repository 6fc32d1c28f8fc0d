// The phone's suite list: the listing parser, seam cleaning, strict sizes,
// and the page refresh and uninstall against a phone on the line.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "content/MidletPage.h"
#include "support/SimLink.h"

namespace fs = std::filesystem;

namespace {

// ---- Pure parser ----

struct Suite {
  std::string url, name, size, version;
};

const std::string kHeader = "\r\n*FDWN: 1\r\n0100";
const std::string kSeam = "0000*FDWN:0201";

// The listing as the phone sends it: header, fields, closing line end, OK.
std::string Listing(const std::vector<Suite>& suites) {
  std::string text = kHeader;
  for (size_t i = 0; i < suites.size(); ++i) {
    const Suite& s = suites[i];
    text += (i ? "\r\nURL:" : "URL:") + s.url + "\r\nNAME:" + s.name + "\r\nSIZE:" + s.size + "\r\nVERSION:" + s.version;
  }
  if (!suites.empty()) text += "\r\n";
  return text + "\r\nOK\r\n";
}

struct Row {
  std::string url, name, version;
  int32_t size;
  bool operator==(const Row&) const = default;
};

std::vector<Row> Rows(const TInfoList<Mobile_info>& list) {
  std::vector<Row> out;
  for (Mobile_info* m = list.First(); m; m = m->next.get()) out.push_back({m->url, m->name, m->version, m->size});
  return out;
}

std::vector<Row> Parse(const std::string& text, bool* complete = nullptr) {
  TInfoList<Mobile_info> list;
  bool c = ParsePhoneSuiteList(text, list);
  if (complete) *complete = c;
  return Rows(list);
}

const std::vector<Suite> kSuites = {{"http://x/star.jar", "Star Game", "12345", "1.2.3"},
                                     {"u2", "Chess", "9", "2.0"},
                                     {"http://x/last.jar", "Last One", "700", "10.1"}};

TEST(PhoneListParse, ListingWithoutUrlGivesNothing) {
  const std::string texts[] = {"", "\r\nOK\r\n", kHeader + "\r\nOK\r\n", "NAME:x\r\nSIZE:1\r\nVERSION:1\r\n",
                               "url:lower\r\nNAME:x\r\n"};
  for (const std::string& t : texts) {
    bool complete = false;
    EXPECT_TRUE(Parse(t, &complete).empty()) << t;
    EXPECT_TRUE(complete) << t;
  }
}

TEST(PhoneListParse, FieldsOfEverySuite) {
  bool complete = false;
  std::vector<Row> rows = Parse(Listing(kSuites), &complete);
  std::vector<Row> expected = {{"http://x/star.jar", "Star Game", "1.2.3", 12345},
                               {"u2", "Chess", "2.0", 9},
                               {"http://x/last.jar", "Last One", "10.1", 700}};
  EXPECT_EQ(rows, expected);
  EXPECT_TRUE(complete);
}

TEST(PhoneListParse, SeamInsideAnyValueChangesNothing) {
  const std::vector<Row> reference = Parse(Listing(kSuites));
  for (size_t suite = 0; suite < kSuites.size(); ++suite) {
    for (int field = 0; field < 4; ++field) {
      std::string Suite::*member = field == 0 ? &Suite::url : field == 1 ? &Suite::name : field == 2 ? &Suite::size : &Suite::version;
      const size_t length = (kSuites[suite].*member).size();
      for (size_t at : {size_t{0}, length / 2, length}) {
        std::vector<Suite> seamed = kSuites;
        (seamed[suite].*member).insert(at, kSeam);
        EXPECT_EQ(Parse(Listing(seamed)), reference) << "suite " << suite << " field " << field << " at " << at;
      }
    }
  }
}

TEST(PhoneListParse, OnlyTheFirstSeamOfAValueIsRemoved) {
  std::vector<Suite> seamed = {{"u", "Ab" + kSeam + "cd" + kSeam + "ef", "1", "1"}};
  std::vector<Row> rows = Parse(Listing(seamed));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "Abcd" + kSeam + "ef");
}

TEST(PhoneListParse, EndingsInsideARecordKeepTheRecord) {
  struct Case {
    const char* label;
    std::string text;
    std::vector<Row> rows;
  } cases[] = {
      {"URL without NAME", kHeader + "URL:http://x\r\nOK\r\n", {{"", "", "", 0}}},
      {"no SIZE", kHeader + "URL:u\r\nNAME:n\r\nOK\r\n", {{"u", "", "", 0}}},
      {"no VERSION", kHeader + "URL:u\r\nNAME:n\r\nSIZE:5\r\n", {{"u", "n", "", 0}}},
      {"last VERSION without CR LF", "URL:u\r\nNAME:n\r\nSIZE:5\r\nVERSION:1.0", {{"u", "n", "", 5}}},
      {"second suite cut short", "URL:a\r\nNAME:A\r\nSIZE:1\r\nVERSION:1\r\nURL:b\r\nNAME:B",
       {{"a", "A", "1", 1}, {"b", "", "", 0}}},
  };
  for (const Case& c : cases) {
    bool complete = true;
    EXPECT_EQ(Parse(c.text, &complete), c.rows) << c.label;
    EXPECT_FALSE(complete) << c.label;
  }
}

TEST(PhoneListParse, KeysPackedTogetherDoNotUnderflow) {
  struct Case {
    std::string text;
    std::vector<Row> rows;
  } cases[] = {
      {"URL:NAME:SIZE:1\r\nVERSION:v\r\n", {{"", "", "v", 1}}},
      {"URL:\r\nNAME:\r\nSIZE:0\r\nVERSION:\r\n", {{"", "", "", 0}}},
      {"URL:xNAME:ySIZE:0\r\nVERSION:z\r\n", {{"", "", "z", 0}}},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.text), c.rows) << c.text;
}

TEST(PhoneListParse, EveryPrefixOfAListingParsesSafely) {
  const std::string full = Listing(kSuites);
  const std::vector<Row> all = Parse(full);
  for (size_t n = 0; n <= full.size(); ++n) {
    std::vector<Row> rows;
    ASSERT_NO_THROW(rows = Parse(full.substr(0, n))) << n;
    ASSERT_LE(rows.size(), all.size()) << n;
    // Every record but the last is complete and equal to the full parse's.
    for (size_t i = 0; i + 1 < rows.size(); ++i) EXPECT_EQ(rows[i], all[i]) << n;
  }
}

TEST(PhoneListParse, NonNumericSizeThrowsWithTheText) {
  TInfoList<Mobile_info> list;
  try {
    ParsePhoneSuiteList(Listing({{"u", "Game", "12a", "1.0"}}), list);
    FAIL() << "no exception";
  } catch (const TSuiteListError& e) {
    EXPECT_STREQ(e.what(), "'12a' is not a valid integer value");
    EXPECT_EQ(e.Suite(), "Game");
  }
  // The record begun before the failure stays.
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.First()->name, "Game");
}

TEST(StrictToInt, Table) {
  struct Ok {
    const char* text;
    int32_t value;
  } good[] = {{"0", 0}, {"123", 123}, {"-5", -5}, {"+7", 7}, {"007", 7}, {"2147483647", 2147483647},
              {"-2147483648", -2147483647 - 1}};
  for (const Ok& c : good) EXPECT_EQ(StrictToInt(c.text), c.value) << c.text;
  const char* bad[] = {"", " 1", "1 ", "abc", "12a", "2147483648", "-2147483649", "-", "+", "0x10", "1.0",
                       "99999999999999999999"};
  for (const char* text : bad) {
    try {
      StrictToInt(text);
      ADD_FAILURE() << "accepted '" << text << "'";
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(RemoveListingSeam, Table) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"Game", "Game"},
      {"Ga" + kSeam + "me", "Game"},
      {kSeam + "Game", "Game"},
      {"Game" + kSeam, "Game"},
      {"01*FDWN:0201Game", "Game"},       // seam begun before the value
      {"*FDWN:0201Game", "Game"},
      {"Game0000*FDWN:02", "Game"},       // seam cut off at the end
      {"Game0000*FDWN:", "Game"},
      {"*FDWN:", ""},
      {"a" + kSeam + "b" + kSeam + "c", "ab" + kSeam + "c"},
  };
  for (const Case& c : cases) EXPECT_EQ(RemoveListingSeam(c.in), c.out) << c.in;
}

// ---- Against a phone on the line ----

std::string Descriptor(const std::string& name, const std::string& version, size_t jarSize) {
  return "MIDlet-Name: " + name + "\nMIDlet-Version: " + version + "\nMIDlet-Vendor: Quendrel Test\nMIDlet-Jar-URL: " +
         name + ".jar\nMIDlet-Jar-Size: " + std::to_string(jarSize) + "\n";
}

class PhonePage : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.link->SetClock(TClock(0.02));
    setenv("HOME", rig.dir.path().c_str(), 1);
    fs::create_directories(rig.dir.File("pc"));
    rig.pages.PcFolder = rig.dir.File("pc");
    rig.pages.FolderAsked = true;
  }

  void PhoneSuite(const std::string& folder, const std::string& name, const std::string& version, size_t size) {
    fs::create_directories(rig.dir.File("phone/4/" + folder));
    rig.dir.Write("phone/4/" + folder + "/" + folder + ".jad", Descriptor(name, version, size));
    rig.dir.Write("phone/4/" + folder + "/" + folder + ".jar", std::string(size, 'J'));
  }
  void PcSuite(const std::string& file, const std::string& name, const std::string& version, size_t size) {
    rig.dir.Write("pc/" + file + ".jad", Descriptor(name, version, size));
    rig.dir.Write("pc/" + file + ".jar", std::string(size, 'J'));
  }
  void SetOptions(const std::function<void(phonesim::Options&)>& change) {
    phonesim::Options o = rig.PhoneOptions();
    change(o);
    rig.SetPhoneOptions(o);
  }
  std::vector<std::vector<std::string>>& List(TListId id) { return rig.view.lists[id]; }

  SimLink rig{{}, SimLink::Line::Memory};
  TMidletPage page{*rig.link, rig.pages};
};

TEST_F(PhonePage, RefreshListsPhoneSuitesAndStatuses) {
  PhoneSuite("a", "Alpha", "1.0", 40);
  PhoneSuite("b", "Beta", "2.0", 12);
  PhoneSuite("c", "Gamma", "1.5", 7);
  PcSuite("alpha", "Alpha", "1.0.0", 40);
  PcSuite("beta", "Beta", "2.1", 12);
  PcSuite("gamma", "GammaPlus", "1.4", 7);
  PcSuite("delta", "Delta", "1.0", 3);
  // A seam every 23 characters falls inside values, never twice in one.
  SetOptions([](phonesim::Options& o) { o.seamEvery = 23; });
  page.LocalAppDL_RefreshPage();

  EXPECT_TRUE(rig.view.messages.empty());
  EXPECT_EQ(rig.view.page, TPage::Midlet);
  EXPECT_EQ(rig.view.title, TTitle::Java);
  const std::vector<std::vector<std::string>> phoneRows = {
      {"Alpha", "1.0", "40"}, {"Beta", "2.0", "12"}, {"Gamma", "1.5", "7"}};
  EXPECT_EQ(List(TListId::PhoneSuites), phoneRows);
  std::map<std::string, std::string> marks;
  for (const auto& row : List(TListId::PcSuites)) marks[row[0]] = row[3];
  EXPECT_EQ(marks, (std::map<std::string, std::string>{
                       {"Alpha", "[V]"}, {"Beta", "[_]"}, {"GammaPlus", "[_]"}, {"Delta", "[_]"}}));  // Gamma is another suite
  std::vector<std::string> lines = rig.PhoneLines();
  EXPECT_EQ(lines, (std::vector<std::string>{"AT", "AT*FLIST=4", "AT*FDWN=\"4\""}));
  EXPECT_FALSE(rig.view.statusVisible);
  EXPECT_TRUE(rig.link->Port().Connected());
}

TEST_F(PhonePage, CancelledChooserLeavesThePortAlone) {
  rig.pages.FolderAsked = false;
  page.LocalAppDW_ButtonClick();
  EXPECT_EQ(rig.view.folderCaptions, std::vector<std::string>{"MIDlet Folder"});
  EXPECT_EQ(rig.view.page, TPage::Logo);
  EXPECT_EQ(rig.view.title, TTitle::Product);
  EXPECT_TRUE(rig.PhoneLines().empty());
  EXPECT_FALSE(rig.link->Port().Connected());
}

TEST_F(PhonePage, ToolButtonAsksEveryTimeUninstallRefreshDoesNot) {
  PhoneSuite("a", "Alpha", "1.0", 4);
  rig.view.folderAnswers = {rig.dir.File("pc"), rig.dir.File("pc")};
  page.LocalAppDW_ButtonClick();
  page.LocalAppDW_ButtonClick();
  EXPECT_EQ(rig.view.folderCaptions.size(), 2u);
  rig.view.selection[TListId::PhoneSuites] = {0};
  page.LocalAppDL_REMOVE_ButtonClick();
  EXPECT_EQ(rig.view.folderCaptions.size(), 2u);
  EXPECT_TRUE(List(TListId::PhoneSuites).empty());
  EXPECT_EQ(rig.view.page, TPage::Midlet);
}

struct ListingFault {
  const char* label;
  std::function<void(phonesim::Options&)> fault;
  std::vector<std::string> messages;  // "*" stands for the raw reply text
  TPage page;
  TTitle title;
};

TEST_F(PhonePage, ListingFaults) {
  const ListingFault cases[] = {
      {"folder refused", [](phonesim::Options& o) { o.errorPrefix = "AT*FLIST"; }, {"Change to JAVA DIR failed"},
       TPage::Content, TTitle::Java},  // stops where it was
      {"folder unanswered", [](phonesim::Options& o) { o.silentPrefix = "AT*FLIST"; }, {"Change Folder Timeout", "*"},
       TPage::Logo, TTitle::Product},
      {"listing refused", [](phonesim::Options& o) { o.errorPrefix = "AT*FDWN"; }, {"Get_List_Error"}, TPage::Midlet,
       TTitle::Java},
      {"listing unanswered", [](phonesim::Options& o) { o.silentPrefix = "AT*FDWN"; }, {"Get_List_Timeout", "*"},
       TPage::Midlet, TTitle::Java},
  };
  PhoneSuite("a", "Alpha", "1.0", 4);
  PcSuite("alpha", "Alpha", "1.0", 4);
  for (const ListingFault& c : cases) {
    SCOPED_TRACE(c.label);
    phonesim::Options o = rig.PhoneOptions();
    o.errorPrefix.clear();
    o.silentPrefix.clear();
    c.fault(o);
    rig.SetPhoneOptions(o);
    rig.view.messages.clear();
    rig.view.lists.clear();
    rig.view.page = TPage::Content;
    page.LocalAppDL_RefreshPage();
    ASSERT_EQ(rig.view.messages.size(), c.messages.size());
    for (size_t i = 0; i < c.messages.size(); ++i)
      if (c.messages[i] != "*") {
        EXPECT_EQ(rig.view.messages[i], c.messages[i]);
      }
    EXPECT_EQ(rig.view.page, c.page);
    EXPECT_EQ(rig.view.title, c.title);
    EXPECT_TRUE(List(TListId::PhoneSuites).empty());
    if (c.page == TPage::Midlet) {
      // The failed listing leaves an empty phone list: every suite unmarked.
      ASSERT_EQ(List(TListId::PcSuites).size(), 1u);
      EXPECT_EQ(List(TListId::PcSuites)[0][3], "[_]");
    }
  }
}

TEST_F(PhonePage, UninstallSendsNameWithBlankUnchanged) {
  PhoneSuite("mg", "My  Game x", "1.0", 5);
  PhoneSuite("z", "Zed", "1.0", 5);
  page.LocalAppDL_RefreshPage();
  ASSERT_EQ(List(TListId::PhoneSuites).size(), 2u);
  rig.ClearPhoneLines();
  rig.view.selection[TListId::PhoneSuites] = {0};
  page.LocalAppDL_REMOVE_ButtonClick();
  std::vector<std::string> lines = rig.PhoneLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "AT*FUPL=\"My  Game x\",0,4,3");
  const auto& texts = rig.view.statusTexts;
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Uninstall MIDlet suites..."), texts.end());
  EXPECT_EQ(List(TListId::PhoneSuites), (std::vector<std::vector<std::string>>{{"Zed", "1.0", "5"}}));
  EXPECT_TRUE(rig.view.messages.empty());
}

TEST_F(PhonePage, UninstallRefusedShowsReceiverThenPageMessage) {
  PhoneSuite("a", "Alpha", "1.0", 5);
  page.LocalAppDL_RefreshPage();
  // The phone no longer has it: it answers ERROR(5).
  fs::remove_all(rig.dir.File("phone/4/a"));
  rig.ClearPhoneLines();
  rig.view.selection[TListId::PhoneSuites] = {0};
  page.LocalAppDL_REMOVE_ButtonClick();
  EXPECT_EQ(rig.view.messages, (std::vector<std::string>{"File Operation Error!!", "Remove_Error"}));
  EXPECT_EQ(rig.PhoneLines(), std::vector<std::string>{"AT*FUPL=\"Alpha\",0,4,3"});  // no refresh
  EXPECT_FALSE(rig.view.statusVisible);
}

TEST_F(PhonePage, UninstallWithoutSelection) {
  page.LocalAppDL_REMOVE_ButtonClick();
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"No selected MIDlet"});
  EXPECT_TRUE(rig.PhoneLines().empty());
}

// ---- A listing the virtual phone would never send ----

// A phone stand-in behind the port's OS interface, answering from a script.
class ScriptedPhone : public IComBackend {
 public:
  struct Shared {
    std::mutex mu;
    std::condition_variable cv;
    std::string out;                 // bytes for the PC
    std::string in;                  // bytes from the PC, not yet a whole line
    std::vector<std::string> lines;  // whole lines received
    std::function<std::string(const std::string&)> answer;
  };
  explicit ScriptedPhone(std::shared_ptr<Shared> s) : s_(std::move(s)) {}
  int Open(const std::string&) override { open_ = true; return 0; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  int ApplyBuffers(int, int) override { return 0; }
  int ApplyLine(const TLineSettings&) override { return 0; }
  int ApplyTimeouts(const TComTimeouts&) override { return 0; }
  int Write(const char* data, size_t n, int, size_t* written) override {
    std::lock_guard<std::mutex> lock(s_->mu);
    s_->in.append(data, n);
    size_t end;
    while ((end = s_->in.find("\r\n")) != std::string::npos) {
      std::string line = s_->in.substr(0, end);
      s_->in.erase(0, end + 2);
      s_->lines.push_back(line);
      s_->out += line + "\r\n" + s_->answer(line);
    }
    s_->cv.notify_all();
    *written = n;
    return 0;
  }
  int Read(char* data, size_t n, size_t* got) override {
    std::lock_guard<std::mutex> lock(s_->mu);
    *got = std::min(n, s_->out.size());
    s_->out.copy(data, *got);
    s_->out.erase(0, *got);
    return 0;
  }
  int InputCount(int* count) override {
    std::lock_guard<std::mutex> lock(s_->mu);
    *count = static_cast<int>(s_->out.size());
    return 0;
  }
  int Purge(bool input, bool) override {
    std::lock_guard<std::mutex> lock(s_->mu);
    if (input) s_->out.clear();
    return 0;
  }
  int WaitRx(int timeoutMs, TComEvents* events) override {
    std::unique_lock<std::mutex> lock(s_->mu);
    s_->cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return !s_->out.empty(); });
    *events = s_->out.empty() ? TComEvents{0} : TComEvents{evRxChar};
    return 0;
  }

 private:
  std::shared_ptr<Shared> s_;
  bool open_ = false;
};

TEST(PhonePageScripted, NonNumericSizeLeavesBothListsEmpty) {
  TempDir dir;
  IsolateSettings(dir);
  dir.Write("alpha.jad", Descriptor("Alpha", "1.0", 3));
  dir.Write("alpha.jar", "JJJ");
  auto shared = std::make_shared<ScriptedPhone::Shared>();
  shared->answer = [](const std::string& line) -> std::string {
    if (line == "AT*FDWN=\"4\"") return Listing({{"u", "Alpha", "3x", "1.0"}});
    return "\r\nOK\r\n";
  };
  FakeView view;
  TLink link(view, std::make_unique<ScriptedPhone>(shared));
  TPageState pages;
  link.SetClock(TClock(0.05));
  link.Port().SetPort("/scripted");
  pages.PcFolder = dir.path();
  pages.FolderAsked = true;
  TMidletPage page(link, pages);
  view.folderAnswers = {dir.path()};
  view.lists[TListId::PcSuites] = {{"stale"}};
  view.lists[TListId::PhoneSuites] = {{"stale"}};
  // The window's handler wrapper: an escaping error is shown in an error box.
  try {
    page.LocalAppDW_ButtonClick();
  } catch (const std::exception& e) {
    view.ShowErrorText(e.what());
  }
  EXPECT_EQ(view.errors, std::vector<std::string>{"'3x' is not a valid integer value"});
  EXPECT_TRUE(view.lists[TListId::PcSuites].empty());
  EXPECT_TRUE(view.lists[TListId::PhoneSuites].empty());
  EXPECT_NE(view.page, TPage::Midlet);
  {
    std::lock_guard<std::mutex> lock(shared->mu);
    EXPECT_EQ(shared->lines, (std::vector<std::string>{"AT", "AT*FLIST=4", "AT*FDWN=\"4\""}));
  }
  link.Close();
}

TEST(PhonePageScripted, ButtonsComeBackWhenTheRefreshAfterAnInstallThrows) {
  TempDir dir;
  IsolateSettings(dir);
  setenv("HOME", dir.path().c_str(), 1);
  dir.Write("alpha.jad", Descriptor("Alpha", "1.0", 3));
  dir.Write("alpha.jar", "JJJ");
  auto shared = std::make_shared<ScriptedPhone::Shared>();
  shared->answer = [](const std::string& line) -> std::string {
    if (line == "AT*FDWN=\"4\"") return Listing({{"u", "Alpha", "?", "1.0"}});
    return "\r\nOK\r\n";
  };
  FakeView view;
  TLink link(view, std::make_unique<ScriptedPhone>(shared));
  TPageState pages;
  link.SetClock(TClock(0.05));
  link.Port().SetPort("/scripted");
  pages.PcFolder = dir.path();
  pages.FolderAsked = true;
  TMidletPage page(link, pages);
  // The listing cannot be read, but the PC list was built before it.
  EXPECT_THROW(page.LocalAppDL_RefreshPage(), std::invalid_argument);
  ASSERT_EQ(page.PcSuites.Count(), 1u);
  view.selection[TListId::PcSuites] = {0};
  EXPECT_THROW(page.LAD_ONE_ButtonClick(), std::invalid_argument);
  EXPECT_EQ(view.actionDisableCount, 1);
  EXPECT_TRUE(view.actionButtonsEnabled);
  {
    std::lock_guard<std::mutex> lock(shared->mu);
    auto jar = std::find(shared->lines.begin(), shared->lines.end(), "AT*FUPL=\"alpha.jar\",3,4,1");
    EXPECT_NE(jar, shared->lines.end());
  }
}

}  // namespace
