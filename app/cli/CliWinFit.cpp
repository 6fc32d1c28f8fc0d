// The command line's fitter on Windows: the system's imaging codecs.
#include "app/cli/CliFit.h"

#include "app/cli/CliCommands.h"
#include "app/win32/WinFitPicture.h"

const bool kCliCanFit = true;

const fit::TPictureFitter* CliPictureFitter() {
  static const fit::TWinPictureFitter fitter;
  return &fitter;
}
