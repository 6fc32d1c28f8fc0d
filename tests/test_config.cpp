// Start-up configuration and the text table: directories, ini rules,
// start-up logs, language choice, and the byte encodings of the table.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>

#include "app/core/Config.h"
#include "app/qt/QtPlatform.h"
#include "app/qt/UiTextQt.h"
#include "content/UiText.h"
#include "link/Settings.h"

namespace fs = std::filesystem;

namespace {

// A fresh BaseDir/Program layout with the working directory in Program and
// an isolated settings store; everything goes away with the fixture.
class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(tmp_.isValid());
    root_ = tmp_.path().toStdString();
    fs::create_directories(root_ + "/Program");
    SetSettingsStoreFolder(root_ + "/store");
    oldCwd_ = fs::current_path();
    fs::current_path(root_ + "/Program");
    ResetAppConfig();
    ComputeDirectories();
  }
  void TearDown() override {
    ResetAppConfig();
    fs::current_path(oldCwd_);
  }
  void WriteIni(const std::string& content) {
    std::ofstream(root_ + "/Program/Velko.ini", std::ios::binary) << content;
  }
  void MakeLogsFolder() { fs::create_directories(root_ + "/logs"); }
  std::string LogPath(const char* name) const { return root_ + "/logs/" + name; }
  // Runs ReadIniSettings and collects the error texts.
  std::vector<std::string> ReadIni() {
    std::vector<std::string> shown;
    ReadIniSettings([&](const std::string& t) { shown.push_back(t); });
    return shown;
  }

  QTemporaryDir tmp_;
  std::string root_;
  fs::path oldCwd_;
};

}  // namespace

TEST(ComputeBaseDirTest, CutsAtLastSeparator) {
  struct Case {
    const char* cwd;
    char sep;
    const char* base;
    const char* program;
  };
  const Case cases[] = {
      {"/home/ann/Tools/Program", '/', "/home/ann/Tools", "/home/ann/Tools/Program/"},
      {"/opt/x", '/', "/opt", "/opt/Program/"},
      {"/", '/', "", "/Program/"},
      {"D:\\X\\Program", '\\', "D:\\X", "D:\\X\\Program\\"},
      {"C:\\Tools\\Program", '\\', "C:\\Tools", "C:\\Tools\\Program\\"},
      {"C:\\", '\\', "C:", "C:\\Program\\"},
      // A POSIX path under the Windows rule has no backslash to cut at.
      {"/usr/local", '\\', "/usr/local", "/usr/local\\Program\\"},
      {"C:\\a/b", '/', "C:\\a", "C:\\a/Program/"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cwd);
    std::string base = ComputeBaseDir(c.cwd, c.sep);
    EXPECT_EQ(base, c.base);
    EXPECT_EQ(ComputeProgramDir(base, c.sep), c.program);
  }
}

TEST(IniLookupTest, FirstMatchWithoutTrimming) {
  struct Case {
    std::vector<std::string> lines;
    bool found;
    const char* value;
  };
  const Case cases[] = {
      {{"debugFlag=96"}, true, "96"},
      {{"DEBUGFLAG=64"}, true, "64"},
      {{"x=1", "debugflag=7", "debugFlag=9"}, true, "7"},
      {{"debugFlag =96"}, false, ""},
      {{" debugFlag=96"}, false, ""},
      {{"debugFlag= 96"}, true, " 96"},
      {{"debugFlag=a=b"}, true, "a=b"},
      {{"debugFlag="}, true, ""},
      {{"debugFlag"}, false, ""},
      {{"debugFlagX=1", "[debugFlag]"}, false, ""},
      {{}, false, ""},
  };
  for (const Case& c : cases) {
    std::string v = "untouched";
    bool found = IniLookup(c.lines, "debugFlag", &v);
    EXPECT_EQ(found, c.found) << (c.lines.empty() ? "" : c.lines[0]);
    EXPECT_EQ(v, c.found ? c.value : "untouched");
  }
}

TEST(StrictToIntTest, WholeTextOnly) {
  struct Case {
    const char* text;
    bool ok;
    int value;
  };
  const Case cases[] = {
      {"96", true, 96},    {"-5", true, -5},   {"+7", true, 7},
      {"0", true, 0},      {"2147483647", true, 2147483647},
      {"-2147483648", true, -2147483647 - 1},
      {"2147483648", false, 0}, {"99999999999999999999", false, 0},
      {"", false, 0},      {"-", false, 0},    {"abc", false, 0},
      {"12abc", false, 0}, {" 12", false, 0},  {"12 ", false, 0},
      {"0x20", false, 0},  {"1.5", false, 0},
  };
  for (const Case& c : cases) {
    int v = 12345;
    EXPECT_EQ(StrictToInt(c.text, &v), c.ok) << c.text;
    EXPECT_EQ(v, c.ok ? c.value : 12345) << c.text;
  }
}

TEST_F(ConfigTest, DirectoriesFromWorkingDirectory) {
  EXPECT_EQ(AppConfig().BaseDir, fs::path(root_).lexically_normal().string());
  EXPECT_EQ(AppConfig().ProgramDir, AppConfig().BaseDir + "/Program/");
}

TEST_F(ConfigTest, DebugFlagOpensTheRequestedLogs) {
  struct Case {
    const char* ini;
    int flag;
    bool protocol, logic;
  };
  const Case cases[] = {
      {"debugFlag=96\n", 96, true, true},
      {"debugFlag=32\n", 32, true, false},
      {"DEBUGFLAG=64\r\n", 64, false, true},
      {"debugFlag=64\ndebugFlag=32\n", 64, false, true},
      {"debugFlag=abc\n", 0, false, false},
      {"debugFlag=\n", 0, false, false},
      {"other=96\n", 0, false, false},
      {"debugFlag =96\n", 0, false, false},
      {"debugFlag=96", 96, true, true},   // no final line break
      {"debugFlag=96\r\n", 96, true, true},  // CRLF file
      {"debugFlag=1\n", 1, false, false},
  };
  MakeLogsFolder();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    ResetAppConfig();
    ComputeDirectories();
    fs::remove(LogPath("apProtocol.log"));
    fs::remove(LogPath("syncLogic.log"));
    WriteIni(c.ini);
    EXPECT_TRUE(ReadIni().empty());
    EXPECT_EQ(AppConfig().debugFlag, c.flag);
    EXPECT_EQ(AppConfig().ProtocolLog != nullptr, c.protocol);
    EXPECT_EQ(AppConfig().LogicLog != nullptr, c.logic);
    EXPECT_EQ(fs::exists(LogPath("apProtocol.log")), c.protocol);
    EXPECT_EQ(fs::exists(LogPath("syncLogic.log")), c.logic);
    CloseStartupLogs();
    EXPECT_EQ(AppConfig().ProtocolLog, nullptr);
    EXPECT_EQ(AppConfig().LogicLog, nullptr);
  }
}

TEST_F(ConfigTest, LogsStartAnewKeepTheSessionBeforeAndStayOpen) {
  MakeLogsFolder();
  std::ofstream(LogPath("apProtocol.log")) << "old trace";
  std::ofstream(LogPath("syncLogic.log")) << "old logic";
  WriteIni("debugFlag=96\n");
  EXPECT_TRUE(ReadIni().empty());
  auto text = [](const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), {});
  };
  EXPECT_EQ(text(LogPath("apProtocol.log.1")), "old trace");
  EXPECT_EQ(text(LogPath("syncLogic.log.1")), "old logic");
  EXPECT_EQ(text(LogPath("apProtocol.log")).rfind("# session.", 0), 0u);
  EXPECT_EQ(text(LogPath("syncLogic.log")).rfind("# session.", 0), 0u);
  const uintmax_t heading = fs::file_size(LogPath("apProtocol.log"));
  // Open for reading and writing until the close step.
  ASSERT_NE(AppConfig().ProtocolLog, nullptr);
  EXPECT_EQ(std::fputs("x", AppConfig().ProtocolLog) >= 0, true);
  CloseStartupLogs();
  EXPECT_EQ(fs::file_size(LogPath("apProtocol.log")), heading + 1);
}

TEST_F(ConfigTest, MissingLogsFolderReportsAndClearsTheBit) {
  struct Case {
    const char* ini;
    std::vector<std::string> errors;
    int flagAfter;
  };
  const Case cases[] = {
      {"debugFlag=32", {"open apProtocol.log fail"}, 0},
      {"debugFlag=64", {"open syncLogic.log fail"}, 0},
      {"debugFlag=97", {"open apProtocol.log fail", "open syncLogic.log fail"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    ResetAppConfig();
    ComputeDirectories();
    WriteIni(c.ini);
    EXPECT_EQ(ReadIni(), c.errors);
    EXPECT_EQ(AppConfig().debugFlag, c.flagAfter);
    EXPECT_EQ(AppConfig().ProtocolLog, nullptr);
    EXPECT_EQ(AppConfig().LogicLog, nullptr);
    EXPECT_FALSE(fs::exists(root_ + "/logs"));  // never created by us
    CloseStartupLogs();
  }
}

TEST_F(ConfigTest, MissingIniThrows) {
  try {
    ReadIniSettings(nullptr);
    FAIL() << "no exception";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::strstr(e.what(), "Velko.ini"), nullptr) << e.what();
  }
  // An ini path that cannot be read as a file: a folder, or a pipe that
  // nobody writes to (it must not hold the start-up; a writer that comes
  // lets a blocked read go, so the test ends either way).
  fs::create_directories(root_ + "/Program/Velko.ini");
  EXPECT_THROW(ReadIniSettings(nullptr), std::runtime_error);
  fs::remove(root_ + "/Program/Velko.ini");
  ASSERT_EQ(mkfifo((root_ + "/Program/Velko.ini").c_str(), 0600), 0);
  auto read = std::async(std::launch::async, [] {
    try {
      ReadIniSettings(nullptr);
    } catch (const std::runtime_error& e) {
      return std::string(e.what());
    }
    return std::string("read");
  });
  if (read.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) {
    ADD_FAILURE() << "the pipe held the start-up";
    ::close(::open((root_ + "/Program/Velko.ini").c_str(), O_WRONLY | O_NONBLOCK));
  }
  EXPECT_EQ(read.get(), "Cannot open the settings file Velko.ini: not a regular file");
}

TEST_F(ConfigTest, IniReadOnceAndReleased) {
  WriteIni("debugFlag=0\nfoo=bar\n");
  ReadIni();
  EXPECT_EQ(AppConfig().IniLines, (std::vector<std::string>{"debugFlag=0", "foo=bar"}));
  // Later calls keep the loaded lines even when the file changed or vanished.
  fs::remove(root_ + "/Program/Velko.ini");
  EXPECT_NO_THROW(ReadIni());
  EXPECT_EQ(AppConfig().IniLines.size(), 2u);
  ReleaseIniLines();
  EXPECT_TRUE(AppConfig().IniLines.empty());
}

TEST_F(ConfigTest, LanguageCodes) {
  struct Case {
    int code;
    int index;
  };
  const Case cases[] = {{9, 0}, {1028, 1}, {2052, 2}, {1033, 0}, {0, 0}, {-1, 0}};
  for (const Case& c : cases) {
    WriteConnectValue("Language", c.code);
    UiLanguage() = 2;  // the read decides, not what was there before
    LoadLanguage();
    EXPECT_EQ(UiLanguage(), c.index) << c.code;
    int stored = 0;
    ASSERT_TRUE(ReadConnectValue("Language", &stored));
    EXPECT_EQ(stored, c.code);  // reading never rewrites the value
  }
}

TEST_F(ConfigTest, ChosenLanguageIsReadAtTheNextStart) {
  struct Case {
    int index;
    int code;
  };
  const Case cases[] = {{0, 9}, {1, 1028}, {2, 2052}, {5, 9}, {-1, 9}};
  for (const Case& c : cases) {
    ChooseLanguage(c.index);
    int stored = 0;
    ASSERT_TRUE(ReadConnectValue("Language", &stored));
    EXPECT_EQ(stored, c.code) << c.index;
    const int chosen = UiLanguage();
    UiLanguage() = -1;
    LoadLanguage();
    EXPECT_EQ(UiLanguage(), chosen) << c.index;
  }
}

// A first start follows the system's language; the stored choice wins from then on.
TEST_F(ConfigTest, MissingKeyFollowsTheSystemLanguage) {
  struct Case {
    const char *language, *lcAll, *lcMessages, *lang;
    int index, code;
  };
  const Case cases[] = {
      {nullptr, nullptr, nullptr, "zh_TW.UTF-8", 1, 1028},
      {nullptr, nullptr, nullptr, "zh_CN.UTF-8", 2, 2052},
      {nullptr, nullptr, nullptr, "en_US.UTF-8", 0, 9},
      {nullptr, nullptr, nullptr, "de_DE.UTF-8", 0, 9},
      {nullptr, "zh_HK.Big5", nullptr, "en_US.UTF-8", 1, 1028},
      {nullptr, nullptr, "zh_SG.GB2312", "zh_TW.UTF-8", 2, 2052},
      {"zh_TW:en", nullptr, nullptr, "en_GB.UTF-8", 1, 1028},
      {"zh_TW", "C.UTF-8", nullptr, nullptr, 0, 9},
      {nullptr, nullptr, nullptr, "zh-Hant-CN", 1, 1028},
      {nullptr, nullptr, nullptr, "zhuang", 0, 9},
  };
  const char* names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  std::string saved[4];
  bool had[4];
  for (int i = 0; i < 4; ++i) {
    const char* v = std::getenv(names[i]);
    had[i] = v != nullptr;
    if (v) saved[i] = v;
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lang ? c.lang : c.lcAll ? c.lcAll : c.lcMessages);
    const char* values[] = {c.language, c.lcAll, c.lcMessages, c.lang};
    for (int i = 0; i < 4; ++i) {
      if (values[i]) setenv(names[i], values[i], 1);
      else unsetenv(names[i]);
    }
    fs::remove_all(root_ + "/store");
    SetSettingsStoreFolder(root_ + "/store");
    ASSERT_FALSE(ConnectKeyExists());
    LoadLanguage();
    EXPECT_EQ(UiLanguage(), c.index);
    int stored = 0;
    ASSERT_TRUE(ReadConnectValue("Language", &stored));
    EXPECT_EQ(stored, c.code);
    // Later starts read the stored value, whatever the system says now.
    setenv("LC_ALL", c.index == 2 ? "zh_TW.UTF-8" : "zh_CN.UTF-8", 1);
    LoadLanguage();
    EXPECT_EQ(UiLanguage(), c.index);
  }
  for (int i = 0; i < 4; ++i) {
    if (had[i]) setenv(names[i], saved[i].c_str(), 1);
    else unsetenv(names[i]);
  }
}

TEST(LanguageOfSystem, WindowsLanguageIds) {
  const std::pair<unsigned, int> cases[] = {{0x0404, 1}, {0x0C04, 1}, {0x1404, 1}, {0x7C04, 1}, {0x0804, 2},
                                            {0x1004, 2}, {0x0004, 2}, {0x0409, 0}, {0x0411, 0}, {0, 0}};
  for (const auto& [id, index] : cases) EXPECT_EQ(LanguageIndexOfLangId(id), index) << std::hex << id;
}

TEST_F(ConfigTest, KeyWithoutLanguageIsEnglish) {
  WriteConnectValue("PortNo", 3);
  LoadLanguage();
  EXPECT_EQ(UiLanguage(), 0);
  int v = 0;
  EXPECT_FALSE(ReadConnectValue("Language", &v));  // not created for an existing key
}

TEST_F(ConfigTest, TextValuesRoundTripBesideTheNumbers) {
  std::string got = "untouched";
  EXPECT_FALSE(ReadConnectText("BackupFolder", &got));
  EXPECT_EQ(got, "untouched");
  EXPECT_FALSE(ConnectKeyExists()) << "a read creates nothing";
  // Texts a plain ini line would split, unquote or take for a type mark.
  const std::string texts[] = {"/home/u/Velko Backup", "/tmp/a, b; c=d", "@Variant(x)", "\"quoted\" \\ back",
                               "/home/u/\xe5\x82\x99\xe4\xbb\xbd \xc3\xa9t\xc3\xa9", " padded ", ""};
  for (const std::string& text : texts) {
    WriteConnectText("BackupFolder", text);
    ASSERT_TRUE(ReadConnectText("BackupFolder", &got)) << text;
    EXPECT_EQ(got, text);
  }
  EXPECT_TRUE(ConnectKeyExists());
  WriteConnectValue("Language", 9);
  int code = 0;
  ASSERT_TRUE(ReadConnectValue("Language", &code));
  EXPECT_EQ(code, 9);
  EXPECT_FALSE(ReadConnectValue("BackupFolder", &code)) << "a folder is no number";
  // A folder the window kept before, under the same name, still reads.
  {
    auto store = OpenSettingsStore();
    store->beginGroup(kConnectSettingKey);
    store->setValue("BackupFolder", QString::fromUtf8("/srv/\xe5\x82\x99\xe4\xbb\xbd"));
    store->sync();
  }
  ASSERT_TRUE(ReadConnectText("BackupFolder", &got));
  EXPECT_EQ(got, "/srv/\xe5\x82\x99\xe4\xbb\xbd");
}

// ---- text table ----

TEST(UiTextTest, EntriesDecodeAndRoundTrip) {
  struct Case {
    const char* name;
    const UiText* entry;
    std::u16string en, tc, sc;
  };
  const Case cases[] = {
    {"ProductName", &uitext::ProductName, u" Quendrel", u" Quendrel 手機助理", u" Quendrel 手机助理"},
    {"LogoTitle", &uitext::LogoTitle, u" Quendrel", u" Quendrel 手機助理", u" Quendrel 手机助理"},
    {"mExit", &uitext::mExit, u"Exit(&X)", u"結束(&X)", u"退出(&X)"},
    {"mConnection1", &uitext::mConnection1, u"Connection", u"連線", u"连接"},
    {"Connect1", &uitext::Connect1, u"Connect", u"建立連線", u"建立连接"},
    {"Disconnect1", &uitext::Disconnect1, u"Disonnect", u"中斷連線", u"断开连接"},
    {"mConnSetting", &uitext::mConnSetting, u"Connection Setting(&C)", u"連線設定(&C)", u"连接设置(&C)"},
    {"mAuto", &uitext::mAuto, u"Auto", u"自動", u"自动"},
    {"mHelp", &uitext::mHelp, u"Help(&H)", u"說明(&H)", u"帮助(&H)"},
    {"mAbout", &uitext::mAbout, u"About(&A)", u"關於(&A)", u"关于(&A)"},
    {"mLanguage", &uitext::mLanguage, u"Language", u"語言", u"语言"},
    {"Ring_Button", &uitext::Ring_Button, u" Melody", u" 鈴聲", u" 铃声"},
    {"Animation_Button", &uitext::Animation_Button, u" Animation", u" 動畫", u" 动画"},
    {"DC_PIC_ToolButton", &uitext::DC_PIC_ToolButton, u"PICTURE", u"圖片", u"图片"},
    {"LocalAppDW_Button", &uitext::LocalAppDW_Button, u"JAVA", u"Java 程式", u"Java 程序"},
    {"StatusPortCaption", &uitext::StatusPortCaption, u"Connection", u"連接埠", u"端口"},
    {"StatusLinkCaption", &uitext::StatusLinkCaption, u"Status", u"狀態", u"状态"},
    {"StatusConnected", &uitext::StatusConnected, u"Connection", u"已連線", u"已连接"},
    {"StatusDisconnected", &uitext::StatusDisconnected, u"Disconnect", u"未連線", u"未连接"},
    {"StatusMaker", &uitext::StatusMaker, u"Nomra", u"Nomra", u"Nomra"},
    {"AboutCaption", &uitext::AboutCaption, u"About Quendrel", u"關於 Quendrel", u"关于 Quendrel"},
    {"AboutProductName", &uitext::AboutProductName, u" Quendrel", u" Quendrel 手機助理", u" Quendrel 手机助理"},
    {"AboutVersion", &uitext::AboutVersion, u"[ Version V2.03b ]", u"[ 版本 V2.03b ]", u"[ 版本 V2.03b ]"},
    {"AboutNotice", &uitext::AboutNotice, u"Copyright (C) Nomra. All rights reserved.", u"Nomra 版權所有，保留一切權利。", u"Nomra 版权所有，保留一切权利。"},
    {"AboutOKButton", &uitext::AboutOKButton, u"Exit", u"結束", u"退出"},
    {"ShowAllFiles", &uitext::ShowAllFiles, u"Show all files", u"顯示所有檔案", u"显示所有文件"},
    {"ReasonColumn", &uitext::ReasonColumn, u"Reason", u"原因", u"原因"},
    {"ReasonEmpty", &uitext::ReasonEmpty, u"empty file", u"空白檔案", u"空文件"},
    {"ReasonTooLarge", &uitext::ReasonTooLarge, u"too large: %1 bytes, the limit is %2", u"檔案過大：%1 位元組，上限為 %2", u"文件过大：%1 字节，上限为 %2"},
    {"ReasonTooManyPixels", &uitext::ReasonTooManyPixels, u"over 640 x 640: %1 x %2", u"超過 640 x 640：%1 x %2", u"超过 640 x 640：%1 x %2"},
    {"ReasonNotMelody", &uitext::ReasonNotMelody, u"not a melody this phone takes (%1)", u"不是本手機可用的鈴聲（%1）", u"不是本手机可用的铃声（%1）"},
    {"ReasonNotAnimation", &uitext::ReasonNotAnimation, u"not an animation this phone takes (%1)", u"不是本手機可用的動畫（%1）", u"不是本手机可用的动画（%1）"},
    {"ReasonNotPicture", &uitext::ReasonNotPicture, u"not a picture this phone takes (%1)", u"不是本手機可用的圖片（%1）", u"不是本手机可用的图片（%1）"},
    {"ReasonUnknownType", &uitext::ReasonUnknownType, u"unknown type", u"未知格式", u"未知格式"},
    {"ReasonStillGif", &uitext::ReasonStillGif, u"a one-frame GIF: a picture, not an animation", u"單格 GIF：是圖片，不是動畫", u"单帧 GIF：是图片，不是动画"},
    {"ReasonAnimatedGif", &uitext::ReasonAnimatedGif, u"an animated GIF (%1 frames): an animation, not a picture", u"動畫 GIF（%1 格）：是動畫，不是圖片", u"动画 GIF（%1 帧）：是动画，不是图片"},
    {"ReasonGreyJpeg", &uitext::ReasonGreyJpeg, u"a greyscale JPEG the phone cannot show", u"手機無法顯示的灰階 JPEG", u"手机无法显示的灰度 JPEG"},
    {"ReasonJpegLayout", &uitext::ReasonJpegLayout, u"a JPEG layout the phone cannot show", u"手機無法顯示的 JPEG 格式", u"手机无法显示的 JPEG 格式"},
    {"ReasonTruncated", &uitext::ReasonTruncated, u"file cut short", u"檔案不完整", u"文件不完整"},
    {"ReasonUnreadable", &uitext::ReasonUnreadable, u"cannot be read", u"無法讀取", u"无法读取"},
    {"ReasonDamaged", &uitext::ReasonDamaged, u"damaged GIF", u"損壞的 GIF", u"损坏的 GIF"},
    {"FitToPhone", &uitext::FitToPhone, u"Fit to phone", u"調整給手機", u"调整给手机"},
    {"FitNotNeeded", &uitext::FitNotNeeded, u"the phone takes this picture as it is", u"手機可直接使用這張圖片", u"手机可直接使用这张图片"},
    {"FitNotPossible", &uitext::FitNotPossible, u"cannot be fitted: %1", u"無法調整：%1", u"无法调整：%1"},
    {"FitNotReadable", &uitext::FitNotReadable, u"not a picture that can be read", u"無法讀取為圖片", u"无法读取为图片"},
    {"FitNoRoom", &uitext::FitNoRoom, u"not even a small copy fits in 63000 bytes", u"即使縮小也無法小於 63000 位元組", u"即使缩小也无法小于 63000 字节"},
    {"FitWriteFailed", &uitext::FitWriteFailed, u"the copy cannot be written: %1", u"無法寫入副本：%1", u"无法写入副本：%1"},
    {"StopButton", &uitext::StopButton, u"Stop", u"停止", u"停止"},
    {"DropNotSent", &uitext::DropNotSent, u"%1 is not sent: %2", u"%1 未傳送：%2", u"%1 未发送：%2"},
    {"DropFitQuestion", &uitext::DropFitQuestion, u"%1: %2.\nMake a copy that fits the phone and send it?", u"%1：%2。\n要製作適合手機的副本並傳送嗎？", u"%1：%2。\n要制作适合手机的副本并发送吗？"},
  };
  // The design's captions, as the window shows them; every entry, these
  // and the program's own, decodes and round-trips below.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::u16string* want[3] = {&c.en, &c.tc, &c.sc};
    for (int lang = 0; lang < 3; ++lang) {
      QString shown = UiTextToQString(*c.entry, lang);
      EXPECT_EQ(shown, QString::fromStdU16String(*want[lang])) << "language " << lang;
      bool ok = false;
      std::string bytes = EncodeForLanguage(shown, lang, &ok);
      EXPECT_TRUE(ok) << "language " << lang;
      EXPECT_EQ(bytes, std::string(UiBytes(*c.entry, lang))) << "language " << lang;
    }
    // A leading blank is in all three columns or in none.
    bool blank = c.en.size() > 0 && c.en[0] == u' ';
    if (!c.tc.empty()) {
      EXPECT_EQ(c.tc[0] == u' ', blank);
    }
    if (!c.sc.empty()) {
      EXPECT_EQ(c.sc[0] == u' ', blank);
    }
  }
}

TEST(UiTextTest, ChineseColumnsAreRealEncodedBytes) {
  // Every Chinese text that is not a placeholder or a brand name holds
  // non-ASCII bytes that decode to CJK ideographs.
  for (int i = 0; i < uitext::kEntryCount; ++i) {
    const UiText& e = *uitext::kAllEntries[i].entry;
    SCOPED_TRACE(uitext::kAllEntries[i].name);
    for (int lang = 1; lang <= 2; ++lang) {
      std::string b = UiBytes(e, lang);
      if (b == UiBytes(e, 0) || b == "Nomra") continue;
      bool high = false;
      for (unsigned char ch : b) high = high || ch >= 0x80;
      EXPECT_TRUE(high) << "language " << lang;
      bool cjk = false;
      for (QChar ch : UiTextToQString(e, lang)) cjk = cjk || (ch.unicode() >= 0x4e00 && ch.unicode() <= 0x9fff);
      EXPECT_TRUE(cjk) << "language " << lang;
    }
  }
}

TEST(UiTextTest, LookupFollowsLanguageIndex) {
  ResetAppConfig();
  for (int lang : {0, 1, 2}) {
    UiLanguage() = lang;
    EXPECT_STREQ(UiBytes(uitext::mExit), uitext::mExit.text[lang]);
    EXPECT_EQ(UiTr(uitext::mAbout), UiTextToQString(uitext::mAbout, lang));
  }
  // Out of range falls back to English instead of reading past the entry.
  EXPECT_STREQ(UiBytes(uitext::Disconnect1, 7), "Disonnect");
  EXPECT_STREQ(UiBytes(uitext::Disconnect1, -1), "Disonnect");
  ResetAppConfig();
}

TEST(UiTextTest, EveryCellHoldsRealWordingThatRoundTrips) {
  // Now that the language can be switched, no placeholder or empty cell;
  // each decodes and encodes back to its own bytes, and a leading blank is
  // in all three columns or in none.
  for (int i = 0; i < uitext::kEntryCount; ++i) {
    SCOPED_TRACE(uitext::kAllEntries[i].name);
    const UiText& e = *uitext::kAllEntries[i].entry;
    for (int lang = 0; lang < 3; ++lang) {
      const std::string b = UiBytes(e, lang);
      EXPECT_TRUE(!b.empty() && b != "N/A") << "language " << lang;
      bool ok = false;
      EXPECT_EQ(EncodeForLanguage(UiTextToQString(e, lang), lang, &ok), b) << "language " << lang;
      EXPECT_TRUE(ok) << "language " << lang;
      EXPECT_EQ(b.rfind(' ', 0) == 0, std::string(UiBytes(e, 0)).rfind(' ', 0) == 0) << "language " << lang;
    }
  }
}

TEST(UiTextTest, BadBytesDoNotRoundTrip) {
  // A character outside GB2312 / Big5 / ASCII must be reported, not dropped silently.
  bool ok = true;
  EncodeForLanguage(QString::fromUtf8("\xf0\x9f\x98\x80"), 2, &ok);
  EXPECT_FALSE(ok);
  ok = true;
  EncodeForLanguage(QString::fromUtf8("\xc3\xa9"), 0, &ok);
  EXPECT_FALSE(ok);
  ok = true;
  EncodeForLanguage(QString::fromUtf8("\xe4\xb8\xaa"), 1, &ok);  // simplified-only glyph
  EXPECT_FALSE(ok);
}
