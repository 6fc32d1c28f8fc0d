// The port back end this build uses: overlapped comm handles on Windows.
#include "port/win32/Win32ComBackend.h"

std::unique_ptr<IComBackend> MakeDefaultComBackend() { return std::make_unique<Win32ComBackend>(); }
