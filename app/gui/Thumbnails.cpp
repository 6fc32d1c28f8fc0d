#include "Thumbnails.h"

#include <QImageReader>
#include <QMetaObject>
#include <QTimer>

TThumbnailLoader::TThumbnailLoader(QObject* parent)
    : QObject(parent), generation_(std::make_shared<std::atomic<unsigned>>(0)) {}

TThumbnailLoader::~TThumbnailLoader() {
  Cancel();
  pool_.waitForDone();
}

QImage TThumbnailLoader::Decode(const QString& path) {
  QImageReader reader(path);
  const QSize full = reader.size();
  // Readers that can (JPEG) decode straight at the small size.
  if (full.isValid() && (full.width() > kSide || full.height() > kSide))
    reader.setScaledSize(full.scaled(kSide, kSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
  QImage image = reader.read();
  if (!image.isNull() && (image.width() > kSide || image.height() > kSide))
    image = image.scaled(kSide, kSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  return image;
}

void TThumbnailLoader::Queue(int row, const QString& name, const QString& path) {
  if (!enabled) return;
  queued_.push_back({row, name, path});
  ++outstanding_;
  if (startScheduled_) return;
  startScheduled_ = true;
  QTimer::singleShot(0, this, [this] { StartQueued(); });
}

void TThumbnailLoader::Cancel() {
  ++*generation_;
  pool_.clear();
  queued_.clear();
  outstanding_ = 0;
}

void TThumbnailLoader::StartQueued() {
  startScheduled_ = false;
  const unsigned gen = *generation_;
  std::shared_ptr<std::atomic<unsigned>> current = generation_;
  for (TJob& job : queued_) {
    pool_.start([this, gen, current, job] {
      if (*current != gen) return;
      QImage image = Decode(job.path);
      if (*current != gen) return;
      QMetaObject::invokeMethod(
          this,
          [this, gen, job, image] {
            if (*generation_ != gen) return;  // the list was cleared meanwhile
            --outstanding_;
            emit ThumbnailReady(job.row, job.name, image);
            if (outstanding_ == 0) emit AllDone();
          },
          Qt::QueuedConnection);
    });
  }
  queued_.clear();
}
