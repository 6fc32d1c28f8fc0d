#pragma once
// The command line's picture fitter: the build with image codecs has one,
// the build without has none (nullptr).
#include "content/PictureFit.h"

const fit::TPictureFitter* CliPictureFitter();
