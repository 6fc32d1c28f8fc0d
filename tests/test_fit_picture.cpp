// "Fit to phone" on real pictures made by ImageMagick: every copy is a
// picture the picture page takes, the original stays as it was.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <sys/resource.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <random>
#include <filesystem>
#include <string>

#include "app/qt/FitPicture.h"
#include "content/PcScan.h"
#include "support/ImageMagick.h"
#include "support/TempDir.h"

namespace {

bool Convert(const std::string& args) { return std::system(("convert " + args + " >/dev/null 2>&1").c_str()) == 0; }

TEST(FitPicture, CopiesThePicturePageTakes) {
  REQUIRE_IMAGEMAGICK();
  TempDir dir;
  struct Case {
    const char* name;
    const char* convert;
    bool shrunk;  // too detailed for 63000 bytes at full size
  };
  const Case cases[] = {
      {"colour.jpg", "-size 2000x1500 plasma: -quality 95", false},
      {"grey.jpg", "-size 1200x900 plasma: -colorspace Gray -quality 95", false},
      {"clear.png", "-size 300x300 xc:none -fill red -draw 'circle 150,150 150,60'", false},
      {"tall.png", "-size 100x3000 gradient:red-blue", false},
      {"tiny.png", "-size 20x10 xc:green", false},
      {"noise.png", "-size 640x640 xc:gray +noise Random", true},
      {"huge.bmp", "-size 700x500 plasma:", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(Convert(std::string(c.convert) + " " + dir.File(c.name)));
    const std::string before = dir.Read(c.name);
    const QSize original = QImageReader(QString::fromStdString(dir.File(c.name))).size();
    ASSERT_TRUE(original.isValid());

    fit::TFitResult r = fit::FitPicture(QString::fromStdString(dir.File(c.name)));
    ASSERT_EQ(r.refusal, fit::TRefusal::None) << fit::RefusalText(r, 0).toStdString();
    const std::string base = std::filesystem::path(c.name).stem().string();
    EXPECT_EQ(r.path.toStdString(), dir.File(base + "-fit.jpg"));

    QImage copy(r.path);
    ASSERT_FALSE(copy.isNull());
    EXPECT_LE(copy.width(), 640);
    EXPECT_LE(copy.height(), 640);
    // Aspect kept to a pixel: the short side follows from the long one.
    if (original.width() >= original.height()) {
      EXPECT_NEAR(copy.height(), copy.width() * double(original.height()) / original.width(), 1.0);
    } else {
      EXPECT_NEAR(copy.width(), copy.height() * double(original.width()) / original.height(), 1.0);
    }
    const int longSide = std::max(copy.width(), copy.height());
    if (c.shrunk) {
      EXPECT_LT(longSide, std::max(original.width(), original.height()));
    } else {
      EXPECT_EQ(longSide, std::min(640, std::max(original.width(), original.height())));
    }
    EXPECT_LE(std::filesystem::file_size(r.path.toStdString()), 63000u);
    EXPECT_EQ(pcscan::JudgeFile(3, r.path.toStdString()).reason, pcscan::TReason::None);
    EXPECT_EQ(dir.Read(c.name), before) << "the original changed";
  }
}

TEST(FitPicture, NeverOverwritesAndRefusesWhatItCannotFit) {
  REQUIRE_IMAGEMAGICK();
  TempDir dir;
  ASSERT_TRUE(Convert("-size 800x600 xc:blue " + dir.File("sea.png")));
  dir.Write("sea-fit.jpg", "mine");
  fit::TFitResult r = fit::FitPicture(QString::fromStdString(dir.File("sea.png")));
  ASSERT_EQ(r.refusal, fit::TRefusal::None);
  EXPECT_EQ(r.path.toStdString(), dir.File("sea-fit-2.jpg"));
  EXPECT_EQ(dir.Read("sea-fit.jpg"), "mine");

  ASSERT_TRUE(Convert("-delay 10 -size 700x20 xc:red xc:blue " + dir.File("anim.gif")));
  ASSERT_TRUE(Convert("-size 20x10 xc:red " + dir.File("fine.jpg")));
  dir.Write("song.mp3", std::string("ID3\3\0\0\0\0\0\0", 10) + std::string(100, 'x'));
  dir.Write("empty.png", "");
  struct Case {
    const char* name;
    fit::TRefusal refusal;
  };
  for (const Case& c : {Case{"anim.gif", fit::TRefusal::NotFittable}, Case{"fine.jpg", fit::TRefusal::AlreadySuitable},
                        Case{"song.mp3", fit::TRefusal::NotReadable}, Case{"empty.png", fit::TRefusal::NotFittable}}) {
    SCOPED_TRACE(c.name);
    fit::TFitResult refused = fit::FitPicture(QString::fromStdString(dir.File(c.name)));
    EXPECT_EQ(refused.refusal, c.refusal);
    EXPECT_FALSE(fit::RefusalText(refused, 0).isEmpty());
    EXPECT_FALSE(std::filesystem::exists(dir.File(std::filesystem::path(c.name).stem().string() + "-fit.jpg")));
  }
}

// A copy that cannot be written says why in the system's words, and
// leaves nothing in the target folder, under its name or any other.
TEST(FitPicture, WriteFailureGivesTheSystemsReasonAndLeavesNothing) {
  TempDir dir;
  QImage noise(900, 700, QImage::Format_RGB32);
  std::mt19937 rng(7);
  for (int y = 0; y < noise.height(); ++y)
    for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, rng() & 0xFFFFFF);
  ASSERT_TRUE(noise.save(QString::fromStdString(dir.File("noise.png"))));
  std::filesystem::create_directories(dir.File("out"));
  rlimit before{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
  rlimit limit = before;
  limit.rlim_cur = 8192;
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  fit::TFitResult r = fit::FitPicture(QString::fromStdString(dir.File("noise.png")), QString::fromStdString(dir.File("out")));
  setrlimit(RLIMIT_FSIZE, &before);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_EQ(r.refusal, fit::TRefusal::WriteFailed);
  EXPECT_EQ(r.detail.toStdString(), std::strerror(EFBIG));
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
}

}  // namespace
