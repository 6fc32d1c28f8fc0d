#pragma once
// Reading a file that outside hands may have placed: opened once, never
// through a link, never waiting on a pipe or a device, and never more than
// a given number of bytes.
#include <cstdint>
#include <string>

enum class TPlainRead {
  Ok,
  Missing,     // nothing of that name, or it cannot be opened
  NotPlain,    // a link, a pipe, a device, a folder: anything but a regular file
  TooBig,      // more bytes than the limit allows
  Unreadable,  // opened, but not read to its end
};

// Reads the regular file at path (UTF-8) whole into *bytes.
TPlainRead ReadPlainFile(const std::string& path, uint64_t limit, std::string* bytes);
