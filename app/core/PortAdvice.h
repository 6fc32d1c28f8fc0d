#pragma once
// The command line's second line under "Unable to open ComPort!!": what the
// OS said and what usually fixes it on a Linux desktop.
#include <string>

// port: the name the user chose (COM3 or a path); device: what it resolved to
// ("" when the port map has no such name); osError: the errno of the open
// (<= 0: none). Empty when there is nothing to add.
std::string PortOpenAdvice(const std::string& port, const std::string& device, int osError);
