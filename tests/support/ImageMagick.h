#pragma once
// Pictures made by ImageMagick's convert: without it a test is skipped,
// but under CI=true it fails, so no group passes there unrun.
#include <gtest/gtest.h>
#include <strings.h>

#include <cstdlib>

inline bool HaveImageMagick() { return std::system("convert -version >/dev/null 2>&1") == 0; }
inline bool RunningInCi() { return std::getenv("CI") && strcasecmp(std::getenv("CI"), "true") == 0; }

#define REQUIRE_IMAGEMAGICK()                                                                   \
  do {                                                                                          \
    if (!HaveImageMagick() && RunningInCi()) FAIL() << "ImageMagick convert missing, needed in CI"; \
    if (!HaveImageMagick()) GTEST_SKIP() << "ImageMagick convert not installed";                \
  } while (0)
