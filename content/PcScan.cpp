#include "content/PcScan.h"

#include "link/Text.h"
#include "port/PlainFile.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "content/GifFrames.h"

namespace pcscan {
namespace {

bool StartsWith(const unsigned char* buf, size_t n, const char* prefix, size_t len) {
  return n >= len && std::memcmp(buf, prefix, len) == 0;
}

bool EndsWithNoCase(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  std::string_view tail = text.substr(text.size() - suffix.size());
  for (size_t i = 0; i < suffix.size(); ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

TJudgement Make(TVerdict verdict, TReason reason = TReason::None) {
  TJudgement j;
  j.verdict = verdict;
  j.reason = reason;
  return j;
}

TJudgement Oversized(int width, int height) {
  TJudgement j = Make(TVerdict::NotListed, TReason::TooManyPixels);
  j.width = width;
  j.height = height;
  return j;
}

// Width and height of a GIF, little-endian 16-bit at offsets 6 and 8.
TJudgement GifDimensions(int64_t size, const TByteReader& read, TVerdict passed) {
  // A file that ends before offset 6 has no header to reach.
  if (size < 6) return Make(TVerdict::OperationError, TReason::Truncated);
  unsigned char b[4];
  if (read(6, b, 4) < 4) return Make(TVerdict::NotListed, TReason::Truncated);
  int width = b[0] | (b[1] << 8);
  int height = b[2] | (b[3] << 8);
  if (width > kMaxPictureSide || height > kMaxPictureSide) return Oversized(width, height);
  return Make(passed);
}

// Signed little-endian 32-bit width and height at offsets 18 and 22.
TJudgement BmpDimensions(int64_t size, const TByteReader& read) {
  if (size < 18) return Make(TVerdict::OperationError, TReason::Truncated);
  unsigned char b[8];
  if (read(18, b, 8) < 8) return Make(TVerdict::NotListed, TReason::Truncated);
  auto le32 = [](const unsigned char* p) {
    uint32_t u = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    return static_cast<int32_t>(u);
  };
  int32_t width = le32(b);
  int32_t height = le32(b + 4);
  // Signed on purpose: a bottom-up bitmap stores a negative height and passes.
  if (width > kMaxPictureSide || height > kMaxPictureSide) return Oversized(width, height);
  return Make(TVerdict::Listed);
}

// Components of the first frame header found by walking the JPEG segments;
// 0 when none is found near the start. Only explains a refusal.
int JpegComponents(const TByteReader& read) {
  uint64_t at = 2;
  for (int segments = 0; segments < 64; ++segments) {
    unsigned char m[4];
    if (read(at, m, 4) < 4 || m[0] != 0xFF) return 0;
    int marker = m[1];
    if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
      at += 2;
      continue;
    }
    if (marker == 0xD9 || marker == 0xDA) return 0;  // no frame header before the data
    bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frame) {
      unsigned char n;
      return read(at + 9, &n, 1) == 1 ? n : 0;
    }
    at += 2 + ((m[2] << 8) | m[3]);
  }
  return 0;
}

// First 00 11 08 anywhere in the file, then big-endian height and width.
TJudgement JpegDimensions(const TByteReader& read) {
  unsigned char buf[kJpegChunk + 2];
  size_t carry = 0;  // bytes kept from the previous piece, so a match may straddle two
  uint64_t base = 0; // file offset of buf[0]
  for (;;) {
    size_t got = read(base + carry, buf + carry, kJpegChunk);
    size_t n = carry + got;
    std::string_view piece(reinterpret_cast<const char*>(buf), n);
    size_t i = piece.find(std::string_view("\x00\x11\x08", 3));
    if (i != std::string_view::npos) {
      unsigned char d[4];
      if (read(base + i + 3, d, 4) < 4) return Make(TVerdict::NotListed, TReason::Truncated);
      int height = (d[0] << 8) | d[1];
      int width = (d[2] << 8) | d[3];
      if (height > kMaxPictureSide || width > kMaxPictureSide) return Oversized(width, height);
      return Make(TVerdict::Listed);
    }
    if (got == 0) {
      TJudgement j = Make(TVerdict::NotListed, TReason::JpegLayout);
      j.components = JpegComponents(read);
      return j;
    }
    size_t keep = n < 2 ? n : 2;
    std::memmove(buf, buf + n - keep, keep);
    base += n - keep;
    carry = keep;
  }
}

TJudgement WrongType(const TByteReader& read) {
  unsigned char head[16];
  size_t n = read(0, head, sizeof head);
  TJudgement j = Make(TVerdict::NotListed, TReason::WrongType);
  j.type = SniffType(head, n);
  return j;
}

// Reads up to n bytes at an offset; fewer at the end of the file.
size_t ReadAt(std::FILE* f, uint64_t offset, unsigned char* buf, size_t n) {
  if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  return std::fread(buf, 1, n, f);
}

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
TFile OpenForReading(const std::string& path) { return TFile(OpenFileUtf8(path, "rb"), &std::fclose); }

// Size of a regular file (links followed); false for anything else.
bool RegularFileSize(const std::string& path, int64_t* size) {
  uint64_t n = 0;
  if (!PlainFileSize(path, &n)) return false;
  *size = static_cast<int64_t>(n);
  return true;
}

}  // namespace

std::string OpenErrorText(const std::string& name) { return "Image" + name + "Open Error"; }

bool SizeAccepted(int64_t size) { return size > 0 && size <= kMaxFileSize; }

TReason SizeReason(int64_t size) {
  if (SizeAccepted(size)) return TReason::None;
  return size <= 0 ? TReason::Empty : TReason::TooLarge;
}

std::string SniffType(const unsigned char* h, size_t n) {
  auto at = [&](size_t off, std::string_view magic) {
    return n >= off + magic.size() && std::memcmp(h + off, magic.data(), magic.size()) == 0;
  };
  if (at(0, "\x89PNG")) return "PNG";
  if (at(0, "GIF8")) return "GIF";
  if (at(0, "\xFF\xD8\xFF")) return "JPEG";
  if (at(0, "BM")) return "BMP";
  if (at(0, "MThd")) return "MIDI";
  if (at(0, "MMMD")) return "SMAF";
  if (at(0, "ID3")) return "MP3";
  if (at(0, "RIFF") && at(8, "WAVE")) return "WAV";
  if (at(0, "RIFF") && at(8, "AVI ")) return "AVI";
  if (at(0, "RIFF") && at(8, "WEBP")) return "WebP";
  if (at(0, "OggS")) return "Ogg";
  if (at(0, "fLaC")) return "FLAC";
  if (at(0, "#!AMR")) return "AMR";
  if (at(0, "II*\0") || at(0, "MM\0*")) return "TIFF";
  if (at(0, "%PDF")) return "PDF";
  if (at(0, "PK\x03\x04")) return "ZIP";
  if (at(0, "8BPS")) return "PSD";
  if (at(0, std::string_view("\0\0\1\0", 4))) return "ICO";
  if (at(0, "\x30\x26\xB2\x75")) return "WMA";
  if (at(4, "ftyp")) {
    if (at(8, "3g")) return "3GP";
    if (at(8, "M4A")) return "M4A";
    if (at(8, "heic") || at(8, "heix") || at(8, "mif1")) return "HEIF";
    if (at(8, "avif")) return "AVIF";
    return "MP4";
  }
  // Frame sync of MPEG audio; layer bits 01 with the 1111 sync nibble is AAC.
  if (n >= 2 && h[0] == 0xFF && (h[1] & 0xF6) == 0xF0) return "AAC";
  if (n >= 2 && h[0] == 0xFF && (h[1] & 0xE0) == 0xE0) return "MP3";
  return "";
}

TJudgement JudgeHeaderWhy(int folder, std::string_view name, int64_t size, const TByteReader& read) {
  if (folder < 1 || folder > 3) return WrongType(read);
  if (folder == 3 && EndsWithNoCase(name, ".wbmp")) return Make(TVerdict::Listed);

  unsigned char head[4];
  size_t n = read(0, head, 4);
  switch (folder) {
    case 1:
      if (StartsWith(head, n, "MThd", 4) || StartsWith(head, n, "MMMD", 4)) return Make(TVerdict::Listed);
      return WrongType(read);
    case 2:
      if (!StartsWith(head, n, "GIF", 3)) return WrongType(read);
      return GifDimensions(size, read, TVerdict::NeedAnimatedGif);
    default:
      if (StartsWith(head, n, "GIF", 3)) return GifDimensions(size, read, TVerdict::NeedStillGif);
      if (StartsWith(head, n, "BM", 2)) return BmpDimensions(size, read);
      if (StartsWith(head, n, "\xFF\xD8", 2)) return JpegDimensions(read);
      return WrongType(read);
  }
}

TVerdict JudgeHeader(int folder, std::string_view name, int64_t size, const TByteReader& read) {
  return JudgeHeaderWhy(folder, name, size, read).verdict;
}

bool FramesAccepted(TVerdict verdict, int frames) {
  switch (verdict) {
    case TVerdict::Listed:
      return true;
    case TVerdict::NeedAnimatedGif:
      return frames >= 2;
    case TVerdict::NeedStillGif:
      return frames <= 1;
    default:
      return false;
  }
}

void ApplyFrames(TJudgement& j, int frames) {
  if (j.verdict != TVerdict::NeedAnimatedGif && j.verdict != TVerdict::NeedStillGif) return;
  j.frames = frames;
  if (FramesAccepted(j.verdict, frames)) {
    j.verdict = TVerdict::Listed;
    j.reason = TReason::None;
  } else {
    j.reason = j.verdict == TVerdict::NeedAnimatedGif ? TReason::StillGif : TReason::AnimatedGif;
    j.verdict = TVerdict::NotListed;
  }
}

namespace {

// Header rules then, for a GIF, its frames. A GIF whose blocks cannot be
// followed is a damaged file, judged like any other unsuitable one.
TJudgement JudgeOpened(int folder, const std::string& name, const std::string& path, int64_t size, std::FILE* f) {
  TJudgement j = JudgeHeaderWhy(folder, name, size, [f](uint64_t off, unsigned char* buf, size_t n) {
    return ReadAt(f, off, buf, n);
  });
  j.size = size;
  if (j.verdict == TVerdict::NeedAnimatedGif || j.verdict == TVerdict::NeedStillGif) {
    try {
      ApplyFrames(j, gif::CountFramesInFile(path));
    } catch (const std::runtime_error&) {
      j.verdict = TVerdict::NotListed;
      j.reason = TReason::Damaged;
    }
  }
  return j;
}

}  // namespace

TJudgement JudgeFile(int folder, const std::string& path) {
  TJudgement j;
  int64_t size = 0;
  if (!RegularFileSize(path, &size)) {
    j.reason = TReason::Unreadable;
    return j;
  }
  j.size = size;
  j.reason = SizeReason(size);
  if (j.reason != TReason::None) return j;
  TFile file = OpenForReading(path);
  if (!file) {
    j.reason = TReason::Unreadable;
    return j;
  }
  const std::string name = PathUtf8(Utf8Path(path).filename());
  return JudgeOpened(folder, name, path, size, file.get());
}

std::vector<TScanEntry> ScanFolder(int folder, const std::string& dir, const TMessageFn& onMessage,
                                   const TEntryFn& onEntry, const TRejectFn& onRejected) {
  std::vector<TScanEntry> entries;
  std::vector<TFolderEntry> found;
  if (!ReadFolder(dir, &found)) {
    onMessage(kNoDirectory);
    return entries;
  }
  auto reject = [&](const std::string& name, const TJudgement& j) {
    if (onRejected) onRejected(TRejectedEntry{name, j});
  };

  for (const TFolderEntry& item : found) {
    const std::string& name = item.name;
    const std::string path = PathUtf8(Utf8Path(dir) / Utf8Path(name));
    // Sub-directories, devices and pipes are no content (and a pipe would
    // block the open); a dangling link has no size to judge.
    if (!item.regular) continue;
    const int64_t size = static_cast<int64_t>(item.size);
    TJudgement j;
    j.size = size;
    j.reason = SizeReason(size);
    if (j.reason != TReason::None) {
      reject(name, j);
      continue;
    }

    TFile file = OpenForReading(path);
    if (!file) {
      onMessage(OpenErrorText(name));
      j.reason = TReason::Unreadable;
      reject(name, j);
      continue;
    }
    j = JudgeOpened(folder, name, path, size, file.get());
    file.reset();

    if (j.verdict == TVerdict::OperationError) onMessage(kOperationError);
    if (j.verdict != TVerdict::Listed) {
      reject(name, j);
      continue;
    }
    TScanEntry e{name, static_cast<int32_t>(size)};
    if (onEntry) onEntry(e);
    entries.push_back(std::move(e));
  }
  if (entries.empty()) onMessage(kNothingSuitable);
  return entries;
}

}  // namespace pcscan
