// Upload: packet lines, tick limits, and whole uploads to the virtual phone
// behind the port in memory, checked by the bytes that arrive and the log.
#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/Commands.h"
#include "link/Transfers.h"
#include "support/LinkProbe.h"
#include "support/SimLink.h"
#include "support/WireText.h"

namespace {

namespace fs = std::filesystem;

// ---- Pure pieces ----

struct LineCase {
  int n;
  bool last;
  std::string data;
  std::string line;
};

void PrintTo(const LineCase& c, std::ostream* os) { *os << "packet " << c.n; }

class PacketLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(PacketLines, Exact) {
  const LineCase& c = GetParam();
  EXPECT_EQ(command::PacketLine(c.n, c.last, reinterpret_cast<const unsigned char*>(c.data.data()), c.data.size()),
            c.line);
}

INSTANTIATE_TEST_SUITE_P(
    Upload, PacketLines,
    ::testing::Values(
        LineCase{1, true, "abc", "AT*FUPL=01006162630138\r\n"},
        LineCase{1, false, "abc", "AT*FUPL=01016162630138\r\n"},
        LineCase{2, true, "", "AT*FUPL=02000000\r\n"},
        LineCase{15, false, std::string("\x00\x0A", 2), "AT*FUPL=0F01000A00D1\r\n"},
        LineCase{16, false, "\xFF", "AT*FUPL=1001FF008C\r\n"},
        LineCase{255, false, "a", "AT*FUPL=FF01610067\r\n"},
        LineCase{256, true, "a", "AT*FUPL=F000610067\r\n"},
        LineCase{300, true, "a", "AT*FUPL=FC00610067\r\n"},
        LineCase{1, true, std::string(90, '\xFF'), "AT*FUPL=0100" + std::string(180, 'F') + "3138\r\n"}));

struct ReasonCase {
  std::string reply;
  std::string reason;
};

TEST(RefusalReason, CutBetweenHeaderAndError) {
  const ReasonCase rows[] = {
      {"*FUPL: 3 ERROR", " 3 "},
      {"AT*FUPL=\"a.gif\",5,3\r\n\r\n*FUPL: 3 ERROR\r\n", " 3 "},
      {"\r\n*FUPL:ERROR\r\n", ""},
      {"\r\nERROR\r\n", "\r\n"},
      {"*FUPL: 9 oops", " 9 oops"},
      {"ERROR *FUPL: 2", " 2"},
      {"", ""},
  };
  for (const auto& r : rows) EXPECT_EQ(RefusalReason(r.reply), r.reason) << r.reply;
}

TEST(UploadTickLimit, LongWaitsOnEveryEightiethAndLongLastPackets) {
  const struct {
    int n, count, limit;
  } rows[] = {{1, 1, 1000},    {79, 200, 1000}, {80, 200, 500},  {81, 200, 1000}, {160, 200, 1000},
              {240, 500, 1500}, {80, 80, 500},  {100, 100, 500}, {81, 81, 500},   {700, 700, 4000},
              {60, 60, 1000},   {159, 159, 500}};
  for (const auto& r : rows) EXPECT_EQ(UploadTickLimit(r.n, r.count), r.limit) << r.n << "/" << r.count;
}

// ---- Against the virtual phone ----


std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

int OpenFds() {
  int n = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++n;
    closedir(d);
  }
  return n;
}

class UploadRig : public ::testing::Test {
 protected:
  explicit UploadRig(phonesim::Options o = {}) : rig_(o, SimLink::Line::Memory) {}
  void SetUp() override {
    rig_.link->SetClock(TClock(0.02));
    setenv("HOME", rig_.dir.path().c_str(), 1);
    fs::create_directories(rig_.dir.File("pc"));
    rig_.pages.PcFolder = rig_.dir.File("pc");
    rig_.Connect();
    rig_.pages.PhoneListKnown = true;  // as after listing an empty folder
  }

  void SetOptions(const std::function<void(phonesim::Options&)>& change) {
    phonesim::Options o = rig_.PhoneOptions();
    change(o);
    rig_.SetPhoneOptions(o);
  }
  void PcFile(const std::string& name, const std::string& bytes) { rig_.dir.Write("pc/" + name, bytes); }
  std::string PhoneFile(const std::string& name) { return rig_.dir.Read("phone/3/" + name); }
  bool PhoneHas(const std::string& name) { return fs::exists(rig_.dir.File("phone/3/" + name)); }
  std::string Log() { return rig_.dir.Read("LAD.log"); }
  std::vector<std::string> Lines() { return rig_.PhoneLines(); }
  void PhoneList(const std::vector<std::string>& names) {
    for (const auto& n : names) rig_.pages.PhoneFileList.Append()->Name = n;
  }
  int State() { return rig_.link->Reply().State(); }

  SimLink rig_;
};

TEST_F(UploadRig, WorkedExampleOnTheWireOnThePhoneAndInTheLog) {
  PcFile("abc.txt", "abc");
  EXPECT_EQ(UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "abc.txt", 3).outcome, TOutcome::Ok);
  EXPECT_EQ(State(), rsOk);
  std::vector<std::string> expectLines = {"AT*FUPL=\"abc.txt\",3,3", "AT*FUPL=01006162630138"};
  EXPECT_EQ(Lines(), expectLines);
  EXPECT_EQ(PhoneFile("abc.txt"), "abc");
  const std::string req = "AT*FUPL=\"abc.txt\",3,3\r\n", pkt = "AT*FUPL=01006162630138\r\n";
  EXPECT_EQ(Log(), req + req + "\r\nOK\r\n" + pkt + pkt + "\r\nOK\r\n");
  EXPECT_TRUE(rig_.view.messages.empty());
  EXPECT_TRUE(rig_.link->Port().Connected());
  EXPECT_FALSE(rig_.view.statusVisible);
  EXPECT_EQ(rig_.view.statusTexts.front(), "Send abc.txt");
}

struct SizeCase {
  size_t size;
  size_t packets;
  std::string lastPrefix;  // start of the last line on the wire
  size_t lastLength;       // its length without CR LF
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.size << " bytes"; }

class UploadSizes : public UploadRig, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(UploadSizes, EveryByteArrivesInNumberedPackets) {
  const SizeCase& c = GetParam();
  const std::string bytes = Pattern(c.size);
  PcFile("f.bin", bytes);
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "f.bin", 3);
  EXPECT_EQ(State(), rsOk);
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 1 + c.packets);
  EXPECT_EQ(lines[0], "AT*FUPL=\"f.bin\"," + std::to_string(c.size) + ",3");
  std::vector<std::string> expected = ExpectedPackets(bytes);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), lines.begin() + 1));
  EXPECT_EQ(lines.back().substr(0, c.lastPrefix.size()), c.lastPrefix);
  EXPECT_EQ(lines.back().size(), c.lastLength);
  EXPECT_EQ(PhoneFile("f.bin"), bytes);
  EXPECT_EQ(rig_.view.progressMax, static_cast<int>(c.packets));
  EXPECT_EQ(rig_.view.progressPos, static_cast<int>(c.packets));
  EXPECT_TRUE(rig_.view.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Upload, UploadSizes,
                         ::testing::Values(SizeCase{0, 0, "AT*FUPL=\"f.bin\",0,3", 19},
                                           SizeCase{90, 1, "AT*FUPL=0100", 12 + 180 + 4},
                                           SizeCase{91, 2, "AT*FUPL=0200", 12 + 2 + 4},
                                           SizeCase{256 * 90, 256, "AT*FUPL=F000", 12 + 180 + 4}));

TEST_F(UploadRig, RenameThatCollidesAgainAsksAgain) {
  PcFile("a.gif", "AAA");
  PhoneList({"x.gif", "A.GIF", "b.gif"});
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Rename, TOverwriteAnswer::Rename};
  rig_.view.renameAnswers = {"B.gif", "c.gif"};
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "a.gif", 3);
  std::vector<std::string> questions = {"Overwrite a.gif?", "Overwrite B.gif?"};
  EXPECT_EQ(rig_.view.overwriteQuestions, questions);
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(Lines()[0], "AT*FUPL=\"c.gif\",3,3");
  EXPECT_EQ(PhoneFile("c.gif"), "AAA");
  EXPECT_FALSE(PhoneHas("a.gif"));
  EXPECT_EQ(State(), rsOk);
}

TEST_F(UploadRig, OverwriteGoesOnCancelSendsNothing) {
  PcFile("a.gif", "AAA");
  PhoneList({"a.gif"});
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Cancel};
  rig_.link->Reply().SetState(rsOk);
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "a.gif", 3);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(State(), rsOk);
  EXPECT_TRUE(rig_.link->Port().Connected());

  rig_.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "a.gif", 3);
  EXPECT_EQ(rig_.view.overwriteQuestions.size(), 2u);
  EXPECT_EQ(PhoneFile("a.gif"), "AAA");
}

TEST_F(UploadRig, RefusedRequestShowsTheReason) {
  SetOptions([](phonesim::Options& o) { o.refuseUpload = true; });
  PcFile("a.gif", "AAA");
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "a.gif", 3);
  std::vector<std::string> msgs = {"Send_UPLOAD_REQ_ERR", " 3 "};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_EQ(State(), rsError);
  const std::string req = "AT*FUPL=\"a.gif\",3,3\r\n";
  EXPECT_EQ(Log(), req + req + "\r\n*FUPL: 3 ERROR\r\n");
  EXPECT_FALSE(rig_.link->Port().Connected());
  EXPECT_TRUE(TLinkProbe(*rig_.link).ReceiverPaused());
}

TEST_F(UploadRig, RejectedPacketIsSentOnceMore) {
  rig_.link->SetClock(TClock(0.05));  // a packet sent again has a short wait of its own
  SetOptions([](phonesim::Options& o) {
    o.rejectUploadPacket = 2;
    o.rejectUploadTimes = 1;
  });
  const std::string bytes = Pattern(200);
  PcFile("r.bin", bytes);
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "r.bin", 3);
  EXPECT_EQ(State(), rsOk);
  EXPECT_TRUE(rig_.view.messages.empty());
  std::vector<std::string> p = ExpectedPackets(bytes);
  std::vector<std::string> expected = {"AT*FUPL=\"r.bin\",200,3", p[0], p[1], p[1], p[2]};
  EXPECT_EQ(Lines(), expected);
  EXPECT_EQ(PhoneFile("r.bin"), bytes);
  // The rejecting reply is not logged; the answer to the resend is.
  std::string log = "AT*FUPL=\"r.bin\",200,3\r\n";
  log += log + "\r\nOK\r\n";
  for (const auto& line : p) log += line + "\r\n" + line + "\r\n\r\nOK\r\n";
  EXPECT_EQ(Log(), log);
  EXPECT_EQ(Log().find("D_ERR"), std::string::npos);
}

TEST_F(UploadRig, SecondRejectionEndsTheUpload) {
  rig_.link->SetClock(TClock(0.05));  // a packet sent again has a short wait of its own
  SetOptions([](phonesim::Options& o) {
    o.rejectUploadPacket = 2;
    o.rejectUploadTimes = 2;
  });
  const std::string bytes = Pattern(200);
  PcFile("r.bin", bytes);
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "r.bin", 3);
  ASSERT_FALSE(rig_.view.messages.empty());
  EXPECT_EQ(rig_.view.messages.back(), "Resend Error!!");
  EXPECT_EQ(State(), rsPacketRejected);
  std::vector<std::string> p = ExpectedPackets(bytes);
  std::vector<std::string> expected = {"AT*FUPL=\"r.bin\",200,3", p[0], p[1], p[1]};
  EXPECT_EQ(Lines(), expected);
  EXPECT_FALSE(rig_.link->Port().Connected());
}

struct StallCase {
  const char* label;
  bool echo;                 // the phone still echoes the line
  std::string prefix;        // lines it leaves unanswered
  std::vector<std::string> messages;
};

void PrintTo(const StallCase& c, std::ostream* os) { *os << c.label; }

class UploadStalls : public UploadRig, public ::testing::WithParamInterface<StallCase> {};

TEST_P(UploadStalls, EndWithTheirTimeOut) {
  const StallCase& c = GetParam();
  SetOptions([&](phonesim::Options& o) { (c.echo ? o.silentPrefix : o.noEchoSilentPrefix) = c.prefix; });
  rig_.link->SetClock(TClock(0.02));  // nothing to wait for but the time-out
  PcFile("s.bin", Pattern(200));
  auto start = std::chrono::steady_clock::now();
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "s.bin", 3);
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(rig_.view.messages, c.messages) << c.label;
  EXPECT_NE(State(), rsOk) << c.label;
  EXPECT_FALSE(rig_.link->Port().Connected()) << c.label;
  EXPECT_LT(took, std::chrono::seconds(20)) << c.label;
}

const std::string kP2 = ExpectedPackets(Pattern(200))[1];

INSTANTIATE_TEST_SUITE_P(
    Upload, UploadStalls,
    ::testing::Values(
        StallCase{"request unanswered", false, "AT*FUPL=\"", {"Send_UPLOAD_REQ_timeout"}},
        StallCase{"request only echoed", true, "AT*FUPL=\"", {"Send_UPLOAD_REQ_timeout", "AT*FUPL=\"s.bin\",200,3\r\n"}},
        StallCase{"phone silent after a packet", false, "AT*FUPL=02", {"Send File data timeout"}},
        StallCase{"packet only echoed", true, "AT*FUPL=02", {"Send File data timeout", kP2 + "\r\n"}}));

TEST_F(UploadRig, PacketAnsweredWithError) {
  SetOptions([](phonesim::Options& o) { o.errorPrefix = "AT*FUPL=02"; });
  PcFile("e.bin", Pattern(200));
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "e.bin", 3);
  std::vector<std::string> msgs = {"Send File data ERR"};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_EQ(State(), rsError);
  EXPECT_FALSE(rig_.link->Port().Connected());
  EXPECT_NE(Log().find("ERROR"), std::string::npos);
}

// Nothing is asked or announced for a file that cannot be read (gone, or
// a folder): an announcement of size 0 would empty the phone's copy.
TEST_F(UploadRig, UnreadableLocalFileSendsNothingAtAll) {
  fs::create_directories(rig_.dir.File("pc/dir.bin"));
  for (const std::string name : {"gone.bin", "dir.bin"}) {
    rig_.dir.Write("phone/3/" + name, "kept");
    PhoneList({name});
    rig_.view.messages.clear();
    rig_.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
    const int before = OpenFds();
    EXPECT_EQ(UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, name, 3).outcome, TOutcome::Failed);
    // Give the receiver a few cycles (in memory it reads in the link's
    // turns): a stale "OK" must not turn into a verdict.
    for (int i = 0; i < 3; ++i) rig_.link->WaitTurn();
    EXPECT_EQ(rig_.view.messages, std::vector<std::string>{"Open File Err"}) << name;
    EXPECT_TRUE(rig_.view.overwriteQuestions.empty()) << name;
    EXPECT_TRUE(Lines().empty()) << name;
    EXPECT_EQ(PhoneFile(name), "kept");
    EXPECT_NE(State(), rsOk);
    EXPECT_EQ(OpenFds(), before);
  }
}

// A listing that failed leaves the phone's folder unknown: the upload asks
// once, whatever the name, and only the answer decides.
TEST_F(UploadRig, UnknownPhoneListAsksOnceBeforeSending) {
  PcFile("a.gif", "new");
  // Cancel last: after the failed listing it closes the port.
  for (TOverwriteAnswer answer : {TOverwriteAnswer::Overwrite, TOverwriteAnswer::Rename, TOverwriteAnswer::Cancel}) {
    rig_.dir.Write("phone/3/a.gif", "old");
    rig_.dir.Write("phone/3/b.gif", "old");
    SelectPhoneFolder(*rig_.link, rig_.pages, 3);
    ListPhoneFolder(*rig_.link, rig_.pages);
    ASSERT_TRUE(rig_.pages.PhoneListKnown);
    SetOptions([](phonesim::Options& o) { o.errorPrefix = "AT*FLIST?"; });
    ListPhoneFolder(*rig_.link, rig_.pages);
    SetOptions([](phonesim::Options& o) { o.errorPrefix.clear(); });
    rig_.ClearPhoneLines();
    rig_.view.overwriteQuestions.clear();
    rig_.view.overwriteAnswers = {answer, answer};
    rig_.view.renameAnswers = {"b.gif"};
    const TOutcome outcome = UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "a.gif", 3).outcome;
    EXPECT_EQ(rig_.view.overwriteQuestions, std::vector<std::string>{"Overwrite a.gif?"});
    EXPECT_EQ(outcome, answer == TOverwriteAnswer::Cancel ? TOutcome::Declined : TOutcome::Ok);
    EXPECT_EQ(Lines().empty(), answer == TOverwriteAnswer::Cancel);
    EXPECT_EQ(PhoneFile("a.gif"), answer == TOverwriteAnswer::Overwrite ? "new" : "old");
    EXPECT_EQ(PhoneFile("b.gif"), answer == TOverwriteAnswer::Rename ? "new" : "old");
  }
}

TEST_F(UploadRig, FileShorterThanItsSizeClosesEverything) {
  PcFile("short.bin", Pattern(500));
  bool cut = false;
  rig_.view.onWaitTurn = [&] {
    if (!cut) {
      cut = true;
      fs::resize_file(rig_.dir.File("pc/short.bin"), 100);
    }
  };
  int before = OpenFds();
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "short.bin", 3);
  // Give the receiver a few cycles (in memory it reads in the link's
  // turns): a stale "OK" must not turn into a verdict.
  for (int i = 0; i < 3; ++i) rig_.link->WaitTurn();
  std::vector<std::string> msgs = {"Read file Err"};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_NE(State(), rsOk);
  EXPECT_EQ(OpenFds(), before);
  EXPECT_EQ(Lines().size(), 1u + 1u);  // the request and the one whole packet
}

TEST_F(UploadRig, HangUpMidTransferEndsThroughAbort) {
  SetOptions([](phonesim::Options& o) { o.hangupAfterLines = 3; });
  PcFile("h.bin", Pattern(900));
  UploadFile(*rig_.link, rig_.pages, rig_.pages.PcFolder, "h.bin", 3);
  for (const char* m : {"Send File data timeout", "Send File data ERR", "Resend Error!!", "Open File Err",
                        "Send_UPLOAD_REQ_timeout", "COM port exception while send"})
    EXPECT_FALSE(rig_.view.HasMessage(m)) << m;
  EXPECT_EQ(rig_.link->Flags().AbortCount, 1u);
  EXPECT_EQ(rig_.link->Flags().LinkFailed, 0);
  EXPECT_EQ(rig_.view.page, TPage::Logo);
  EXPECT_FALSE(rig_.view.statusVisible);
  EXPECT_FALSE(rig_.view.progressVisible);
  EXPECT_LE(Lines().size(), 3u);
}

}  // namespace
