// The port back end this build uses: termios on POSIX systems.
#include <cerrno>

#include "port/posix/PosixComBackend.h"

std::unique_ptr<IComBackend> MakeDefaultComBackend() { return std::make_unique<PosixComBackend>(); }

// The exclusive open answers EBUSY, the lock beside it EWOULDBLOCK.
bool PortHeldByOther(int osError) { return osError == EBUSY || osError == EWOULDBLOCK; }
