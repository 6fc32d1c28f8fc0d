#include "app/core/PortAdvice.h"

#include <cerrno>
#include <cstring>

std::string PortOpenAdvice(const std::string& port, const std::string& device, int osError) {
  if (osError <= 0) return "";
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
}
