#include "app/core/PortAdvice.h"

#include <cctype>
#include <cerrno>
#include <cstring>

#include "link/PortMap.h"

#ifdef _WIN32
#include "link/Text.h"
#include "port/win32/WinApi.h"
#endif

namespace {

// Windows error numbers by value, so the choice builds on any system.
constexpr int kWinFileNotFound = 2;
constexpr int kWinPathNotFound = 3;
constexpr int kWinAccessDenied = 5;
constexpr int kWinSharingViolation = 32;

bool IsComPortName(const std::string& port) {
  std::string s = port;
  if (s.rfind("\\\\.\\", 0) == 0) s = s.substr(4);
  if (s.size() < 4) return false;
  for (int i = 0; i < 3; ++i)
    if (std::toupper(static_cast<unsigned char>(s[i])) != "COM"[i]) return false;
  for (size_t i = 3; i < s.size(); ++i)
    if (s[i] < '0' || s[i] > '9') return false;
  return true;
}

#ifdef _WIN32
// The system's text for an error, in UTF-8, without its line end and full stop.
std::string WinErrorText(int err) {
  wchar_t* buf = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(err), 0, reinterpret_cast<wchar_t*>(&buf), 0, nullptr);
  const std::string text = n > 0 && buf ? Utf8(std::wstring(buf, n)) : std::string();
  if (buf) LocalFree(buf);
  return text;
}
#endif

}  // namespace

std::string WinPortOpenAdvice(const std::string& port, int winError, const std::string& systemText) {
  if (winError <= 0) return "";
  std::string said = systemText;
  while (!said.empty() && (said.back() == '\n' || said.back() == '\r' || said.back() == ' ' ||
                           said.back() == '.'))
    said.pop_back();
  if (said.empty()) said = "Windows error " + std::to_string(winError);
  const std::string where = " opening " + port + ": ";
  switch (winError) {
    case kWinFileNotFound:
    case kWinPathNotFound:
      return said + where +
             "no such port; look up its COM number in Device Manager (Ports (COM & LPT)) and "
             "check the cable";
    case kWinSharingViolation:
      return said + where + "another program holds the port; close it and try again";
    case kWinAccessDenied:
      // A COM port answers a second open with access denied.
      if (IsComPortName(port))
        return said + where +
               "the port is most likely held by another program (a terminal, modem or sync "
               "tool); close it and try again";
      return said + where + "this account may not use the device";
    default:
      return said + where.substr(0, where.size() - 2);
  }
}

std::string PortOpenAdvice(const std::string& port, const std::string& device, int osError) {
  if (osError <= 0) return "";
#ifdef _WIN32
  (void)device;
  return WinPortOpenAdvice(port, osError, WinErrorText(osError));
#else
  if (device.empty()) {
    return "No device for port " + port +
           ": check the cable and give the device path (--port /dev/ttyUSB0 or /dev/ttyACM0)";
  }
  const std::string where = " opening " + device + ": ";
  switch (osError) {
    case EACCES:
    case EPERM:
      return std::strerror(osError) + where +
             "add yourself to the 'dialout' group (sudo usermod -aG dialout $USER) and log in again";
    case EBUSY:
    case EWOULDBLOCK:
      // flock() reports a held lock as EWOULDBLOCK, whose text misleads.
      return std::string(osError == EBUSY ? std::strerror(EBUSY) : "Port locked") + where +
             "another program holds the port, often a modem manager (sudo systemctl stop "
             "ModemManager) or a terminal program; close it and try again";
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return std::strerror(osError) + where +
             "check the cable and the device name (ls /dev/ttyUSB* /dev/ttyACM*)";
    default:
      return std::strerror(osError) + where.substr(0, where.size() - 2);
  }
#endif
}

std::string PortOpenAdvice(const std::string& port, int osError) {
  return PortOpenAdvice(port, ResolvePortDevice(port), osError);
}
