#include "content/PcScan.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

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

// Width and height of a GIF, little-endian 16-bit at offsets 6 and 8.
TVerdict GifDimensions(int64_t size, const TByteReader& read, TVerdict passed) {
  // A file that ends before offset 6 has no header to reach.
  if (size < 6) return TVerdict::OperationError;
  unsigned char b[4];
  if (read(6, b, 4) < 4) return TVerdict::NotListed;
  int width = b[0] | (b[1] << 8);
  int height = b[2] | (b[3] << 8);
  if (width > kMaxPictureSide || height > kMaxPictureSide) return TVerdict::NotListed;
  return passed;
}

// Signed little-endian 32-bit width and height at offsets 18 and 22.
TVerdict BmpDimensions(int64_t size, const TByteReader& read) {
  if (size < 18) return TVerdict::OperationError;
  unsigned char b[8];
  if (read(18, b, 8) < 8) return TVerdict::NotListed;
  auto le32 = [](const unsigned char* p) {
    uint32_t u = uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
    return static_cast<int32_t>(u);
  };
  int32_t width = le32(b);
  int32_t height = le32(b + 4);
  // Signed on purpose: a bottom-up bitmap stores a negative height and passes.
  if (width > kMaxPictureSide || height > kMaxPictureSide) return TVerdict::NotListed;
  return TVerdict::Listed;
}

// First 00 11 08 anywhere in the file, then big-endian height and width.
TVerdict JpegDimensions(const TByteReader& read) {
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
      if (read(base + i + 3, d, 4) < 4) return TVerdict::NotListed;
      int height = (d[0] << 8) | d[1];
      int width = (d[2] << 8) | d[3];
      if (height > kMaxPictureSide || width > kMaxPictureSide) return TVerdict::NotListed;
      return TVerdict::Listed;
    }
    if (got == 0) return TVerdict::NotListed;
    size_t keep = n < 2 ? n : 2;
    std::memmove(buf, buf + n - keep, keep);
    base += n - keep;
    carry = keep;
  }
}

// Reads up to n bytes at an offset; fewer at the end of the file.
size_t ReadAt(std::FILE* f, uint64_t offset, unsigned char* buf, size_t n) {
  if (std::fseek(f, static_cast<long>(offset), SEEK_SET) != 0) return 0;
  return std::fread(buf, 1, n, f);
}

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string OpenErrorText(const std::string& name) { return "Image" + name + "Open Error"; }

bool SizeAccepted(int64_t size) { return size > 0 && size <= kMaxFileSize; }

TVerdict JudgeHeader(int folder, std::string_view name, int64_t size, const TByteReader& read) {
  if (folder < 1 || folder > 3) return TVerdict::NotListed;
  if (folder == 3 && EndsWithNoCase(name, ".wbmp")) return TVerdict::Listed;

  unsigned char head[4];
  size_t n = read(0, head, 4);
  switch (folder) {
    case 1:
      return StartsWith(head, n, "MThd", 4) || StartsWith(head, n, "MMMD", 4) ? TVerdict::Listed
                                                                              : TVerdict::NotListed;
    case 2:
      if (!StartsWith(head, n, "GIF", 3)) return TVerdict::NotListed;
      return GifDimensions(size, read, TVerdict::NeedAnimatedGif);
    default:
      if (StartsWith(head, n, "GIF", 3)) return GifDimensions(size, read, TVerdict::NeedStillGif);
      if (StartsWith(head, n, "BM", 2)) return BmpDimensions(size, read);
      if (StartsWith(head, n, "\xFF\xD8", 2)) return JpegDimensions(read);
      return TVerdict::NotListed;
  }
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

std::vector<TScanEntry> ScanFolder(int folder, const std::string& dir, const TMessageFn& onMessage,
                                   const TEntryFn& onEntry) {
  std::vector<TScanEntry> entries;
  namespace fs = std::filesystem;
  std::error_code ec;
  fs::directory_iterator it(dir, ec);
  if (ec) {
    onMessage(kNoDirectory);
    return entries;
  }

  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    const std::string name = it->path().filename().string();
    const std::string path = it->path().string();
    // Sub-directories, devices and pipes are no content (and a pipe would
    // block the open); a dangling link has no size to judge.
    std::error_code statEc;
    if (!fs::is_regular_file(it->path(), statEc)) continue;
    const uintmax_t fileSize = fs::file_size(it->path(), statEc);
    if (statEc) continue;
    const int64_t size = static_cast<int64_t>(fileSize);
    if (!SizeAccepted(size)) continue;

    std::unique_ptr<std::FILE, TFileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
      onMessage(OpenErrorText(name));
      continue;
    }
    std::FILE* raw = file.get();
    TVerdict verdict = JudgeHeader(folder, name, size, [raw](uint64_t off, unsigned char* buf, size_t n) {
      return ReadAt(raw, off, buf, n);
    });
    file.reset();

    bool listed = false;
    if (verdict == TVerdict::OperationError) {
      onMessage(kOperationError);
    } else if (verdict == TVerdict::NeedAnimatedGif || verdict == TVerdict::NeedStillGif) {
      listed = FramesAccepted(verdict, gif::CountFramesInFile(path));
    } else {
      listed = verdict == TVerdict::Listed;
    }
    if (!listed) continue;
    TScanEntry e{name, static_cast<int32_t>(size)};
    if (onEntry) onEntry(e);
    entries.push_back(std::move(e));
  }
  if (entries.empty()) onMessage(kNothingSuitable);
  return entries;
}

}  // namespace pcscan
