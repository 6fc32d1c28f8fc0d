#pragma once
// The system's persistent store: QSettings under organisation "Velko" and
// application "Velko Sync Tool" (on Windows that is the registry key
// HKCU\SOFTWARE\Velko\Velko Sync Tool; elsewhere Qt's native store).
#include <QSettings>
#include <memory>
#include <string>

inline constexpr const char* kSettingsOrganisation = "Velko";
inline constexpr const char* kSettingsApplication = "Velko Sync Tool";
// "...\1.0\ConnectSetting" below the application key.
inline constexpr const char* kConnectSettingKey = "1.0/ConnectSetting";
// Port map entries of our own: name = device path.
inline constexpr const char* kSerialCommGroup = "SerialComm";

std::unique_ptr<QSettings> OpenSettingsStore();
// Point the native user store at another folder (tests, isolated runs).
void SetSettingsStoreFolder(const std::string& folder);

// Values of the connect-setting key; 'exists' tells whether the key exists.
bool ConnectKeyExists();
bool ReadConnectValue(const char* name, int* value);  // false when missing or not a number
void WriteConnectValue(const char* name, int value);   // creates the key if missing
