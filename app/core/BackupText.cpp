#include "app/core/BackupText.h"

#include <ctime>
#include <filesystem>

#include "app/core/Config.h"
#include "content/ScanReasonText.h"
#include "content/UiText.h"
#include "content/UiTextDecoder.h"
#include "link/Link.h"
#include "link/Settings.h"
#include "link/Text.h"

namespace backup {

namespace {

// The value beside the language in the store.
constexpr const char* kBackupFolderValue = "BackupFolder";

std::string Tr(const UiText& entry, const TUiTextDecoder& decoder) {
  return UiUtf8(entry, UiLanguage(), decoder);
}

std::string Lines(const std::vector<std::string>& names) {
  std::string lines;
  for (const std::string& n : names) lines += (lines.empty() ? "" : "\n") + NameUtf8(n);
  return lines;
}

std::string Shown(std::string path) {
#ifdef _WIN32
  for (char& c : path)
    if (c == '/') c = '\\';
#endif
  return NameUtf8(path);
}

}  // namespace

std::string BackupEndText(const TBackupReport& r, const TUiTextDecoder& decoder) {
  const UiText& text = r.whole ? uitext::BackupDone : r.stopped ? uitext::BackupStopped : uitext::BackupNotComplete;
  std::string shown = FillArgs(Tr(text, decoder), {Shown(r.folder)});
  // One end box names what is not in the backup, instead of a box on the way.
  if (!r.suitesListed) shown += "\n\n" + Tr(uitext::BackupNoSuites, decoder);
  std::vector<std::string> left;
  for (const TNotBackedUp& e : r.left) left.push_back(std::string(FolderName(e.folder)) + "/" + e.name + ": " + e.why);
  for (int f : r.unlistedFolders) left.push_back(std::string(FolderName(f)) + ": not listed");
  if (!left.empty()) shown += "\n\n" + FillArgs(Tr(uitext::BackupLeft, decoder), {Lines(left)});
  if (!r.emptyFolders.empty()) {
    std::string names;
    for (int f : r.emptyFolders) names += (names.empty() ? "" : ", ") + std::string(FolderName(f));
    shown += "\n\n" + FillArgs(Tr(uitext::BackupEmptyFolders, decoder), {names});
  }
  return shown;
}

std::string RestoreEndText(const TRestoreReport& r, const TUiTextDecoder& decoder) {
  // Counted from what the phone keeps: a file sent under a new name is
  // sent, a declined clash is kept as the phone had it.
  const int sent = r.counts.sent, kept = r.same + r.counts.declined;
  std::string text = r.Whole() ? FillArgs(Tr(uitext::RestoreDone, decoder), {std::to_string(sent), std::to_string(kept)})
                               : FillArgs(Tr(r.stopped ? uitext::RestoreStopped : uitext::RestoreNotComplete, decoder),
                                          {std::to_string(sent)});
  const int lang = UiLanguage();
  for (const TPlanItem& item : r.plan)
    if (item.action == TPlanAction::Refuse)
      text += "\n" + FillArgs(Tr(uitext::DropNotSent, decoder),
                              {NameUtf8(std::string(FolderName(item.file.folder)) + "/" + item.file.name),
                               decoder.Utf8(item.why, lang)});
  // A clash kept as the phone had it, a name the phone folded into another.
  for (const TNotBackedUp& e : r.notRestored)
    text += "\n" + FillArgs(Tr(uitext::DropNotSent, decoder),
                            {NameUtf8(std::string(FolderName(e.folder)) + "/" + e.name), NameUtf8(e.why)});
  // A file the sums do not name was never checked and stayed behind.
  for (const std::string& rel : r.extra)
    text += "\n" + FillArgs(Tr(uitext::DropNotSent, decoder), {NameUtf8(rel), std::string("not in ") + kSumsFile});
  if (!r.notInstalled.empty()) text += "\n\n" + FillArgs(Tr(uitext::SuitesToInstall, decoder), {Lines(r.notInstalled)});
  return text;
}

std::string RestoreRefusedText(const TRestoreReport& r, const TUiTextDecoder& decoder) {
  return FillArgs(Tr(uitext::RestoreRefused, decoder), {Lines(r.bad)});
}

std::string UnfinishedBackupText(const TRestoreReport& r) {
  std::string text = "This backup did not finish: its folder still ends in .partial.";
  if (!r.lacks.empty()) text += "\nAs far as its sums tell, it lacks:\n" + Lines(r.lacks);
  return text;
}

const UiText& PlanActionText(TPlanAction action) {
  switch (action) {
    case TPlanAction::Send: return uitext::PlanSend;
    case TPlanAction::Same: return uitext::PlanSame;
    case TPlanAction::Clash: return uitext::PlanClash;
    case TPlanAction::Refuse: return uitext::PlanRefuse;
  }
  return uitext::PlanSend;
}

TBackupReport BackUpAndTell(TLink& link, const std::string& root, const TUiTextDecoder& decoder) {
  TBackupReport r = BackUpPhone(link, root, std::time(nullptr), {});
  if (r.folder.empty() || r.closing) return r;
  if (link.View().ShowBackupEnd(BackupEndText(r, decoder))) link.View().OpenWithDefaultApp(r.folder);
  return r;
}

TRestoreReport RestoreAndTell(TLink& link, const std::string& folder, const TRestoreOptions& options,
                              const TUiTextDecoder& decoder) {
  TRestoreOptions o = options;
  // Told before the plan's question, so before anything is sent.
  o.onChecked = [&link, &options](const TRestoreReport& checked) {
    if (checked.unfinished) link.View().ShowMessage(UnfinishedBackupText(checked));
    if (options.onChecked) options.onChecked(checked);
  };
  TRestoreReport r = RestoreFromBackup(link, folder, o);
  if (!r.pcFault.empty()) link.View().ShowMessage(r.pcFault);
  else if (!r.bad.empty()) link.View().ShowMessage(RestoreRefusedText(r, decoder));
  else if (r.planned && !r.declined && !r.closing) link.View().ShowMessage(RestoreEndText(r, decoder));
  return r;
}

std::string RememberedBackupRoot() {
  std::string chosen;
  if (!ReadConnectText(kBackupFolderValue, &chosen) || chosen.empty()) chosen = DefaultBackupRoot();
  return chosen;
}

void RememberBackupRoot(const std::string& root) { WriteConnectText(kBackupFolderValue, root); }

std::string NearestExistingFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::path p = Utf8Path(folder);
  while (!p.empty() && !std::filesystem::is_directory(p, ec) && p.has_parent_path() && p.parent_path() != p)
    p = p.parent_path();
  return PathUtf8(p);
}

}  // namespace backup
