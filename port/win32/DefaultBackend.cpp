// The port back end this build uses: overlapped comm handles on Windows.
#include "port/win32/Win32ComBackend.h"

std::unique_ptr<IComBackend> MakeDefaultComBackend() { return std::make_unique<Win32ComBackend>(); }

// A COM port answers a second open with access denied (5); other devices
// with a sharing violation (32).
bool PortHeldByOther(int osError) { return osError == 5 || osError == 32; }
