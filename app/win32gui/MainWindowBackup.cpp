// "Back up phone..." and "Restore from backup..." of the Connection menu:
// the folders are asked for here, the fetching, planning and sending run
// on the session worker, and the restore plan is shown here between the
// plan and the sending.
#include <ctime>
#include <filesystem>

#include "app/core/UiText.h"
#include "app/win32/WinTextDecoder.h"
#include "app/win32gui/MainWindow.h"
#include "app/win32gui/MainWindowParts.h"
#include "app/win32gui/WinDialogs.h"
#include "content/Backup.h"
#include "content/BackupRun.h"
#include "content/ScanReason.h"
#include "link/Settings.h"
#include "link/Text.h"

namespace win32gui {

namespace {

// The backup folder the user last chose, beside the language in the store.
constexpr const char* kBackupFolderValue = "BackupFolder";

// "%n" of a text replaced by its argument.
std::wstring Arg(std::wstring text, int n, const std::wstring& value) {
  const std::wstring mark = L"%" + std::to_wstring(n);
  for (size_t at = text.find(mark); at != std::wstring::npos; at = text.find(mark, at + value.size()))
    text.replace(at, mark.size(), value);
  return text;
}

std::wstring Lines(const std::vector<std::string>& names) {
  std::wstring lines;
  for (const std::string& n : names) lines += (lines.empty() ? L"" : L"\n") + WideFromBytes(n);
  return lines;
}

// The folder itself or, before the first backup made it, the nearest one above that exists.
std::string NearestExisting(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path p(Wide(folder));
  while (!p.empty() && !std::filesystem::is_directory(p, ec) && p.has_parent_path() && p.parent_path() != p)
    p = p.parent_path();
  return Utf8(p.wstring());
}

}  // namespace

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

void TMainWindow::BackupClick() {
  if (RefuseWhileBusy()) return;
  std::string remembered;
  if (!ReadConnectText(kBackupFolderValue, &remembered) || remembered.empty()) remembered = backup::DefaultBackupRoot();
  const std::string keep = chooserStart_;
  chooserStart_ = NearestExisting(remembered);
  const std::string root = ChooseFolder(Utf8(Tr(uitext::BackupFolderCaption)));
  chooserStart_ = keep;
  if (root.empty()) return;
  WriteConnectText(kBackupFolderValue, root);
  RunOnSession([this, root] {
    const backup::TBackupReport r = backup::BackUpPhone(link, root, std::time(nullptr), {});
    if (r.folder.empty() || r.closing) return;
    windowQueue_.RunAndWait([this, &r] {
      const UiText& text = r.whole ? uitext::BackupDone : r.stopped ? uitext::BackupStopped : uitext::BackupNotComplete;
      std::wstring shown = Arg(Tr(text), 1, WideFromBytes(r.folder));
      // One end box names what is not in the backup, instead of a box on the way.
      if (!r.suitesListed) shown += L"\n\n" + Tr(uitext::BackupNoSuites);
      std::vector<std::string> left;
      for (const backup::TNotBackedUp& e : r.left)
        left.push_back(std::string(backup::FolderName(e.folder)) + "/" + e.name + ": " + e.why);
      for (int f : r.unlistedFolders) left.push_back(std::string(backup::FolderName(f)) + ": not listed");
      if (!left.empty()) shown += L"\n\n" + Arg(Tr(uitext::BackupLeft), 1, Lines(left));
      if (!r.emptyFolders.empty()) {
        std::string names;
        for (int f : r.emptyFolders) names += (names.empty() ? "" : ", ") + std::string(backup::FolderName(f));
        shown += L"\n\n" + Arg(Tr(uitext::BackupEmptyFolders), 1, WideFromBytes(names));
      }
      Box(shown, false);
    });
  });
}

void TMainWindow::RestoreClick() {
  if (RefuseWhileBusy()) return;
  std::string remembered;
  if (!ReadConnectText(kBackupFolderValue, &remembered) || remembered.empty()) remembered = backup::DefaultBackupRoot();
  const std::string keep = chooserStart_;
  chooserStart_ = NearestExisting(remembered);
  const std::string folder = ChooseFolder(Utf8(Tr(uitext::RestoreFolderCaption)));
  chooserStart_ = keep;
  if (folder.empty()) return;
  backup::TRestoreOptions o;
  // The suites the phone lacks come from the folder the Java page shows.
  if (pages.FolderAsked) o.suitesFolder = pages.PcFolder;
  o.confirmPlan = [this](const backup::TRestoreReport& r) {
    bool go = false;
    windowQueue_.RunAndWait([&] {
      go = boxSeen ? true : windlg::ConfirmRestorePlan(hwnd_, r.plan, LanguageIndex());
    });
    return go;
  };
  RunOnSession([this, folder, o] {
    const backup::TRestoreReport r = backup::RestoreFromBackup(link, folder, o);
    if (!r.bad.empty()) {
      std::wstring text;
      windowQueue_.RunAndWait([&] { text = Arg(Tr(uitext::RestoreRefused), 1, Lines(r.bad)); });
      link.View().ShowMessage(Utf8(text));
      return;
    }
    // Without a plan the listing has said why; a declined plan or a closing window shows nothing more.
    if (!r.planned || r.declined || r.closing) return;
    std::wstring text;
    windowQueue_.RunAndWait([&] {
      // Counted from what the phone keeps: a file sent under a new name is
      // sent, a declined clash is kept as the phone had it.
      const int sent = r.counts.sent, kept = r.same + r.counts.declined;
      text = r.Whole() ? Arg(Arg(Tr(uitext::RestoreDone), 1, std::to_wstring(sent)), 2, std::to_wstring(kept))
                       : Arg(Tr(r.stopped ? uitext::RestoreStopped : uitext::RestoreNotComplete), 1,
                             std::to_wstring(sent));
      for (const backup::TPlanItem& item : r.plan)
        if (item.action == backup::TPlanAction::Refuse)
          text += L"\n" + Arg(Arg(Tr(uitext::DropNotSent), 1,
                                  WideFromBytes(std::string(backup::FolderName(item.file.folder)) + "/" + item.file.name)),
                              2, WinUiTextDecoder().Wide(item.why, LanguageIndex()));
      // A file the sums do not name was never checked and stayed behind.
      for (const std::string& rel : r.extra)
        text += L"\n" + Arg(Arg(Tr(uitext::DropNotSent), 1, WideFromBytes(rel)), 2,
                            L"not in " + WideFromBytes(backup::kSumsFile));
      if (!r.notInstalled.empty()) text += L"\n\n" + Arg(Tr(uitext::SuitesToInstall), 1, Lines(r.notInstalled));
    });
    link.View().ShowMessage(Utf8(text));
  });
}

}  // namespace win32gui
