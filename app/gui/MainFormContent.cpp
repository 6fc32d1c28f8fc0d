// The content page's additions to the main window: "Show all files" with
// the unsuitable files greyed and explained, "Fit to phone", thumbnails.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QPixmap>
#include <QPushButton>
#include <QTreeWidget>

#include "MainForm.h"
#include "app/core/ScanReasonText.h"
#include "app/core/Config.h"
#include "app/core/UiText.h"
#include "app/gui/Thumbnails.h"
#include "app/qt/FitPicture.h"
#include "ui_mainform.h"

namespace {

constexpr int kReasonColumn = 2;
// Item data: the row's index in TContentPage::Unsuitable, -1 for a listed file.
constexpr int kUnsuitableRole = Qt::UserRole + 1;

}  // namespace

void TVelkoMainForm::SetUpContentExtras() {
  connect(ui->ShowAllFiles_CheckBox, &QCheckBox::toggled, this, [this](bool on) {
    contentPage.ShowAllFiles = on;
    QTreeWidget* pcList = ui->DC_PIC_PC_ListView;
    pcList->setColumnCount(on ? 3 : 2);
    // The name column gives way to the reason; the tool tip carries all of it.
    pcList->setColumnWidth(0, on ? 100 : 138);
    if (on) {
      pcList->setColumnWidth(kReasonColumn, 240);
      pcList->headerItem()->setText(kReasonColumn, UiTr(uitext::ReasonColumn));
    }
    RescanPcList();
  });
  contentPage.OnUnsuitable = [this](const std::vector<pcscan::TRejectedEntry>& entries) {
    AddUnsuitableRows(entries);
  };
  thumbnails_ = new TThumbnailLoader(this);
  ui->DC_PIC_PC_ListView->setIconSize(QSize(TThumbnailLoader::kSide, TThumbnailLoader::kSide));
  connect(thumbnails_, &TThumbnailLoader::ThumbnailReady, this,
          [this](int row, const QString& name, const QImage& image) {
            QTreeWidgetItem* item = ui->DC_PIC_PC_ListView->topLevelItem(row);
            if (!item || item->text(0) != name || image.isNull()) return;
            item->setIcon(0, QIcon(QPixmap::fromImage(image)));
          });
  connect(ui->DC_PIC_PC_ListView, &QTreeWidget::itemSelectionChanged, this, [this] { UpdateFitButton(); });
  connect(ui->PageControl1, &QStackedWidget::currentChanged, this, [this] { UpdateFitButton(); });
  connect(ui->FitToPhone_Button, &QPushButton::clicked, this, [this] { RunAction([this] { FitSelectedPicture(); }); });
  UpdateFitButton();
}

void TVelkoMainForm::ApplyContentExtrasTexts() {
  ui->ShowAllFiles_CheckBox->setText(UiTr(uitext::ShowAllFiles));
  ui->FitToPhone_Button->setText(UiTr(uitext::FitToPhone));
  if (ui->DC_PIC_PC_ListView->columnCount() > kReasonColumn)
    ui->DC_PIC_PC_ListView->headerItem()->setText(kReasonColumn, UiTr(uitext::ReasonColumn));
}

void TVelkoMainForm::AddUnsuitableRows(const std::vector<pcscan::TRejectedEntry>& entries) {
  QTreeWidget* list = ui->DC_PIC_PC_ListView;
  const QColor grey = list->palette().color(QPalette::Disabled, QPalette::Text);
  QList<QTreeWidgetItem*> items;
  for (size_t i = 0; i < entries.size(); ++i) {
    const pcscan::TRejectedEntry& e = entries[i];
    const QString reason = ReasonText(e.why, link.FolderNumber);
    auto* item = new QTreeWidgetItem(
        QStringList{BytesToQString(e.name), QString::number(e.why.size), reason});
    item->setData(0, kUnsuitableRole, static_cast<int>(i));
    for (int c = 0; c < 3; ++c) {
      item->setForeground(c, grey);
      item->setToolTip(c, reason);
    }
    items.push_back(item);
  }
  const int first = list->topLevelItemCount();
  list->addTopLevelItems(items);
  for (size_t i = 0; i < entries.size(); ++i) QueueThumbnail(first + static_cast<int>(i), entries[i].name);
}

void TVelkoMainForm::QueueThumbnail(int row, const std::string& nameBytes) {
  if (link.FolderNumber != 2 && link.FolderNumber != 3) return;
  QTreeWidgetItem* item = ui->DC_PIC_PC_ListView->topLevelItem(row);
  if (!item) return;
  thumbnails_->Queue(row, item->text(0), QFile::decodeName((link.PcFolder + "/" + nameBytes).c_str()));
}

void TVelkoMainForm::RescanPcList() {
  if (ui->PageControl1->currentWidget() != ui->DC_PIC_Sheet || link.PcFolder.empty()) return;
  RunAction([this] {
    ClearList(TListId::PcFiles);
    contentPage.ScanPcFolder();
  });
}

QString TVelkoMainForm::SelectedFittablePath() {
  const QList<QTreeWidgetItem*> selected = ui->DC_PIC_PC_ListView->selectedItems();
  if (selected.size() != 1) return {};
  bool isRow = false;
  const int index = selected.front()->data(0, kUnsuitableRole).toInt(&isRow);
  if (!isRow || index < 0 || static_cast<size_t>(index) >= contentPage.Unsuitable.size()) return {};
  const QString path = QFile::decodeName((link.PcFolder + "/" + contentPage.Unsuitable[index].name).c_str());
  return fit::CanFit(path) ? path : QString();
}

void TVelkoMainForm::UpdateFitButton() {
  const bool picturePage = link.FolderNumber == 3 && ui->PageControl1->currentWidget() == ui->DC_PIC_Sheet;
  ui->FitToPhone_Button->setVisible(picturePage);
  // A batch locks the page's buttons; the fit button follows the send button.
  ui->FitToPhone_Button->setEnabled(picturePage && ui->DC_PIC_UL_Button->isEnabled() &&
                                    !SelectedFittablePath().isEmpty());
}

void TVelkoMainForm::FitSelectedPicture() {
  const QString path = SelectedFittablePath();
  if (path.isEmpty()) return;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const fit::TFitResult r = fit::FitPicture(path);
  QApplication::restoreOverrideCursor();
  if (r.refusal != fit::TRefusal::None) {
    ShowMessage(fit::RefusalText(r, AppConfig().LanguageIndex).toStdString());
    return;
  }
  RescanPcList();
  const QString name = QFileInfo(r.path).fileName();
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
