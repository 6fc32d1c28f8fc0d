#include "port/PlainFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

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

bool ReadFolder(const std::string& path, std::vector<TFolderEntry>* entries) {
  namespace fs = std::filesystem;
  entries->clear();
  std::error_code ec;
  fs::directory_iterator it(path, ec);
  if (ec) return false;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) break;
    TFolderEntry e;
    e.name = it->path().filename().string();
    std::error_code typeEc;
    e.regular = it->is_regular_file(typeEc);
    if (e.regular) {
      e.size = it->file_size(typeEc);
      e.regular = !typeEc;
    } else {
      e.dangling = it->is_symlink(typeEc) && !fs::exists(it->path(), typeEc);
    }
    entries->push_back(std::move(e));
  }
  return true;
}

bool PlainFileSize(const std::string& path, uint64_t* size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}
