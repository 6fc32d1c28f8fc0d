#pragma once
// Backing up the phone's melody, animation and picture folders and its
// suite list into a PC folder, and putting the files back. The window and
// the command line both run these; they only show the steps.
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/PageState.h"

class TLink;
class TTempFolder;

namespace backup {

inline constexpr const char* kSumsFile = "SHA256SUMS";
inline constexpr const char* kSuitesFile = "suites.tsv";
inline constexpr const char* kPartialSuffix = ".partial";
inline constexpr const char* kRootName = "Quendrel backups";

// "melodies", "animations", "pictures" for folders 1..3; "" otherwise.
const char* FolderName(int folder);
// Folder 1..3 of a sub-folder name, 0 when it is none of them.
int FolderOf(const std::string& name);

// The "Quendrel backups" folder in the user's documents folder.
std::string DefaultBackupRoot();
// "quendrel-backup-YYYYMMDD-HHMMSS" in local time.
std::string BackupBaseName(std::time_t when);
// Makes ROOT/NAME.partial for the first of NAME, NAME-2, NAME-3 ... of
// which neither the final nor the partial folder exists; sets *finalPath to
// the name it is to get. "" when no folder could be made.
std::string MakePartialFolder(const std::string& root, const std::string& base, std::string* finalPath);

// One line of a sums file as sha256sum writes it, and its reading; names
// holding a backslash or a line end are escaped as sha256sum does.
std::string SumLine(const std::string& hex, const std::string& relPath);
bool ParseSumLine(const std::string& line, std::string* hex, std::string* relPath);

// What a restore reads from a backup, at most: a phone folder's files are small.
inline constexpr uint64_t kMaxSumsBytes = uint64_t{4} << 20;
inline constexpr uint64_t kMaxSuitesBytes = uint64_t{1} << 20;
inline constexpr uint64_t kMaxFileBytes = uint64_t{64} << 20;
inline constexpr uint64_t kMaxBackupBytes = uint64_t{512} << 20;  // all files together

struct TSumEntry {
  std::string hex, relPath;
};
// The lines of a whole sums file, in order, read as sha256sum -c reads
// them: a byte order mark, CR LF line ends and a last line without its end
// are taken. False when it is empty, holds a line that is no sum or a name
// summed twice (*badLine: its number from 1; *entries then holds the good
// lines before it), or has no line for suites.tsv, which every finished
// backup sums (*badLine 0, *entries whole).
bool ParseSums(const std::string& text, std::vector<TSumEntry>* entries, size_t* badLine = nullptr);
// A file manager's own thumbnail or folder-settings file (Thumbs.db,
// desktop.ini, .DS_Store, .directory ...), which a restore passes over.
bool IsFolderClutter(const std::string& name);

struct TSuiteRow {
  std::string name, version, url;
  int32_t size = 0;
};
std::string SuitesText(const std::vector<TSuiteRow>& suites);
std::vector<TSuiteRow> ParseSuitesText(const std::string& text);
// The phone's installed suites; false when they could not be listed.
bool PhoneSuiteRows(TLink& link, std::vector<TSuiteRow>* suites);

// A file done, for the progress line.
struct TFileStep {
  int index = 0, total = 0;  // 1-based
  int folder = 0;
  std::string name;
  int64_t bytes = 0;
  double seconds = 0;  // its own transfer, without the pause between files
  bool skipped = false;  // declined (a clash left as it was), or not taken
  bool failed = false;   // not sent: it failed, or nobody answered its question
};
using TStepFn = std::function<void(const TFileStep&)>;

// A phone entry the backup does not hold as a file, and why.
struct TNotBackedUp {
  int folder = 0;
  std::string name, why;
};

// The entries of one folder's listing that can each be a PC file of their
// own, by index in order; the others go to *left with the reason (a name
// the PC refuses, a name listed before, or before in another case when
// caseBlind: the backup folder takes such names as one).
std::vector<size_t> HoldableEntries(int folder, const std::vector<std::string>& names, bool caseBlind,
                                    std::vector<TNotBackedUp>* left);
// Whether the file system of an existing folder takes names that differ
// only in case as one; true when it cannot be told.
bool IgnoresCase(const std::string& folder);

class TBackup {
 public:
  explicit TBackup(TLink& link) : link_(link) {}
  TStepFn OnFile;  // skipped: the file was not taken
  // The number of files to fetch, once every folder is listed.
  std::function<void(int total)> OnTotal;
  // Backs the connected phone up into a new folder of root. On success the
  // folder has its final name; otherwise it keeps its ".partial" one. A
  // file or folder that cannot be taken is left (see Left) and the rest
  // goes on; Stop, a hang-up or the window's close end it at once.
  bool Run(const std::string& root, std::time_t when);
  // The backup's folder as it stands (empty before one was made).
  const std::string& Folder() const { return folder_; }
  // The phone entries not in the backup, in the order met.
  const std::vector<TNotBackedUp>& Left() const { return left_; }
  // Folders (1..3) the phone listed empty, and those it could not list.
  const std::vector<int>& EmptyFolders() const { return empty_; }
  const std::vector<int>& UnlistedFolders() const { return unlisted_; }
  // False when the run went past the suites and could not list them: the
  // backup has no suites.tsv.
  bool SuitesListed() const { return suitesListed_; }
  // Stop ended the run.
  bool Stopped() const { return stopped_; }

 private:
  bool Fail(const std::string& text);
  // Stop, a hang-up or the window's close: nothing more is asked of the phone.
  bool Ended();
  TLink& link_;
  TPageState pages_;  // the folder being fetched and its listing
  std::string folder_;
  std::vector<TNotBackedUp> left_;
  std::vector<int> empty_, unlisted_;
  bool suitesListed_ = true;
  bool stopped_ = false;
};

struct TBackupFile {
  int folder = 0;
  std::string name;  // the phone's and the backup's
  std::string path;  // the private copy of the bytes checked, which is what is sent
  int64_t size = 0;
  std::string hex;  // its sum
};

struct TBackupContents {
  std::vector<TBackupFile> files;
  std::vector<TSuiteRow> suites;
  // Missing, damaged, or not a regular file, relative to the backup: the
  // restore is refused.
  std::vector<std::string> bad;
  // In the three folders but not in the sums: named and not sent.
  std::vector<std::string> extra;
  // This PC could not make the private copies (its temporary folder or its
  // disk failed): the restore is refused, the backup is not to blame.
  std::string pcFault;
  // The backup never finished (its folder keeps the ".partial" name), and
  // what it lacks as far as its sums tell.
  bool unfinished = false;
  std::vector<std::string> lacks;
  // The private folder holding the files' copies, removed with the last holder.
  std::shared_ptr<const TTempFolder> copies;
};
// Reads a backup whole and checks every sum it lists. Each file is read
// once, without following links or waiting on pipes and devices, and the
// bytes checked are copied to a private folder; files is empty when bad or
// pcFault is not. An unfinished backup may lack the suites' line.
TBackupContents CheckBackup(const std::string& folder);

enum class TPlanAction { Send, Same, Clash, Refuse };
const char* ActionWord(TPlanAction action);

struct TPlanItem {
  TPlanAction action = TPlanAction::Send;
  TBackupFile file;
  // Refuse: the content page's reason. Same: why its bytes could not be
  // compared when they were to be.
  std::string why;
  bool compared = false;  // Same: the phone's bytes were fetched and match the sum
  bool differs = false;   // Send: over a phone file of its name and size whose bytes differ
  std::string clashWith;  // Clash: the phone's file it meets (its name may differ in case)
};

class TRestore {
 public:
  TRestore(TLink& link, const TBackupContents& contents) : link_(link), contents_(contents) {}
  TStepFn OnFile;
  // Lists the phone's folders and decides each file; false when a listing
  // failed. A phone file is the backup's when its name is the same byte
  // for byte; one that differs only in case is a clash unless a listing
  // shows that the phone keeps such names apart. With verify each file of
  // the same name and size is fetched and compared with its sum.
  bool MakePlan(bool verify = false);
  const std::vector<TPlanItem>& Plan() const { return plan_; }
  // Sends the planned files through the upload batch, clashes asking the
  // view; true when each went through and the phone keeps it, or was
  // declined. A folder not wholly done leaves the next folders to go on,
  // unless Stop or a hang-up ended it.
  bool Send();
  // What Send did, from the batches' own outcomes: a file sent under a new
  // name is sent, one the phone does not keep or whose question nobody
  // answered is not.
  struct TCounts {
    int sent = 0, declined = 0, notSent = 0;
  };
  const TCounts& Counts() const { return counts_; }
  // The backup's files that are not on the phone as the backup holds them
  // after Send, in order: a clash left as the phone had it, a file the
  // phone keeps under another name, a file whose bytes were not compared.
  const std::vector<TNotBackedUp>& NotRestored() const { return notRestored_; }
  // Stop ended the sending.
  bool Stopped() const { return stopped_; }
  // The backup's suites the phone does not hold; false when its suites
  // could not be listed.
  bool MissingSuites(std::vector<TSuiteRow>* missing);
  // Installs each missing suite that the MIDlet folder pcFolder holds under
  // its name; *notThere gets those it does not hold. True when every one
  // found was installed.
  bool InstallSuites(const std::string& pcFolder, const std::vector<TSuiteRow>& missing,
                     std::vector<std::string>* notThere);

 private:
  // Fetches the files of the same name and size into a temporary folder
  // and compares each with its sum.
  bool CompareSame();
  TLink& link_;
  TPageState pages_;  // the folder being planned or sent and its listing
  const TBackupContents& contents_;
  std::vector<TPlanItem> plan_;
  TCounts counts_;
  std::vector<TNotBackedUp> notRestored_;
  bool keepsCase_ = false;  // a listing showed two names equal but for case
  bool stopped_ = false;
};

}  // namespace backup
