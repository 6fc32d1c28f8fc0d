// Names are data: files and suites whose names hold the phone's reply words,
// brackets and digits go through every operation against the virtual phone,
// and names that cannot travel in a command line are refused unsent.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "content/UiTextDecoder.h"
#include "content/MidletPage.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"

namespace fs = std::filesystem;

namespace {

class Names : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.link->SetClock(TClock(0.02));
    setenv("HOME", rig.dir.path().c_str(), 1);
    fs::create_directories(Pc(""));
    fs::create_directories(rig.dir.File("back"));
    rig.pages.PcFolder = Pc("");
    rig.pages.FolderAsked = true;
    rig.Connect();
  }

  std::string Pc(const std::string& name) const { return rig.dir.File("pc/" + name); }
  std::string Phone(const std::string& name) const { return rig.dir.File("phone/" + name); }
  bool Sent(const std::string& prefix) const {
    auto lines = rig.sim->ReceivedLines();
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }
  std::vector<std::string> Listed() {
    ListPhoneFolder(*rig.link, rig.pages);
    std::vector<std::string> names;
    for (pic_info* e = rig.pages.PhoneFileList.First(); e; e = e->next.get()) names.push_back(e->Name);
    return names;
  }

  SimLink rig;
};

// Every file operation, each name: bytes on both sides, the listing, no message.
TEST_F(Names, FilesWithReplyWordsInTheirNamesGoEveryWay) {
  const std::vector<std::string> names = {"BOOK.mid", "ERROR.gif", "ERROR (2).gif", "ACK D_ERR (1) OK.gif",
                                          "OK", "(12)", "x (3) (4).gif"};
  SelectPhoneFolder(*rig.link, rig.pages, 3);
  ASSERT_EQ(rig.link->Reply().State(), rsOk);
  rig.pages.PhoneListKnown = true;  // folder 3 starts empty
  for (size_t i = 0; i < names.size(); ++i) {
    SCOPED_TRACE(names[i]);
    const std::string bytes = faults::Pattern(200 + 37 * i, static_cast<int>(i));  // several packets
    rig.dir.Write("pc/" + names[i], bytes);
    UploadFile(*rig.link, rig.pages, rig.pages.PcFolder, names[i], 3);
    ASSERT_EQ(rig.link->Reply().State(), rsOk);
    EXPECT_EQ(faults::ReadAll(Phone("3/" + names[i])), bytes);
  }
  std::vector<std::string> listed = Listed();
  std::vector<std::string> sorted = names;
  std::sort(sorted.begin(), sorted.end());
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, sorted);

  rig.pages.PcFolder = rig.dir.File("back");
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    DownloadFile(*rig.link, rig.pages.PcFolder, name, static_cast<int>(faults::ReadAll(Phone("3/" + name)).size()));
    ASSERT_EQ(rig.link->Reply().State(), rsOk);
    EXPECT_EQ(faults::ReadAll(rig.dir.File("back/" + name)), faults::ReadAll(Phone("3/" + name)));
    RemovePhoneFile(*rig.link, name);
    ASSERT_EQ(rig.link->Reply().State(), rsOk);
    EXPECT_FALSE(faults::Exists(Phone("3/" + name)));
  }
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{});
}

TEST_F(Names, SuiteNamedWithReplyWordsInstallsAndUninstalls) {
  TMidletPage page{*rig.link, rig.pages};
  const std::string jar = faults::Pattern(400);
  const std::string suite = "TOKYO ERROR (2) OK";
  rig.dir.Write("pc/ERROR (2).jad", "MIDlet-Name: " + suite +
                                        "\r\nMIDlet-Version: 1.0\r\nMIDlet-Vendor: ACK D_ERR\r\nMIDlet-Jar-URL: "
                                        "ERROR (2).jar\r\nMIDlet-Jar-Size: " +
                                        std::to_string(jar.size()) + "\r\n");
  rig.dir.Write("pc/ERROR (2).jar", jar);
  page.LocalAppDL_RefreshPage();
  rig.view.selection[TListId::PcSuites] = {0};
  page.LAD_ONE_ButtonClick();
  EXPECT_EQ(faults::ReadAll(Phone("4/" + suite + "/ERROR (2).jar")), jar);
  ASSERT_EQ(rig.view.lists[TListId::PhoneSuites].size(), 1u);
  EXPECT_EQ(rig.view.lists[TListId::PhoneSuites][0][0], suite);
  EXPECT_EQ(rig.view.lists[TListId::PcSuites][0][3], "[V]");

  rig.view.selection[TListId::PhoneSuites] = {0};
  page.LocalAppDL_REMOVE_ButtonClick();
  EXPECT_FALSE(faults::Exists(Phone("4/" + suite)));
  EXPECT_TRUE(rig.view.lists[TListId::PhoneSuites].empty());
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{});
}

// Quotation marks and line ends would end the name or the line early.
TEST_F(Names, UnsafeNamesAreRefusedWithNothingSent) {
  SelectPhoneFolder(*rig.link, rig.pages, 3);
  rig.pages.PhoneListKnown = true;  // folder 3 starts empty
  rig.sim->ClearReceived();
  const std::string quoted = "say \"hi\".gif";
  rig.dir.Write("pc/" + quoted, "abc");
  UploadFile(*rig.link, rig.pages, rig.pages.PcFolder, quoted, 3);
  RemovePhoneFile(*rig.link, "a\r\nAT*FRMV=\"b.gif\"");
  DownloadFile(*rig.link, rig.pages.PcFolder, std::string("nul\0.gif", 8), 3);
  // A phone that edits its command line would act on these.
  for (const char* name : {"back\bspace.gif", "esc\x1b[2J.gif", "del\x7f.gif", "tab\t.gif"}) {
    rig.dir.Write(std::string("pc/") + name, "abc");
    UploadFile(*rig.link, rig.pages, rig.pages.PcFolder, name, 3);
    RemovePhoneFile(*rig.link, name);
    DownloadFile(*rig.link, rig.pages.PcFolder, name, 3);
  }
  std::vector<std::string> refused = {"Invalid file name: " + quoted, "Invalid file name: a\r\nAT*FRMV=\"b.gif\"",
                                      "Invalid file name: " + std::string("nul\0.gif", 8)};
  for (const char* name : {"back\bspace.gif", "esc\x1b[2J.gif", "del\x7f.gif", "tab\t.gif"})
    refused.insert(refused.end(), 3, std::string("Invalid file name: ") + name);
  EXPECT_EQ(rig.view.messages, refused);
  Mobile_info escaped;
  escaped.name = "Game\x1b[1m";
  rig.view.messages.clear();
  EXPECT_EQ((TMidletPage{*rig.link, rig.pages}.UninstallSuite(escaped).outcome), TOutcome::Failed);
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"Invalid file name: " + escaped.name});
  rig.view.messages.clear();

  TMidletPage page{*rig.link, rig.pages};
  rig.dir.Write("pc/q\"uote.jad", "MIDlet-Name: Q\r\nMIDlet-Version: 1\r\nMIDlet-Vendor: V\r\nMIDlet-Jar-URL: q.jar\r\nMIDlet-Jar-Size: 3\r\n");
  rig.dir.Write("pc/q\"uote.jar", "JJJ");
  page.LocalAppDL_RefreshPage();
  rig.sim->ClearReceived();
  rig.view.selection[TListId::PcSuites] = {0};
  page.LAD_ONE_ButtonClick();

  EXPECT_FALSE(Sent("AT*FUPL")) << "an upload or install went out";
  EXPECT_FALSE(Sent("AT*FRMV"));
  EXPECT_FALSE(Sent("AT*FDWN"));
  EXPECT_EQ(rig.view.messages, std::vector<std::string>{"Invalid file name: q\"uote.jad"});
}

// A name put into a text stays as it is when it is UTF-8; any other bytes
// come out one character each, never as a broken sequence.
TEST(NameText, Utf8StaysOtherBytesAreLatin1) {
  const struct {
    std::string bytes, shown;
  } cases[] = {
      {"plain.gif", "plain.gif"},
      {"\xe9\x88\xb4\xe8\x81\xb2.mid", "\xe9\x88\xb4\xe8\x81\xb2.mid"},  // UTF-8 kept
      {"\xa4\xe9.mid", "\xc2\xa4\xc3\xa9.mid"},                              // Big5 bytes
      {"cut\xe9\x88", "cut\xc3\xa9\xc2\x88"},                                // sequence cut at the end
      {"\xc0\xafx", "\xc3\x80\xc2\xafx"},                                    // overlong '/'
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},                        // a surrogate
      {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},          // past U+10FFFF
  };
  for (const auto& c : cases) EXPECT_EQ(NameUtf8(c.bytes), c.shown) << c.bytes;
}

}  // namespace
