#include "port/PlainFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

TPlainRead ReadPlainFile(const std::string& path, uint64_t limit, std::string* bytes) {
  // No link is followed and a pipe or a device does not block the open;
  // what was opened is then read only if it is a regular file.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == ELOOP ? TPlainRead::NotPlain : TPlainRead::Missing;
  TPlainRead result = TPlainRead::NotPlain;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    result = ReadAllWithin(static_cast<uint64_t>(st.st_size), limit, bytes, [fd](char* buf, size_t n) -> long long {
      for (;;) {
        const ssize_t got = ::read(fd, buf, n);
        if (got >= 0 || errno != EINTR) return got;
      }
    });
  }
  ::close(fd);
  return result;
}
