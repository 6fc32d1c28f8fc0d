#include "app/gui/PcListParts.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMimeData>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include "app/gui/FormText.h"
#include "app/gui/Thumbnails.h"
#include "app/qt/FitPicture.h"
#include "content/UiText.h"

namespace {

// Item data: the row's index in TContentPage::Unsuitable, -1 for a listed file.
constexpr int kUnsuitableRole = Qt::UserRole + 1;
// The reason of a greyed row in each language.
constexpr int kReasonsRole = Qt::UserRole + 2;

// Keeps room for a thumbnail in every name cell while thumbnails are on,
// so names stay aligned before their pictures come (and for files with
// none); drawn only for the rows on screen, it costs the listing nothing.
class TThumbnailRoom : public QStyledItemDelegate {
 public:
  TThumbnailRoom(QObject* parent, std::function<bool()> on) : QStyledItemDelegate(parent), on_(std::move(on)) {}

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (!on_() || (option->features & QStyleOptionViewItem::HasDecoration)) return;
    static const QIcon blank = [] {
      QPixmap pixmap(TThumbnailLoader::kSide, TThumbnailLoader::kSide);
      pixmap.fill(Qt::transparent);
      return QIcon(pixmap);
    }();
    option->features |= QStyleOptionViewItem::HasDecoration;
    option->icon = blank;
    option->decorationSize = QSize(TThumbnailLoader::kSide, TThumbnailLoader::kSide);
  }

 private:
  std::function<bool()> on_;
};

// Takes drags of local files on a list's viewport and hands the drop on.
class TFileDropFilter : public QObject {
 public:
  TFileDropFilter(QObject* parent, std::function<bool()> open, std::function<void(const QStringList&)> drop)
      : QObject(parent), open_(std::move(open)), drop_(std::move(drop)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    switch (event->type()) {
      case QEvent::DragEnter:
      case QEvent::DragMove: {
        auto* e = static_cast<QDropEvent*>(event);
        if (!open_() || LocalFiles(e->mimeData()).isEmpty()) return false;
        e->setDropAction(Qt::CopyAction);
        e->accept();
        return true;
      }
      case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        const QStringList files = LocalFiles(e->mimeData());
        if (!open_() || files.isEmpty()) return false;
        e->setDropAction(Qt::CopyAction);
        e->accept();
        // After the drop has returned to the file manager: sending takes a while.
        QTimer::singleShot(0, this, [this, files] { drop_(files); });
        return true;
      }
      default:
        return QObject::eventFilter(watched, event);
    }
  }

 private:
  static QStringList LocalFiles(const QMimeData* mime) {
    QStringList files;
    if (!mime) return files;
    for (const QUrl& url : mime->urls())
      if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile()) files << url.toLocalFile();
    return files;
  }
  std::function<bool()> open_;
  std::function<void(const QStringList&)> drop_;
};

}  // namespace

QStyledItemDelegate* NewThumbnailRoom(QObject* parent, std::function<bool()> on) {
  return new TThumbnailRoom(parent, std::move(on));
}

QObject* NewFileDropFilter(QObject* parent, std::function<bool()> open,
                           std::function<void(const QStringList&)> drop) {
  return new TFileDropFilter(parent, std::move(open), std::move(drop));
}

QTreeWidgetItem* NewUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why, int index,
                                  const QColor& grey) {
  const std::string name = cells.empty() ? std::string() : cells[0];
  auto* item = new QTreeWidgetItem(
      QStringList{BytesToQString(name), cells.size() > 1 ? BytesToQString(cells[1]) : QString(), QString()});
  item->setData(0, kUnsuitableRole, index);
  item->setData(0, kReasonsRole, QStringList{QString::fromStdString(why[0]), QString::fromStdString(why[1]),
                                             QString::fromStdString(why[2])});
  for (int c = 0; c < 3; ++c) item->setForeground(c, grey);
  ShowReason(item);
  return item;
}

bool UnsuitableIndex(const QTreeWidgetItem* item, int* index) {
  bool isRow = false;
  *index = item->data(0, kUnsuitableRole).toInt(&isRow);
  return isRow && *index >= 0;
}

bool ShowReason(QTreeWidgetItem* item) {
  if (!item->data(0, kReasonsRole).isValid()) return false;
  const QStringList words = item->data(0, kReasonsRole).toStringList();
  const QString reason = words.value(UiLanguage());
  item->setText(kReasonColumn, reason);
  for (int c = 0; c < 3; ++c) item->setToolTip(c, PlainTip(reason));
  item->setToolTip(0, PlainTip(item->text(0) + "\n" + reason));  // the whole name, cut in the column
  return true;
}

const fit::TPictureFitter& PictureFitter() {
  static const fit::TQtPictureFitter fitter;
  return fitter;
}
