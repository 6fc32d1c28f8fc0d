#include "app/win32gui/WinVirtualPhone.h"

#include <windows.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "content/UiText.h"
#include "link/PortMap.h"
#include "link/Settings.h"
#include "link/Text.h"
#include "virtualphone/EnginePort.h"

namespace fs = std::filesystem;

namespace {

// Copies the files below 'from' into 'to', making folders as needed. Not
// fs::copy: on this runtime every file of one drive has the same identity,
// so a copy into a folder that already exists, on the drive the samples
// were installed on, fails with "File exists".
void CopyTree(const fs::path& from, const fs::path& to, std::error_code* ec) {
  fs::create_directories(to, *ec);
  if (*ec) return;
  for (fs::recursive_directory_iterator it(from, *ec), end; !*ec && it != end; it.increment(*ec)) {
    const fs::path target = to / it->path().lexically_relative(from);
    if (it->is_directory(*ec)) fs::create_directories(target, *ec);
    else if (!*ec) fs::copy_file(it->path(), target, fs::copy_options::overwrite_existing, *ec);
  }
}

}  // namespace

TWinVirtualPhone::TWinVirtualPhone(std::string samples) : samples_(std::move(samples)) {}

TWinVirtualPhone::~TWinVirtualPhone() {
  backend_.reset();
  if (registered_) RemoveSessionPortEntry(kPortName);
  if (!root_.empty()) {
    std::error_code ec;
    fs::remove_all(fs::path(Wide(root_)), ec);
  }
}

std::string TWinVirtualPhone::SamplesFolder() {
  if (const wchar_t* env = _wgetenv(L"QUENDREL_SAMPLES"); env && *env) return Utf8(env);
  wchar_t exe[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::error_code ec;
  if (n > 0 && n < MAX_PATH) {
    const fs::path beside = fs::path(exe).parent_path() / L"samples";
    if (fs::is_directory(beside, ec)) return Utf8(beside.wstring());
  }
#ifdef QUENDREL_SOURCE_SAMPLES
  // A cross-build run under Wine sees the build machine's root as drive Z:.
  std::string source = QUENDREL_SOURCE_SAMPLES;
  if (!source.empty() && source[0] == '/') source = "Z:" + source;
  return source;
#else
  return std::string();
#endif
}

bool TWinVirtualPhone::Start(std::string* error) {
  if (samples_.empty()) samples_ = SamplesFolder();
  std::error_code ec;
  const fs::path samples(Wide(samples_));
  if (samples_.empty() || !fs::is_directory(samples / L"phone", ec)) {
    *error = "no sample folder for the virtual phone (set QUENDREL_SAMPLES)";
    return false;
  }
  wchar_t temp[MAX_PATH + 1];
  if (!GetTempPathW(MAX_PATH + 1, temp)) {
    *error = "no temporary folder for the virtual phone";
    return false;
  }
  fs::path root;
  for (unsigned i = 0;; ++i) {
    root = fs::path(temp) / (L"quendrel-virtual-phone-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(i));
    if (fs::create_directory(root, ec)) break;
    if (ec || i > 100) {
      *error = "cannot create a folder for the virtual phone";
      return false;
    }
  }
  root_ = Utf8(root.wstring());
  for (const wchar_t* f : {L"1", L"2", L"3", L"4"}) fs::create_directories(root / L"phone" / f, ec);
  if (!ec) CopyTree(samples / L"phone", root / L"phone", &ec);
  if (!ec) CopyTree(samples / L"pc", root / L"pc", &ec);
  if (ec) {
    *error = "cannot copy the virtual phone's samples: " + ec.message();
    return false;
  }
  phonesim::Options o;
  o.contentDir = Utf8((root / L"phone").wstring());
  auto engine = std::make_unique<phonesim::EngineBackend>(o);
  engine_ = engine.get();
  backend_ = std::move(engine);
  // Listed first and chosen for this run only: the user's stored port stays.
  AddSessionPortEntry(kPortName, "virtual-phone");
  registered_ = true;
  if (!ConnectKeyExists()) LoadLanguage();
  return true;
}

std::unique_ptr<IComBackend> TWinVirtualPhone::TakeBackend() { return std::move(backend_); }
