#include "link/PortMap.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <set>
#include <vector>
#include <tuple>

#include "port/ComPort.h"
#include "link/Settings.h"
#include "link/Text.h"

namespace {

struct Family {
  const char* prefix;  // after "/dev/"
  int firstCom;        // COM number of unit 0
};
// Each family owns 32 numbers, so units from 32 up would run into the next
// family's names; those get no fixed name.
constexpr Family kFamilies[] = {{"ttyS", 1}, {"ttyUSB", 33}, {"ttyACM", 65}};
constexpr int kUnitsPerFamily = 32;

}  // namespace

// "COM2" before "COM10": compare the text part, then the trailing number.
bool NaturalLess(const std::string& a, const std::string& b) {
  auto split = [](const std::string& s) {
    size_t i = s.size();
    while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
    std::string head = UpperCase(s.substr(0, i));
    std::string digits = s.substr(i);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    return std::make_tuple(head, digits.size(), digits, s);
  };
  return split(a) < split(b);
}

std::string PortNameForDevice(const std::string& device) {
  // Windows names its devices after the port: "\\.\COM3".
  static const std::string kWinDevice = "\\\\.\\COM";
  if (device.compare(0, kWinDevice.size(), kWinDevice) == 0) {
    const std::string name = device.substr(kWinDevice.size() - 3);
    return ParseDecimal(std::string_view(name).substr(3), false) ? name : "";
  }
  static const std::string kDev = "/dev/";
  if (device.compare(0, kDev.size(), kDev) != 0) return "";
  const std::string node = device.substr(kDev.size());
  for (const Family& f : kFamilies) {
    const std::string prefix = f.prefix;
    if (node.size() <= prefix.size() || node.compare(0, prefix.size(), prefix) != 0) continue;
    const std::string digits = node.substr(prefix.size());
    if (digits.size() > 2 || (digits.size() > 1 && digits[0] == '0')) return "";
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      return "";
    const int unit = ParseDecimal(digits, false).value_or(kUnitsPerFamily);
    if (unit >= kUnitsPerFamily) return "";
    return "COM" + std::to_string(f.firstCom + unit);
  }
  return "";
}

namespace {
// Ports of this run only (the virtual phone): never stored, so a killed run
// cannot leave a name pointing at a pseudo-terminal someone else gets later.
std::mutex g_sessionMu;
std::vector<TPortEntry> g_session;
}  // namespace

void AddSessionPortEntry(const std::string& name, const std::string& device) {
  std::lock_guard<std::mutex> lock(g_sessionMu);
  std::erase_if(g_session, [&](const TPortEntry& e) { return UpperCase(e.name) == UpperCase(name); });
  g_session.push_back({name, device});
}

void RemoveSessionPortEntry(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_sessionMu);
  std::erase_if(g_session, [&](const TPortEntry& e) { return UpperCase(e.name) == UpperCase(name); });
}

std::string SessionPortChoice() {
  std::lock_guard<std::mutex> lock(g_sessionMu);
  return g_session.empty() ? std::string() : g_session.front().name;
}

bool IsSessionPort(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_sessionMu);
  return std::any_of(g_session.begin(), g_session.end(),
                     [&](const TPortEntry& e) { return UpperCase(e.name) == UpperCase(name); });
}

std::vector<TPortEntry> SerialPortMap() {
  std::vector<TPortEntry> map;
  std::set<std::string> taken;  // upper-case names
  {
    std::lock_guard<std::mutex> lock(g_sessionMu);
    for (const TPortEntry& e : g_session)
      if (taken.insert(UpperCase(e.name)).second) map.push_back(e);
  }

  {
    std::vector<TPortEntry> own;
    for (TStoredPort& p : ReadStoredPorts())
      if (!p.device.empty()) own.push_back({std::move(p.name), std::move(p.device)});
    std::sort(own.begin(), own.end(),
              [](const TPortEntry& a, const TPortEntry& b) { return NaturalLess(a.name, b.name); });
    for (auto& e : own) {
      if (taken.insert(UpperCase(e.name)).second) map.push_back(std::move(e));
    }
  }

  std::vector<std::pair<int, TPortEntry>> found;
  for (const std::string& device : SystemSerialDevices()) {
    const std::string name = PortNameForDevice(device);
    if (name.empty()) continue;  // other device families: register them in the store
    found.push_back({ParseDecimal(std::string_view(name).substr(3), false).value_or(0), {name, device}});
  }
  // COM numbers follow family then unit, so sorting by number keeps that order.
  std::sort(found.begin(), found.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& [number, e] : found) {
    (void)number;
    if (taken.insert(UpperCase(e.name)).second) map.push_back(std::move(e));
  }
  return map;
}

// The store reads "/" and "\\" in a key as group separators, so such a name
// could never be found again; it is not stored.
static bool StorableName(const std::string& name) {
  return !name.empty() && name.find_first_of("/\\") == std::string::npos;
}

void AddPortMapEntry(const std::string& name, const std::string& device) {
  if (StorableName(name)) WriteStoredPort(name, device);
}

void RemovePortMapEntry(const std::string& name) {
  if (StorableName(name)) RemoveStoredPort(name);
}

std::string ResolvePortDevice(const std::string& port) {
  if (!port.empty() && (port[0] == '/' || port[0] == '\\')) return port;  // a device path already
  const std::string wanted = UpperCase(port);
  for (const TPortEntry& e : SerialPortMap()) {
    if (UpperCase(e.name) == wanted) return e.device;
  }
  return UnmappedPortDevice(port);
}
