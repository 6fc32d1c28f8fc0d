#pragma once
// Start-up hook for --virtual-phone: runs before the main window is built,
// so that the port map already holds the phone when the window reads it.
#include <string>

// False when the program should not go on (the reason is on stderr).
bool StartVirtualPhone(int argc, char** argv);
void StopVirtualPhone();
// The PC sample folder to offer in the folder chooser ("" without a virtual phone).
std::string VirtualPhonePcFolder();
