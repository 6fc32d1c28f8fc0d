#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/Settings.h"

TempDir::TempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "quendrel-test-XXXXXX").string();
  char* p = mkdtemp(tmpl.data());
  path_ = p ? p : tmpl;
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

void TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::filesystem::create_directories(std::filesystem::path(File(name)).parent_path());
  std::ofstream f(File(name), std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDir::Read(const std::string& name) const {
  std::ifstream f(File(name), std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

void IsolateSettings(const TempDir& dir) {
  setenv("QUENDREL_NO_SYSTEM_PORTS", "1", 1);
  SetSettingsStoreFolder(dir.path() + "/settings");
}
