// The archive reader on zlib alone, for builds without libzip (Windows):
// the central directory locates the entry, whose stored or deflated bytes
// are read with the local header's offsets. Every offset and size is
// checked against the file, so a damaged archive gives an error text.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "content/SuiteArchive.h"
#include "link/Text.h"

namespace suite {
namespace {

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

uint32_t Le(const unsigned char* p, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

bool ReadAt(std::FILE* f, uint64_t offset, void* buf, size_t n) {
  return std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0 && std::fread(buf, 1, n, f) == n;
}

}  // namespace

bool ReadArchiveEntry(const std::string& archivePath, const std::string& entryName, size_t maxBytes,
                      std::string* data, std::string* error) {
  data->clear();
  TFile file(OpenFileUtf8(archivePath, "rb"), &std::fclose);
  if (!file || std::fseek(file.get(), 0, SEEK_END) != 0) {
    *error = "not a readable archive (cannot open the file)";
    return false;
  }
  const long fileSize = std::ftell(file.get());
  const auto damaged = [&](const char* what) {
    *error = std::string("not a readable archive (") + what + ")";
    data->clear();
    return false;
  };
  // The end-of-directory record sits in the last 22 + 65535 bytes.
  const long tailSize = std::min<long>(fileSize, 22 + 65535);
  std::vector<unsigned char> tail(static_cast<size_t>(tailSize));
  if (tailSize < 22 || !ReadAt(file.get(), static_cast<uint64_t>(fileSize - tailSize), tail.data(), tail.size()))
    return damaged("too short");
  long eocd = -1;
  for (long i = tailSize - 22; i >= 0 && eocd < 0; --i)
    if (Le(&tail[static_cast<size_t>(i)], 4) == 0x06054b50) eocd = i;
  if (eocd < 0) return damaged("no central directory");
  const unsigned char* e = &tail[static_cast<size_t>(eocd)];
  const uint32_t entries = Le(e + 10, 2), dirSize = Le(e + 12, 4), dirOffset = Le(e + 16, 4);
  if (static_cast<uint64_t>(dirOffset) + dirSize > static_cast<uint64_t>(fileSize))
    return damaged("central directory outside the file");
  std::vector<unsigned char> dir(dirSize);
  if (dirSize && !ReadAt(file.get(), dirOffset, dir.data(), dir.size())) return damaged("central directory");

  size_t at = 0;
  for (uint32_t n = 0; n < entries; ++n) {
    if (at + 46 > dir.size() || Le(&dir[at], 4) != 0x02014b50) return damaged("central directory");
    const unsigned char* c = &dir[at];
    const uint32_t method = Le(c + 10, 2), packed = Le(c + 20, 4), size = Le(c + 24, 4);
    const uint32_t nameLen = Le(c + 28, 2), extraLen = Le(c + 30, 2), commentLen = Le(c + 32, 2);
    const uint32_t local = Le(c + 42, 4);
    if (at + 46 + nameLen > dir.size()) return damaged("central directory");
    const std::string name(reinterpret_cast<const char*>(c + 46), nameLen);
    at += 46 + nameLen + extraLen + commentLen;
    if (!SameNoCase(name, entryName)) continue;

    if (size > maxBytes) {
      *error = entryName + " is larger than " + std::to_string(maxBytes) + " bytes";
      return false;
    }
    unsigned char lh[30];
    if (!ReadAt(file.get(), local, lh, sizeof lh) || Le(lh, 4) != 0x04034b50) return damaged("entry header");
    const uint64_t start = static_cast<uint64_t>(local) + 30 + Le(lh + 26, 2) + Le(lh + 28, 2);
    if (start + packed > static_cast<uint64_t>(fileSize)) return damaged("entry outside the file");
    std::vector<unsigned char> in(packed);
    if (packed && !ReadAt(file.get(), start, in.data(), in.size())) return damaged("entry data");
    if (method == 0) {
      if (packed > maxBytes) return damaged("entry larger than stated");
      data->assign(in.begin(), in.end());
      return true;
    }
    if (method != 8) return damaged("unknown compression");
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return damaged("cannot inflate");
    z.next_in = in.data();
    z.avail_in = static_cast<uInt>(in.size());
    unsigned char buf[8192];
    int rc = Z_OK;
    // The stated size may lie: stop one byte past the cap whatever it says.
    while (rc == Z_OK) {
      z.next_out = buf;
      z.avail_out = sizeof buf;
      rc = inflate(&z, Z_NO_FLUSH);
      data->append(reinterpret_cast<char*>(buf), sizeof buf - z.avail_out);
      if (data->size() > maxBytes) {
        inflateEnd(&z);
        *error = entryName + " is larger than " + std::to_string(maxBytes) + " bytes";
        data->clear();
        return false;
      }
      if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0) rc = Z_DATA_ERROR;  // ran out of input
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return damaged("entry is damaged");
    return true;
  }
  *error = "no " + entryName + " in the archive";
  return false;
}

}  // namespace suite
