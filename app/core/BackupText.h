#pragma once
// A backup and a restore as a window runs them, with the words at their
// end made from their reports in the language chosen now as UTF-8, and
// the backup folder the user chose last: the same for every window.
#include <string>

#include "content/BackupRun.h"
#include "link/PageState.h"

class TLink;
class TUiTextDecoder;
struct UiText;

namespace backup {

// The end box of a backup: where it is, and whatever is not in it.
std::string BackupEndText(const TBackupReport& report, const TUiTextDecoder& decoder);
// The end box of a restore that sent or planned: what was sent and kept,
// the files left out with why, the suites left to install.
std::string RestoreEndText(const TRestoreReport& report, const TUiTextDecoder& decoder);
// The box of a restore refused because the backup is not whole.
std::string RestoreRefusedText(const TRestoreReport& report, const TUiTextDecoder& decoder);
// What an unfinished backup lacks, told before anything is sent.
std::string UnfinishedBackupText(const TRestoreReport& report);

// The words of the restore plan's action column.
const UiText& PlanActionText(TPlanAction action);

// Backs the phone up into a new folder under 'root' and ends with the end
// box through the link's view, opening the folder when the user asks to.
// A backup that made no folder has said why on the way; one ended by the
// window's closing shows nothing more.
TBackupReport BackUpAndTell(TLink& link, const std::string& root, const TUiTextDecoder& decoder);
// The MIDlet folder a window's restore installs the missing suites from:
// the one its Java page shows, if one was chosen.
inline std::string SuitesFolderShown(const TPageState& pages) { return pages.FolderAsked ? pages.PcFolder : ""; }
// Restores from 'folder' and ends with its box through the link's view: the
// refused box for a backup that is not whole, else the end box. A restore
// without a plan has said why on the way; a declined plan or the window's
// closing shows nothing more.
TRestoreReport RestoreAndTell(TLink& link, const std::string& folder, const TRestoreOptions& options,
                              const TUiTextDecoder& decoder);

// The backup folder chosen last, else the default one.
std::string RememberedBackupRoot();
void RememberBackupRoot(const std::string& root);
// Where a folder chooser opens on it: the folder itself or, before the
// first backup made it, the nearest folder above that exists.
std::string NearestExistingFolder(const std::string& folder);

}  // namespace backup
