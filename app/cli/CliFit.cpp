// The command line's fitter where the build has Qt's image codecs.
#include "app/cli/CliFit.h"

#include "app/cli/CliCommands.h"
#include "app/qt/FitPicture.h"

const bool kCliCanFit = true;

const fit::TPictureFitter* CliPictureFitter() {
  static const fit::TQtPictureFitter fitter;
  return &fitter;
}
