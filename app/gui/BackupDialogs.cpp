#include "app/gui/BackupDialogs.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/core/BackupText.h"
#include "app/gui/FormText.h"
#include "app/qt/UiTextQt.h"
#include "content/UiText.h"

bool ShowBackupEndBox(QWidget* parent, const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), BytesToQString(text), QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);  // names from outside are never markup
  QPushButton* open = box.addButton(UiTr(uitext::OpenFolder), QMessageBox::ActionRole);
  open->setObjectName("OpenFolder_Button");
  box.exec();
  return box.clickedButton() == open;
}

bool AskRestorePlan(QWidget* parent, const std::vector<backup::TPlanItem>& plan) {
  QDialog dialog(parent);
  dialog.setObjectName("RestorePlanDialog");
  dialog.setWindowTitle(UiTr(uitext::PlanTitle));
  dialog.resize(460, 340);
  int counts[4] = {0, 0, 0, 0};
  auto* list = new QTreeWidget(&dialog);
  list->setObjectName("PlanList");
  list->setRootIsDecorated(false);
  list->setSelectionMode(QAbstractItemView::NoSelection);
  list->setHeaderLabels({UiTr(uitext::PlanActionColumn), UiTr(uitext::PlanFolderColumn), UiTr(uitext::PlanNameColumn)});
  list->header()->setSectionsMovable(false);
  const int lang = UiLanguage();
  for (const backup::TPlanItem& item : plan) {
    ++counts[static_cast<int>(item.action)];
    auto* row = new QTreeWidgetItem(QStringList{UiTr(backup::PlanActionText(item.action)),
                                                QString::fromLatin1(backup::FolderName(item.file.folder)),
                                                BytesToQString(item.file.name)});
    // A file the phone would refuse carries the content page's reason.
    if (item.action == backup::TPlanAction::Refuse)
      for (int c = 0; c < 3; ++c) row->setToolTip(c, PlainTip(DecodeUiBytes(item.why, lang)));
    list->addTopLevelItem(row);
  }
  list->setColumnWidth(0, 90);
  list->setColumnWidth(1, 100);
  auto* summary = new QLabel(UiTr(uitext::PlanCounts)
                                 .arg(counts[static_cast<int>(backup::TPlanAction::Send)])
                                 .arg(counts[static_cast<int>(backup::TPlanAction::Same)])
                                 .arg(counts[static_cast<int>(backup::TPlanAction::Clash)])
                                 .arg(counts[static_cast<int>(backup::TPlanAction::Refuse)]),
                             &dialog);
  summary->setObjectName("PlanCounts");
  auto* ok = new QPushButton(UiTr(uitext::PlanOK), &dialog);
  ok->setObjectName("PlanOK_Button");
  ok->setDefault(true);
  auto* cancel = new QPushButton(UiTr(uitext::PlanCancel), &dialog);
  cancel->setObjectName("PlanCancel_Button");
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addWidget(summary);
  layout->addWidget(list, 1);
  layout->addLayout(buttons);
  ok->setFocus();
  return dialog.exec() == QDialog::Accepted;
}
