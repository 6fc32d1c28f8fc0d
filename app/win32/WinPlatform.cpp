#include "app/win32/WinPlatform.h"

#include "link/Text.h"

#include "port/win32/WinApi.h"

#include <algorithm>
#include <optional>
#include <cstdlib>

const wchar_t* const kWinConnectSettingKey = L"SOFTWARE\\Velko\\Velko Sync Tool\\1.0\\ConnectSetting";

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                    nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

namespace {

// Closes a registry key on every exit path.
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

// Registry text may lack its terminating zero; cut at the first one.
std::wstring RegText(const std::vector<wchar_t>& buf, DWORD bytes) {
  std::wstring s(buf.data(), bytes / sizeof(wchar_t));
  s.erase(std::find(s.begin(), s.end(), L'\0'), s.end());
  return s;
}

// A file can be written there: an existing one opened for writing, or a new
// one created and removed again on close.
bool Writable(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
    h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace

std::vector<TPortEntry> WinSerialPortMap() {
  std::vector<TPortEntry> map;
  Key key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                    &key.h) != ERROR_SUCCESS)
    return map;
  DWORD count = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key.h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName,
                       &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return map;
  std::vector<wchar_t> name(maxName + 1);
  std::vector<wchar_t> data(maxData / sizeof(wchar_t) + 1);
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLen = static_cast<DWORD>(name.size());
    DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    if (RegEnumValueW(key.h, i, name.data(), &nameLen, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS)
      continue;
    if (type != REG_SZ) continue;
    const std::string port = Utf8(RegText(data, bytes));
    if (port.empty()) continue;
    map.push_back({port, "\\\\.\\" + port});
  }
  std::sort(map.begin(), map.end(),
            [](const TPortEntry& a, const TPortEntry& b) { return NaturalLess(a.name, b.name); });
  return map;
}

bool WinConnectKeyExists() {
  Key key;
  return RegOpenKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, KEY_QUERY_VALUE, &key.h) ==
         ERROR_SUCCESS;
}

bool WinReadConnectValue(const std::string& name, int* value) {
  Key key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, KEY_QUERY_VALUE, &key.h) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring wname = Wide(name);
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.h, wname.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    return false;
  if (type == REG_DWORD) {
    DWORD v = 0;
    bytes = sizeof v;
    if (RegQueryValueExW(key.h, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &bytes) !=
        ERROR_SUCCESS)
      return false;
    *value = static_cast<int>(v);
    return true;
  }
  if (type != REG_SZ) return false;
  std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1);
  bytes = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.h, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                       &bytes) != ERROR_SUCCESS)
    return false;
  const std::optional<int32_t> v = ParseDecimal(Utf8(RegText(buf, bytes)));
  if (v) *value = *v;
  return v.has_value();
}

bool WinWriteConnectValue(const std::string& name, int value) {
  Key key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key.h, nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD v = static_cast<DWORD>(value);
  return RegSetValueExW(key.h, Wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                        sizeof v) == ERROR_SUCCESS;
}

std::vector<std::string> WinDriveRoots() {
  std::vector<std::string> roots;
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (mask & (1u << i)) roots.push_back(std::string(1, static_cast<char>('A' + i)) + ":\\");
  }
  return roots;
}

std::string WinTransferLogPath() {
  static const wchar_t kRootLog[] = L"C:\\LAD.log";
  if (Writable(kRootLog)) return Utf8(kRootLog);
  std::wstring profile;
  if (DWORD n = GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0)) {
    profile.resize(n);
    n = GetEnvironmentVariableW(L"USERPROFILE", profile.data(), n);
    profile.resize(n);
  }
  if (profile.empty()) return Utf8(kRootLog);  // nowhere better to go
  if (profile.back() != L'\\') profile += L'\\';
  return Utf8(profile + L"LAD.log");
}
