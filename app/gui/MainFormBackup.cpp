// "Back up phone..." and "Restore from backup..." of the Connection menu:
// the folders are asked for here, the fetching, planning and sending run
// on the session worker, and the restore plan is shown here between the
// plan and the sending.
#include <QAction>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "MainForm.h"
#include "app/core/Config.h"
#include "app/gui/Dialogs.h"
#include "app/qt/UiTextQt.h"
#include "app/core/BackupText.h"
#include "content/BackupRun.h"
#include "link/Settings.h"
#include "ui_mainform.h"

void TVelkoMainForm::SetUpBackupEntries() {
  ui->mConnection1->addSeparator();
  backupEntry_ = ui->mConnection1->addAction(QString());
  backupEntry_->setObjectName("mBackup");
  restoreEntry_ = ui->mConnection1->addAction(QString());
  restoreEntry_->setObjectName("mRestore");
  connect(backupEntry_, &QAction::triggered, this, [this] { RunHere([this] { BackupClick(); }); });
  connect(restoreEntry_, &QAction::triggered, this, [this] { RunHere([this] { RestoreClick(); }); });
}

void TVelkoMainForm::ApplyBackupTexts() {
  backupEntry_->setText(UiTr(uitext::BackupEntry));
  restoreEntry_->setText(UiTr(uitext::RestoreEntry));
}

void TVelkoMainForm::UpdateBackupEntries() {
  if (!backupEntry_) return;
  const bool idle = SessionIdle() && !session_.Closed();
  backupEntry_->setEnabled(idle);
  restoreEntry_->setEnabled(idle);
}

bool TVelkoMainForm::RefuseWhileBusy() {
  if (SessionIdle() && !session_.Closed()) return false;
  ShowMessage(UiTr(uitext::OperationRunning).toStdString());
  return true;
}

std::string TVelkoMainForm::AskBackupFolder(const UiText& caption) {
  TDIR_Select_Form* chooser = DIR_Select_Form;
  if (!chooser) throw std::logic_error("Folder chooser is not created");
  chooser->ShowFolder(QString::fromStdString(backup::NearestExistingFolder(backup::RememberedBackupRoot())));
  return ChooseFolder(UiTr(caption).toStdString());
}

void TVelkoMainForm::BackupClick() {
  if (RefuseWhileBusy()) return;
  const std::string root = AskBackupFolder(uitext::BackupFolderCaption);
  if (root.empty()) return;
  backup::RememberBackupRoot(root);
  RunOnSession([this, root] { backup::BackUpAndTell(link, root, QtUiTextDecoder()); });
}

void TVelkoMainForm::RestoreClick() {
  if (RefuseWhileBusy()) return;
  const std::string folder = AskBackupFolder(uitext::RestoreFolderCaption);
  if (folder.empty()) return;
  backup::TRestoreOptions o;
  o.suitesFolder = backup::SuitesFolderShown(pages);
  o.confirmPlan = [this](const backup::TRestoreReport& r) {
    bool go = false;
    windowQueue_.RunAndWait([&] { go = ConfirmRestorePlan(r.plan); });
    return go;
  };
  RunOnSession([this, folder, o] { backup::RestoreAndTell(link, folder, o, QtUiTextDecoder()); });
}

bool TVelkoMainForm::ShowBackupEnd(const std::string& text) {
  QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), BytesToQString(text), QMessageBox::Ok, this);
  box.setTextFormat(Qt::PlainText);  // names from outside are never markup
  QPushButton* open = box.addButton(UiTr(uitext::OpenFolder), QMessageBox::ActionRole);
  open->setObjectName("OpenFolder_Button");
  box.exec();
  return box.clickedButton() == open;
}

bool TVelkoMainForm::ConfirmRestorePlan(const std::vector<backup::TPlanItem>& plan) {
  QDialog dialog(this);
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
  connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
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
