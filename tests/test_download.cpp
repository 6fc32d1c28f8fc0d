// Download: whole downloads from the virtual phone behind the port in memory
// (a split reply over a pseudo-terminal), checked by the PC file's bytes, the
// lines on the wire and the log.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <tuple>
#include <mutex>
#include <string>
#include <vector>

#include "link/Transfers.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"
#include "support/WireText.h"

namespace {

namespace fs = std::filesystem;

TEST(LocalNames, OnlyPlainNamesMayBecomeFiles) {
  const struct {
    std::string name;
    bool ok;
  } rows[] = {{"sun.gif", true},  {"my song.mid", true}, {"..x", true},     {".hidden", true},
              {"", false},        {".", false},          {"..", false},     {"../x", false},
              {"a/b", false},     {"a\\b", false},       {"/abs", false},   {"..\\x", false},
              {std::string("a\0b", 3), false}};
  for (const auto& r : rows) EXPECT_EQ(IsSafeLocalName(r.name), r.ok) << r.name;
}


// The phone's reply to a packet request, built independently of the link.
std::string PacketReply(const std::string& file, int n, bool corrupt = false) {
  size_t count = file.empty() ? 1 : (file.size() + 89) / 90;
  std::string bytes = static_cast<size_t>(n - 1) * 90 < file.size() ? file.substr((n - 1) * 90, 90) : "";
  bool last = static_cast<size_t>(n) >= count;
  return "\r\n*FDWN: " + std::to_string(n) + "\r\n" + DataLine(n, last, bytes, corrupt ? 1 : 0) + "\r\n" +
         (last ? "\r\nOK\r\n" : "");
}

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 13 + i / 7) & 0xFF);
  return s;
}

class DownloadRig : public ::testing::Test {
 protected:
  void SetUp() override {
    rig_.link->SetClock(TClock(0.02));
    setenv("HOME", rig_.dir.path().c_str(), 1);
    fs::create_directories(rig_.dir.File("pc"));
    rig_.pages.PcFolder = rig_.dir.File("pc");
    rig_.Connect();
    SelectPhoneFolder(*rig_.link, rig_.pages, 3);
    ASSERT_EQ(rig_.link->Reply().State(), rsOk);
    rig_.ClearPhoneLines();
  }
  void TearDown() override {
    // No temporary file may outlive a download.
    for (const auto& e : fs::directory_iterator(rig_.dir.File("pc")))
      EXPECT_EQ(e.path().filename().string().find(".part"), std::string::npos) << e.path();
  }
  void SetOptions(const std::function<void(phonesim::Options&)>& change) {
    phonesim::Options o = rig_.PhoneOptions();
    change(o);
    rig_.SetPhoneOptions(o);
  }
  void PhoneFile(const std::string& name, const std::string& bytes) { rig_.dir.Write("phone/3/" + name, bytes); }
  std::string PcFile(const std::string& name) { return rig_.dir.Read("pc/" + name); }
  bool PcHas(const std::string& name) { return fs::exists(rig_.dir.File("pc/" + name)); }
  std::string Log() { return rig_.dir.Read("LAD.log"); }
  std::vector<std::string> Lines() { return rig_.PhoneLines(); }
  int State() { return rig_.link->Reply().State(); }

  SimLink rig_{{}, SimLink::Line::Memory};
};

TEST_F(DownloadRig, SmallFileWithOkInTheFirstReplyStillAcknowledges) {
  PhoneFile("abc.txt", "abc");
  EXPECT_EQ(DownloadFile(*rig_.link, rig_.pages.PcFolder, "abc.txt", 3).outcome, TOutcome::Ok);
  EXPECT_EQ(State(), rsOk);
  EXPECT_EQ(PcFile("abc.txt"), "abc");
  std::vector<std::string> lines = {"AT*FDWN=\"abc.txt\"", "AT*ACK"};
  EXPECT_EQ(Lines(), lines);
  const std::string req = "AT*FDWN=\"abc.txt\"\r\n", ack = "AT*ACK\r\n";
  EXPECT_EQ(Log(), req + req + "\r\n*FDWN: 1\r\n01006162630138\r\n\r\nOK\r\n" + ack + ack +
                       "\r\n*FDWN: 2\r\n02000000\r\n\r\nOK\r\n");
  EXPECT_TRUE(rig_.view.messages.empty());
  EXPECT_TRUE(rig_.link->Port().Connected());
  EXPECT_EQ(rig_.view.progressMax, 6);
  EXPECT_FALSE(rig_.view.statusVisible);
}

class DownloadSizes : public DownloadRig, public ::testing::WithParamInterface<size_t> {};

TEST_P(DownloadSizes, EveryByteArrives) {
  const size_t size = GetParam();
  const std::string bytes = Pattern(size);
  PhoneFile("d.bin", bytes);
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "d.bin", static_cast<int>(size));
  EXPECT_EQ(State(), rsOk);
  ASSERT_TRUE(PcHas("d.bin"));
  EXPECT_EQ(PcFile("d.bin"), bytes);
  // One AT*ACK per further packet; a file of one packet still gets one.
  size_t count = size == 0 ? 1 : (size + 89) / 90;
  size_t acks = count == 1 ? 1 : count - 1;
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(lines.size(), 1 + acks);
  for (size_t i = 1; i < lines.size(); ++i) EXPECT_EQ(lines[i], "AT*ACK");
  EXPECT_TRUE(rig_.view.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Download, DownloadSizes, ::testing::Values(0, 1, 90, 91, 1000, 300 * 90 + 1));

class CorruptPacket : public DownloadRig, public ::testing::WithParamInterface<int> {};

TEST_P(CorruptPacket, IsAskedForAgainAndWrittenInPlace) {
  const int bad = GetParam();
  SetOptions([&](phonesim::Options& o) { o.corruptDownloadPacket = bad; });
  const std::string bytes = Pattern(300);  // four packets
  PhoneFile("c.bin", bytes);
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "c.bin", 300);
  EXPECT_EQ(State(), rsOk);
  EXPECT_EQ(PcFile("c.bin"), bytes);
  std::vector<std::string> lines = {"AT*FDWN=\"c.bin\""};
  for (int n = 1; n <= 4; ++n) {
    if (n == bad) lines.push_back("AT*D_ERR");
    if (n < 4) lines.push_back("AT*ACK");
  }
  EXPECT_EQ(Lines(), lines);
  // The repeat request and its answer stay out of the log.
  const std::string req = "AT*FDWN=\"c.bin\"\r\n", ack = "AT*ACK\r\n";
  std::string log = req + req + PacketReply(bytes, 1, bad == 1);
  for (int n = 2; n <= 4; ++n) log += ack + ack + PacketReply(bytes, n, bad == n);
  EXPECT_EQ(Log(), log);
  EXPECT_TRUE(rig_.view.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Download, CorruptPacket, ::testing::Values(1, 2, 4));

struct FailCase {
  const char* label;
  std::string errorPrefix, silentPrefix;
  std::vector<std::string> messages;
};

void PrintTo(const FailCase& c, std::ostream* os) { *os << c.label; }

class DownloadFailures : public DownloadRig, public ::testing::WithParamInterface<FailCase> {
 protected:
  void Arrange() {
    const FailCase& c = GetParam();
    SetOptions([&](phonesim::Options& o) {
      o.errorPrefix = c.errorPrefix;
      o.noEchoSilentPrefix = c.silentPrefix;
    });
    if (!c.silentPrefix.empty()) rig_.link->SetClock(TClock(0.02));  // nothing to wait for but the time-out
    PhoneFile("x.bin", Pattern(500));
  }
  void ExpectFailed() {
    const FailCase& c = GetParam();
    EXPECT_EQ(rig_.view.messages, c.messages) << c.label;
    EXPECT_NE(State(), rsOk) << c.label;
    EXPECT_FALSE(rig_.link->Port().Connected()) << c.label;
  }
};

TEST_P(DownloadFailures, LeaveAnExistingFileUntouched) {
  Arrange();
  const std::string precious = "the user's own bytes";
  rig_.dir.Write("pc/x.bin", precious);
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "x.bin", 500);
  ExpectFailed();
  EXPECT_EQ(PcFile("x.bin"), precious) << GetParam().label;
}

TEST_P(DownloadFailures, LeaveNothingWhenThereWasNoFile) {
  Arrange();
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "x.bin", 500);
  ExpectFailed();
  EXPECT_FALSE(PcHas("x.bin")) << GetParam().label;
}

INSTANTIATE_TEST_SUITE_P(
    Download, DownloadFailures,
    ::testing::Values(FailCase{"request answered ERROR", "AT*FDWN", "", {"Download_Error"}},
                      FailCase{"acknowledge answered ERROR", "AT*ACK", "", {"Download_Error"}},
                      FailCase{"silent request", "", "AT*FDWN", {"Download_Timeout"}},
                      FailCase{"silent acknowledge", "", "AT*ACK", {"Download_Timeout"}}));

TEST_F(DownloadRig, SuccessfulOverwriteReplacesTheFile) {
  PhoneFile("x.bin", Pattern(200));
  rig_.dir.Write("pc/x.bin", "old old old old old old old old old old old old old old old old old old old old "
                             "old old old old old old old old old old old old old old old old old old old old "
                             "old old old old old old old old old old old old old old old old old old old old ");
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "x.bin", 200);
  std::vector<std::string> q = {"Overwrite x.bin?"};
  EXPECT_EQ(rig_.view.overwriteQuestions, q);
  EXPECT_EQ(PcFile("x.bin"), Pattern(200));
  EXPECT_EQ(State(), rsOk);
}

TEST_F(DownloadRig, RenameKeepsThePhoneNameOnTheWire) {
  PhoneFile("a.gif", "PHONE");
  rig_.dir.Write("pc/a.gif", "PC");
  rig_.dir.Write("pc/b.gif", "PC-B");
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Rename, TOverwriteAnswer::Rename};
  rig_.view.renameAnswers = {"b.gif", "c.gif"};
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "a.gif", 5);
  // Give the receiver a few cycles (in memory it reads in the link's
  // turns): a stale "OK" must not turn into a verdict.
  for (int i = 0; i < 3; ++i) rig_.link->WaitTurn();
  std::vector<std::string> q = {"Overwrite a.gif?", "Overwrite b.gif?"};
  EXPECT_EQ(rig_.view.overwriteQuestions, q);
  ASSERT_FALSE(Lines().empty());
  EXPECT_EQ(Lines()[0], "AT*FDWN=\"a.gif\"");
  EXPECT_EQ(PcFile("c.gif"), "PHONE");
  EXPECT_EQ(PcFile("a.gif"), "PC");
  EXPECT_EQ(PcFile("b.gif"), "PC-B");
}

TEST_F(DownloadRig, CancelledOverwriteSendsNothing) {
  PhoneFile("a.gif", "PHONE");
  rig_.dir.Write("pc/a.gif", "PC");
  rig_.link->Reply().SetState(rsOk);
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "a.gif", 5);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(PcFile("a.gif"), "PC");
  EXPECT_EQ(State(), rsOk);
  EXPECT_TRUE(rig_.link->Port().Connected());
}

TEST_F(DownloadRig, UnwritableFolderIsAFailureNotASuccess) {
  PhoneFile("a.gif", "PHONE");
  rig_.pages.PcFolder = rig_.dir.File("pc/missing");
  rig_.link->Reply().SetState(rsOk);
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "a.gif", 5);
  std::vector<std::string> msgs = {"Open File Err"};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_NE(State(), rsOk);
  EXPECT_TRUE(Lines().empty());
  EXPECT_FALSE(fs::exists(rig_.dir.File("pc/missing")));
}

class UnsafeNames : public DownloadRig, public ::testing::WithParamInterface<std::string> {};

TEST_P(UnsafeNames, AreRefusedBeforeAnythingIsWritten) {
  const std::string name = GetParam();
  rig_.dir.Write("x", "outside");
  rig_.link->Reply().SetState(rsOk);
  DownloadFile(*rig_.link, rig_.pages.PcFolder, name, 5);
  std::vector<std::string> msgs = {"Invalid file name: " + name};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_TRUE(Lines().empty());
  EXPECT_FALSE(fs::exists(rig_.dir.File("LAD.log")));
  EXPECT_TRUE(fs::is_empty(rig_.dir.File("pc")));
  EXPECT_EQ(rig_.dir.Read("x"), "outside");
  EXPECT_TRUE(rig_.link->Port().Connected());
}

INSTANTIATE_TEST_SUITE_P(Download, UnsafeNames, ::testing::Values("../x", "..", ".", "", "sub/x", "..\\x"));

TEST_F(DownloadRig, UnsafeRenameIsRefusedToo) {
  PhoneFile("a.gif", "PHONE");
  rig_.dir.Write("pc/a.gif", "PC");
  rig_.dir.Write("x", "outside");
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Rename};
  rig_.view.renameAnswers = {"../x"};
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "a.gif", 5);
  std::vector<std::string> msgs = {"Invalid file name: ../x"};
  EXPECT_EQ(rig_.view.messages, msgs);
  EXPECT_TRUE(Lines().empty());
  EXPECT_EQ(rig_.dir.Read("x"), "outside");
  EXPECT_EQ(PcFile("a.gif"), "PC");
}

// The temporary never takes the target's name plus a suffix: a name of 255
// bytes still fits, and the user's own NAME.part is never written.
TEST_F(DownloadRig, TemporaryNameFitsAndSparesTheUsersPartFile) {
  const std::string precious = "the user's own part file";
  rig_.dir.Write("pc/k.gif.part", precious);
  for (const std::string& name : {std::string(251, 'n') + ".gif", std::string("k.gif")}) {
    PhoneFile(name, Pattern(200));
    EXPECT_EQ(DownloadFile(*rig_.link, rig_.pages.PcFolder, name, 200).outcome, TOutcome::Ok) << name.size();
    EXPECT_EQ(PcFile(name), Pattern(200)) << name.size();
  }
  EXPECT_EQ(PcFile("k.gif.part"), precious);
  fs::remove(rig_.dir.File("pc/k.gif.part"));
}

TEST_F(DownloadRig, HangUpMidTransferEndsThroughAbort) {
  SetOptions([](phonesim::Options& o) { o.hangupAfterLines = 3; });
  const std::string bytes = Pattern(500);
  PhoneFile("h.bin", bytes);
  DownloadFile(*rig_.link, rig_.pages.PcFolder, "h.bin", 500);
  for (const char* m : {"Download_Timeout", "Download_Error", "Parse Error", "COM port exception while send FDWN cmd"})
    EXPECT_FALSE(rig_.view.HasMessage(m)) << m;
  EXPECT_EQ(rig_.link->Flags().AbortCount, 1u);
  EXPECT_EQ(rig_.link->Flags().LinkFailed, 0);
  EXPECT_EQ(rig_.view.page, TPage::Logo);
  EXPECT_FALSE(rig_.view.progressVisible);
  EXPECT_FALSE(PcHas("h.bin"));
}

// A phone that sends wrong packets: each fault ends in the right bytes, or
// in a failure that leaves the PC folder as it was, for a new name and over
// an existing file alike.
struct PhoneFaultCase {
  const char* label;
  std::function<void(phonesim::Options&)> fault;
  std::string message;  // empty: the file arrives whole
  int repeatRequests;   // "AT*D_ERR" lines on the wire
};

void PrintTo(const PhoneFaultCase& c, std::ostream* os) { *os << c.label; }

class PhoneFaults : public DownloadRig, public ::testing::WithParamInterface<std::tuple<PhoneFaultCase, bool>> {};

TEST_P(PhoneFaults, RightBytesOrNothingChanged) {
  const auto& [c, existing] = GetParam();
  SetOptions(c.fault);
  const std::string bytes = Pattern(500);  // six packets
  PhoneFile("f.bin", bytes);
  const std::string precious = "the user's own bytes";
  if (existing) rig_.dir.Write("pc/f.bin", precious);
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  const TResult r = DownloadFile(*rig_.link, rig_.pages.PcFolder, "f.bin", 500);
  const std::vector<std::string> lines = Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "AT*D_ERR"), c.repeatRequests) << c.label;
  if (c.message.empty()) {
    EXPECT_EQ(r.outcome, TOutcome::Ok) << c.label;
    EXPECT_TRUE(rig_.view.messages.empty()) << c.label << ": " << rig_.view.messages.front();
    EXPECT_EQ(PcFile("f.bin"), bytes) << c.label;
    return;
  }
  EXPECT_EQ(r.outcome, TOutcome::Refused) << c.label;
  EXPECT_EQ(rig_.view.messages, std::vector<std::string>{c.message}) << c.label;
  EXPECT_NE(State(), rsOk) << c.label;
  if (existing) {
    EXPECT_EQ(PcFile("f.bin"), precious) << c.label;
  } else {
    EXPECT_FALSE(PcHas("f.bin")) << c.label;
  }
}

using O = phonesim::Options;
const PhoneFaultCase kPhoneFaults[] = {
    {"a data digit of packet 2 corrupted", [](O& o) { o.corruptDownloadPacket = 2, o.corruptDownloadChar = 7; }, "", 1},
    // The sum still matches in its low byte: only the whole check value tells.
    {"the check value's high byte corrupted", [](O& o) { o.corruptDownloadPacket = 1, o.corruptDownloadChar = 181; }, "", 1},
    {"packet 3 corrupted twice in a row", [](O& o) { o.corruptDownloadPacket = 3, o.corruptDownloadTimes = 2; }, "", 2},
    {"the last packet corrupted three times", [](O& o) { o.corruptDownloadPacket = 6, o.corruptDownloadTimes = 3; }, "", 3},
    {"packet 1 repeated", [](O& o) { o.repeatDownloadPacket = 1; }, "", 0},
    {"packet 4 repeated", [](O& o) { o.repeatDownloadPacket = 4; }, "", 0},
    {"2 before 1", [](O& o) { o.swapDownloadPacket = 1; }, "Packet out of order", 0},
    {"3 before 2", [](O& o) { o.swapDownloadPacket = 2; }, "Packet out of order", 0},
    {"a packet past the end", [](O& o) { o.downloadPastEnd = true; }, "Packet past the end of the file", 0},
    {"the first of six marked last", [](O& o) { o.earlyLastPacket = 1; }, "Packet past the end of the file", 0},
    {"the third of six marked last", [](O& o) { o.earlyLastPacket = 3; }, "File size differs from the phone listing", 0},
};

INSTANTIATE_TEST_SUITE_P(Download, PhoneFaults, ::testing::Combine(::testing::ValuesIn(kPhoneFaults), ::testing::Bool()));

// Stop pressed once the first packet is in: nothing of the fetch stays.
TEST_F(DownloadRig, StoppedFetchLeavesThePcFolderAsItWas) {
  PhoneFile("s.bin", Pattern(500));
  rig_.dir.Write("pc/old.bin", "the user's own bytes");
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  rig_.view.onWaitTurn = [&] {
    if (rig_.view.progressPos > 0) rig_.link->Flags().RequestStop();
  };
  for (const char* name : {"s.bin", "old.bin"}) {
    PhoneFile(name, Pattern(500));
    EXPECT_EQ(DownloadFile(*rig_.link, rig_.pages.PcFolder, name, 500).outcome, TOutcome::Aborted) << name;
    rig_.link->Flags().TakeStop();
  }
  EXPECT_FALSE(PcHas("s.bin"));
  EXPECT_EQ(PcFile("old.bin"), "the user's own bytes");
}

struct LimitCase {
  unsigned long long limit;
  size_t size;
  bool arrives;
  std::vector<std::string> messages;
};

void PrintTo(const LimitCase& c, std::ostream* os) { *os << c.size << " bytes under a limit of " << c.limit; }

class FileSizeLimit : public DownloadRig, public ::testing::WithParamInterface<LimitCase> {};

// The user's file is replaced only by a file written whole; a lost trace is
// told but does not undo the transfer. TearDown: no temporary is left.
TEST_P(FileSizeLimit, UsersFileReplacedOnlyByAWholeFile) {
  const LimitCase& c = GetParam();
  const std::string precious = "the user's own bytes", bytes = Pattern(c.size);
  PhoneFile("big.bin", bytes);
  rig_.dir.Write("pc/big.bin", precious);
  rig_.view.overwriteAnswers = {TOverwriteAnswer::Overwrite};
  const int size = static_cast<int>(c.size);
  const TResult r = faults::UnderFileSizeLimit(c.limit, [&] { return DownloadFile(*rig_.link, rig_.pages.PcFolder, "big.bin", size); });
  EXPECT_EQ(r.outcome, c.arrives ? TOutcome::Ok : TOutcome::Failed);
  EXPECT_EQ(rig_.view.messages, c.messages);
  EXPECT_EQ(PcFile("big.bin"), c.arrives ? bytes : precious);
}

// Met while packets arrive; met only when the file is closed; met by the trace alone.
INSTANTIATE_TEST_SUITE_P(Download, FileSizeLimit,
                         ::testing::Values(LimitCase{8192, 20000, false, {"Write file Err", "Write log Err"}},
                                           LimitCase{100, 300, false, {"Write file Err", "Write log Err"}},
                                           LimitCase{400, 300, true, {"Write log Err"}}));


// A link on a scripted phone's pty, with the tests' fast clock.
void OpenOnScriptPhone(TLink& link, const std::string& path) {
  link.SetClock(TClock(0.05));
  link.Port().SetPort(path);
  link.Port().SetEvents(0);
  link.Port().Open();
  link.Open();
}
TEST(DownloadSplitReply, OnePacketWhoseOkComesLaterIsNotATimeOut) {
  TempDir dir;
  IsolateSettings(dir);
  setenv("HOME", dir.path().c_str(), 1);
  fs::create_directories(dir.File("pc"));
  // A one-packet file whose "OK" comes in a later burst: timing the virtual phone does not offer.
  faults::ScriptPhone phone(
      [](const std::string& line) -> std::vector<std::string> {
        if (line.rfind("AT*FDWN=", 0) == 0) return {"\r\n*FDWN: 1\r\n01006162630138\r\n", "\r\nOK\r\n"};
        if (line == "AT*ACK") return {"\r\n*FDWN: 2\r\n02000000\r\n\r\nOK\r\n"};
        return {"\r\nOK\r\n"};
      },
      150);
  ASSERT_FALSE(phone.Path().empty());
  {
    FakeView view;
    TLink link(view);
    OpenOnScriptPhone(link, phone.Path());
    DownloadFile(link, dir.File("pc"), "one.bin", 3);
    EXPECT_TRUE(view.messages.empty()) << view.messages.front();
    EXPECT_EQ(link.Reply().State(), rsOk);
    EXPECT_EQ(dir.Read("pc/one.bin"), "abc");
  }
  std::vector<std::string> lines = {"AT*FDWN=\"one.bin\"", "AT*ACK"};
  EXPECT_EQ(phone.Lines(), lines);
}

// A phone that answers every acknowledgement with the packet just taken,
// marked "more": cut off after three answers that bring nothing new.
TEST(DownloadSplitReply, AnswersWithNothingNewEndTheFetch) {
  TempDir dir;
  IsolateSettings(dir);
  setenv("HOME", dir.path().c_str(), 1);
  fs::create_directories(dir.File("pc"));
  faults::ScriptPhone phone(
      [](const std::string& line) -> std::vector<std::string> {
        if (line == "AT" || line.rfind("AT*FLIST", 0) == 0) return {"\r\nOK\r\n"};
        return {"\r\n*FDWN: 1\r\n" + DataLine(1, false, "abc", 0) + "\r\n"};
      },
      0);
  ASSERT_FALSE(phone.Path().empty());
  FakeView view;
  TLink link(view);
  OpenOnScriptPhone(link, phone.Path());
  EXPECT_EQ(DownloadFile(link, dir.File("pc"), "one.bin", 90).outcome, TOutcome::Refused);
  EXPECT_EQ(view.messages, std::vector<std::string>{"No data from the phone in 3 packets: one.bin"});
  EXPECT_EQ(phone.Lines().size(), 4u);
  EXPECT_TRUE(fs::is_empty(dir.File("pc")));
}

}  // namespace
