// Folder listing parser: well-formed listings, the quirks the phone's format
// forces on names and sizes, and malformed text; then the folder commands
// against a phone.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "link/Transfers.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"

namespace {

struct ListingCase {
  const char* label;
  std::string text;
  TListingOutcome outcome;
  std::vector<std::pair<std::string, int32_t>> entries;
};

void PrintTo(const ListingCase& c, std::ostream* os) { *os << c.label; }

std::vector<std::pair<std::string, int32_t>> Flatten(const TListingResult& r) {
  std::vector<std::pair<std::string, int32_t>> out;
  for (const auto& e : r.entries) out.emplace_back(e.name, e.size);
  return out;
}

class ListingTable : public ::testing::TestWithParam<ListingCase> {};

TEST_P(ListingTable, Parses) {
  const ListingCase& c = GetParam();
  TListingResult r = ParseListing(c.text);
  EXPECT_EQ(r.outcome, c.outcome) << c.label;
  EXPECT_EQ(Flatten(r), c.entries) << c.label;
}

const ListingCase kCases[] = {
    {"two files", "AT*FLIST?\r\n\r\n<F> sun.gif (1234)\r\n<F> moon.gif (88)\r\n\r\nOK\r\n",
     TListingOutcome::Ok, {{"sun.gif", 1234}, {"moon.gif", 88}}},
    {"folders are skipped", "\r\n<D> sub\r\n<F> a.mid (5)\r\n<D> other\r\n\r\nOK\r\n",
     TListingOutcome::Ok, {{"a.mid", 5}}},
    {"only folders", "\r\n<D> sub\r\n<D> more\r\n\r\nOK\r\n", TListingOutcome::NoFiles, {}},
    {"OK alone", "\r\nOK\r\n", TListingOutcome::NoFiles, {}},
    {"echo and OK", "AT*FLIST?\r\n\r\nOK\r\n", TListingOutcome::NoFiles, {}},
    {"spaces inside the name", "<F> my song 2.mid (77)\r\nOK", TListingOutcome::Ok, {{"my song 2.mid", 77}}},
    {"many blanks after the mark", "<F>     x.gif (3)\r\nOK", TListingOutcome::Ok, {{"x.gif", 3}}},
    {"name against the parenthesis loses a character", "<F> tight.gif(42)\r\nOK",
     TListingOutcome::Ok, {{"tight.gi", 42}}},
    {"text up to the bracket belongs to the mark", "<F:ro> r.gif (9)\r\nOK", TListingOutcome::Ok, {{"r.gif", 9}}},
    {"brackets and result words inside a name", "<F> ERROR (2) OK.gif (17)\r\n<F> x(1) (2)\r\nOK",
     TListingOutcome::Ok, {{"ERROR (2) OK.gif", 17}, {"x(1)", 2}}},
    {"size not a number", "<F> a.gif (12k)\r\nOK", TListingOutcome::Ok, {{"a.gif", kUnreadableSize}}},
    {"size empty", "<F> a.gif ()\r\nOK", TListingOutcome::Ok, {{"a.gif", kUnreadableSize}}},
    {"size with a blank", "<F> a.gif ( 12)\r\nOK", TListingOutcome::Ok, {{"a.gif", kUnreadableSize}}},
    {"size negative", "<F> a.gif (-5)\r\nOK", TListingOutcome::Ok, {{"a.gif", kUnreadableSize}}},
    {"size with a plus", "<F> a.gif (+5)\r\nOK", TListingOutcome::Ok, {{"a.gif", kUnreadableSize}}},
    {"size past 32 bits", "<F> a.gif (4294967296)\r\nOK", TListingOutcome::Ok, {{"a.gif", kUnreadableSize}}},
    {"size zero", "<F> a.gif (0)\r\nOK", TListingOutcome::Ok, {{"a.gif", 0}}},
    {"largest size", "<F> a.gif (2147483647)\r\nOK", TListingOutcome::Ok, {{"a.gif", 2147483647}}},
    {"unknown marks are stepped over", "<X> what (1)\r\n<F> b.gif (2)\r\n<?\r\nOK",
     TListingOutcome::Ok, {{"b.gif", 2}}},
    {"no closing bracket", "<F sun.gif (1)\r\nOK", TListingOutcome::ParseError, {}},
    {"no opening parenthesis", "<F> sun.gif 1)\r\nOK", TListingOutcome::ParseError, {}},
    {"no closing parenthesis", "<F> sun.gif (1\r\nOK", TListingOutcome::ParseError, {}},
    {"error keeps the entries before it", "<F> a.gif (1)\r\n<F> b.gif (2\r\nOK",
     TListingOutcome::ParseError, {{"a.gif", 1}}},
    {"lone < at the end", "<", TListingOutcome::Ok, {}},
    {"lone <F at the end", "<F", TListingOutcome::ParseError, {}},
    {"empty text", "", TListingOutcome::Ok, {}},
};

INSTANTIATE_TEST_SUITE_P(Listing, ListingTable, ::testing::ValuesIn(kCases));

// Random text built from the characters the parser cares about must never
// crash or read outside the text; entries always come from the text.
TEST(ListingFuzz, RandomTextNeverBreaksTheParser) {
  std::mt19937 rng(12345);
  const std::string alphabet = "<>() FDX0123456789ab\r\n";
  for (int round = 0; round < 20000; ++round) {
    std::string text;
    size_t len = rng() % 40;
    for (size_t i = 0; i < len; ++i) text += alphabet[rng() % alphabet.size()];
    TListingResult r = ParseListing(text);
    for (const auto& e : r.entries) {
      EXPECT_NE(text.find(e.name), std::string::npos) << text;
      EXPECT_GE(e.size, kUnreadableSize);
    }
    if (r.outcome == TListingOutcome::NoFiles) {
      EXPECT_TRUE(r.entries.empty());
    }
  }
}

}  // namespace

// ---- The folder commands against a phone ----

namespace {

namespace fs = std::filesystem;

using Rows = std::vector<std::vector<std::string>>;

std::vector<std::pair<std::string, int32_t>> PhoneList(const TPageState& pages) {
  std::vector<std::pair<std::string, int32_t>> out;
  for (pic_info* e = pages.PhoneFileList.First(); e; e = e->next.get()) out.emplace_back(e->Name, e->Size);
  return out;
}

struct ScriptCase {
  const char* label;
  std::string listing;
  std::vector<std::string> messages;
  std::vector<std::pair<std::string, int32_t>> list;
  Rows rows;
};

void PrintTo(const ScriptCase& c, std::ostream* os) { *os << c.label; }

class ListingOverPty : public ::testing::TestWithParam<ScriptCase> {};

TEST_P(ListingOverPty, FillsListAndRows) {
  const ScriptCase& c = GetParam();
  TempDir dir;
  IsolateSettings(dir);
  faults::ScriptPhone phone(
      [&](const std::string& line) {
        return std::vector<std::string>{line == "AT*FLIST?" ? c.listing : std::string("\r\nOK\r\n")};
      },
      0);
  ASSERT_FALSE(phone.Path().empty());
  FakeView view;
  TLink link(view);
  TPageState pages;
  link.Port().SetPort(phone.Path());
  link.Port().SetEvents(0);
  link.Port().Open();
  link.Open();
  pages.PhoneFileList.Append()->Name = "stale entry";
  ListPhoneFolder(link, pages);
  EXPECT_EQ(view.messages, c.messages);
  EXPECT_EQ(PhoneList(pages), c.list);
  EXPECT_EQ(view.lists[TListId::PhoneFiles], c.rows);
  EXPECT_FALSE(view.statusVisible);
  std::vector<std::string> status = {"Get Mobile Info...", "Parse Mobile Info..."};
  EXPECT_EQ(view.statusTexts, status);
}

INSTANTIATE_TEST_SUITE_P(
    Listing, ListingOverPty,
    ::testing::Values(
        ScriptCase{"name against the parenthesis and a size that is no number",
                   "\r\n<F> tight.gif(42)\r\n<F> x.gif (k)\r\n<F> m.gif (-5)\r\n\r\nOK\r\n",
                   {},
                   {{"tight.gi", 42}, {"x.gif", kUnreadableSize}, {"m.gif", kUnreadableSize}},
                   {{"tight.gi", "42"}, {"x.gif", "(k)"}, {"m.gif", "(-5)"}}},
        ScriptCase{"parse error keeps the entries before it and no rows",
                   "\r\n<F> a.gif (1)\r\n<F> b.gif (2\r\n\r\nOK\r\n",
                   {"ParseError"},
                   {{"a.gif", 1}},
                   {}},
        ScriptCase{"OK alone", "\r\nOK\r\n", {"No Files on Mobile"}, {}, {}},
        ScriptCase{"a size past 32 bits shows the phone's text, unreadable",
                   "\r\n<F> big.bin (5000000000)\r\n<F> z.gif (007)\r\n\r\nOK\r\n",
                   {},
                   {{"big.bin", kUnreadableSize}, {"z.gif", 7}},
                   {{"big.bin", "(5000000000)"}, {"z.gif", "7"}}}));

class FolderCommands : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.link->SetClock(TClock(0.02));
    rig_.Connect();
  }
  void SetOptions(const std::function<void(phonesim::Options&)>& change) {
    phonesim::Options o = rig_.PhoneOptions();
    change(o);
    rig_.SetPhoneOptions(o);
  }
  SimLink rig_{{}, SimLink::Line::Memory};
};

TEST_F(FolderCommands, FoldersOnlyMeansNoFiles) {
  fs::create_directories(rig_.dir.File("phone/2/sub"));
  SelectPhoneFolder(*rig_.link, rig_.pages, 2);
  ASSERT_EQ(rig_.link->Reply().State(), rsOk);
  ListPhoneFolder(*rig_.link, rig_.pages);
  std::vector<std::string> msgs = {"No Files on Mobile"};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_TRUE(rig_.pages.PhoneFileList.Empty());
  EXPECT_TRUE(rig_.view.lists[TListId::PhoneFiles].empty());
}

TEST_F(FolderCommands, NamesWithSpacesAreListedWhole) {
  rig_.dir.Write("phone/1/my song.mid", "12345");
  rig_.dir.Write("phone/1/b.gif", "");
  fs::create_directories(rig_.dir.File("phone/1/sub dir"));
  SelectPhoneFolder(*rig_.link, rig_.pages, 1);
  ListPhoneFolder(*rig_.link, rig_.pages);
  EXPECT_TRUE(rig_.view.messages.empty());
  Rows rows = {{"b.gif", "0"}, {"my song.mid", "5"}};
  EXPECT_EQ(rig_.view.lists[TListId::PhoneFiles], rows);
  std::vector<std::string> lines = {"AT*FLIST=1", "AT*FLIST?"};
  EXPECT_EQ(rig_.PhoneLines(), lines);
}

TEST_F(FolderCommands, RemoveDeletesOnThePhone) {
  rig_.dir.Write("phone/3/a.gif", "x");
  SelectPhoneFolder(*rig_.link, rig_.pages, 3);
  RemovePhoneFile(*rig_.link, "a.gif");
  EXPECT_EQ(rig_.link->Reply().State(), rsOk);
  EXPECT_FALSE(fs::exists(rig_.dir.File("phone/3/a.gif")));
  EXPECT_EQ(rig_.PhoneLines().back(), "AT*FRMV=\"a.gif\"");
  EXPECT_EQ(rig_.view.statusTexts.back(), "Remove a.gif");
  EXPECT_FALSE(rig_.view.statusVisible);
  EXPECT_TRUE(rig_.view.messages.empty());
}

struct FaultCase {
  const char* label;
  std::string errorPrefix, silentPrefix;
  std::function<void(TLink&, TPageState&)> run;
  std::vector<std::string> messages;
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.label; }

class FolderFaults : public FolderCommands, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FolderFaults, ShowTheirMessage) {
  const FaultCase& c = GetParam();
  SetOptions([&](phonesim::Options& o) {
    o.errorPrefix = c.errorPrefix;
    o.noEchoSilentPrefix = c.silentPrefix;
  });
  rig_.link->Reply().SetState(rsOk);
  rig_.view.page = TPage::Content;
  rig_.view.title = TTitle::Picture;
  c.run(*rig_.link, rig_.pages);
  EXPECT_EQ(rig_.view.messages, c.messages) << c.label;
  EXPECT_NE(rig_.link->Reply().State(), rsOk) << c.label;
  EXPECT_FALSE(rig_.view.statusVisible) << c.label;
  if (std::string(c.label) == "select unanswered") {
    EXPECT_EQ(rig_.view.page, TPage::Logo);
    EXPECT_EQ(rig_.view.title, TTitle::Product);
  } else {
    EXPECT_EQ(rig_.view.page, TPage::Content) << c.label;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Folder, FolderFaults,
    ::testing::Values(
        FaultCase{"select refused", "AT*FLIST=", "", [](TLink& l, TPageState& p) { SelectPhoneFolder(l, p, 3); },
                  {"Change Folder on Mobile failed"}},
        FaultCase{"select unanswered", "", "AT*FLIST=", [](TLink& l, TPageState& p) { SelectPhoneFolder(l, p, 3); },
                  {"Change Folder Timeout"}},
        FaultCase{"list refused", "AT*FLIST?", "", [](TLink& l, TPageState& p) { ListPhoneFolder(l, p); }, {"Get_List_Error"}},
        FaultCase{"remove refused", "AT*FRMV", "", [](TLink& l, TPageState&) { RemovePhoneFile(l, "a.gif"); }, {"File_Remove_ERR"}}));

TEST_F(FolderCommands, ListUnansweredTimesOut) {
  SetOptions([](phonesim::Options& o) { o.silentPrefix = "AT*FLIST?"; });
  rig_.link->SetClock(TClock(0.002));  // nothing to wait for but the time-out
  ListPhoneFolder(*rig_.link, rig_.pages);
  std::vector<std::string> msgs = {"Get_List_Timeout", "AT*FLIST?\r\n"};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_FALSE(rig_.view.statusVisible);
}

}  // namespace
