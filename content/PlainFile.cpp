#include "content/PlainFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "link/Text.h"

namespace {

// Reads up to one byte past the limit, so a file that grew after its size
// was seen is still caught.
template <typename ReadFn>
TPlainRead ReadAll(uint64_t size, uint64_t limit, std::string* bytes, ReadFn readSome) {
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

}  // namespace

#ifdef _WIN32

TPlainRead ReadPlainFile(const std::string& path, uint64_t limit, std::string* bytes) {
  // The reparse point itself is opened, never what it points at.
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return TPlainRead::Missing;
  TPlainRead result = TPlainRead::NotPlain;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    result = ReadAll(size, limit, bytes, [h](char* buf, size_t n) -> long long {
      DWORD got = 0;
      if (!ReadFile(h, buf, static_cast<DWORD>(n), &got, nullptr)) return -1;
      return got;
    });
  }
  CloseHandle(h);
  return result;
}

#else

TPlainRead ReadPlainFile(const std::string& path, uint64_t limit, std::string* bytes) {
  // No link is followed and a pipe or a device does not block the open;
  // what was opened is then read only if it is a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ELOOP ? TPlainRead::NotPlain : TPlainRead::Missing;
  TPlainRead result = TPlainRead::NotPlain;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    result = ReadAll(static_cast<uint64_t>(st.st_size), limit, bytes, [fd](char* buf, size_t n) -> long long {
      for (;;) {
        const ssize_t got = ::read(fd, buf, n);
        if (got >= 0 || errno != EINTR) return got;
      }
    });
  }
  ::close(fd);
  return result;
}

#endif
