#include "app/qt/FitPicture.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstring>

#include "app/qt/UiTextQt.h"

namespace fit {
namespace {

std::string LocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QByteArray Encode(const QImage& image, int quality) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, "jpeg");
  writer.setQuality(quality);
  writer.setOptimizedWrite(true);  // smaller Huffman tables, still baseline
  if (!writer.write(image)) return {};
  return bytes;
}

// Three colour components whatever the source: alpha over white, grey spread to RGB.
QImage Flatten(const QImage& image) {
  if (!image.hasAlphaChannel()) return image.convertToFormat(QImage::Format_RGB888);
  QImage src = image.convertToFormat(QImage::Format_ARGB32);
  QImage out(src.size(), QImage::Format_RGB888);
  for (int y = 0; y < src.height(); ++y) {
    const QRgb* s = reinterpret_cast<const QRgb*>(src.constScanLine(y));
    uchar* d = out.scanLine(y);
    for (int x = 0; x < src.width(); ++x) {
      const int a = qAlpha(s[x]);
      for (int c = 0; c < 3; ++c) {
        const int v = c == 0 ? qRed(s[x]) : c == 1 ? qGreen(s[x]) : qBlue(s[x]);
        d[3 * x + c] = static_cast<uchar>((v * a + 255 * (255 - a) + 127) / 255);
      }
    }
  }
  return out;
}

// The system's own words for the last failure, when it left any.
QString SystemError(int err, const QFileDevice& file) {
  return err != 0 ? QString::fromLocal8Bit(std::strerror(err)) : file.errorString();
}

// Writes bytes as a new file, checked on write, flush and close; a file
// that fails is removed. The error is the system's reason.
bool WriteWhole(const QString& path, const QByteArray& bytes, QString* error) {
  QFile out(path);
  QFile::remove(path);  // left by a killed run of the same process id
  errno = 0;
  if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
    *error = SystemError(errno, out);
    return false;
  }
  errno = 0;
  bool ok = out.write(bytes) == bytes.size() && out.flush();
  int err = errno;
  if (ok) {
    errno = 0;
    out.close();
    err = errno;
    ok = out.error() == QFileDevice::NoError;
  }
  if (!ok) {
    *error = SystemError(err, out);
    out.close();
    out.remove();
  }
  return ok;
}

QString CopyName(const QString& base, int n) {
  return n == 1 ? base + "-fit.jpg" : base + "-fit-" + QString::number(n) + ".jpg";
}

}  // namespace

bool CanFit(const QString& path, pcscan::TJudgement* why) {
  pcscan::TJudgement j = pcscan::JudgeFile(3, LocalPath(path));
  if (why) *why = j;
  using pcscan::TReason;
  if (j.reason != TReason::TooLarge && j.reason != TReason::TooManyPixels && j.reason != TReason::WrongType &&
      j.reason != TReason::JpegLayout)
    return false;
  QImageReader reader(path);
  // More than one image is an animation, not a picture to fit.
  return reader.canRead() && reader.imageCount() <= 1;
}

QByteArray EncodeToFit(const QImage& image, QSize* size, int* quality) {
  if (image.isNull()) return {};
  const QImage flat = Flatten(image);
  QImage scaled;
  const TFitEncoding e = fit::EncodeToFit(flat.width(), flat.height(), [&](int w, int h, int q) {
    // Scaled once for each size the search tries, then encoded at each quality.
    if (scaled.size() != QSize(w, h))
      scaled = QSize(w, h) == flat.size() ? flat : flat.scaled(w, h, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    const QByteArray bytes = Encode(scaled, q);
    return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
  });
  if (e.bytes.empty()) return {};
  if (size) *size = QSize(e.width, e.height);
  if (quality) *quality = e.quality;
  return QByteArray(e.bytes.data(), static_cast<qsizetype>(e.bytes.size()));
}

TFitResult FitPicture(const QString& path, const QString& toDir) {
  TFitResult r;
  if (!CanFit(path, &r.why)) {
    r.refusal = RefusalForUnfittable(r.why);
    return r;
  }
  QImageReader reader(path);
  reader.setAutoTransform(true);  // a camera's turned photo stays upright
  QImage image = reader.read();
  if (image.isNull()) {
    r.refusal = TRefusal::NotReadable;
    r.detail = reader.errorString();
    return r;
  }
  QByteArray bytes = EncodeToFit(image, &r.size, &r.quality);
  if (bytes.isEmpty()) {
    r.refusal = TRefusal::NoFit;
    return r;
  }
  const QFileInfo original(path);
  const QDir dir(toDir.isEmpty() ? original.absolutePath() : toDir);
  // The bytes go to a part file first; only a copy written whole, flushed
  // and closed takes a final name, so no half copy ever carries one.
  const QString part = dir.filePath("." + CopyName(original.completeBaseName(), 1) + "." +
                                    QString::number(QCoreApplication::applicationPid()) + ".part");
  QString error;
  if (!WriteWhole(part, bytes, &error)) {
    r.refusal = TRefusal::WriteFailed;
    r.detail = error;
    return r;
  }
  for (int n = 1; n < 10000; ++n) {
    const QString name = dir.filePath(CopyName(original.completeBaseName(), n));
    // Renaming never replaces a file: a taken name moves on to the next number.
    if (QFile::exists(name)) continue;
    QFile copy(part);
    if (copy.rename(name)) {
      r.path = name;
      r.bytes = bytes.size();
      return r;
    }
    if (QFile::exists(name)) continue;
    error = copy.errorString();
    break;
  }
  QFile::remove(part);
  r.refusal = TRefusal::WriteFailed;
  r.detail = error;
  return r;
}

QString RefusalText(const TFitResult& result, int lang) {
  return QString::fromStdString(RefusalText(ToOutcome(result), lang, QtUiTextDecoder()));
}

TFitOutcome ToOutcome(const TFitResult& result) {
  TFitOutcome out;
  out.refusal = result.refusal;
  out.why = result.why;
  out.path = result.path.isEmpty() ? std::string() : LocalPath(result.path);
  out.detail = result.detail.toStdString();
  if (result.size.isValid()) {
    out.width = result.size.width();
    out.height = result.size.height();
  }
  out.quality = result.quality;
  out.bytes = result.bytes;
  return out;
}

bool TQtPictureFitter::CanFit(const std::string& path, pcscan::TJudgement* why) const {
  return fit::CanFit(QFile::decodeName(path.c_str()), why);
}

TFitOutcome TQtPictureFitter::Fit(const std::string& path, const std::string& toDir) const {
  return ToOutcome(
      FitPicture(QFile::decodeName(path.c_str()), toDir.empty() ? QString() : QFile::decodeName(toDir.c_str())));
}

}  // namespace fit
