#include "content/GifFrames.h"

#include "link/Text.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace gif {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("GIF decode error: " + what);
}

// Cursor over the file bytes; every read is checked against the end.
class TCursor {
 public:
  explicit TCursor(std::string_view data) : data_(data) {}

  bool AtEnd() const { return pos_ >= data_.size(); }
  size_t Pos() const { return pos_; }

  uint8_t Byte(const char* where) {
    if (pos_ >= data_.size()) Fail(std::string("unexpected end of data in ") + where);
    return static_cast<uint8_t>(data_[pos_++]);
  }
  void Skip(size_t n, const char* where) {
    if (n > data_.size() - pos_) Fail(std::string("unexpected end of data in ") + where);
    pos_ += n;
  }
  // A chain of sub-blocks: length byte, that many bytes, until a zero length.
  void SkipSubBlocks(const char* where) {
    for (;;) {
      uint8_t len = Byte(where);
      if (len == 0) return;
      Skip(len, where);
    }
  }

 private:
  std::string_view data_;
  size_t pos_ = 0;
};

size_t ColourTableBytes(uint8_t packed) { return 3u * (size_t{1} << ((packed & 0x07) + 1)); }

}  // namespace

int CountFrames(std::string_view data) {
  TCursor in(data);
  if (data.size() < 6) Fail("unexpected end of data in header");
  std::string_view sig = data.substr(0, 6);
  if (sig != "GIF87a" && sig != "GIF89a") Fail("not a GIF87a or GIF89a file");
  in.Skip(6, "header");

  // Logical screen descriptor: width, height, packed fields, background, aspect.
  in.Skip(4, "logical screen descriptor");
  uint8_t packed = in.Byte("logical screen descriptor");
  in.Skip(2, "logical screen descriptor");
  if (packed & 0x80) in.Skip(ColourTableBytes(packed), "global colour table");

  int images = 0;
  bool extensionsAfterLastImage = false;
  for (;;) {
    // Some writers stop without the trailer; a clean block boundary is an end too.
    if (in.AtEnd()) break;
    uint8_t introducer = in.Byte("block introducer");
    if (introducer == 0x3B) break;
    if (introducer == 0x2C) {
      in.Skip(8, "image descriptor");
      uint8_t imagePacked = in.Byte("image descriptor");
      if (imagePacked & 0x80) in.Skip(ColourTableBytes(imagePacked), "local colour table");
      uint8_t minCodeSize = in.Byte("image data");
      if (minCodeSize > 11) Fail("bad LZW code size " + std::to_string(minCodeSize));
      in.SkipSubBlocks("image data");
      ++images;
      extensionsAfterLastImage = false;
    } else if (introducer == 0x21) {
      in.Byte("extension");  // label
      in.SkipSubBlocks("extension");
      if (images > 0) extensionsAfterLastImage = true;
    } else {
      Fail("unknown block type " + std::to_string(introducer) + " at offset " +
           std::to_string(in.Pos() - 1));
    }
  }
  return images + (extensionsAfterLastImage ? 1 : 0);
}

int CountFramesInFile(const std::string& path) {
  // Through the one UTF-8 file opening, which also takes paths past MAX_PATH.
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(OpenFileUtf8(path, "rb"), &std::fclose);
  if (!f) Fail("cannot open " + path);
  // A file that shrank meanwhile is judged on what could be read.
  std::string bytes;
  char buf[65536];
  size_t got;
  while ((got = std::fread(buf, 1, sizeof buf, f.get())) > 0) bytes.append(buf, got);
  if (std::ferror(f.get())) Fail("cannot read " + path);
  return CountFrames(bytes);
}

}  // namespace gif
