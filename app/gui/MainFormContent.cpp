// The content page's additions to the main window: "Show all files" with
// the unsuitable files greyed and explained, "Fit to phone", thumbnails,
// and files dropped on the phone list.
#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QTreeWidget>
#include <functional>

#include "MainForm.h"
#include "content/ScanReasonText.h"
#include "app/core/Config.h"
#include "app/qt/UiTextQt.h"
#include "app/gui/Thumbnails.h"
#include "app/qt/FitPicture.h"
#include "ui_mainform.h"

namespace {

constexpr int kReasonColumn = 2;
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

const fit::TPictureFitter& PictureFitter() {
  static const fit::TQtPictureFitter fitter;
  return fitter;
}

}  // namespace

void TVelkoMainForm::SetUpContentExtras() {
  connect(ui->ShowAllFiles_CheckBox, &QCheckBox::toggled, this, [this](bool on) {
    QTreeWidget* pcList = ui->DC_PIC_PC_ListView;
    pcList->setColumnCount(on ? 3 : 2);
    // The name column gives way to the reason; the tool tip carries all of it.
    pcList->setColumnWidth(0, on ? 100 : 138);
    if (on) {
      pcList->setColumnWidth(kReasonColumn, 240);
      pcList->headerItem()->setText(kReasonColumn, UiTr(uitext::ReasonColumn));
    }
    const bool pageOpen = ui->PageControl1->currentWidget() == ui->DC_PIC_Sheet;
    // A view setting, not an action: it follows whatever runs.
    QueueOnSession([this, on, pageOpen] {
      contentPage.ShowAllFiles = on;
      if (pageOpen) RescanPcFolder();
    });
  });
  contentPage.Decoder = &QtUiTextDecoder();
  thumbnails_ = new TThumbnailLoader(this);
  ui->DC_PIC_PC_ListView->setIconSize(QSize(TThumbnailLoader::kSide, TThumbnailLoader::kSide));
  ui->DC_PIC_PC_ListView->setItemDelegateForColumn(0, new TThumbnailRoom(ui->DC_PIC_PC_ListView, [this] {
    return thumbnails_->enabled && (pages.FolderNumber == 2 || pages.FolderNumber == 3);
  }));
  connect(thumbnails_, &TThumbnailLoader::ThumbnailReady, this,
          [this](int row, const QString& name, const QImage& image) {
            QTreeWidgetItem* item = ui->DC_PIC_PC_ListView->topLevelItem(row);
            if (!item || item->text(0) != name || image.isNull()) return;
            item->setIcon(0, QIcon(QPixmap::fromImage(image)));
          });
  connect(ui->DC_PIC_PC_ListView, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateFitButton(); });
  QWidget* phoneList = ui->DC_PIC_PHONE_ListView->viewport();
  phoneList->setAcceptDrops(true);
  phoneList->installEventFilter(new TFileDropFilter(
      this,
      [this] {
        return ui->PageControl1->currentWidget() == ui->DC_PIC_Sheet && ui->DC_PIC_UL_Button->isEnabled();
      },
      [this](const QStringList& files) { RunHere([this, files] { SendDroppedFiles(files); }); }));
  connect(ui->PageControl1, &QStackedWidget::currentChanged, this, [this] { UpdateFitButton(); });
  connect(ui->FitToPhone_Button, &QPushButton::clicked, this, [this] { RunHere([this] { FitSelectedPicture(); }); });
  UpdateFitButton();
}

void TVelkoMainForm::ApplyContentExtrasTexts() {
  ui->ShowAllFiles_CheckBox->setText(UiTr(uitext::ShowAllFiles));
  ui->FitToPhone_Button->setText(UiTr(uitext::FitToPhone));
  QTreeWidget* list = ui->DC_PIC_PC_ListView;
  if (list->columnCount() > kReasonColumn) list->headerItem()->setText(kReasonColumn, UiTr(uitext::ReasonColumn));
  // The greyed rows shown now say their reason in the new language.
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    if (item->data(0, kReasonsRole).isValid()) ShowReason(item);
  }
}

void TVelkoMainForm::ShowReason(QTreeWidgetItem* item) {
  const QStringList words = item->data(0, kReasonsRole).toStringList();
  const QString reason = words.value(UiLanguage());
  item->setText(kReasonColumn, reason);
  for (int c = 0; c < 3; ++c) item->setToolTip(c, PlainTip(reason));
  item->setToolTip(0, PlainTip(item->text(0) + "\n" + reason));  // the whole name, cut in the column
}

void TVelkoMainForm::AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) {
  QTreeWidget* list = ui->DC_PIC_PC_ListView;
  const QColor grey = list->palette().color(QPalette::Disabled, QPalette::Text);
  const std::string name = cells.empty() ? std::string() : cells[0];
  auto* item = new QTreeWidgetItem(
      QStringList{BytesToQString(name), cells.size() > 1 ? BytesToQString(cells[1]) : QString(), QString()});
  item->setData(0, kUnsuitableRole, static_cast<int>(unsuitableNames_.size()));
  item->setData(0, kReasonsRole, QStringList{QString::fromStdString(why[0]), QString::fromStdString(why[1]),
                                             QString::fromStdString(why[2])});
  unsuitableNames_.push_back(name);
  for (int c = 0; c < 3; ++c) item->setForeground(c, grey);
  ShowReason(item);
  list->addTopLevelItem(item);
  QueueThumbnail(list->topLevelItemCount() - 1, name);
}

void TVelkoMainForm::QueueThumbnail(int row, const std::string& nameBytes) {
  if (pages.FolderNumber != 2 && pages.FolderNumber != 3) return;
  QTreeWidgetItem* item = ui->DC_PIC_PC_ListView->topLevelItem(row);
  if (!item) return;
  thumbnails_->Queue(row, item->text(0), QFile::decodeName((pages.PcFolder + "/" + nameBytes).c_str()));
}

void TVelkoMainForm::RescanPcFolder(const QString& select) {
  if (pages.PcFolder.empty()) return;
  link.View().ClearList(TListId::PcFiles);
  contentPage.ScanPcFolder();
  if (!select.isEmpty()) windowQueue_.RunAndWait([&] { SelectPcRow(select); });
}

void TVelkoMainForm::SelectPcRow(const QString& name) {
  QTreeWidget* list = ui->DC_PIC_PC_ListView;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    if (item->text(0) != name || item->data(0, kUnsuitableRole).isValid()) continue;
    list->clearSelection();
    item->setSelected(true);
    list->setCurrentItem(item);
    list->scrollToItem(item);
    break;
  }
}

QString TVelkoMainForm::SelectedFittablePath() {
  // The page's lists belong to the worker while an operation runs.
  if (!SessionIdle()) return {};
  const QList<QTreeWidgetItem*> selected = ui->DC_PIC_PC_ListView->selectedItems();
  if (selected.size() != 1) return {};
  bool isRow = false;
  const int index = selected.front()->data(0, kUnsuitableRole).toInt(&isRow);
  if (!isRow || index < 0 || static_cast<size_t>(index) >= unsuitableNames_.size()) return {};
  const QString path = QFile::decodeName((pages.PcFolder + "/" + unsuitableNames_[index]).c_str());
  return PictureFitter().CanFit(QFile::encodeName(path).toStdString()) ? path : QString();
}

void TVelkoMainForm::UpdateFitButton() {
  const bool picturePage = pages.FolderNumber == 3 && ui->PageControl1->currentWidget() == ui->DC_PIC_Sheet;
  ui->FitToPhone_Button->setVisible(picturePage);
  // A batch locks the page's buttons; the fit button follows the send button.
  ui->FitToPhone_Button->setEnabled(picturePage && ui->DC_PIC_UL_Button->isEnabled() &&
                                    !SelectedFittablePath().isEmpty());
}

void TVelkoMainForm::FitSelectedPicture() {
  const QString path = SelectedFittablePath();
  if (path.isEmpty()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const fit::TFitOutcome r = PictureFitter().Fit(QFile::encodeName(path).toStdString());
  QApplication::restoreOverrideCursor();
  if (r.refusal != fit::TRefusal::None) {
    ShowMessage(RefusalUtf8(r, QtUiTextDecoder()));
    return;
  }
  if (ui->PageControl1->currentWidget() != ui->DC_PIC_Sheet) return;
  QueueOnSession([this, name = QFileInfo(QFile::decodeName(r.path.c_str())).fileName()] { RescanPcFolder(name); });
}

void TVelkoMainForm::SendDroppedFiles(const QStringList& paths) {
  std::vector<std::string> local;
  for (const QString& path : paths) local.push_back(QFile::encodeName(path).toStdString());
  // The page judges them and asks through the window as it goes.
  RunOnSession([this, local] {
    TellStopped(contentPage.SendDroppedFiles(local, &PictureFitter(), QtUiTextDecoder()).sending);
  });
}

bool TVelkoMainForm::ConfirmFitCopy(const std::string& question) {
  QMessageBox box(QMessageBox::Question, ApplicationTitle(), BytesToQString(question),
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setTextFormat(Qt::PlainText);  // names from outside are never markup
  return box.exec() == QMessageBox::Yes;
}

void TVelkoMainForm::TellStopped(const TPageReport& report) {
  const std::string text = StoppedActionText(report, QtUiTextDecoder());
  if (!text.empty()) shownView_.ShowMessage(text);
}
