// The PC file filter: header rules on bytes made here, the folder scan on
// files made here, and the same scan on real files made by ImageMagick.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "content/PcScan.h"
#include "support/ImageMagick.h"

namespace fs = std::filesystem;
using pcscan::TVerdict;

namespace {

template <size_t N>
std::string B(const char (&s)[N]) {
  return std::string(s, N - 1);
}

std::string Le16(int v) { return {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)}; }
std::string Be16(int v) { return {static_cast<char>((v >> 8) & 0xff), static_cast<char>(v & 0xff)}; }
std::string Le32(int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  std::string s;
  for (int i = 0; i < 4; ++i) s += static_cast<char>((u >> (8 * i)) & 0xff);
  return s;
}

// A GIF with 'images' image descriptors, optionally a comment after the last.
std::string Gif(int w, int h, int images, bool trailingComment = false) {
  std::string b = "GIF89a" + Le16(w) + Le16(h) + B("\x80\x00\x00") + std::string(6, '\x40');
  for (int i = 0; i < images; ++i) {
    b += B("\x21\xf9\x04\x00\x0a\x00\x00\x00");
    b += B("\x2c\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x4c\x01\x00");
  }
  if (trailingComment) b += B("\x21\xfe\x02hi\x00");
  return b + "\x3b";
}

std::string Bmp(int32_t w, int32_t h) {
  std::string b = "BM" + std::string(16, '\0') + Le32(w) + Le32(h);
  b.resize(54, '\0');
  return b;
}

// JFIF start, then a frame header: SOF0 with three components (length 17)
// or with one (length 11, greyscale).
std::string Jpeg(int h, int w, bool grey = false) {
  std::string b = B("\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00");
  b += grey ? B("\xff\xc0\x00\x0b\x08") : B("\xff\xc0\x00\x11\x08");
  b += Be16(h) + Be16(w);
  b += grey ? B("\x01\x01\x11\x00") : B("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01");
  return b + B("\xff\xd9");
}

// A JPEG whose first 00 11 08 starts at 'at' (the bytes before it are filler).
std::string JpegWithMarkerAt(size_t at, int h, int w) {
  std::string b = B("\xff\xd8");
  b.resize(at, '\x55');
  return b + B("\x00\x11\x08") + Be16(h) + Be16(w) + B("\x03\xff\xd9");
}

// Reader over a byte string that records every read.
struct MemFile {
  std::string bytes;
  std::vector<std::pair<uint64_t, size_t>> reads;
  pcscan::TByteReader Reader() {
    return [this](uint64_t off, unsigned char* buf, size_t n) -> size_t {
      reads.emplace_back(off, n);
      if (off >= bytes.size()) return 0;
      size_t k = std::min(n, bytes.size() - static_cast<size_t>(off));
      std::copy_n(bytes.data() + off, k, buf);
      return k;
    };
  }
  uint64_t FurthestByte() const {
    uint64_t m = 0;
    for (auto [off, n] : reads) m = std::max<uint64_t>(m, off + n);
    return m;
  }
};

TVerdict Judge(int folder, const std::string& name, const std::string& bytes) {
  MemFile f{bytes, {}};
  return pcscan::JudgeHeader(folder, name, static_cast<int64_t>(bytes.size()), f.Reader());
}

struct HeaderCase {
  const char* what;
  int folder;
  std::string name;
  std::string bytes;
  TVerdict verdict;
};

TEST(PcScanHeader, RulesPerFolder) {
  const size_t C = pcscan::kJpegChunk;
  const HeaderCase cases[] = {
      // Melodies.
      {"MIDI", 1, "a.mid", "MThd" + B("\x00\x00\x00\x06"), TVerdict::Listed},
      {"SMAF", 1, "a.mmf", "MMMD" + B("\x00\x00\x10\x00"), TVerdict::Listed},
      {"MIDI header alone", 1, "a.mid", "MThd", TVerdict::Listed},
      {"three bytes of MIDI", 1, "a.mid", "MTh", TVerdict::NotListed},
      {"lower-case tag", 1, "a.mid", "mthd1234", TVerdict::NotListed},
      {"GIF on the melody page", 1, "a.gif", Gif(10, 10, 2), TVerdict::NotListed},
      // Animations: the header decides, the frame count comes later.
      {"GIF 640x640", 2, "a.gif", Gif(640, 640, 2), TVerdict::NeedAnimatedGif},
      {"GIF 641 wide", 2, "a.gif", Gif(641, 10, 2), TVerdict::NotListed},
      {"GIF 641 high", 2, "a.gif", Gif(10, 641, 2), TVerdict::NotListed},
      {"GIF 65535 wide", 2, "a.gif", Gif(65535, 1, 2), TVerdict::NotListed},
      {"GIF cut before offset 6", 2, "a.gif", "GIF89", TVerdict::OperationError},
      {"GIF of exactly 6 bytes", 2, "a.gif", "GIF89a", TVerdict::NotListed},
      {"GIF cut inside the size", 2, "a.gif", B("GIF89a\x10\x00\x08"), TVerdict::NotListed},
      {"MIDI on the animation page", 2, "a.mid", "MThd0000", TVerdict::NotListed},
      {"WBMP name on the animation page", 2, "a.wbmp", Gif(1, 1, 2), TVerdict::NeedAnimatedGif},
      // Pictures.
      {".wbmp", 3, "x.wbmp", B("\x00\x00\x0a\x0a"), TVerdict::Listed},
      {".WBMP", 3, "X.WBMP", "anything at all", TVerdict::Listed},
      {".Wbmp", 3, "x.Wbmp", "MThd", TVerdict::Listed},
      {"name only .wbmp", 3, ".wbmp", "z", TVerdict::Listed},
      {"WBMP under another name", 3, "x.wbm", B("\x00\x00\x0a\x0a"), TVerdict::NotListed},
      {"wbmp not at the end", 3, "x.wbmp.bak", B("\x00\x00\x0a\x0a"), TVerdict::NotListed},
      {"GIF 640x640 picture", 3, "a.gif", Gif(640, 640, 1), TVerdict::NeedStillGif},
      {"GIF 641 wide picture", 3, "a.gif", Gif(641, 640, 1), TVerdict::NotListed},
      {"short GIF picture", 3, "a.gif", "GIF", TVerdict::OperationError},
      {"BMP 640x640", 3, "a.bmp", Bmp(640, 640), TVerdict::Listed},
      {"BMP 641 wide", 3, "a.bmp", Bmp(641, 1), TVerdict::NotListed},
      {"BMP 641 high", 3, "a.bmp", Bmp(1, 641), TVerdict::NotListed},
      {"BMP bottom-up (negative height)", 3, "a.bmp", Bmp(100, -100), TVerdict::Listed},
      {"BMP huge height read signed", 3, "a.bmp", Bmp(10, 0x7fffffff), TVerdict::NotListed},
      {"BMP height 0x80000000 is negative", 3, "a.bmp", Bmp(10, INT32_MIN), TVerdict::Listed},
      {"BMP shorter than offset 18", 3, "a.bmp", "BM" + std::string(15, '\0'), TVerdict::OperationError},
      {"BMP of exactly 18 bytes", 3, "a.bmp", "BM" + std::string(16, '\0'), TVerdict::NotListed},
      {"BMP cut inside the height", 3, "a.bmp", Bmp(10, 10).substr(0, 25), TVerdict::NotListed},
      {"JPEG 480x640", 3, "a.jpg", Jpeg(480, 640), TVerdict::Listed},
      {"JPEG 640x640", 3, "a.jpg", Jpeg(640, 640), TVerdict::Listed},
      {"JPEG 641 wide", 3, "a.jpg", Jpeg(480, 641), TVerdict::NotListed},
      {"JPEG 641 high", 3, "a.jpg", Jpeg(641, 480), TVerdict::NotListed},
      {"greyscale JPEG", 3, "a.jpg", Jpeg(10, 10, true), TVerdict::NotListed},
      {"JPEG without a frame header", 3, "a.jpg", B("\xff\xd8\xff\xd9"), TVerdict::NotListed},
      {"JPEG ends after 00 11 08", 3, "a.jpg", B("\xff\xd8\x00\x11\x08\x00\x10"), TVerdict::NotListed},
      {"first 00 11 08 decides", 3, "a.jpg",
       B("\xff\xd8\x00\x11\x08\x03\x00\x00\x10") + B("\x00\x11\x08\x00\x10\x00\x10"), TVerdict::NotListed},
      {"marker across the first chunk edge (-1)", 3, "a.jpg", JpegWithMarkerAt(C - 1, 10, 20), TVerdict::Listed},
      {"marker across the first chunk edge (-2)", 3, "a.jpg", JpegWithMarkerAt(C - 2, 10, 20), TVerdict::Listed},
      {"marker right at the chunk edge", 3, "a.jpg", JpegWithMarkerAt(C, 10, 20), TVerdict::Listed},
      {"marker ends at the chunk edge", 3, "a.jpg", JpegWithMarkerAt(C - 3, 10, 20), TVerdict::Listed},
      {"size across the chunk edge", 3, "a.jpg", JpegWithMarkerAt(C - 4, 10, 700), TVerdict::NotListed},
      {"marker across the second chunk edge", 3, "a.jpg", JpegWithMarkerAt(2 * C - 1, 10, 20), TVerdict::Listed},
      {"too wide across the chunk edge", 3, "a.jpg", JpegWithMarkerAt(C - 1, 10, 700), TVerdict::NotListed},
      {"MIDI on the picture page", 3, "a.mid", "MThd0000", TVerdict::NotListed},
      // No such folder.
      {"folder 0", 0, "a.wbmp", "MThd", TVerdict::NotListed},
      {"folder 4", 4, "a.gif", Gif(10, 10, 1), TVerdict::NotListed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Judge(c.folder, c.name, c.bytes), c.verdict);
  }
}

TEST(PcScanHeader, ReadsOnlyTheBytesItNeeds) {
  struct Case {
    const char* what;
    int folder;
    std::string name;
    std::string bytes;
    uint64_t furthest;  // no read may reach beyond this offset
  };
  std::string bigBmp = Bmp(10, 10) + std::string(50000, '\0');
  std::string bigMidi = "MThd" + std::string(50000, 'x');
  std::string bigJpeg = Jpeg(10, 10) + std::string(50000, '\0');
  const Case cases[] = {
      {"wbmp is not read", 3, "a.wbmp", std::string(1000, 'w'), 0},
      {"midi tag only", 1, "a.mid", bigMidi, 4},
      {"bmp up to its height", 3, "a.bmp", bigBmp, 26},
      {"gif up to its height", 2, "a.gif", Gif(10, 10, 2) + std::string(50000, '\0'), 10},
      {"jpeg stops at its frame header", 3, "a.jpg", bigJpeg, pcscan::kJpegChunk},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemFile f{c.bytes, {}};
    pcscan::JudgeHeader(c.folder, c.name, static_cast<int64_t>(c.bytes.size()), f.Reader());
    EXPECT_LE(f.FurthestByte(), c.furthest);
    for (auto [off, n] : f.reads) EXPECT_LE(n, pcscan::kJpegChunk);
  }
}

TEST(PcScanHeader, SizeAndFrameLimits) {
  struct SizeCase {
    int64_t size;
    bool accepted;
  };
  for (SizeCase c : {SizeCase{-1, false}, {0, false}, {1, true}, {62999, true}, {63000, true}, {63001, false},
                     {int64_t{1} << 40, false}}) {
    EXPECT_EQ(pcscan::SizeAccepted(c.size), c.accepted) << c.size;
  }
  struct FrameCase {
    TVerdict verdict;
    int frames;
    bool accepted;
  };
  for (FrameCase c : {FrameCase{TVerdict::NeedAnimatedGif, 0, false},
                      {TVerdict::NeedAnimatedGif, 1, false},
                      {TVerdict::NeedAnimatedGif, 2, true},
                      {TVerdict::NeedAnimatedGif, 9, true},
                      {TVerdict::NeedStillGif, 0, true},
                      {TVerdict::NeedStillGif, 1, true},
                      {TVerdict::NeedStillGif, 2, false},
                      {TVerdict::NotListed, 1, false},
                      {TVerdict::OperationError, 1, false}}) {
    EXPECT_EQ(pcscan::FramesAccepted(c.verdict, c.frames), c.accepted)
        << static_cast<int>(c.verdict) << " frames " << c.frames;
  }
}

// ---- Scanning a folder ----

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/quendrel-scan-XXXXXX";
    const char* p = ::mkdtemp(tmpl);
    if (!p) throw std::runtime_error("mkdtemp failed");
    path_ = p;
  }
  ~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, ec);
    for (auto& e : fs::directory_iterator(path_, ec)) fs::permissions(e.path(), fs::perms::owner_all, ec);
    fs::remove_all(path_, ec);
  }
  const std::string& Path() const { return path_; }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::string p = path_ + "/" + name;
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }

 private:
  std::string path_;
};

struct ScanResult {
  std::vector<std::string> names;  // sorted
  std::vector<std::string> messages;
  std::vector<pcscan::TScanEntry> entries;
};

ScanResult Scan(int folder, const std::string& dir) {
  ScanResult r;
  std::vector<std::string> seen;
  r.entries = pcscan::ScanFolder(
      folder, dir, [&](const std::string& m) { r.messages.push_back(m); },
      [&](const pcscan::TScanEntry& e) { seen.push_back(e.name); });
  for (const auto& e : r.entries) r.names.push_back(e.name);
  EXPECT_EQ(seen, r.names) << "onEntry must see the entries in the returned order";
  std::sort(r.names.begin(), r.names.end());
  return r;
}

using Names = std::vector<std::string>;

TEST(PcScanFolder, MixedFolderPerPage) {
  TempDir d;
  d.Write("tune.mid", "MThd" + B("\x00\x00\x00\x06\x00\x01"));
  d.Write("tone.mmf", "MMMD" + std::string(100, '\1'));
  d.Write("still.gif", Gif(640, 640, 1));
  d.Write("wide.gif", Gif(641, 10, 1));
  d.Write("anim.gif", Gif(32, 32, 2));
  d.Write("wideanim.gif", Gif(641, 32, 2));
  d.Write("commented.gif", Gif(32, 32, 1, true));  // one image + comment: two frames
  d.Write("logo.WBMP", "not even a wbmp");
  d.Write("logo2.wbmp", B("\x00\x00\x08\x08"));
  d.Write("logo3.Wbmp", "x");
  d.Write("wbmp.bin", B("\x00\x00\x08\x08"));
  d.Write("pic.bmp", Bmp(320, -240));
  d.Write("bigpic.bmp", Bmp(800, 600));
  d.Write("photo.jpg", Jpeg(480, 640));
  d.Write("grey.jpg", Jpeg(100, 100, true));
  d.Write("empty.wbmp", "");
  d.Write("exact.mid", "MThd" + std::string(63000 - 4, '\0'));
  d.Write("over.mid", "MThd" + std::string(63001 - 4, '\0'));
  d.Write("over.wbmp", std::string(63001, '\0'));
  d.Write("readme.txt", "hello");
  fs::create_directory(d.Path() + "/sub.wbmp");
  ASSERT_EQ(::mkfifo((d.Path() + "/pipe.wbmp").c_str(), 0600), 0);  // would block if opened

  struct Case {
    int folder;
    Names listed;
  };
  const Case cases[] = {
      {1, {"exact.mid", "tone.mmf", "tune.mid"}},
      {2, {"anim.gif", "commented.gif"}},
      {3, {"logo.WBMP", "logo2.wbmp", "logo3.Wbmp", "photo.jpg", "pic.bmp", "still.gif"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("folder " + std::to_string(c.folder));
    ScanResult r = Scan(c.folder, d.Path());
    EXPECT_EQ(r.names, c.listed);
    EXPECT_TRUE(r.messages.empty()) << r.messages.front();
  }
  ScanResult melodies = Scan(1, d.Path());
  for (const auto& e : melodies.entries) {
    if (e.name == "exact.mid") {
      EXPECT_EQ(e.size, 63000);
    } else if (e.name == "tone.mmf") {
      EXPECT_EQ(e.size, 104);
    }
  }
}

TEST(PcScanFolder, MessagesForEachFailure) {
  struct Case {
    const char* what;
    int folder;
    std::vector<std::pair<std::string, std::string>> files;
    Names listed;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"empty folder", 3, {}, {}, {"No suitable file in this folder"}},
      {"nothing suitable", 1, {{"a.txt", "text"}, {"b.gif", Gif(1, 1, 1)}}, {}, {"No suitable file in this folder"}},
      {"short bitmap", 3, {{"tiny.bmp", "BM" + std::string(10, '\0')}}, {},
       {"Image Operation Error", "No suitable file in this folder"}},
      {"short bitmap beside a good one", 3, {{"tiny.bmp", "BM1234"}, {"ok.bmp", Bmp(1, 1)}}, {"ok.bmp"},
       {"Image Operation Error"}},
      {"short GIF on the animation page", 2, {{"tiny.gif", "GIF8"}}, {},
       {"Image Operation Error", "No suitable file in this folder"}},
      {"short GIF on the melody page is just not a melody", 1, {{"tiny.gif", "GIF8"}}, {},
       {"No suitable file in this folder"}},
      {"folder number out of range", 5, {{"a.mid", "MThd"}}, {}, {"No suitable file in this folder"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d;
    for (const auto& [name, bytes] : c.files) d.Write(name, bytes);
    ScanResult r = Scan(c.folder, d.Path());
    EXPECT_EQ(r.names, c.listed);
    EXPECT_EQ(r.messages, c.messages);
  }
}

TEST(PcScanFolder, MissingDirectoryGivesOnlyItsMessage) {
  ScanResult r = Scan(3, "/nonexistent/quendrel/folder");
  EXPECT_TRUE(r.entries.empty());
  EXPECT_EQ(r.messages, std::vector<std::string>{"Unable to open directory"});
  TempDir d;
  std::string file = d.Write("plain.mid", "MThd");
  r = Scan(1, file);  // a file is no directory
  EXPECT_EQ(r.messages, std::vector<std::string>{"Unable to open directory"});
}

TEST(PcScanFolder, UnreadableFileIsReportedAndPassedOver) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads files whatever their mode";
  TempDir d;
  std::string locked = d.Write("locked.mid", "MThd0000");
  d.Write("open.mid", "MThd0000");
  ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
  ScanResult r = Scan(1, d.Path());
  EXPECT_EQ(r.names, Names{"open.mid"});
  EXPECT_EQ(r.messages, std::vector<std::string>{"Imagelocked.midOpen Error"});
}

TEST(PcScanFolder, DamagedGifIsUnsuitableAndTheScanGoesOn) {
  TempDir d;
  // Right size in the header, then a sub-block that runs past the end.
  d.Write("cut.gif", Gif(10, 10, 1).substr(0, 30));
  // Whole blocks with a stray byte before the trailer.
  const std::string anim = Gif(10, 10, 2);
  d.Write("stray.gif", anim.substr(0, anim.size() - 1) + "\x01;");
  d.Write("still.gif", Gif(10, 10, 1));
  d.Write("anim.gif", anim);
  d.Write("song.mid", "MThd");
  const struct {
    int folder;
    Names listed;
  } cases[] = {{1, {"song.mid"}}, {2, {"anim.gif"}}, {3, {"still.gif"}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.folder);
    Names listed, damaged;
    std::vector<std::string> messages;
    for (const auto& e : pcscan::ScanFolder(
             c.folder, d.Path(), [&](const std::string& m) { messages.push_back(m); }, {},
             [&](const pcscan::TRejectedEntry& e) {
               if (e.why.reason == pcscan::TReason::Damaged) damaged.push_back(e.name);
             }))
      listed.push_back(e.name);
    std::sort(listed.begin(), listed.end());
    std::sort(damaged.begin(), damaged.end());
    EXPECT_EQ(listed, c.listed);
    // The melody page never loads a GIF.
    EXPECT_EQ(damaged, c.folder == 1 ? Names{} : Names({"cut.gif", "stray.gif"}));
    EXPECT_TRUE(messages.empty()) << messages.front();
  }
  EXPECT_EQ(pcscan::JudgeFile(3, d.Path() + "/cut.gif").reason, pcscan::TReason::Damaged);
}

// ---- Real files ----

bool Convert(const std::string& args) { return std::system(("convert " + args + " >/dev/null 2>&1").c_str()) == 0; }

TEST(PcScanRealFiles, ImageMagickFiles) {
  REQUIRE_IMAGEMAGICK();
  TempDir d;
  const std::string p = d.Path() + "/";
  struct Made {
    const char* args;  // output name appended
    const char* name;
  };
  const Made made[] = {
      {"-size 20x10 xc:red", "still.gif"},
      {"-delay 10 -size 20x10 xc:red xc:blue", "anim.gif"},
      {"-size 641x10 xc:red", "wide.gif"},
      {"-delay 10 -size 641x10 xc:red xc:blue", "wideanim.gif"},
      {"-size 20x10 gradient:red-blue", "baseline.jpg"},
      {"-size 20x10 gradient:red-blue -interlace Plane", "progressive.jpg"},
      {"-size 20x10 gradient:red-blue -colorspace Gray", "grey.jpg"},
      {"-size 641x10 xc:red", "wide.jpg"},
      {"-size 20x10 xc:red", "pic.bmp"},
      {"-size 641x10 xc:red", "wide.bmp"},
      {"-size 20x10 xc:black", "mark.wbmp"},
  };
  for (const auto& m : made) ASSERT_TRUE(Convert(std::string(m.args) + " " + p + m.name)) << m.name;
  fs::copy_file(p + "mark.wbmp", p + "mark.bin");

  struct Case {
    int folder;
    Names listed;
  };
  // A progressive frame header (SOF2) also holds 00 11 08, so the rule lists it.
  const Case cases[] = {
      {1, {}},
      {2, {"anim.gif"}},
      {3, {"baseline.jpg", "mark.wbmp", "pic.bmp", "progressive.jpg", "still.gif"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("folder " + std::to_string(c.folder));
    EXPECT_EQ(Scan(c.folder, d.Path()).names, c.listed);
  }
}


// A judgement as "Reason detail", the detail being what the window shows with it.
std::string Describe(const pcscan::TJudgement& j) {
  using pcscan::TReason;
  switch (j.reason) {
    case TReason::None: return "";
    case TReason::Empty: return "Empty";
    case TReason::TooLarge: return "TooLarge " + std::to_string(j.size);
    case TReason::TooManyPixels: return "TooManyPixels " + std::to_string(j.width) + "x" + std::to_string(j.height);
    case TReason::WrongType: return "WrongType " + j.type;
    case TReason::StillGif: return "StillGif";
    case TReason::AnimatedGif: return "AnimatedGif " + std::to_string(j.frames);
    case TReason::JpegLayout: return "JpegLayout " + std::to_string(j.components);
    case TReason::Truncated: return "Truncated";
    case TReason::Unreadable: return "Unreadable";
    case TReason::Damaged: return "Damaged";
  }
  return "?";
}

TEST(PcScanRealFiles, EveryFileIsListedOrExplained) {
  REQUIRE_IMAGEMAGICK();
  TempDir d;
  const std::string p = d.Path() + "/";
  struct File {
    const char* name;
    const char* convert;  // ImageMagick arguments, or null for the bytes below
    std::string bytes;
    const char* melody;  // expected judgement per page, "" = listed
    const char* animation;
    const char* picture;
  };
  const File files[] = {
      {"tune.mid", nullptr, "MThd" + B("\x00\x00\x00\x06"), "", "WrongType MIDI", "WrongType MIDI"},
      {"song.mp3", nullptr, B("ID3\x03\x00\x00\x00\x00\x00\x00"), "WrongType MP3", "WrongType MP3", "WrongType MP3"},
      {"notes.txt", nullptr, "hello", "WrongType ", "WrongType ", "WrongType "},
      {"empty.wbmp", nullptr, "", "Empty", "Empty", "Empty"},
      {"cut.bmp", nullptr, "BM" + std::string(10, '\0'), "WrongType BMP", "WrongType BMP", "Truncated"},
      {"still.gif", "-size 20x10 xc:red", "", "WrongType GIF", "StillGif", ""},
      {"anim.gif", "-delay 10 -size 20x10 xc:red xc:blue", "", "WrongType GIF", "", "AnimatedGif 2"},
      {"wide.gif", "-size 700x10 xc:red", "", "WrongType GIF", "TooManyPixels 700x10", "TooManyPixels 700x10"},
      {"ok.jpg", "-size 20x10 gradient:red-blue", "", "WrongType JPEG", "WrongType JPEG", ""},
      {"grey.jpg", "-size 20x10 gradient:red-blue -colorspace Gray", "", "WrongType JPEG", "WrongType JPEG",
       "JpegLayout 1"},
      {"cmyk.jpg", "-size 20x10 gradient:red-blue -colorspace CMYK", "", "WrongType JPEG", "WrongType JPEG",
       "JpegLayout 4"},
      {"wide.jpg", "-size 10x700 xc:red", "", "WrongType JPEG", "WrongType JPEG", "TooManyPixels 10x700"},
      {"pic.bmp", "-size 20x10 xc:red", "", "WrongType BMP", "WrongType BMP", ""},
      {"wide.bmp", "-size 700x10 xc:red", "", "WrongType BMP", "WrongType BMP", "TooManyPixels 700x10"},
      {"photo.png", "-size 20x10 xc:red", "", "WrongType PNG", "WrongType PNG", "WrongType PNG"},
      {"mark.wbmp", "-size 20x10 xc:black", "", "WrongType ", "WrongType ", ""},
      {"big.bmp", "-size 300x300 xc:red", "", "TooLarge", "TooLarge", "TooLarge"},
  };
  for (const File& f : files) {
    if (f.convert) {
      ASSERT_TRUE(Convert(std::string(f.convert) + " " + p + f.name)) << f.name;
    } else {
      d.Write(f.name, f.bytes);
    }
  }
  for (int folder : {1, 2, 3}) {
    SCOPED_TRACE("folder " + std::to_string(folder));
    std::map<std::string, std::string> got;  // name -> judgement
    std::vector<std::string> messages;
    auto entries = pcscan::ScanFolder(
        folder, d.Path(), [&](const std::string& m) { messages.push_back(m); },
        [&](const pcscan::TScanEntry& e) { EXPECT_TRUE(got.emplace(e.name, "").second) << e.name; },
        [&](const pcscan::TRejectedEntry& e) {
          EXPECT_NE(e.why.reason, pcscan::TReason::None) << e.name;
          EXPECT_TRUE(got.emplace(e.name, Describe(e.why)).second) << e.name << " judged twice";
        });
    EXPECT_EQ(got.size(), std::size(files)) << "every regular file is listed or explained";
    size_t listed = 0;
    for (const File& f : files) {
      SCOPED_TRACE(f.name);
      const std::string want = folder == 1 ? f.melody : folder == 2 ? f.animation : f.picture;
      std::string have = got[f.name];
      if (want == "TooLarge") {
        EXPECT_EQ(have, "TooLarge " + std::to_string(fs::file_size(p + f.name)));
      } else {
        EXPECT_EQ(have, want);
      }
      listed += have.empty();
      // One file judged alone agrees with the scan.
      EXPECT_EQ(Describe(pcscan::JudgeFile(folder, p + f.name)), have);
    }
    EXPECT_EQ(entries.size(), listed);
    // The short bitmap keeps its own message on the picture page.
    EXPECT_EQ(messages, folder == 3 ? Names{"Image Operation Error"} : Names{});
  }
}

}  // namespace
