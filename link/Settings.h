#pragma once
// What the core needs from the platform it runs on: the program's own
// persistent values, the serial devices the system has, the user's home
// and documents folders, and the few file calls standard C++ has no word
// for. The core only declares them; the platform layer in app/ defines
// them (Qt's settings store and port list with POSIX calls on Linux, the
// registry and the shell on Windows), and the build links the one that fits.
#include <cstdio>
#include <string>
#include <vector>

inline constexpr const char* kSettingsOrganisation = "Velko";
inline constexpr const char* kSettingsApplication = "Velko Sync Tool";
// "...\1.0\ConnectSetting" below the application key.
inline constexpr const char* kConnectSettingKey = "1.0/ConnectSetting";
// Port map entries of our own: name = device path.
inline constexpr const char* kSerialCommGroup = "SerialComm";

// Values of the connect-setting key; 'exists' tells whether the key exists.
bool ConnectKeyExists();
bool ReadConnectValue(const char* name, int* value);  // false when missing or not a number
void WriteConnectValue(const char* name, int value);   // creates the key if missing
// Text values of the same key, in UTF-8.
bool ReadConnectText(const char* name, std::string* value);  // false when missing or not text
void WriteConnectText(const char* name, const std::string& value);  // creates the key if missing

struct TStoredPort {
  std::string name;    // "COM40"
  std::string device;  // "/dev/ttyXR0"
};
// Ports named by the user or by us in the store, in no particular order.
std::vector<TStoredPort> ReadStoredPorts();
void WriteStoredPort(const std::string& name, const std::string& device);
void RemoveStoredPort(const std::string& name);

// The user's language on this system as a language index: 1 Traditional
// Chinese, 2 Simplified Chinese, 0 anything else.
int SystemLanguageIndex();

// Point the store at another folder (tests, isolated runs).
void SetSettingsStoreFolder(const std::string& folder);

// Device paths of the serial ports the system has, in no particular order.
std::vector<std::string> SystemSerialDevices();

// The user's home folder.
std::string HomeFolder();

// The user's documents folder (the desktop's own choice where it has one).
std::string DocumentsFolder();

// A regular file opened for reading ("rb"), or null: a pipe or a device is
// neither waited on at the open nor kept.
std::FILE* OpenRegularFile(const std::string& path);

// Cuts an open file (flushed) to its first size bytes; false when it could not.
bool CutOpenFile(std::FILE* f, long size);

// Moves a file to the desktop's trash (the Recycle Bin on Windows), so its
// removal can be undone; false when it did not go, and the file then stays.
// 'why' then gets the reason when it is the trash's own (UTF-8, in the
// language chosen), else stays empty.
bool MoveFileToTrash(const std::string& path, std::string* why);

// Where the transfer log goes.
std::string TransferLogFile();

// The device for a port name the port map does not hold: "" where names
// exist only through the map, the name itself where the system opens port
// names directly.
std::string UnmappedPortDevice(const std::string& port);
