#pragma once
// Windows platform pieces without Qt: the system's port list, the
// connect-setting values in the registry, the drive roots for the folder
// chooser and where the transfer log goes. Text is UTF-8 throughout.
#include <string>
#include <vector>

#include "link/PortMap.h"
#include "link/Text.h"  // Wide and Utf8

// The serial ports the system knows (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM,
// whose value data is the port name), as {"COM3", "\\.\COM3"}, in natural
// order (COM2 before COM10). Empty when the key is missing.
std::vector<TPortEntry> WinSerialPortMap();

// The connect-setting key, HKCU\SOFTWARE\Velko\Velko Sync Tool\1.0\ConnectSetting.
extern const wchar_t* const kWinConnectSettingKey;
bool WinConnectKeyExists();
// A DWORD value, or a text value holding a decimal number; false when the
// value is missing or holds anything else.
bool WinReadConnectValue(const std::string& name, int* value);
// Stores a DWORD value, creating the key when it is missing.
bool WinWriteConnectValue(const std::string& name, int value);
// A REG_SZ value as UTF-8; false when the value is missing or not text.
bool WinReadConnectText(const std::string& name, std::string* value);
// Stores a REG_SZ value, creating the key when it is missing.
bool WinWriteConnectText(const std::string& name, const std::string& value);

// The roots of the drives present, "C:\", "D:\", ... in letter order.
std::vector<std::string> WinDriveRoots();

// The transfer log: "C:\LAD.log" when that file can be written, else
// LAD.log in the user's profile folder, since a normal user may not create
// files in the root of C: from Vista on. Leaves no file behind.
std::string WinTransferLogPath();

// The program's arguments in UTF-8, from the wide command line (argv
// arrives in the ANSI code page, which cannot hold every name).
std::vector<std::string> WinUtf8Arguments();

// Length of the longest start of text that ends on a whole UTF-8 character;
// the rest waits for the next piece of output.
size_t Utf8CompleteLength(const std::string& text);

// Makes std::cout and std::cerr show UTF-8 text correctly: each one that is
// a console writes wide text through WriteConsoleW; a redirected one stays
// plain UTF-8 bytes. A console std::cin reads typed lines as UTF-8 likewise.
void WinUseConsoleText();
