#pragma once
// Small pictures for the PC list, decoded on a thread pool while the
// window stays responsive. Work is queued while the list fills and starts
// once the window thread is idle again, so the listing itself is not
// slowed; results come back by queued call and are dropped when the list
// has been cleared since.
#include <QImage>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <atomic>
#include <memory>
#include <vector>

class TThumbnailLoader : public QObject {
  Q_OBJECT
 public:
  static constexpr int kSide = 20;

  explicit TThumbnailLoader(QObject* parent = nullptr);
  ~TThumbnailLoader() override;

  // Off: Queue does nothing (the melody page, or the benchmark's baseline).
  bool enabled = true;
  void Queue(int row, const QString& name, const QString& path);
  // Forgets queued work and the results still on their way.
  void Cancel();
  int Outstanding() const { return outstanding_; }

  // The first frame of an image, within kSide x kSide; null when unreadable.
  static QImage Decode(const QString& path);

 signals:
  void ThumbnailReady(int row, const QString& name, const QImage& image);
  void AllDone();

 private:
  struct TJob {
    int row;
    QString name, path;
  };
  void StartQueued();

  QThreadPool pool_;
  std::shared_ptr<std::atomic<unsigned>> generation_;
  std::vector<TJob> queued_;
  bool startScheduled_ = false;
  int outstanding_ = 0;
};
