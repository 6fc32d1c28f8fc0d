#include "content/TempFolder.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#include "link/Text.h"

namespace {

namespace fs = std::filesystem;

// The folders in use, so that an end at once still removes them.
std::mutex g_mutex;
std::set<std::string>& Live() {
  static std::set<std::string>* live = new std::set<std::string>;  // never destroyed: an exit may run late
  return *live;
}
bool g_ending = false;

}  // namespace

TTempFolder::TTempFolder(const std::string& prefix) {
  std::error_code ec;
  const fs::path tmp = fs::temp_directory_path(ec);
  if (ec) {
    error_ = ec.message();
    return;
  }
  std::lock_guard<std::mutex> lock(g_mutex);
  if (g_ending) {
    error_ = "the program is ending";
    return;
  }
  std::random_device seed;
  for (int i = 0; i < 100 && path_.empty(); ++i) {
    const fs::path p = tmp / Utf8Path(prefix + std::to_string(seed()));
    // False for a folder that exists already: never share one.
    if (fs::create_directory(p, ec)) path_ = PathUtf8(p);
    else if (ec) break;
  }
  if (path_.empty()) error_ = (ec ? ec.message() : "no free name") + std::string(" in ") + PathUtf8(tmp);
  else Live().insert(path_);
}

TTempFolder::~TTempFolder() {
  if (path_.empty()) return;
  std::error_code ec;
  std::lock_guard<std::mutex> lock(g_mutex);
  std::filesystem::remove_all(Utf8Path(path_), ec);
  Live().erase(path_);
}

void RemoveTempFoldersNow() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_ending = true;
  for (const std::string& path : Live()) {
    // A file made meanwhile by the running command fails the removal: tried again.
    std::error_code ec;
    for (int i = 0; i < 10; ++i)
      if (std::filesystem::remove_all(Utf8Path(path), ec) != static_cast<std::uintmax_t>(-1) && !ec) break;
  }
}
