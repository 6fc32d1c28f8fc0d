// Port names for the Windows build of the port layer alone: it has no port
// map, so a COM name goes straight to its device. The full program takes
// ResolvePortDevice from its port map instead and must not link this file.
#include "port/win32/Win32ComBackend.h"

std::string ResolvePortDevice(const std::string& port) { return Win32ComDevicePath(port); }
