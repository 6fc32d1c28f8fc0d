// Where the build has no image codecs (Windows without Qt): no fitter;
// 'fit' is still known, and says why it cannot run here.
#include "app/cli/CliFit.h"

#include "app/cli/CliCommands.h"

const bool kCliCanFit = false;

const fit::TPictureFitter* CliPictureFitter() { return nullptr; }
