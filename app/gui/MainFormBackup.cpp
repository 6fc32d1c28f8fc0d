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
#include <ctime>

#include "MainForm.h"
#include "app/core/Config.h"
#include "app/gui/Dialogs.h"
#include "app/qt/UiTextQt.h"
#include "link/Batch.h"
#include "link/Settings.h"
#include "ui_mainform.h"

namespace {

// The backup folder the user last chose, beside the language in the store.
constexpr const char* kBackupFolderValue = "BackupFolder";

QString RememberedBackupRoot() {
  std::string chosen;
  if (!ReadConnectText(kBackupFolderValue, &chosen) || chosen.empty()) chosen = backup::DefaultBackupRoot();
  return QString::fromStdString(chosen);
}

// The folder itself or, before the first backup made it, the nearest one above that exists.
QString NearestExisting(QString path) {
  while (!path.isEmpty() && !QFileInfo(path).isDir()) {
    const QString up = QFileInfo(path).path();
    if (up == path) break;
    path = up;
  }
  return path;
}

const UiText& ActionText(backup::TPlanAction action) {
  switch (action) {
    case backup::TPlanAction::Send: return uitext::PlanSend;
    case backup::TPlanAction::Same: return uitext::PlanSame;
    case backup::TPlanAction::Clash: return uitext::PlanClash;
    case backup::TPlanAction::Refuse: return uitext::PlanRefuse;
  }
  return uitext::PlanSend;
}

QString Lines(const std::vector<std::string>& names) {
  QStringList lines;
  for (const std::string& n : names) lines << BytesToQString(n);
  return lines.join('\n');
}

}  // namespace

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
  const bool idle = SessionIdle() && !closed_;
  backupEntry_->setEnabled(idle);
  restoreEntry_->setEnabled(idle);
}

bool TVelkoMainForm::RefuseWhileBusy() {
  if (SessionIdle() && !closed_) return false;
  ShowMessage(UiTr(uitext::OperationRunning).toStdString());
  return true;
}

std::string TVelkoMainForm::AskBackupFolder(const UiText& caption) {
  TDIR_Select_Form* chooser = DIR_Select_Form;
  if (!chooser) throw std::logic_error("Folder chooser is not created");
  chooser->ShowFolder(NearestExisting(RememberedBackupRoot()));
  return ChooseFolder(UiTr(caption).toStdString());
}

void TVelkoMainForm::BackupClick() {
  if (RefuseWhileBusy()) return;
  const std::string root = AskBackupFolder(uitext::BackupFolderCaption);
  if (root.empty()) return;
  WriteConnectText(kBackupFolderValue, root);
  RunOnSession([this, root] { RunBackup(root); });
}

void TVelkoMainForm::RestoreClick() {
  if (RefuseWhileBusy()) return;
  const std::string folder = AskBackupFolder(uitext::RestoreFolderCaption);
  if (folder.empty()) return;
  RunOnSession([this, folder] { RunRestore(folder); });
}

void TVelkoMainForm::RunBackup(const std::string& root) {
  stopPressed_ = false;
  bool ok = false;
  std::string folder;
  std::vector<std::string> left, empty;
  bool suites = true;
  {
    TBatchGuard guard(link, 0);
    if (!CheckLink(link)) return;
    backup::TBackup run(link);
    run.OnTotal = [&guard](int total) { guard.ShowTotal(total); };
    run.OnFile = [this](const backup::TFileStep&) { link.View().StepTotalBar(); };
    ok = run.Run(root, std::time(nullptr));
    folder = run.Folder();
    for (const backup::TNotBackedUp& e : run.Left())
      left.push_back(std::string(backup::FolderName(e.folder)) + "/" + e.name + ": " + e.why);
    for (int f : run.UnlistedFolders()) left.push_back(std::string(backup::FolderName(f)) + ": not listed");
    for (int f : run.EmptyFolders()) empty.push_back(backup::FolderName(f));
    suites = run.SuitesListed();
    // The phone is left on another folder than the page's: the page is
    // opened afresh before it acts again. Its lists stay as they were.
    ReturnToLogo(link.View());
  }
  // Without a folder made the run has said why; a closing window shows nothing more.
  if (folder.empty() || link.Flags().AppClosing) return;
  const UiText& text = ok ? uitext::BackupDone : stopPressed_ ? uitext::BackupStopped : uitext::BackupNotComplete;
  QString shown = UiTr(text).arg(QDir::toNativeSeparators(QString::fromStdString(folder)));
  // One end box names what is not in the backup, instead of a box on the way.
  if (!suites) shown += "\n\n" + UiTr(uitext::BackupNoSuites);
  if (!left.empty()) shown += "\n\n" + UiTr(uitext::BackupLeft).arg(Lines(left));
  if (!empty.empty()) {
    QStringList names;
    for (const std::string& n : empty) names << QString::fromStdString(n);
    shown += "\n\n" + UiTr(uitext::BackupEmptyFolders).arg(names.join(", "));
  }
  windowQueue_.RunAndWait([&] { ShowBackupEnd(shown, folder); });
}

void TVelkoMainForm::ShowBackupEnd(const QString& text, const std::string& folder) {
  QMessageBox box(QMessageBox::NoIcon, ApplicationTitle(), text, QMessageBox::Ok, this);
  QPushButton* open = box.addButton(UiTr(uitext::OpenFolder), QMessageBox::ActionRole);
  open->setObjectName("OpenFolder_Button");
  box.exec();
  if (box.clickedButton() == open) OpenWithDefaultApp(folder);
}

void TVelkoMainForm::RunRestore(const std::string& folder) {
  stopPressed_ = false;
  // Every sum holds before anything goes to the phone.
  const backup::TBackupContents contents = backup::CheckBackup(folder);
  if (!contents.bad.empty()) {
    link.View().ShowMessage(UiTr(uitext::RestoreRefused).arg(Lines(contents.bad)).toStdString());
    return;
  }
  backup::TRestore restore(link, contents);
  bool ok = false;
  int sent = 0, kept = 0;
  std::vector<backup::TSuiteRow> missing;
  {
    TBatchGuard guard(link, 0);
    if (!CheckLink(link)) return;
    const bool planned = restore.MakePlan();
    // The listings of every folder leave no page whole.
    ReturnToLogo(link.View());
    if (!planned || link.Flags().AppClosing) return;
    bool go = false;
    windowQueue_.RunAndWait([&] { go = ConfirmRestorePlan(restore.Plan()); });
    if (!go) return;
    int total = 0;
    for (const backup::TPlanItem& item : restore.Plan()) {
      total += item.action == backup::TPlanAction::Send || item.action == backup::TPlanAction::Clash;
      kept += item.action == backup::TPlanAction::Same;
    }
    guard.ShowTotal(total);
    restore.OnFile = [&](const backup::TFileStep&) { link.View().StepTotalBar(); };
    ok = restore.Send();
    // Counted from what the phone keeps: a file sent under a new name is
    // sent, a declined clash is kept as the phone had it.
    sent = restore.Counts().sent;
    kept += restore.Counts().declined;
    // Suites cannot come from a backup: the ones the phone lacks are named.
    if (ok && !contents.suites.empty()) restore.MissingSuites(&missing);
    ReturnToLogo(link.View());
  }
  if (link.Flags().AppClosing) return;
  // A file the sums do not name was never checked and stayed behind.
  const bool whole = ok && contents.extra.empty();
  QString text = whole ? UiTr(uitext::RestoreDone).arg(sent).arg(kept)
                       : UiTr(stopPressed_ ? uitext::RestoreStopped : uitext::RestoreNotComplete).arg(sent);
  for (const std::string& rel : contents.extra)
    text += "\n" + UiTr(uitext::DropNotSent).arg(BytesToQString(rel), "not in " + QString::fromLatin1(backup::kSumsFile));
  if (!missing.empty()) {
    std::vector<std::string> names;
    for (const backup::TSuiteRow& suite : missing) names.push_back(suite.name + " " + suite.version);
    text += "\n\n" + UiTr(uitext::SuitesToInstall).arg(Lines(names));
  }
  link.View().ShowMessage(text.toStdString());
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
  const int lang = AppConfig().LanguageIndex;
  for (const backup::TPlanItem& item : plan) {
    ++counts[static_cast<int>(item.action)];
    auto* row = new QTreeWidgetItem(QStringList{UiTr(ActionText(item.action)),
                                                QString::fromLatin1(backup::FolderName(item.file.folder)),
                                                BytesToQString(item.file.name)});
    // A file the phone would refuse carries the content page's reason.
    if (item.action == backup::TPlanAction::Refuse)
      for (int c = 0; c < 3; ++c) row->setToolTip(c, DecodeUiBytes(item.why, lang));
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
