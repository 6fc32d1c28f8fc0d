#pragma once
// Reading a file that outside hands may have placed: opened once, never
// through a link, never waiting on a pipe or a device, and never more than
// a given number of bytes.
#include <cstdint>
#include <string>
#include <vector>

enum class TPlainRead {
  Ok,
  Missing,     // nothing of that name, or it cannot be opened
  NotPlain,    // a link, a pipe, a device, a folder: anything but a regular file
  TooBig,      // more bytes than the limit allows
  Unreadable,  // opened, but not read to its end
};

// Reads the regular file at path (UTF-8) whole into *bytes. One back end
// per OS, as the serial port has.
TPlainRead ReadPlainFile(const std::string& path, uint64_t limit, std::string* bytes);

// Reads through readSome(buf, n) (bytes read, 0 at the end, -1 on an
// error) up to one byte past the limit, so a file that grew after its size
// was seen is still caught.
template <typename ReadFn>
TPlainRead ReadAllWithin(uint64_t size, uint64_t limit, std::string* bytes, ReadFn readSome) {
  if (size > limit) return TPlainRead::TooBig;
  bytes->clear();
  bytes->reserve(static_cast<size_t>(size));
  char buf[65536];
  for (;;) {
    const long long n = readSome(buf, sizeof buf);
    if (n < 0) return TPlainRead::Unreadable;
    if (n == 0) return TPlainRead::Ok;
    bytes->append(buf, static_cast<size_t>(n));
    if (bytes->size() > limit) return TPlainRead::TooBig;
  }
}

// One entry of a folder: a regular file (links followed) with its size, a
// link whose target is gone, or anything else (a folder, a device).
struct TFolderEntry {
  std::string name;  // UTF-8
  bool regular = false;
  bool dangling = false;
  uint64_t size = 0;
};

// The entries of the folder at path (UTF-8), without "." and "..", however
// long the path. False when the folder cannot be read.
bool ReadFolder(const std::string& path, std::vector<TFolderEntry>* entries);

// The size of the regular file at path (links followed); false for
// anything else or nothing there.
bool PlainFileSize(const std::string& path, uint64_t* size);
