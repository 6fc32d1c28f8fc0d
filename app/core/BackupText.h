#pragma once
// The words at the end of a backup and a restore, made from their reports
// in the language chosen now as UTF-8, and the backup folder the user
// chose last: the same for every window.
#include <string>

#include "content/BackupRun.h"

class TUiTextDecoder;

namespace backup {

// The end box of a backup: where it is, and whatever is not in it.
std::string BackupEndText(const TBackupReport& report, const TUiTextDecoder& decoder);
// The end box of a restore that sent or planned: what was sent and kept,
// the files left out with why, the suites left to install.
std::string RestoreEndText(const TRestoreReport& report, const TUiTextDecoder& decoder);
// The box of a restore refused because the backup is not whole.
std::string RestoreRefusedText(const TRestoreReport& report, const TUiTextDecoder& decoder);

// The backup folder chosen last, else the default one.
std::string RememberedBackupRoot();
void RememberBackupRoot(const std::string& root);
// Where a folder chooser opens on it: the folder itself or, before the
// first backup made it, the nearest folder above that exists.
std::string NearestExistingFolder(const std::string& folder);

}  // namespace backup
