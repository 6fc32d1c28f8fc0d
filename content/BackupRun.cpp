#include "content/BackupRun.h"

#include "link/Batch.h"
#include "link/Connection.h"
#include "link/Link.h"
#include "link/LogicLog.h"

namespace backup {

TBackupReport BackUpPhone(TLink& link, const std::string& root, std::time_t when, const TBackupOptions& options) {
  TBackupReport report;
  TBatchGuard guard(link, 0);
  LogicStart("backup", root);
  if (!(options.reach ? options.reach() : CheckLink(link))) return report;
  report.reached = true;
  TBackup run(link);
  run.OnTotal = [&guard](int total) { guard.ShowTotal(total); };
  run.OnFile = [&](const TFileStep& step) {
    link.View().StepTotalBar();
    if (options.onFile) options.onFile(step);
  };
  report.whole = run.Run(root, when);
  report.stopped = run.Stopped();
  report.closing = link.StopToken().Closing();
  report.folder = run.Folder();
  report.left = run.Left();
  report.emptyFolders = run.EmptyFolders();
  report.unlistedFolders = run.UnlistedFolders();
  report.suitesListed = run.SuitesListed();
  for (const TNotBackedUp& l : report.left) LogicDecision("left out " + std::to_string(l.folder) + "/" + l.name + ": " + l.why);
  LogicEnd("backup", (report.whole ? "whole, " : report.stopped ? "stopped, " : "not whole, ") + std::to_string(report.left.size()) + " left out, in " + report.folder);
  // The phone is left on another folder than the page's: the page is
  // opened afresh before it acts again.
  ReturnToLogo(link.View());
  return report;
}

int TRestoreReport::Refused() const {
  int n = 0;
  for (const TPlanItem& item : plan) n += item.action == TPlanAction::Refuse;
  return n;
}

bool TRestoreReport::Whole() const {
  return bad.empty() && extra.empty() && pcFault.empty() && !unfinished && notRestored.empty() && planned && !declined && (sent || planOnly) && Refused() == 0 &&
         (suitesChecked || missing.empty()) && !installFailed;
}

TRestoreReport RestoreFromBackup(TLink& link, const std::string& folder, const TRestoreOptions& options) {
  TRestoreReport report;
  report.planOnly = options.planOnly;
  // Every sum holds before anything goes to the phone.
  const TBackupContents contents = CheckBackup(folder);
  report.bad = contents.bad;
  report.extra = contents.extra;
  report.pcFault = contents.pcFault;
  report.unfinished = contents.unfinished;
  report.lacks = contents.lacks;
  if (options.onChecked) options.onChecked(report);
  if (!report.bad.empty() || !report.pcFault.empty()) return report;
  TBatchGuard guard(link, 0);
  if (!(options.reach ? options.reach() : CheckLink(link))) return report;
  report.reached = true;
  TRestore restore(link, contents);
  report.planned = restore.MakePlan(options.verify);
  report.plan = restore.Plan();
  report.notRestored = restore.NotRestored();
  report.stopped = restore.Stopped();
  // The listings of every folder leave no page whole.
  ReturnToLogo(link.View());
  report.closing = link.StopToken().Closing();
  if (!report.planned || report.closing) return report;
  for (const TPlanItem& item : report.plan) report.same += item.action == TPlanAction::Same;
  if (options.confirmPlan && !options.confirmPlan(report)) {
    report.declined = true;
    return report;
  }
  if (!options.planOnly) {
    int total = 0;
    for (const TPlanItem& item : report.plan)
      total += item.action == TPlanAction::Send || item.action == TPlanAction::Clash;
    guard.ShowTotal(total);
    restore.OnFile = [&](const TFileStep& step) {
      link.View().StepTotalBar();
      if (options.onFile) options.onFile(step);
    };
    report.sent = restore.Send();
    report.counts = restore.Counts();
    report.notRestored = restore.NotRestored();
    report.stopped = restore.Stopped();
    ReturnToLogo(link.View());
    report.closing = link.StopToken().Closing();
    if (!report.sent || report.closing) return report;
  }
  // Suites cannot come from a backup: the ones the phone lacks are named,
  // and installed when their MIDlet folder is known.
  if (contents.suites.empty()) {
    report.suitesChecked = true;
    return report;
  }
  report.suitesChecked = restore.MissingSuites(&report.missing);
  if (!report.suitesChecked || report.missing.empty()) return report;
  if (options.planOnly || options.suitesFolder.empty()) {
    for (const TSuiteRow& suite : report.missing) report.notInstalled.push_back(suite.name);
    return report;
  }
  report.installFailed = !restore.InstallSuites(options.suitesFolder, report.missing, &report.notInstalled);
  ReturnToLogo(link.View());
  report.closing = link.StopToken().Closing();
  return report;
}

}  // namespace backup
