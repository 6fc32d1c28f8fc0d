// "Back up phone..." and "Restore from backup..." of the Connection menu:
// the folders are asked for here, the fetching, planning and sending run
// on the session worker, and the restore plan is shown here between the
// plan and the sending.
#include "app/core/BackupText.h"
#include "content/UiText.h"
#include "app/win32/WinTextDecoder.h"
#include "app/win32gui/MainWindow.h"
#include "app/win32gui/WinDialogs.h"
#include "app/win32gui/MainWindowParts.h"
#include "content/BackupRun.h"
#include "link/Text.h"

namespace win32gui {

void TMainWindow::UpdateBackupEntries() {
  if (!menu_) return;
  const UINT state = SessionIdle() && !session_.Closed() ? MF_ENABLED : MF_GRAYED;
  EnableMenuItem(menu_, idBackup, MF_BYCOMMAND | state);
  EnableMenuItem(menu_, idRestore, MF_BYCOMMAND | state);
}

bool TMainWindow::RefuseWhileBusy() {
  if (SessionIdle() && !session_.Closed()) return false;
  Box(Tr(uitext::OperationRunning), false);
  return true;
}

std::string TMainWindow::AskBackupFolder(const UiText& caption) {
  // The chooser opens on the backup folder chosen last, this once.
  const std::string keep = chooserStart_;
  chooserStart_ = backup::NearestExistingFolder(backup::RememberedBackupRoot());
  const std::string folder = ChooseFolder(Utf8(Tr(caption)));
  chooserStart_ = keep;
  return folder;
}

void TMainWindow::BackupClick() {
  if (RefuseWhileBusy()) return;
  const std::string root = AskBackupFolder(uitext::BackupFolderCaption);
  if (root.empty()) return;
  backup::RememberBackupRoot(root);
  RunOnSession([this, root] { backup::BackUpAndTell(link, root, WinUiTextDecoder()); });
}

void TMainWindow::RestoreClick() {
  if (RefuseWhileBusy()) return;
  const std::string folder = AskBackupFolder(uitext::RestoreFolderCaption);
  if (folder.empty()) return;
  backup::TRestoreOptions o;
  o.suitesFolder = backup::SuitesFolderShown(pages);
  o.confirmPlan = [this](const backup::TRestoreReport& r) {
    bool go = false;
    windowQueue_.RunAndWait([&] { go = boxSeen ? true : windlg::ConfirmRestorePlan(hwnd_, r.plan, LanguageIndex()); });
    return go;
  };
  RunOnSession([this, folder, o] { backup::RestoreAndTell(link, folder, o, WinUiTextDecoder()); });
}

bool TMainWindow::ShowBackupEnd(const std::string& text) {
  if (boxSeen) {
    boxSeen(WideFromBytes(text));
    return false;
  }
  return windlg::ShowBackupEnd(hwnd_, Tr(uitext::ProductName), WideFromBytes(text), LanguageIndex());
}

}  // namespace win32gui
