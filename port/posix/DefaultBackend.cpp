// The port back end this build uses: termios on POSIX systems.
#include "port/posix/PosixComBackend.h"

std::unique_ptr<IComBackend> MakeDefaultComBackend() { return std::make_unique<PosixComBackend>(); }
