// GIF frame counter: block walking, the trailing-extension rule, and
// damaged files that must fail cleanly.
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

#include "content/GifFrames.h"

namespace {

// A byte string from a literal, embedded zero bytes included.
template <size_t N>
std::string B(const char (&s)[N]) {
  return std::string(s, N - 1);
}

// Builds a GIF block by block and remembers where each block ends.
class GifBytes {
 public:
  explicit GifBytes(int width = 16, int height = 8, int gctBits = 1, const char* version = "GIF89a") {
    b_ = version;
    U16(width);
    U16(height);
    // gctBits 0: no global colour table; else table of 2^gctBits entries.
    b_ += static_cast<char>(gctBits ? 0x80 | (gctBits - 1) : 0x00);
    b_ += '\0';  // background
    b_ += '\0';  // aspect
    if (gctBits) b_.append(3u << gctBits, '\x7f');
    Mark();
  }
  GifBytes& Image(int lctBits = 0, int subBlocks = 1, int codeSize = 2) {
    b_ += '\x2c';
    U16(0);
    U16(0);
    U16(4);
    U16(4);
    b_ += static_cast<char>(lctBits ? 0x80 | (lctBits - 1) : 0x00);
    if (lctBits) b_.append(3u << lctBits, '\x11');
    b_ += static_cast<char>(codeSize);
    for (int i = 0; i < subBlocks; ++i) {
      b_ += '\x03';
      b_ += "\x8c\x2d\x99";
    }
    b_ += '\0';
    Mark();
    return *this;
  }
  GifBytes& Gce() {
    b_ += B("\x21\xf9\x04\x00\x0a\x00\x00\x00");
    Mark();
    return *this;
  }
  GifBytes& Comment(const std::string& text) {
    b_ += "\x21\xfe";
    b_ += static_cast<char>(text.size());
    b_ += text;
    b_ += '\0';
    Mark();
    return *this;
  }
  GifBytes& Raw(const std::string& bytes) {
    b_ += bytes;
    return *this;
  }
  GifBytes& Trailer() {
    b_ += '\x3b';
    Mark();
    return *this;
  }
  const std::string& Str() const { return b_; }
  const std::vector<size_t>& BlockEnds() const { return ends_; }

 private:
  void U16(int v) {
    b_ += static_cast<char>(v & 0xff);
    b_ += static_cast<char>((v >> 8) & 0xff);
  }
  void Mark() { ends_.push_back(b_.size()); }
  std::string b_;
  std::vector<size_t> ends_;
};

struct CountCase {
  const char* what;
  std::string bytes;
  int frames;
};

TEST(GifFrames, CountsFramesPerBlockLayout) {
  const CountCase cases[] = {
      {"one image", GifBytes().Image().Trailer().Str(), 1},
      {"two images", GifBytes().Image().Image().Trailer().Str(), 2},
      {"three images with control extensions", GifBytes().Gce().Image().Gce().Image().Gce().Image().Trailer().Str(), 3},
      {"one image and a trailing comment", GifBytes().Image().Comment("made here").Trailer().Str(), 2},
      {"trailing group of two extensions counts once", GifBytes().Image().Comment("a").Gce().Trailer().Str(), 2},
      {"extension between two images", GifBytes().Image().Gce().Image().Trailer().Str(), 2},
      {"two images then a comment", GifBytes().Image().Image().Comment("x").Trailer().Str(), 3},
      {"extension before the only image", GifBytes().Comment("lead").Image().Trailer().Str(), 1},
      {"local colour table skipped", GifBytes().Image(8).Trailer().Str(), 1},
      {"local colour tables on two images", GifBytes().Image(1).Image(3).Trailer().Str(), 2},
      {"no global colour table", GifBytes(16, 8, 0).Image(2).Trailer().Str(), 1},
      {"full 256-entry global table", GifBytes(16, 8, 8).Image().Trailer().Str(), 1},
      {"image data in several sub-blocks", GifBytes().Image(0, 5).Trailer().Str(), 1},
      {"GIF87a", GifBytes(16, 8, 1, "GIF87a").Image().Trailer().Str(), 1},
      {"no image at all", GifBytes().Comment("empty").Trailer().Str(), 0},
      {"header only with trailer", GifBytes().Trailer().Str(), 0},
      {"ends after an image without trailer", GifBytes().Image().Str(), 1},
      {"bytes after the trailer are ignored", GifBytes().Image().Trailer().Raw("\x2c\x01garbage").Str(), 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(gif::CountFrames(c.bytes), c.frames);
  }
}

struct ErrorCase {
  const char* what;
  std::string bytes;
  const char* textPart;
};

TEST(GifFrames, DamagedFilesRaiseAClearError) {
  std::string oneImage = GifBytes().Image().Trailer().Str();
  std::string hugeTable = GifBytes(16, 8, 0).Str();
  hugeTable[10] = static_cast<char>(0x87);  // claims 256 colours that are not there
  std::string hugeLocal = GifBytes().Str() + B("\x2c\0\0\0\0\4\0\4\0\x87\x02");
  const ErrorCase cases[] = {
      {"empty", "", "unexpected end of data in header"},
      {"signature only", "GIF89", "unexpected end of data in header"},
      {"unknown version", "GIF88a" + oneImage.substr(6), "not a GIF87a or GIF89a file"},
      {"not a GIF", "BM" + std::string(40, '\0'), "not a GIF87a or GIF89a file"},
      {"screen descriptor cut", B("GIF89a\x10\x00\x08"), "logical screen descriptor"},
      {"global table larger than the file", hugeTable, "global colour table"},
      {"local table larger than the file", hugeLocal, "local colour table"},
      {"unknown block type", GifBytes().Image().Raw("\x99").Trailer().Str(), "unknown block type 153"},
      {"sub-block longer than the rest", GifBytes().Raw(B("\x2c\0\0\0\0\4\0\4\0\0\x02\xff\x01\x02")).Str(),
       "unexpected end of data in image data"},
      {"extension without terminator", GifBytes().Image().Raw("\x21\xfe\x02hi").Str(), "unexpected end of data in extension"},
      {"code size out of range", GifBytes().Image(0, 1, 12).Trailer().Str(), "bad LZW code size 12"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      int n = gif::CountFrames(c.bytes);
      ADD_FAILURE() << "counted " << n << " frames";
    } catch (const std::runtime_error& e) {
      std::string text = e.what();
      EXPECT_EQ(text.rfind("GIF decode error: ", 0), 0u) << text;
      EXPECT_NE(text.find(c.textPart), std::string::npos) << text;
    }
  }
}

// Every prefix of a valid file: a cut at a block boundary reads as a file
// without trailer; a cut anywhere else is an error. Never a crash or a read
// past the end (the prefix is copied into its own buffer so a sanitizer
// build sees any overrun).
TEST(GifFrames, EveryTruncationFailsCleanlyOrStopsAtABlock) {
  GifBytes g;
  g.Gce().Image(2, 2).Gce().Image(0, 3).Comment("end").Trailer();
  const std::string& full = g.Str();
  ASSERT_EQ(gif::CountFrames(full), 3);
  const std::vector<size_t>& ends = g.BlockEnds();
  for (size_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE("prefix length " + std::to_string(len));
    std::vector<char> copy(full.begin(), full.begin() + static_cast<long>(len));
    std::string_view prefix(copy.data(), copy.size());
    bool atBoundary = std::find(ends.begin(), ends.end(), len) != ends.end();
    if (atBoundary) {
      int n = -1;
      EXPECT_NO_THROW(n = gif::CountFrames(prefix));
      EXPECT_GE(n, 0);
      EXPECT_LE(n, 3);
    } else {
      EXPECT_THROW(gif::CountFrames(prefix), std::runtime_error);
    }
  }
}

TEST(GifFrames, FileThatCannotBeReadIsAnError) {
  EXPECT_THROW(gif::CountFramesInFile("/nonexistent-dir/none.gif"), std::runtime_error);
}

}  // namespace
