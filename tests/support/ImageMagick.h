#pragma once
// ImageMagick's convert makes some of the tests' pictures. Where it is
// missing those tests are skipped, except in CI (CI=true), where a test
// that cannot run is a failure rather than a silent pass.
#include <gtest/gtest.h>
#include <strings.h>

#include <cstdlib>

inline bool HaveImageMagick() { return std::system("convert -version >/dev/null 2>&1") == 0; }

inline bool RunningInCi() {
  const char* ci = std::getenv("CI");
  return ci && strcasecmp(ci, "true") == 0;
}

// Ends the test unless convert is there: a skip, or in CI a failure.
#define REQUIRE_IMAGEMAGICK()                                                          \
  do {                                                                                 \
    if (!HaveImageMagick()) {                                                          \
      if (RunningInCi()) FAIL() << "ImageMagick convert not installed, needed in CI"; \
      GTEST_SKIP() << "ImageMagick convert not installed";                             \
    }                                                                                  \
  } while (0)
