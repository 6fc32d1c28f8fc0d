#pragma once
// The command line's second line under "Unable to open ComPort!!": what the
// OS said and what usually fixes it, on a Linux desktop or on Windows.
#include <string>

// port: the name the user chose (COM3 or a path); device: what it resolved to
// ("" when the port map has no such name); osError: the error number of the
// open (errno on POSIX systems, GetLastError() on Windows; <= 0: none).
// Empty when there is nothing to add.
std::string PortOpenAdvice(const std::string& port, const std::string& device, int osError);

// The same for a port name as the user chose it, resolved through the port
// map: what the windows add under their box and the command line prints.
std::string PortOpenAdvice(const std::string& port, int osError);

// The Windows choice, given the system's own text for the error
// (FormatMessage); kept apart so that it can be checked on any system.
std::string WinPortOpenAdvice(const std::string& port, int winError, const std::string& systemText);
