// Download packet parser: good replies, refused check values, malformed text.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "link/Transfers.h"

namespace {

const char kHex[] = "0123456789ABCDEF";

// A data line as the phone sends it: 2-digit number, "0", mark, hex, check.
std::string DataLine(int n, char mark, const std::string& bytes, int checkDelta = 0) {
  std::string line;
  line += kHex[(n / 10) % 10];
  line += kHex[n % 10];
  line += '0';
  line += mark;
  unsigned sum = 0;
  for (unsigned char b : bytes) {
    line += kHex[b >> 4];
    line += kHex[b & 15];
    sum += static_cast<unsigned char>(kHex[b >> 4]) + static_cast<unsigned char>(kHex[b & 15]);
  }
  sum = (sum + static_cast<unsigned>(checkDelta)) & 0xFFFF;
  for (int s = 12; s >= 0; s -= 4) line += kHex[(sum >> s) & 15];
  return line;
}

std::string Packet(int n, char mark, const std::string& bytes, int checkDelta = 0) {
  return "\r\n*FDWN: " + std::to_string(n) + "\r\n" + DataLine(n, mark, bytes, checkDelta) + "\r\n";
}

std::string Bytes(const TMemorySink& s) { return std::string(s.bytes.begin(), s.bytes.end()); }

struct PacketCase {
  const char* label;
  std::string text;
  int stateBefore;
  int stateAfter;
  std::string message;
  std::string sinkAfter;  // the sink starts holding "XY"
};

void PrintTo(const PacketCase& c, std::ostream* os) { *os << c.label; }

class PacketTable : public ::testing::TestWithParam<PacketCase> {};

TEST_P(PacketTable, Parses) {
  const PacketCase& c = GetParam();
  TMemorySink sink;
  sink.Put('X');
  sink.Put('Y');
  TPacketParseResult r = ParsePacketText(c.text, sink, c.stateBefore);
  EXPECT_EQ(r.state, c.stateAfter) << c.label;
  EXPECT_EQ(r.message, c.message) << c.label;
  EXPECT_EQ(Bytes(sink), c.sinkAfter) << c.label;
  EXPECT_EQ(sink.pos, sink.bytes.size()) << c.label;
}

const std::string kOk = "\r\nOK\r\n";
const std::string kAbc = "\r\n*FDWN: 1\r\n01006162630138\r\n\r\nOK\r\n";

const PacketCase kCases[] = {
    {"worked example with OK", kAbc, rsOk, rsOk, "", "XYabc"},
    {"echo of the request first", "AT*FDWN=\"sun.gif\"\r\n" + kAbc, rsOk, rsOk, "", "XYabc"},
    {"first packet of several", Packet(1, '1', std::string(90, '\xA5')), rsFirstPacket, rsFirstPacket, "",
     "XY" + std::string(90, '\xA5')},
    {"three packets in one reply", Packet(1, '1', "one") + Packet(2, '1', "two") + Packet(3, '0', "3") + "\r\nOK\r\n",
     rsOk, rsOk, "", "XYonetwo3"},
    {"all byte values", Packet(4, '1', std::string("\x00\x01\x7F\x80\xFE\xFF", 6)), rsNextPacket, rsNextPacket, "",
     std::string("XY\x00\x01\x7F\x80\xFE\xFF", 8)},
    {"empty last packet", Packet(2, '0', "") + "\r\nOK\r\n", rsOk, rsOk, "", "XY"},
    {"bad check value", Packet(1, '1', "abc", 1), rsFirstPacket, rsChecksumError, "", "XY"},
    {"check value wrong in its high byte only", Packet(1, '1', "abc", 256), rsFirstPacket, rsChecksumError, "", "XY"},
    {"bad check in the second packet undoes the first too",
     Packet(1, '1', "good") + Packet(2, '1', "bad", -1), rsNextPacket, rsChecksumError, "", "XY"},
    {"packet number 0", Packet(0, '1', "abc"), rsFirstPacket, rsError, "Error while receiving packet number", "XY"},
    {"packet number missing", "\r\n*FDWN: \r\n01006162630138\r\n", rsFirstPacket, rsError,
     "Error while receiving packet number", "XY"},
    {"no colon at all", "\r\n*FDWN 1\r\n01006162630138\r\n", rsFirstPacket, rsError,
     "Error while receiving packet number", "XY"},
    {"no line feed after the header", "\r\n*FDWN: 1", rsFirstPacket, rsError, "Download_Error", "XY"},
    // A line that is not a data line holds no packet: it is asked for again.
    {"odd data length", "\r\n*FDWN: 1\r\n0100616263A0138\r\n", rsFirstPacket, rsChecksumError, "", "XY"},
    {"non-hex digit", "\r\n*FDWN: 1\r\n010061G2630138\r\n", rsFirstPacket, rsChecksumError, "", "XY"},
    {"lower-case hex", "\r\n*FDWN: 1\r\n01006162630138\r\n" + std::string("\r\n*FDWN: 2\r\n02006a0097\r\n"),
     rsNextPacket, rsChecksumError, "", "XY"},
    // Lines between the header and the data line (a call coming in).
    {"RING before the data line", "\r\n*FDWN: 1\r\nRING\r\n01006162630138\r\n\r\nOK\r\n", rsOk, rsOk, "", "XYabc"},
    {"RING and an empty line before the data line", "\r\n*FDWN: 1\r\nRING\r\n\r\n01006162630138\r\n", rsNextPacket,
     rsNextPacket, "", "XYabc"},
    {"RING inside the second of three packets",
     Packet(1, '1', "one") + "\r\n*FDWN: 2\r\nRING\r\n" + DataLine(2, '1', "two") + "\r\n" + Packet(3, '0', "3") + kOk,
     rsOk, rsOk, "", "XYonetwo3"},
    {"RING and no data line", "\r\n*FDWN: 2\r\nRING\r\n", rsNextPacket, rsChecksumError, "", "XY"},
    {"RING, then OK without a data line", Packet(1, '1', "ab") + "\r\n*FDWN: 2\r\nRING\r\n\r\nOK\r\n", rsOk,
     rsChecksumError, "", "XY"},
    {"RING, then the next header", "\r\n*FDWN: 1\r\nRING\r\n" + Packet(2, '1', "cd"), rsNextPacket, rsChecksumError,
     "", "XY"},
    {"RING, then the data line cut", "\r\n*FDWN: 1\r\nRING\r\n0100616263", rsNextPacket, rsError, "Download_Error",
     "XY"},
    {"data line cut before its CR", "\r\n*FDWN: 1\r\n0100616263", rsFirstPacket, rsError, "Download_Error", "XY"},
    {"a whole 184-character line without its line end",
     "\r\n*FDWN: 1\r\n" + DataLine(1, '1', std::string(88, '\xCC')), rsFirstPacket, rsFirstPacket, "",
     "XY" + std::string(88, '\xCC')},
    {"a 188-character line cut after 184", "\r\n*FDWN: 1\r\n" + DataLine(1, '1', std::string(90, '\xCC')).substr(0, 184),
     rsFirstPacket, rsError, "Download_Error", "XY"},
    {"header shorter than four", "\r\n*FDWN: 1\r\n01\r\n", rsFirstPacket, rsChecksumError, "", "XY"},
    {"no asterisk", "\r\nOK\r\n", rsOk, rsOk, "Parse Error", "XY"},
    {"empty text", "", rsFirstPacket, rsFirstPacket, "Parse Error", "XY"},
    {"first asterisk is not a packet", "AT*ACK\r\n\r\nOK\r\n", rsOk, rsOk, "", "XY"},
};

INSTANTIATE_TEST_SUITE_P(Packets, PacketTable, ::testing::ValuesIn(kCases));

// Reply texts of one download fed in turn through one sequence: the state
// and message of the last, the bytes kept.
struct SequenceCase {
  const char* label;
  std::vector<std::string> texts;
  int stateAfter;
  std::string message;
  std::string sinkAfter;
  long long bound = -1;  // the listed size
};

void PrintTo(const SequenceCase& c, std::ostream* os) { *os << c.label; }

class SequenceTable : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(SequenceTable, Parses) {
  const SequenceCase& c = GetParam();
  TMemorySink sink;
  TPacketSequence seq;
  seq.bound = c.bound;
  TPacketParseResult r;
  for (const std::string& t : c.texts) {
    r = ParsePacketText(t, sink, rsNextPacket, &seq);
    if (r.state == rsError) break;
  }
  EXPECT_EQ(r.state, c.stateAfter) << c.label;
  EXPECT_EQ(r.message, c.message) << c.label;
  EXPECT_EQ(Bytes(sink), c.sinkAfter) << c.label;
  if (r.state == rsNextPacket) {
    EXPECT_EQ(seq.bytes, static_cast<long long>(c.sinkAfter.size())) << c.label;
  }
}

const SequenceCase kSequences[] = {
    {"several packets in one text", {Packet(1, '1', "ab") + Packet(2, '1', "cd"), Packet(3, '0', "e") + kOk},
     rsNextPacket, "", "abcde"},
    {"the packet just taken again is not written twice",
     {Packet(1, '1', "ab"), Packet(1, '1', "ab"), Packet(2, '0', "cd") + kOk, Packet(3, '0', "") + kOk}, rsNextPacket, "",
     "abcd"},
    {"repeat inside one text", {Packet(1, '1', "ab") + Packet(1, '1', "ab") + Packet(2, '0', "cd")}, rsNextPacket, "",
     "abcd"},
    {"refused packet asked again keeps its place",
     {Packet(1, '1', "ab"), Packet(2, '1', "cd", 1), Packet(2, '1', "cd"), Packet(3, '0', "e")}, rsNextPacket, "",
     "abcde"},
    {"3 before 2 in one text", {Packet(1, '1', "ab") + Packet(3, '1', "cd")}, rsError, "Packet out of order", "ab"},
    {"an older packet again", {Packet(1, '1', "ab"), Packet(2, '1', "cd"), Packet(1, '1', "ab")}, rsError,
     "Packet out of order", "abcd"},
    {"RING in packet 2: asked again, then taken once",
     {Packet(1, '1', "ab"), "\r\n*FDWN: 2\r\nRING\r\n", Packet(2, '1', "cd"), Packet(3, '0', "e") + kOk},
     rsNextPacket, "", "abcde"},
    {"data after the last packet", {Packet(1, '0', "ab") + kOk, Packet(2, '1', "cd")}, rsError,
     "Packet past the end of the file", "ab"},
    {"exactly the listed size", {Packet(1, '1', "ab"), Packet(2, '0', "c") + kOk}, rsNextPacket, "", "abc", 3},
    {"a packet crossing the listed size", {Packet(1, '1', "ab"), Packet(2, '1', "cd")}, rsError, kPastListedSize,
     "ab", 3},
    {"listed as 0: the first byte is past it", {Packet(1, '0', "a") + kOk}, rsError, kPastListedSize, "", 0},
};

INSTANTIATE_TEST_SUITE_P(Packets, SequenceTable, ::testing::ValuesIn(kSequences));

TEST(PacketParse, CheckValueBytesAreNotWritten) {
  // 90 bytes of 0xFF: 180 'F' characters sum to 12600 = 0x3138.
  std::string line = "\r\n*FDWN: 1\r\n0100" + std::string(180, 'F') + "3138\r\n";
  TMemorySink sink;
  TPacketParseResult r = ParsePacketText(line, sink, rsFirstPacket);
  EXPECT_EQ(r.state, rsFirstPacket);
  EXPECT_EQ(r.written, 90);
  EXPECT_EQ(sink.bytes, std::vector<uint8_t>(90, 0xFF));
}

TEST(PacketParse, RepeatedPacketLandsWhereTheRefusedOneStarted) {
  TMemorySink sink;
  ASSERT_EQ(ParsePacketText(Packet(1, '1', "first"), sink, rsFirstPacket).state, rsFirstPacket);
  ASSERT_EQ(ParsePacketText(Packet(2, '1', "secnd", 3), sink, rsNextPacket).state, rsChecksumError);
  EXPECT_EQ(Bytes(sink), "first");
  ASSERT_EQ(ParsePacketText(Packet(2, '1', "secnd"), sink, rsNextPacket).state, rsNextPacket);
  EXPECT_EQ(Bytes(sink), "firstsecnd");
  EXPECT_EQ(sink.backCalls, 1);
}

TEST(PacketParse, FileSinkBackTruncatesAndRewrites) {
  std::FILE* f = std::tmpfile();
  ASSERT_NE(f, nullptr);
  TFileSink sink(f);
  ASSERT_EQ(ParsePacketText(Packet(1, '1', "AAAA"), sink, rsFirstPacket).state, rsFirstPacket);
  ASSERT_EQ(ParsePacketText(Packet(2, '1', "BBBBBB", 7), sink, rsNextPacket).state, rsChecksumError);
  std::fflush(f);
  EXPECT_EQ(std::ftell(f), 4);
  std::fseek(f, 0, SEEK_END);
  EXPECT_EQ(std::ftell(f), 4) << "refused bytes must not stay in the file";
  ASSERT_EQ(ParsePacketText(Packet(2, '0', "CC"), sink, rsOk).state, rsOk);
  std::fflush(f);
  std::rewind(f);
  char buf[16] = {};
  size_t got = std::fread(buf, 1, sizeof buf, f);
  EXPECT_EQ(std::string(buf, got), "AAAACC");
  EXPECT_FALSE(sink.Failed());
  std::fclose(f);
}

// A sink that refuses after a number of bytes, as a full disk would.
class FullSink : public IPacketSink {
 public:
  explicit FullSink(int room) : room_(room) {}
  bool Put(uint8_t) override { return room_-- > 0 ? (++kept, true) : false; }
  void Back(long count) override { kept -= static_cast<int>(count); }
  int kept = 0;

 private:
  int room_;
};

TEST(PacketParse, WriteFailureStopsWithError) {
  // Room for the first packet and part of the second: only the second's
  // bytes are taken back.
  FullSink sink(5);
  TPacketParseResult r = ParsePacketText(Packet(1, '1', "abc") + Packet(2, '1', "defg"), sink, rsFirstPacket);
  EXPECT_EQ(r.state, rsError);
  EXPECT_EQ(r.message, "Write file Err");
  EXPECT_EQ(sink.kept, 3);
  EXPECT_EQ(r.written, 3);
}

// Mutated and truncated replies: never a crash, never a state outside the
// three the parser may give, and a refused text always leaves the sink as it was.
TEST(PacketFuzz, MutatedRepliesStayInBounds) {
  std::mt19937 rng(777);
  const std::string base = "AT*FDWN=\"x\"\r\n" + Packet(1, '1', "hello") + Packet(2, '0', "world") + "\r\nOK\r\n";
  const std::string alphabet = "*:\r\n0123456789ABCDEFGa FDWN";
  for (int round = 0; round < 20000; ++round) {
    std::string t = base;
    int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !t.empty(); ++e) {
      size_t at = rng() % t.size();
      switch (rng() % 3) {
        case 0: t[at] = alphabet[rng() % alphabet.size()]; break;
        case 1: t.erase(at, 1 + rng() % 3); break;
        default: t.resize(at); break;
      }
    }
    TMemorySink sink;
    sink.Put('Z');
    TPacketParseResult r = ParsePacketText(t, sink, rsNextPacket);
    ASSERT_TRUE(r.state == rsNextPacket || r.state == rsError || r.state == rsChecksumError) << t;
    if (r.state == rsChecksumError) {
      EXPECT_EQ(Bytes(sink), "Z") << t;
    }
    EXPECT_LE(sink.bytes.size(), 1u + t.size() / 2) << t;
  }
}

}  // namespace
