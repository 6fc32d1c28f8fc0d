#include "link/Text.h"
#include "app/core/Config.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <stdexcept>

#include "link/ProtocolTrace.h"
#include "link/Settings.h"

TAppConfig& AppConfig() {
  static TAppConfig config;
  return config;
}

std::string ComputeBaseDir(const std::string& cwd, char separator) {
  size_t cut = cwd.rfind(separator);
  // Without any separator there is nothing to cut.
  if (cut == std::string::npos) return cwd;
  return cwd.substr(0, cut);
}

std::string ComputeProgramDir(const std::string& baseDir, char separator) {
  return baseDir + separator + "Program" + separator;
}

void ComputeDirectories() {
  std::error_code ec;
  std::string cwd = PathUtf8(std::filesystem::current_path(ec));
  TAppConfig& c = AppConfig();
  c.BaseDir = ComputeBaseDir(cwd, kPathSeparator);
  c.ProgramDir = ComputeProgramDir(c.BaseDir, kPathSeparator);
}

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::vector<std::string> ReadLines(const std::string& path) {
  // Only a regular file is read, and the open never waits: a pipe or a
  // device in its place must not hold the start up.
  errno = 0;
  std::FILE* f = OpenRegularFile(path);
  if (!f) {
    int err = errno;
    std::error_code ec;
    if (!std::filesystem::exists(Utf8Path(path), ec) && !ec) err = ENOENT;
    const std::string why = err != 0 ? std::strerror(err) : "not a regular file";
    throw std::runtime_error("Cannot open the settings file " + path + ": " + why);
  }
  std::string data;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
  bool failed = std::ferror(f) != 0;
  int err = errno;
  std::fclose(f);
  if (failed) {
    throw std::runtime_error("Cannot read the settings file " + path + ": " + std::strerror(err));
  }
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < data.size()) {
    size_t end = data.find('\n', start);
    if (end == std::string::npos) end = data.size();
    std::string line = data.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// Opens (creating or emptying) one start-up log; on failure reports and clears the bit.
void OpenStartupLog(int bit, const char* name, std::FILE** slot,
                    const std::function<void(const std::string&)>& showError) {
  TAppConfig& c = AppConfig();
  if (!(c.debugFlag & bit)) return;
  std::string path = c.BaseDir + kPathSeparator + "logs" + kPathSeparator + name;
  RollLogAside(path);
  *slot = OpenFileUtf8(path, "w+");
  if (*slot) {
    if (bit == kProtocolLogBit) SessionTrace().Attach(*slot, path);
    else SessionLogic().Attach(*slot, path);
  } else {
    c.debugFlag &= ~bit;
    if (showError) showError(std::string("open ") + name + " fail");
  }
}

}  // namespace

bool IniLookup(const std::vector<std::string>& lines, const std::string& name, std::string* value) {
  for (const std::string& line : lines) {
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    if (SameIgnoringCase(line.substr(0, eq), name)) {
      *value = line.substr(eq + 1);
      return true;
    }
  }
  return false;
}

bool StrictToInt(const std::string& text, int* value) {
  std::optional<int32_t> v = ParseDecimal(text);
  if (v) *value = *v;
  return v.has_value();
}

void ReadIniSettings(const std::function<void(const std::string&)>& showError) {
  TAppConfig& c = AppConfig();
  if (c.IniLines.empty()) c.IniLines = ReadLines(kIniFileName);
  std::string text;
  int flag = 0;
  if (!IniLookup(c.IniLines, "debugFlag", &text) || !StrictToInt(text, &flag)) flag = 0;
  c.debugFlag = flag;
  OpenStartupLog(kProtocolLogBit, "apProtocol.log", &c.ProtocolLog, showError);
  OpenStartupLog(kLogicLogBit, "syncLogic.log", &c.LogicLog, showError);
}

void CloseStartupLogs() {
  TAppConfig& c = AppConfig();
  SessionTrace().Detach();
  SessionLogic().Detach();
  if ((c.debugFlag & kProtocolLogBit) && c.ProtocolLog) std::fclose(c.ProtocolLog);
  c.ProtocolLog = nullptr;
  if ((c.debugFlag & kLogicLogBit) && c.LogicLog) std::fclose(c.LogicLog);
  c.LogicLog = nullptr;
}

void ReleaseIniLines() {
  std::vector<std::string>().swap(AppConfig().IniLines);
}

void ResetAppConfig() {
  TAppConfig& c = AppConfig();
  SessionTrace().Detach();
  SessionLogic().Detach();
  if (c.ProtocolLog) std::fclose(c.ProtocolLog);
  if (c.LogicLog) std::fclose(c.LogicLog);
  c = TAppConfig{};
}

std::string UserProgramFolder(const char* home, const char* xdgDataHome) {
  auto trimmed = [](std::string dir) {
    while (!dir.empty() && dir.back() == '/') dir.pop_back();  // "/" becomes ""
    return dir;
  };
  if (xdgDataHome && xdgDataHome[0] == '/') return trimmed(xdgDataHome) + "/quendrel/Program";
  if (home && home[0] == '/') return trimmed(home) + "/.local/share/quendrel/Program";
  return "";
}

bool EnterUserProgramFolder(const std::string& programFolder, std::string* error) {
  namespace fs = std::filesystem;
  auto fail = [&](const std::string& what, const std::error_code& ec) {
    if (error) *error = what + ": " + ec.message();
    return false;
  };
  std::error_code ec;
  const fs::path program = Utf8Path(programFolder);
  fs::create_directories(program, ec);
  if (ec || !fs::is_directory(program, ec)) {
    if (!ec) ec = std::make_error_code(std::errc::not_a_directory);
    return fail("Cannot create the program folder " + programFolder, ec);
  }
  const fs::path logs = program.parent_path() / "logs";
  fs::create_directories(logs, ec);
  if (ec) return fail("Cannot create the logs folder " + PathUtf8(logs), ec);

  const fs::path ini = program / kIniFileName;
  if (!fs::exists(fs::symlink_status(ini, ec))) {
    // Written beside and renamed, so an interrupted first run never leaves
    // an empty ini behind.
    const fs::path part = program / (std::string(kIniFileName) + ".part");
    std::FILE* f = OpenFileUtf8(PathUtf8(part), "wb");
    if (!f) {
      const int err = errno;
      return fail("Cannot write " + PathUtf8(part), std::error_code(err, std::generic_category()));
    }
    const size_t len = std::strlen(kDefaultIniText);
    bool ok = std::fwrite(kDefaultIniText, 1, len, f) == len;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
      fs::remove(part, ec);
      return fail("Cannot write " + PathUtf8(part), std::make_error_code(std::errc::io_error));
    }
    fs::rename(part, ini, ec);
    if (ec) {
      std::error_code ignored;
      fs::remove(part, ignored);
      return fail("Cannot create " + PathUtf8(ini), ec);
    }
  }
  fs::current_path(program, ec);
  if (ec) return fail("Cannot enter the program folder " + programFolder, ec);
  return true;
}
