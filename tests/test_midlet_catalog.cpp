// The PC suite list: the folder scan, the status against the phone's
// suites, and removal of a suite's two files.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/FakeView.h"
#include "support/ZipFile.h"
#include "content/MidletPage.h"
#include "content/SuiteArchive.h"
#include "content/SuiteManifest.h"

namespace fs = std::filesystem;

namespace {

std::string Descriptor(const std::string& name, const std::string& version, const std::string& size,
                       const std::string& eol = "\n") {
  return "MIDlet-Jar-Size: " + size + eol + "MIDlet-Name: " + name + eol + "MIDlet-Version: " + version + eol +
         "MIDlet-Vendor: Quendrel Test" + eol + "MIDlet-Jar-URL: " + name + ".jar" + eol;
}

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/midlet-catalog-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir = tmpl;
    pages.PcFolder = dir;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(dir + "/" + name, std::ios::binary) << bytes;
  }
  // The .jad names in the order the directory yields them.
  std::vector<std::string> JadOrder() {
    std::vector<std::string> names;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = readdir(d)) {
      std::string n = e->d_name;
      if (n.size() >= 4 && n.compare(n.size() - 4, 4, ".jad") == 0) names.push_back(n);
    }
    closedir(d);
    return names;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (MIDlet_Info* p = page.PcSuites.First(); p; p = p->next.get()) out.push_back(p->name);
    return out;
  }
  void AddPhone(const std::string& name, const std::string& version) {
    Mobile_info* m = page.PhoneSuites.Append();
    m->name = name;
    m->version = version;
  }

  std::string dir;
  FakeView view;
  TLink link{view};
  TPageState pages;
  TMidletPage page{link, pages};
};

TEST_F(CatalogTest, OnlyExactLowerCaseJadNamesAreRead) {
  Write("good.jad", Descriptor("Good", "1.0", "10"));
  Write("UPPER.JAD", Descriptor("Upper", "1.0", "10"));
  Write("Mixed.Jad", Descriptor("Mixed", "1.0", "10"));
  Write("backup.jad.bak", Descriptor("Backup", "1.0", "10"));
  Write("nojad", Descriptor("NoDot", "1.0", "10"));
  Write("good.jar", "PK");
  page.LocalAppDL_ViewPcOperation();
  EXPECT_EQ(Names(), std::vector<std::string>{"Good"});
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(CatalogTest, EmptyFolderGivesEmptyListAndNoMessage) {
  page.LocalAppDL_ViewPcOperation();
  EXPECT_TRUE(page.PcSuites.Empty());
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(CatalogTest, FolderThatCannotBeOpened) {
  pages.PcFolder = dir + "/missing";
  page.LocalAppDL_ViewPcOperation();
  EXPECT_TRUE(page.PcSuites.Empty());
  EXPECT_EQ(view.messages, std::vector<std::string>{"Unable to open directory"});
}

TEST_F(CatalogTest, TwoBadAmongFiveGoodKeepsTheGoodInDirectoryOrder) {
  for (int i = 1; i <= 5; ++i) Write("s" + std::to_string(i) + ".jad", Descriptor("Suite" + std::to_string(i), "1.0", "5"));
  // No vendor line; no size line.
  Write("novendor.jad", "MIDlet-Jar-Size: 5\nMIDlet-Name: X\nMIDlet-Version: 1\nMIDlet-Jar-URL: x.jar\n");
  Write("nosize.jad", "MIDlet-Name: Y\nMIDlet-Version: 1\n");
  page.LocalAppDL_ViewPcOperation();

  std::vector<std::string> expectedNames, expectedMessages;
  for (const std::string& n : JadOrder()) {
    if (n == "novendor.jad")
      expectedMessages.push_back(dir + "/novendor.jad lost <MIDlet-Vendor>");
    else if (n == "nosize.jad")
      expectedMessages.push_back(dir + "/nosize.jad lost <MIDlet-Jar-Size>");
    else
      expectedNames.push_back("Suite" + n.substr(1, 1));
  }
  EXPECT_EQ(Names(), expectedNames);
  EXPECT_EQ(view.messages, expectedMessages);
  EXPECT_EQ(page.PcSuites.Count(), 5u);
}

TEST_F(CatalogTest, FirstMissingAttributeIsNamed) {
  const char* lines[] = {"MIDlet-Jar-Size: 5\n", "MIDlet-Name: N\n", "MIDlet-Version: 1\n", "MIDlet-Vendor: V\n",
                         "MIDlet-Jar-URL: n.jar\n"};
  const char* names[] = {"MIDlet-Jar-Size", "MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor", "MIDlet-Jar-URL"};
  for (int missing = 0; missing < 5; ++missing) {
    SCOPED_TRACE(names[missing]);
    view.messages.clear();
    // Lines written in reverse order: the check order, not the line order, decides.
    std::string text;
    for (int i = 4; i >= 0; --i)
      if (i != missing && i != missing + 1) text += lines[i];
    Write("one.jad", text);
    page.LocalAppDL_ViewPcOperation();
    EXPECT_TRUE(page.PcSuites.Empty());
    EXPECT_EQ(view.messages, std::vector<std::string>{dir + "/one.jad lost <" + names[missing] + ">"});
  }
}

TEST_F(CatalogTest, RecordFieldsFromDescriptor) {
  struct Case {
    const char* label;
    std::string text;
    std::string name, version;
    int32_t size;
  } cases[] = {
      {"LF", Descriptor("Game", "1.2", "4321"), "Game", "1.2", 4321},
      {"CR LF", Descriptor("Game", "1.2", "4321", "\r\n"), "Game", "1.2", 4321},
      {"no final line end", "MIDlet-Name: Game\nMIDlet-Version: 1.2\nMIDlet-Vendor: V\nMIDlet-Jar-URL: u\nMIDlet-Jar-Size: 77",
       "Game", "1.2", 77},
      {"size abc", Descriptor("Game", "1.2", "abc"), "Game", "1.2", 0},
      {"empty values count", "MIDlet-Jar-Size:\nMIDlet-Name:\nMIDlet-Version:\nMIDlet-Vendor:\nMIDlet-Jar-URL:\n", "", "",
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    Write("game.jad", c.text);
    page.LocalAppDL_ViewPcOperation();
    ASSERT_EQ(page.PcSuites.Count(), 1u);
    const MIDlet_Info* p = page.PcSuites.First();
    EXPECT_EQ(p->name, c.name);
    EXPECT_EQ(p->version, c.version);
    EXPECT_EQ(p->jarSize, c.size);
    EXPECT_EQ(p->status, 0);
    EXPECT_EQ(p->jadPath, dir + "/game.jad");
    // No archive exists, and the Jar-URL is not used for its path.
    EXPECT_EQ(p->jarPath, dir + "/game.jar");
    EXPECT_TRUE(view.messages.empty());
  }
}

TEST_F(CatalogTest, WrongCaseKeyAndByteOrderMarkReportTheAttribute) {
  Write("case.jad", "midlet-name: Game\nMIDlet-Jar-Size: 1\nMIDlet-Version: 1\nMIDlet-Vendor: V\nMIDlet-Jar-URL: u\n");
  page.LocalAppDL_ViewPcOperation();
  EXPECT_EQ(view.messages, std::vector<std::string>{dir + "/case.jad lost <MIDlet-Name>"});
  fs::remove(dir + "/case.jad");
  view.messages.clear();
  Write("bom.jad", "\xEF\xBB\xBF" + Descriptor("Game", "1.0", "3"));
  page.LocalAppDL_ViewPcOperation();
  EXPECT_EQ(view.messages, std::vector<std::string>{dir + "/bom.jad lost <MIDlet-Jar-Size>"});
  EXPECT_TRUE(page.PcSuites.Empty());
}

TEST_F(CatalogTest, UnreadableDescriptorIsSkippedWithMessage) {
  Write("a.jad", Descriptor("A", "1", "1"));
  // A dangling link cannot be opened, whoever runs the test.
  ASSERT_EQ(symlink((dir + "/nowhere").c_str(), (dir + "/broken.jad").c_str()), 0);
  page.LocalAppDL_ViewPcOperation();
  EXPECT_EQ(Names(), std::vector<std::string>{"A"});
  EXPECT_EQ(view.messages, std::vector<std::string>{"File Open Error"});
}

TEST_F(CatalogTest, StatusAgainstPhoneSuites) {
  struct Phone {
    const char* name;
    const char* version;
  };
  struct Case {
    const char* label;
    const char* pcName;
    const char* pcVersion;
    std::vector<Phone> phone;
    int status;
  } cases[] = {
      {"empty phone list", "Game", "1.0", {}, 0},
      {"same version", "Game", "1.0", {{"Game", "1.0.0"}}, 1},
      {"phone older", "Game", "1.10", {{"Game", "1.9"}}, 2},
      {"phone newer", "Game", "1.9", {{"Game", "1.10"}}, 3},
      {"phone name begins the PC name", "GameDeluxe", "2.0", {{"Game", "2.0"}}, 0},
      {"a sequel is no update", "Snake Run 2", "1.0", {{"Snake Run", "0.9"}}, 0},
      {"PC name is a prefix only", "Game", "1.0", {{"GameDeluxe", "1.0"}}, 0},
      {"case matters", "game", "1.0", {{"Game", "1.0"}}, 0},
      {"empty phone name matches nothing", "Anything", "1.0", {{"", "0.5"}}, 0},
      {"the whole name is found", "GameDeluxe", "2.0", {{"Other", "9"}, {"Game", "1.0"}, {"GameDeluxe", "2.0"}}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    page.PcSuites.Clear();
    page.PhoneSuites.Clear();
    view.lists.clear();
    MIDlet_Info* p = page.PcSuites.Append();
    p->name = c.pcName;
    p->version = c.pcVersion;
    p->jarSize = 321;
    p->status = 9;  // stale status from an earlier refresh
    for (const Phone& q : c.phone) AddPhone(q.name, q.version);
    page.LocalAppDL_CompareVersions();
    EXPECT_EQ(p->status, c.status);
    ASSERT_EQ(view.lists[TListId::PcSuites].size(), 1u);
    EXPECT_EQ(view.lists[TListId::PcSuites][0],
              (std::vector<std::string>{c.pcName, c.pcVersion, "321", StatusMark(c.status)}));
  }
}

TEST_F(CatalogTest, EveryRowUnmarkedWithEmptyPhoneList) {
  for (int i = 0; i < 4; ++i) Write("g" + std::to_string(i) + ".jad", Descriptor("G" + std::to_string(i), "1.0", "9"));
  page.LocalAppDL_ViewPcOperation();
  page.LocalAppDL_CompareVersions();
  const auto& rows = view.lists[TListId::PcSuites];
  ASSERT_EQ(rows.size(), 4u);
  std::vector<std::string> names = Names();
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], names[i]);  // row i is record i
    EXPECT_EQ(rows[i][3], "[_]");
  }
}

TEST_F(CatalogTest, RemoveWithoutSelection) {
  Write("a.jad", Descriptor("A", "1", "1"));
  page.LocalAppDL_ViewPcOperation();
  page.LAD_PC_Remove_ButtonClick();
  EXPECT_EQ(view.messages, std::vector<std::string>{"No MIDlet on PC be selected"});
  EXPECT_TRUE(fs::exists(dir + "/a.jad"));
}

TEST_F(CatalogTest, RemoveJadFailureLeavesArchiveAndDoesNotRefresh) {
  Write("x.jad", Descriptor("X", "1", "2"));
  Write("x.jar", "PK");
  page.LocalAppDL_ViewPcOperation();
  ASSERT_EQ(page.PcSuites.Count(), 1u);
  // Permissions do not stop root, so the descriptor becomes a non-empty
  // directory, which no file deletion removes.
  fs::remove(dir + "/x.jad");
  fs::create_directory(dir + "/x.jad");
  Write("x.jad/keep", "k");
  view.selection[TListId::PcSuites] = {0};
  pages.FolderAsked = false;  // a refresh would show the chooser
  page.LAD_PC_Remove_ButtonClick();
  EXPECT_EQ(view.messages, std::vector<std::string>{"Remove JAD ERR"});
  EXPECT_TRUE(fs::exists(dir + "/x.jar"));
  EXPECT_TRUE(view.folderCaptions.empty());
}

TEST_F(CatalogTest, RemoveWithTheArchiveAlreadyGoneRefreshes) {
  Write("x.jad", Descriptor("X", "1", "2"));  // no archive at all
  page.LocalAppDL_ViewPcOperation();
  view.selection[TListId::PcSuites] = {0};
  pages.FolderAsked = false;
  page.LAD_PC_Remove_ButtonClick();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(fs::exists(dir + "/x.jad"));
  EXPECT_EQ(view.folderCaptions, std::vector<std::string>{"MIDlet Folder"});
}

TEST_F(CatalogTest, PipesAndFoldersNamedJadAreSkipped) {
  Write("a.jad", Descriptor("A", "1", "1"));
  ASSERT_EQ(mkfifo((dir + "/pipe.jad").c_str(), 0600), 0);
  fs::create_directory(dir + "/folder.jad");
  alarm(20);  // a scan stuck in the pipe's open ends the run instead of hanging it
  page.LocalAppDL_ViewPcOperation();
  alarm(0);
  EXPECT_EQ(Names(), std::vector<std::string>{"A"});
  EXPECT_TRUE(view.messages.empty());
}

TEST_F(CatalogTest, RemoveBothFilesThenRefresh) {
  Write("a.jad", Descriptor("A", "1", "2"));
  Write("b.jad", Descriptor("B", "1", "2"));
  Write("b.jar", "PK");
  page.LocalAppDL_ViewPcOperation();
  // Select the row of B, wherever the directory put it.
  std::vector<std::string> names = Names();
  int row = names[0] == "B" ? 0 : 1;
  view.selection[TListId::PcSuites] = {row};
  pages.FolderAsked = false;  // the refresh asks; the cancelled chooser ends it at the logo
  page.LAD_PC_Remove_ButtonClick();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_FALSE(fs::exists(dir + "/b.jad"));
  EXPECT_FALSE(fs::exists(dir + "/b.jar"));
  EXPECT_EQ(view.trashed.size(), 2u);  // to the trash, not deleted
  EXPECT_TRUE(fs::exists(dir + "/a.jad"));
  EXPECT_EQ(view.folderCaptions, std::vector<std::string>{"MIDlet Folder"});
  EXPECT_EQ(view.page, TPage::Logo);
}

TEST(SuiteManifest, MainSectionWithEveryLineEnd) {
  using A = suite::TAttributes;
  struct Case {
    const char* what;
    std::string text;
    A attributes;
  };
  const Case cases[] = {
      {"CR LF", "A: 1\r\nB: 2\r\n", A{{"A", "1"}, {"B", "2"}}},
      {"LF", "A: 1\nB: 2\n", A{{"A", "1"}, {"B", "2"}}},
      {"CR alone", "A: 1\rB: 2\r", A{{"A", "1"}, {"B", "2"}}},
      {"no end on the last line", "A: 1\nB: 2", A{{"A", "1"}, {"B", "2"}}},
      {"continuation drops one space", "A: abc\r\n def\r\n  ghi\nB: 2\n", A{{"A", "abcdef ghi"}, {"B", "2"}}},
      {"continued name", "MIDlet-V\n endor: X\n", A{{"MIDlet-Vendor", "X"}}},
      {"main section ends at an empty line", "A: 1\r\n\r\nName: x.class\r\nB: 2\r\n", A{{"A", "1"}}},
      {"line without a colon passed over", "junk\nA: 1\n", A{{"A", "1"}}},
      {"byte order mark", "\xEF\xBB\xBF" "A: 1\n", A{{"A", "1"}}},
      {"value with colons", "MIDlet-1: Game, /i.png, a.Main\n", A{{"MIDlet-1", "Game, /i.png, a.Main"}}},
      {"empty", "", A{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(suite::ParseManifest(c.text), c.attributes);
  }
}

TEST_F(CatalogTest, ArchivesWithoutDescriptorListedFromTheirManifest) {
  const std::string good = "Manifest-Version: 1.0\r\nMIDlet-Name: Zip\r\n Game\nMIDlet-Version: 1.2\r\nMIDlet-Vendor: Q\n";
  ASSERT_TRUE(WriteZip(dir + "/zip.jar", {{"META-INF/MANIFEST.MF", good}}));
  ASSERT_TRUE(WriteZip(dir + "/novendor.jar", {{"META-INF/MANIFEST.MF", "MIDlet-Name: N\nMIDlet-Version: 1\n"}}));
  ASSERT_TRUE(WriteZip(dir + "/nomanifest.jar", {{"readme.txt", "hello"}}));
  ASSERT_TRUE(WriteZip(dir + "/huge.jar", {{"META-INF/MANIFEST.MF", good + std::string(suite::kManifestCap, 'x')}}));
  ASSERT_TRUE(WriteZip(dir + "/paired.jar", {{"META-INF/MANIFEST.MF", good}}));
  Write("paired.jad", Descriptor("Paired", "3.0", "1"));
  std::ifstream in(dir + "/zip.jar", std::ios::binary);
  const std::string zipBytes((std::istreambuf_iterator<char>(in)), {});
  Write("cut.jar", zipBytes.substr(0, zipBytes.size() / 2));
  Write("junk.jar", std::string(500, '\x42'));

  page.LocalAppDL_ViewPcOperation();
  std::vector<std::string> names = Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Paired", "ZipGame"}));
  for (MIDlet_Info* p = page.PcSuites.First(); p; p = p->next.get()) {
    if (p->name != "ZipGame") continue;
    EXPECT_EQ(p->version, "1.2");
    EXPECT_EQ(p->jarSize, static_cast<int32_t>(zipBytes.size()));
    EXPECT_EQ(p->jarPath, dir + "/zip.jar");
    EXPECT_EQ(p->jadPath, dir + "/zip.jad");
    EXPECT_FALSE(fs::exists(p->jadPath));
  }
  struct Message {
    const char* file;
    const char* text;  // what follows the archive's path
  };
  const Message expected[] = {
      {"novendor.jar", " lost <MIDlet-Vendor>"},
      {"nomanifest.jar", ": no META-INF/MANIFEST.MF in the archive"},
      {"huge.jar", ": META-INF/MANIFEST.MF is larger than 1048576 bytes"},
      {"cut.jar", ": not a readable archive ("},
      {"junk.jar", ": not a readable archive ("},
  };
  EXPECT_EQ(view.messages.size(), std::size(expected));
  for (const Message& m : expected) {
    const std::string start = dir + "/" + m.file + m.text;
    EXPECT_TRUE(std::any_of(view.messages.begin(), view.messages.end(),
                            [&](const std::string& t) { return t.rfind(start, 0) == 0; }))
        << start;
  }
}

}  // namespace
