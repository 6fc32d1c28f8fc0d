// Reply classification, row by row over the reply shapes the phone sends.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "link/Reply.h"

namespace {

std::string Pkt(char mark, int dataChars = 8) {
  // 4 header characters (number, "0", mark) + data + check value.
  return std::string("010") + mark + std::string(dataChars, 'A') + "0208";
}

struct Case {
  const char* what;
  std::string text;
  int start;
  int expected;
};

class ClassifyTable : public ::testing::TestWithParam<Case> {};

TEST_P(ClassifyTable, GivesVerdict) {
  const Case& c = GetParam();
  EXPECT_EQ(ClassifyReply(c.text, c.start).state, c.expected) << c.what;
}

// A whole 184-character packet line: header, 88 bytes as 176 data
// characters, and the check value of those characters.
std::string Line184(char mark) {
  const std::string data(176, 'C');
  return std::string("010") + mark + data + "2E10";  // 176 x 'C' (67) = 0x2E10
}

INSTANTIATE_TEST_SUITE_P(
    ReplyShapes, ClassifyTable,
    ::testing::Values(
        Case{"OK after AT", "AT\r\n\r\nOK\r\n", rsWaiting, rsOk},
        Case{"OK does not overwrite a packet verdict", "AT\r\n\r\nOK\r\n", rsNextPacket, rsNextPacket},
        Case{"OK and ERROR: error wins", "\r\nOK\r\nERROR\r\n", rsWaiting, rsError},
        Case{"first packet, mark 1, closed by CR LF",
             "AT*FDWN=\"a\"\r\n\r\n*FDWN: 1\r\n" + Pkt('1') + "\r\n", rsWaiting, rsFirstPacket},
        Case{"first packet, mark 1, no CR LF yet", "\r\n*FDWN: 1\r\n" + Pkt('1'), rsWaiting, rsWaiting},
        Case{"first packet, mark 1, a whole line of exactly 184 characters",
             "\r\n*FDWN: 1\r\n" + Line184('1'), rsWaiting, rsFirstPacket},
        Case{"first packet, mark 1, a longer line cut after 184 characters",
             "\r\n*FDWN: 1\r\n0101" + std::string(180, 'C'), rsWaiting, rsWaiting},
        Case{"first packet, 184 characters whose check value fails",
             "\r\n*FDWN: 1\r\n" + Line184('1').substr(0, 183) + "1", rsWaiting, rsWaiting},
        Case{"first packet, mark 1, 183 characters",
             "\r\n*FDWN: 1\r\n0101" + std::string(179, 'C'), rsWaiting, rsWaiting},
        Case{"first packet without more mark, closed", "\r\n*FDWN: 1\r\n" + Pkt('0') + "\r\n", rsWaiting,
             rsNextPacket},
        Case{"first packet without more mark, not closed", "\r\n*FDWN: 1\r\n" + Pkt('0'), rsWaiting, rsWaiting},
        Case{"header line not complete", "\r\n*FDWN: 1", rsWaiting, rsWaiting},
        Case{"last packet with OK in the first reply", "\r\n*FDWN: 1\r\n" + Pkt('0') + "\r\n\r\nOK\r\n",
             rsWaiting, rsOk},
        Case{"judged by the part after the second *FDWN:",
             "\r\n*FDWN: 1\r\n" + Pkt('0') + "\r\n*FDWN: 2\r\n" + Pkt('1') + "\r\n", rsWaiting, rsFirstPacket},
        Case{"after ACK, mark 1 closed", "AT*ACK\r\n\r\n*FDWN: 2\r\n" + Pkt('1') + "\r\n", rsFirstPacket,
             rsNextPacket},
        Case{"after ACK, mark 1, a whole 184-character line", "AT*ACK\r\n*FDWN: 2\r\n" + Line184('1'),
             rsFirstPacket, rsNextPacket},
        Case{"after ACK, mark 1, a line cut after 184 characters", "AT*ACK\r\n*FDWN: 2\r\n0201" + std::string(180, 'D'),
             rsFirstPacket, rsFirstPacket},
        Case{"after ACK, OK before the last header does not count",
             "AT*ACK\r\n\r\nOK\r\n*FDWN: 3\r\n" + Pkt('0') + "\r\n", rsFirstPacket, rsFirstPacket},
        Case{"empty suite list: an empty line after the header", "AT*FDWN=\"4\"\r\n\r\n*FDWN: 1\r\n\r\nOK\r\n",
             rsWaiting, rsOk},
        Case{"empty suite list: a bare packet header", "\r\n*FDWN: 1\r\n0100\r\nOK\r\n", rsWaiting, rsOk},
        Case{"empty suite list: OK right after the header", "\r\n*FDWN: 1\r\nOK\r\n", rsWaiting, rsOk},
        // Its field lines are no packet data line: no download verdict either.
        Case{"suite list whose data line holds OK, no result yet", "\r\n*FDWN: 1\r\n0100URL:OK.jar\r\n", rsWaiting,
             rsWaiting},
        // A line before the data line (a call coming in) is not the packet.
        Case{"RING after the header, no data line yet", "\r\n*FDWN: 2\r\nRING\r\n", rsWaiting, rsWaiting},
        Case{"RING after the header, then a packet marked 1", "\r\n*FDWN: 1\r\nRING\r\n" + Pkt('1') + "\r\n",
             rsWaiting, rsFirstPacket},
        Case{"after ACK, RING, then mark 0 and OK", "AT*ACK\r\n\r\n*FDWN: 3\r\nRING\r\n" + Pkt('0') + "\r\n\r\nOK\r\n",
             rsFirstPacket, rsOk},
        Case{"after ACK, mark 0 without OK", "AT*ACK\r\n\r\n*FDWN: 3\r\n" + Pkt('0') + "\r\n", rsFirstPacket,
             rsFirstPacket},
        Case{"after ACK, mark 0 with OK", "AT*ACK\r\n\r\n*FDWN: 3\r\n" + Pkt('0') + "\r\n\r\nOK\r\n",
             rsFirstPacket, rsOk},
        Case{"after D_ERR, mark 1", "AT*D_ERR\r\n\r\n*FDWN: 2\r\n" + Pkt('1') + "\r\n", rsWaiting,
             rsNextPacket},
        Case{"after D_ERR, mark 0 and OK", "AT*D_ERR\r\n\r\n*FDWN: 2\r\n" + Pkt('0') + "\r\n\r\nOK\r\n",
             rsWaiting, rsOk},
        Case{"rejected upload packet", "AT*FUPL=0101AB0083\r\n\r\n*FUPL: D_ERR\r\n", rsWaiting,
             rsPacketRejected},
        Case{"D_ERR without *FUPL is no rejection", "\r\nD_ERR\r\n", rsWaiting, rsWaiting},
        Case{"refused upload request", "AT*FUPL=\"a\",3,3\r\n\r\n*FUPL: 3 ERROR\r\n", rsWaiting, rsError},
        Case{"unrecognised text leaves the state", "\r\n+CME: 7\r\n", rsNextPacket, rsNextPacket},
        Case{"empty text", "", rsWaiting, rsWaiting},
        Case{"lower-case ok is not OK", "\r\nok\r\n", rsWaiting, rsWaiting}));

struct InstallCase {
  std::string text;
  bool coded;
  int code;
  const char* message;
};

TEST(ClassifyInstall, CodedErrorsGiveTheirMessages) {
  const InstallCase cases[] = {
      {"\r\n*FUPL: ERROR(1)\r\n", true, 1, "Invalid Descriptor!!\nPlease check JAD file!!"},
      {"\r\n*FUPL: ERROR(2)\r\n", true, 2, "Attribute Mismatch!!\nIt couldn't be installed!!"},
      {"\r\n*FUPL: ERROR(3)\r\n", true, 3, "Insufficient Memory!!\nIt couldn't be installed!!"},
      {"\r\n*FUPL: ERROR(4)\r\n", true, 4, "Read JAR Error!!\nPlease check JAR file!!"},
      {"\r\n*FUPL: ERROR(5)\r\n", true, 5, "File Operation Error!!"},
      {"\r\n*FUPL: ERROR(6)\r\n", true, 6, "Memory Operation Error!!"},
      {"\r\n*FUPL: ERROR(7)\r\n", true, 7, "Version Incompatible!!"},
      {"\r\n*FUPL: ERROR(8)\r\n", true, 8, "JAVA Operation failed!!"},
      {"\r\n*FUPL: ERROR(x)\r\n", true, 0, "JAVA Operation failed!!"},
      {"\r\nERROR(", true, 0, "JAVA Operation failed!!"},
      {"\r\nERROR\r\n", false, 0, nullptr},
  };
  for (const auto& c : cases) {
    TClassifyResult r = ClassifyReply(c.text, rsWaiting);
    EXPECT_EQ(r.state, rsError) << c.text;
    EXPECT_EQ(r.installResult, c.coded) << c.text;
    if (c.coded) {
      EXPECT_EQ(r.installCode, c.code) << c.text;
      EXPECT_STREQ(InstallResultMessage(r.installCode), c.message) << c.text;
    }
  }
}

TEST(ReplyChannel, InstallResultTakesTheText) {
  TReplyChannel ch;
  ch.Reset(rsWaiting);
  std::string t = "\r\n*FUPL: ERROR(3)\r\n";
  ch.Append(t.data(), t.size());
  TClassifyResult r = ch.Classify();
  EXPECT_TRUE(r.installResult);
  EXPECT_EQ(r.rawText, t);
  EXPECT_EQ(ch.Text(), "");
  EXPECT_EQ(ch.State(), rsError);
}

TEST(ReplyChannel, ResetClearsTextAndSetsStart) {
  TReplyChannel ch;
  ch.Append("OK", 2);
  ch.Classify();
  ch.Reset(rsFirstPacket);
  EXPECT_EQ(ch.Text(), "");
  EXPECT_EQ(ch.State(), rsFirstPacket);
}

TEST(ReplyChannel, BabblingDeviceOverflowsInsteadOfLosingText) {
  TReplyChannel ch;
  ch.Reset(rsWaiting);
  std::string chunk(64 * 1024, 'x');
  for (int i = 0; i < 15; ++i) ch.Append(chunk.data(), chunk.size());
  ch.Append("\r\nOK\r\n", 6);
  EXPECT_FALSE(ch.Overflowed());
  EXPECT_EQ(ch.Classify().state, rsOk);
  for (int i = 0; i < 2; ++i) ch.Append(chunk.data(), chunk.size());
  ch.Append("\r\nOK\r\n", 6);
  // The text stops at the cap with its beginning kept, and a verdict that
  // comes past it is not read.
  EXPECT_TRUE(ch.Overflowed());
  EXPECT_EQ(ch.TextLength(), TReplyChannel::kMaxReplyText);
  EXPECT_EQ(ch.Text().substr(0, 3), "xxx");
  ch.Reset(rsWaiting);
  EXPECT_FALSE(ch.Overflowed());
  ch.Append("\r\nOK\r\n", 6);
  EXPECT_EQ(ch.Classify().state, rsOk);
}

// The echo is the exact line sent, wherever it stands: noise in front of
// it must not let a word inside its quoted name count, whole or cut short.
TEST(ReplyChannel, EchoBehindNoiseKeepsItsNameOut) {
  struct EchoCase {
    const char* what;
    std::string line;
    std::string text;
    int expected;
  };
  const EchoCase cases[] = {
      {"NUL before the echo", "AT*FRMV=\"OK.txt\"", std::string("\0AT*FRMV=\"OK.txt\"\r\n", 19), rsWaiting},
      {"noise before the echo, then ERROR", "AT*FRMV=\"OK.txt\"", "\x7F~AT*FRMV=\"OK.txt\"\r\n\r\nERROR\r\n", rsError},
      {"echo still arriving", "AT*FRMV=\"OK (2).txt\"", std::string("\0AT*FRMV=\"OK (2", 15), rsWaiting},
      {"the phone's own OK still counts", "AT*FRMV=\"OK.txt\"", "~AT*FRMV=\"OK.txt\"\r\n\r\nOK\r\n", rsOk},
      {"upload request naming ERROR", "AT*FUPL=\"ERROR.gif\",3,3", "\x01" "AT*FUPL=\"ERROR.gif\",3,3\r\n", rsWaiting},
  };
  for (const EchoCase& c : cases) {
    TReplyChannel ch;
    ch.Reset(rsWaiting, c.line);
    ch.Append(c.text.data(), c.text.size());
    EXPECT_EQ(ch.Classify().state, c.expected) << c.what;
  }
}

TEST(ReplyChannel, WaitWakesOnStateChange) {
  TReplyChannel ch;
  ch.Reset(rsWaiting);
  std::thread t([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ch.SetState(rsOk);
  });
  auto t0 = std::chrono::steady_clock::now();
  ch.WaitForChange(rsWaiting, std::chrono::seconds(5));
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  t.join();
  EXPECT_LT(ms, 2000);
  EXPECT_EQ(ch.State(), rsOk);
}

}  // namespace

namespace {

struct EchoCase {
  const char* what;
  std::string text;
  int expected;
  bool coded;
};

// Names travel in the echo of a command, in listing entries and in the
// fields of the suite list; none of them is the phone's answer.
TEST(ClassifyNames, ANameIsNeverTheAnswer) {
  const std::string upBook = "AT*FUPL=\"BOOK.mid\",3,1\r\n";
  const std::string rmErr = "AT*FRMV=\"ERROR.gif\"\r\n";
  const std::string upParen = "AT*FUPL=\"a(1).gif\",3,3\r\n";
  const std::string jad = "AT*FUPL=\"TOKYO ERROR (2).jad\",120,4,1\r\n";
  const std::string listing = "AT*FLIST?\r\n\r\n<F> BOOK.gif (12)\r\n<F> ERROR (2).gif (7)\r\n<D> OK\r\n";
  const std::string suites =
      "AT*FDWN=\"4\"\r\n\r\n*FDWN: 1\r\n0100URL:OK.jar\r\nNAME:TOKYO ERROR (2)\r\nSIZE:4\r\nVERSION:1.0\r\n";
  const EchoCase cases[] = {
      {"echo of a name holding OK", upBook, rsWaiting, false},
      {"part of that echo", upBook.substr(0, 12), rsWaiting, false},
      {"echo, then OK", upBook + "\r\nOK\r\n", rsOk, false},
      {"echo with CR only, then OK", "AT*FUPL=\"BOOK.mid\",3,1\r\r\nOK\r\n", rsOk, false},
      {"echo of a name holding ERROR", rmErr, rsWaiting, false},
      {"that echo, then OK", rmErr + "\r\nOK\r\n", rsOk, false},
      {"refusal after a name with a bracket", upParen + "\r\n*FUPL: 3 ERROR\r\n", rsError, false},
      {"coded refusal after that name", upParen + "\r\n*FUPL: ERROR(2)\r\n", rsError, true},
      {"descriptor request naming ERROR (2)", jad, rsWaiting, false},
      {"that request accepted", jad + "\r\nOK\r\n", rsOk, false},
      {"phone without echo", "\r\nOK\r\n", rsOk, false},
      {"listing cut inside a name holding OK", listing.substr(0, listing.find("OK.gif") + 2), rsWaiting, false},
      {"listing of names with OK, ERROR and brackets", listing, rsWaiting, false},
      {"that listing complete", listing + "\r\nOK\r\n", rsOk, false},
      {"suite list before its OK", suites, rsWaiting, false},
      {"suite list with its OK", suites + "\r\nOK\r\n", rsOk, false},
      {"download of BOOK.mid, first packet", "AT*FDWN=\"BOOK.mid\"\r\n\r\n*FDWN: 1\r\n01010A0A0082\r\n",
       rsFirstPacket, false},
      {"download of ACK.mid, first packet", "AT*FDWN=\"ACK.mid\"\r\n\r\n*FDWN: 1\r\n01010A0A0082\r\n",
       rsFirstPacket, false},
      {"uninstall of D_ERR (1) refused", "AT*FUPL=\"D_ERR (1)\",0,4,3\r\n\r\n*FUPL: ERROR(2)\r\n", rsError, true},
  };
  for (const EchoCase& c : cases) {
    TClassifyResult r = ClassifyReply(c.text, rsWaiting);
    EXPECT_EQ(r.state, c.expected) << c.what;
    EXPECT_EQ(r.installResult, c.coded) << c.what;
    if (c.coded) {
      EXPECT_EQ(r.installCode, 2) << c.what;
    }
  }
}

// A babbling device may fill the kept text with echo-like lines; the
// receiver classifies after every burst, so one pass must stay linear.
TEST(ClassifyNames, AMegabyteOfEchoedNamesIsOnePass) {
  std::string text;
  while (text.size() < TReplyChannel::kMaxReplyText) text += "AT*FRMV=\"*FDWN: OK (1)\"\r\n";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(ClassifyReply(text, rsWaiting).state, rsWaiting);
  // About 10 ms here; a search per echoed name took some 400 ms.
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 0.25);
}

TEST(ClassifyEcho, AckEchoStillMarksALaterPacket) {
  // "ACK" in the echo of "AT*ACK" is what tells a later packet from a first one.
  std::string text = "AT*ACK\r\n\r\n*FDWN: 3\r\n0300" + std::string(8, 'A') + "0208\r\n\r\nOK\r\n";
  EXPECT_EQ(ClassifyReply(text, rsFirstPacket).state, rsOk);
}

}  // namespace
