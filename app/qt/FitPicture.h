#pragma once
// "Fit to phone": a copy of a picture the picture page refuses only for its
// size, dimensions or format, made into a colour baseline JPEG the page
// takes. The original is only read.
#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

#include "content/PcScan.h"
#include "content/PictureFit.h"

namespace fit {

struct TFitResult {
  TRefusal refusal = TRefusal::None;
  pcscan::TJudgement why;  // the original's judgement on the picture page
  QString path;            // the copy
  QString detail;          // the reader's or writer's error
  QSize size;
  int quality = 0;
  qint64 bytes = 0;
};

// The original's judgement, and whether a copy can be fitted.
bool CanFit(const QString& path, pcscan::TJudgement* why = nullptr);

// Encodes image for the picture page: within 640 x 640 with its aspect,
// the highest quality that fits, smaller still when needed. Empty when
// nothing fits.
QByteArray EncodeToFit(const QImage& image, QSize* size = nullptr, int* quality = nullptr);

// Makes NAME-fit.jpg (or NAME-fit-2.jpg ...) in toDir, default the
// original's folder. Never overwrites a file.
TFitResult FitPicture(const QString& path, const QString& toDir = {});

// Why no copy was made, in the given language (0 English).
QString RefusalText(const TFitResult& result, int languageIndex);

// The result with UTF-8 paths and texts.
TFitOutcome ToOutcome(const TFitResult& result);

// The fitter of every Qt front end; paths are in the file system's
// encoding as QFile names them.
class TQtPictureFitter : public TPictureFitter {
 public:
  bool CanFit(const std::string& path, pcscan::TJudgement* why = nullptr) const override;
  TFitOutcome Fit(const std::string& path, const std::string& toDir = {}) const override;
};

}  // namespace fit
