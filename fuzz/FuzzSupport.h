#pragma once
// Shared pieces of the fuzz targets: a hard stop for a broken invariant
// (it must crash even with NDEBUG), a window that does nothing, and a
// scratch folder per process.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "link/FormView.h"

#define FUZZ_CHECK(cond)                                                              \
  do {                                                                                \
    if (!(cond)) {                                                                    \
      std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

namespace fuzz {

// The logic runs unattended: every dialog answers Cancel, nothing is shown.
class NullView : public IFormView {
 public:
  void ShowMessage(const std::string& text) override { lastMessage = text; ++messages; }
  void ShowErrorText(const std::string& text) override { lastMessage = text; ++messages; }
  std::string ChooseFolder(const std::string&) override { return std::string(); }
  TOverwriteChoice AskOverwrite(const std::string&, const std::string&) override { return {}; }
  bool ConfirmUpdate(const std::string&) override { return false; }
  std::vector<int> SelectedRows(TListId) override { return {}; }

  std::string lastMessage;
  int messages = 0;
};

// A private folder under the temporary directory, removed at exit.
inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    // Memory-backed when the system has it: the targets rewrite a file on
    // every run.
    std::error_code ec;
    std::filesystem::path base = "/dev/shm";
    if (::access(base.c_str(), W_OK) != 0) base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string templ = (base / "quendrel-fuzz-XXXXXX").string();
    if (!mkdtemp(templ.data())) {
      std::perror("mkdtemp");
      std::abort();
    }
    static std::string removeAtExit;
    removeAtExit = templ;
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(removeAtExit, ignored);
    });
    return templ;
  }();
  return dir;
}

// Replaces path with exactly these bytes.
inline void WriteFileBytes(const std::string& path, const uint8_t* data, size_t size) {
  // A fresh file rather than a truncated one: ext4 flushes a file that was
  // truncated and rewritten on close, which costs milliseconds per run.
  ::unlink(path.c_str());
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  if (size) FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  FUZZ_CHECK(std::fclose(f) == 0);
}

}  // namespace fuzz
