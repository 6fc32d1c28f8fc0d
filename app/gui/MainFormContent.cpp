// The content page's additions to the main window: "Show all files" with
// the unsuitable files greyed and explained.
#include <QCheckBox>
#include <QHeaderView>
#include <QTreeWidget>

#include "MainForm.h"
#include "app/core/ScanReasonText.h"
#include "app/core/UiText.h"
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
}

void TVelkoMainForm::ApplyContentExtrasTexts() {
  ui->ShowAllFiles_CheckBox->setText(UiTr(uitext::ShowAllFiles));
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
  list->addTopLevelItems(items);
}

void TVelkoMainForm::RescanPcList() {
  if (ui->PageControl1->currentWidget() != ui->DC_PIC_Sheet || link.PcFolder.empty()) return;
  RunAction([this] {
    ClearList(TListId::PcFiles);
    contentPage.ScanPcFolder();
  });
}
