#pragma once
// Backing up and restoring as whole operations: the link check, the
// progress, the plan and its question, the sending, the suites the phone
// lacks and their install. The window and the command line run these the
// same way and only draw the report.
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "content/Backup.h"

class TLink;

namespace backup {

struct TBackupReport {
  bool reached = false;  // the phone answered, so the run was tried
  bool whole = false;    // every entry is in the backup, under its final name
  bool stopped = false;  // Stop ended it
  bool closing = false;  // the window's close ended it: nothing more to show
  std::string folder;    // the backup as left; "" when none was made (the run said why)
  std::vector<TNotBackedUp> left;
  std::vector<int> emptyFolders, unlistedFolders;
  bool suitesListed = true;
};

struct TBackupOptions {
  // How the phone is reached; unset, the open link is checked with "AT".
  std::function<bool()> reach;
  TStepFn onFile;
};

TBackupReport BackUpPhone(TLink& link, const std::string& root, std::time_t when, const TBackupOptions& options);

struct TRestoreOptions {
  // How the phone is reached, once the backup has been checked; unset, the
  // open link is checked with "AT".
  std::function<bool()> reach;
  bool planOnly = false;     // the plan and the suites the phone lacks; nothing is sent or installed
  bool verify = false;       // the phone's files of the same name and size are fetched and compared
  // The backup once checked, before the phone is reached: an unfinished
  // one is told here, before anything is sent.
  std::function<void(const struct TRestoreReport&)> onChecked;
  // A MIDlet folder: the suites the phone lacks are installed from it.
  std::string suitesFolder;
  // The plan (and the files left out of it) as a question; false sends
  // nothing. Unset: the plan is taken.
  std::function<bool(const struct TRestoreReport&)> confirmPlan;
  TStepFn onFile;
};

struct TRestoreReport {
  std::vector<std::string> bad;    // the backup is not whole: refused, nothing sent
  std::vector<std::string> extra;  // in its folders but not in the sums: not sent
  std::string pcFault;             // this PC could not copy the backup's files: nothing sent
  bool unfinished = false;         // the backup never finished (".partial")
  std::vector<std::string> lacks;  // what it lacks, as far as its sums tell
  bool planOnly = false;
  bool reached = false;            // the phone answered
  bool planned = false;            // every folder was listed and each file decided
  std::vector<TPlanItem> plan;
  bool declined = false;  // the plan's question was answered no: nothing sent
  bool sent = false;      // every planned file went through or was declined at its clash
  TRestore::TCounts counts;
  // The backup's files not on the phone as the backup holds them, and why.
  std::vector<TNotBackedUp> notRestored;
  int same = 0;  // already on the phone as in the backup
  bool stopped = false;
  bool closing = false;
  bool suitesChecked = false;             // the phone's suites were compared with the backup's
  std::vector<TSuiteRow> missing;         // the backup's suites the phone does not hold
  std::vector<std::string> notInstalled;  // of those, the ones left to install from the PC
  bool installFailed = false;
  int Refused() const;
  // Everything in a finished backup is on the phone or left to the user
  // by name (suites to install from the PC): exit 0, "Restore done".
  bool Whole() const;
};

TRestoreReport RestoreFromBackup(TLink& link, const std::string& folder, const TRestoreOptions& options);

}  // namespace backup
