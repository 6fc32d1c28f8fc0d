#include "content/TempFolder.h"

#include <filesystem>
#include <random>
#include <system_error>

#include "link/Text.h"

TTempFolder::TTempFolder(const std::string& prefix) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::path tmp = fs::temp_directory_path(ec);
  if (ec) return;
  std::random_device seed;
  for (int i = 0; i < 100 && path_.empty(); ++i) {
    const fs::path p = tmp / Utf8Path(prefix + std::to_string(seed()));
    // False for a folder that exists already: never share one.
    if (fs::create_directory(p, ec)) path_ = PathUtf8(p);
  }
}

TTempFolder::~TTempFolder() {
  std::error_code ec;
  if (!path_.empty()) std::filesystem::remove_all(Utf8Path(path_), ec);
}
