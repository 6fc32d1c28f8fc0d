// The platform layer on Windows without Qt: the program's values in its
// registry key, the system's ports from the serial port map, the profile
// folder and the transfer log's place.
#include <cstdlib>

#include "app/win32/WinPlatform.h"
#include "content/UiText.h"
#include "link/Settings.h"

#include "port/win32/WinApi.h"

namespace {

// Ports of our own sit beside the connect-setting key.
const wchar_t kStoredPortsKey[] = L"SOFTWARE\\Velko\\Velko Sync Tool\\SerialComm";


}  // namespace

bool ConnectKeyExists() { return WinConnectKeyExists(); }
int SystemLanguageIndex() { return LanguageIndexOfLangId(GetUserDefaultUILanguage()); }
bool ReadConnectValue(const char* name, int* value) { return WinReadConnectValue(name, value); }
void WriteConnectValue(const char* name, int value) { WinWriteConnectValue(name, value); }
bool ReadConnectText(const char* name, std::string* value) { return WinReadConnectText(name, value); }
void WriteConnectText(const char* name, const std::string& value) { WinWriteConnectText(name, value); }

std::vector<TStoredPort> ReadStoredPorts() {
  std::vector<TStoredPort> ports;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kStoredPortsKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return ports;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    wchar_t data[1024];
    DWORD nameLen = 256, bytes = sizeof data - sizeof(wchar_t), type = 0;
    LONG rc = RegEnumValueW(key, i, name, &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(data), &bytes);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS || type != REG_SZ) continue;
    data[bytes / sizeof(wchar_t)] = L'\0';
    ports.push_back({Utf8(std::wstring(name, nameLen)), Utf8(data)});
  }
  RegCloseKey(key);
  return ports;
}

void WriteStoredPort(const std::string& name, const std::string& device) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kStoredPortsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE,
                      nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  const std::wstring data = Wide(device);
  RegSetValueExW(key, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                 static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void RemoveStoredPort(const std::string& name) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kStoredPortsKey, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, Wide(name).c_str());
  RegCloseKey(key);
}

// The registry is the store; there is no folder to move it to.
void SetSettingsStoreFolder(const std::string&) {}

std::vector<std::string> SystemSerialDevices() {
  std::vector<std::string> devices;
  for (const TPortEntry& e : WinSerialPortMap()) devices.push_back(e.device);
  return devices;
}

std::string HomeFolder() {
  const char* profile = std::getenv("USERPROFILE");
  return profile ? profile : "C:\\";
}

std::string TransferLogFile() { return WinTransferLogPath(); }

// Windows opens a port by its name; the back end makes "COM5" "\\.\COM5".
std::string UnmappedPortDevice(const std::string& port) { return port; }
