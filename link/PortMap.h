#pragma once
// The serial port map: port names in a stable order with their devices.
// On Linux: the "SerialComm" group of the settings store (name = device path)
// first, then the serial devices found on the system under fixed names:
// ttyS<n> is COM<n+1>, ttyUSB<n> is COM<33+n>, ttyACM<n> is COM<65+n>.
#include <string>
#include <vector>

struct TPortEntry {
  std::string name;    // "COM3"
  std::string device;  // "/dev/ttyS2"
};

std::vector<TPortEntry> SerialPortMap();
// Port names in natural order: "COM2" before "COM10", letter case ignored.
bool NaturalLess(const std::string& a, const std::string& b);
// Fixed name of a system device path, or "" when it has none.
std::string PortNameForDevice(const std::string& device);
// Register a port of our own (virtual phone, unusual device) in the store.
// The device path of a port name through the map; a name that starts with
// "/" or "\\" is a path already.
std::string ResolvePortDevice(const std::string& port);
void AddPortMapEntry(const std::string& name, const std::string& device);
void RemovePortMapEntry(const std::string& name);
// A port of this run only, listed before all others and never stored. It is
// also the port chosen for this run, whatever port the user has stored.
void AddSessionPortEntry(const std::string& name, const std::string& device);
void RemoveSessionPortEntry(const std::string& name);
// The port of this run only, or "" when there is none.
std::string SessionPortChoice();
bool IsSessionPort(const std::string& name);
