#include "content/Backup.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <system_error>

#include "content/ScanReason.h"
#include "content/MidletPage.h"
#include "port/PlainFile.h"
#include "content/PcScan.h"
#include "content/Sha256.h"
#include "link/Batch.h"
#include "link/Connection.h"
#include "link/Link.h"
#include "link/PhoneFiles.h"
#include "link/Settings.h"
#include "link/Text.h"
#include "link/Transfers.h"
#include "content/TempFolder.h"

namespace backup {

namespace fs = std::filesystem;

namespace {

using TSteady = std::chrono::steady_clock;

std::string Join(const std::string& folder, const std::string& name) {
  return PathUtf8(Utf8Path(folder) / Utf8Path(name));
}

bool WriteWhole(const std::string& path, const std::string& bytes) {
  std::ofstream f(Utf8Path(path), std::ios::binary | std::ios::trunc);
  f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  f.close();
  return !f.fail();
}

// As above, with the system's words for a failure ("No space left on device").
bool WriteWhole(const std::string& path, const std::string& bytes, std::string* why) {
  std::FILE* f = OpenFileUtf8(path, "wb");
  errno = 0;
  bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  int error = errno;
  if (f && std::fclose(f) != 0 && ok) {
    ok = false;
    error = errno;
  }
  if (!ok) *why = error ? std::error_code(error, std::generic_category()).message() : "cannot be written";
  return ok;
}



// Times the files of one batch for the progress line: a file's own time
// runs from the end of the one before, less the batch's pause.
class TStepTimer {
 public:
  TStepTimer(const TLink& link, int* index, int total, int folder, const TStepFn& onFile)
      : pause_(link.Clock().DelaySpan(kPauseBetweenFilesMs)), index_(index), total_(total), folder_(folder),
        onFile_(onFile), last_(TSteady::now()) {}
  // The next file starts now: its time has no pause to leave out.
  void Begin(int folder) {
    folder_ = folder;
    last_ = TSteady::now();
    first_ = true;
  }
  void FileEnded(const std::string& name, int64_t bytes, bool skipped = false, bool failed = false) {
    const auto now = TSteady::now();
    auto spent = now - last_;
    if (first_) first_ = false;
    else spent -= pause_;
    last_ = now;
    ++*index_;
    const double seconds = std::max(std::chrono::duration<double>(spent).count(), 1e-6);
    if (onFile_) onFile_(TFileStep{*index_, total_, folder_, name, bytes, seconds, skipped, failed});
  }

 private:
  std::chrono::microseconds pause_;
  int* index_;
  int total_, folder_;
  const TStepFn& onFile_;
  TSteady::time_point last_;
  bool first_ = true;
};

std::string OneField(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

const char* FolderName(int folder) {
  switch (folder) {
    case 1: return "melodies";
    case 2: return "animations";
    case 3: return "pictures";
  }
  return "";
}

int FolderOf(const std::string& name) {
  for (int f = 1; f <= 3; ++f)
    if (name == FolderName(f)) return f;
  return 0;
}

std::string DefaultBackupRoot() { return Join(DocumentsFolder(), kRootName); }

std::string BackupBaseName(std::time_t when) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &when);
#else
  localtime_r(&when, &local);
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
  return std::string("quendrel-backup-") + text;
}

std::string MakePartialFolder(const std::string& root, const std::string& base, std::string* finalPath) {
  for (int n = 1; n < 10000; ++n) {
    const std::string name = n == 1 ? base : base + "-" + std::to_string(n);
    const std::string final = Join(root, name);
    const std::string partial = final + kPartialSuffix;
    std::error_code ec;
    if (fs::exists(Utf8Path(final), ec) || fs::exists(Utf8Path(partial), ec)) continue;
    // create_directory is false for a folder made meanwhile: never share one.
    if (!fs::create_directory(Utf8Path(partial), ec)) {
      if (ec) return {};
      continue;
    }
    *finalPath = final;
    return partial;
  }
  return {};
}

std::string SumLine(const std::string& hex, const std::string& relPath) {
  std::string name;
  bool escaped = false;
  for (char c : relPath) {
    if (c == '\\') name += "\\\\";
    else if (c == '\n') name += "\\n";
    else if (c == '\r') name += "\\r";
    else {
      name += c;
      continue;
    }
    escaped = true;
  }
  return (escaped ? "\\" : "") + hex + "  " + name + "\n";
}

bool ParseSumLine(const std::string& line, std::string* hex, std::string* relPath) {
  size_t at = 0;
  const bool escaped = !line.empty() && line[0] == '\\';
  if (escaped) at = 1;
  if (line.size() < at + 66) return false;
  *hex = line.substr(at, 64);
  for (char c : *hex)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  for (char& c : *hex) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (line[at + 64] != ' ' || (line[at + 65] != ' ' && line[at + 65] != '*')) return false;
  const std::string raw = line.substr(at + 66);
  relPath->clear();
  for (size_t i = 0; i < raw.size(); ++i) {
    if (!escaped || raw[i] != '\\') {
      *relPath += raw[i];
      continue;
    }
    if (++i == raw.size()) return false;
    if (raw[i] == '\\') *relPath += '\\';
    else if (raw[i] == 'n') *relPath += '\n';
    else if (raw[i] == 'r') *relPath += '\r';
    else return false;
  }
  return !relPath->empty();
}

std::string SuitesText(const std::vector<TSuiteRow>& suites) {
  std::string text = "name\tversion\tsize\turl\n";
  for (const TSuiteRow& s : suites)
    text += OneField(s.name) + "\t" + OneField(s.version) + "\t" + std::to_string(s.size) + "\t" + OneField(s.url) + "\n";
  return text;
}

std::vector<TSuiteRow> ParseSuitesText(const std::string& text) {
  std::vector<TSuiteRow> rows;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> f;
    size_t start = 0;
    for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1) f.push_back(line.substr(start, tab - start));
    f.push_back(line.substr(start));
    if (f.size() < 4 || f[0].empty()) continue;
    TSuiteRow row{f[0], f[1], f[3], static_cast<int32_t>(std::strtol(f[2].c_str(), nullptr, 10))};
    rows.push_back(row);
  }
  return rows;
}

bool PhoneSuiteRows(TLink& link, std::vector<TSuiteRow>* suites) {
  TInfoList<Mobile_info> phone;
  bool ok = false;
  try {
    ok = OpenJavaFolder(link).Ok() && ListPhoneSuites(link, phone, TListShow::Quiet).Ok() && !link.StopToken().Ended();
  } catch (const TSuiteListError& e) {
    link.View().ShowMessage(e.Describe());
  } catch (const std::exception& e) {
    link.View().ShowMessage(e.what());
  }
  if (!ok) return false;
  for (Mobile_info* p = phone.First(); p; p = p->next.get())
    suites->push_back(TSuiteRow{p->name, p->version, p->url, p->size});
  return true;
}

std::vector<size_t> HoldableEntries(int folder, const std::vector<std::string>& names, bool caseBlind,
                                    std::vector<TNotBackedUp>* left) {
  std::vector<size_t> held;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    std::string why;
    if (!IsSafeLocalName(name)) why = "a name this PC cannot hold as a file";
    for (size_t k : held) {
      if (!why.empty()) break;
      if (names[k] == name) why = "listed a second time; the backup holds one file of this name";
      else if (caseBlind && SameNoCase(names[k], name))
        why = "differs from " + names[k] + " only in case, which this PC's file system does not tell apart";
    }
    if (why.empty()) held.push_back(i);
    else left->push_back({folder, name, why});
  }
  return held;
}

bool IgnoresCase(const std::string& folder) {
  const fs::path lower = Utf8Path(folder) / ".quendrel-case-probe";
  const fs::path upper = Utf8Path(folder) / ".QUENDREL-CASE-PROBE";
  std::error_code ec;
  if (fs::exists(lower, ec) || fs::exists(upper, ec)) return true;
  if (!std::ofstream(lower)) return true;
  const bool blind = fs::exists(upper, ec) || ec;
  fs::remove(lower, ec);
  return blind;
}

bool TBackup::Fail(const std::string& text) {
  if (!text.empty()) link_.View().ShowMessage(text);
  return false;
}

bool TBackup::Ended() {
  if (link_.StopToken().Pending()) stopped_ = true;
  return link_.StopToken().Ended() || stopped_;
}

bool TBackup::Run(const std::string& root, std::time_t when) {
  left_.clear();
  stopped_ = false;
  empty_.clear();
  unlisted_.clear();
  suitesListed_ = true;  // until a listing fails
  std::error_code ec;
  fs::create_directories(Utf8Path(root), ec);
  std::string finalPath;
  folder_ = MakePartialFolder(root, BackupBaseName(when), &finalPath);
  if (folder_.empty()) return Fail("Cannot make a backup folder in " + root);
  // Asked once: two phone names the folder would take as one are never both fetched.
  const bool caseBlind = IgnoresCase(folder_);
  // A failed file or listing may have closed the port; the phone is asked again first.
  auto reachable = [this] { return !Ended() && (link_.Port().Connected() || CheckLink(link_)); };

  std::vector<TSuiteRow> suites;
  const bool listed = PhoneSuiteRows(link_, &suites);
  if (Ended()) return false;
  suitesListed_ = listed;
  if (suitesListed_ && !WriteWhole(Join(folder_, kSuitesFile), SuitesText(suites)))
    return Fail("Cannot write " + std::string(kSuitesFile));
  // Without the list the files are taken all the same; the backup is not
  // whole, which its end tells.

  // Every folder is listed before the first fetch, so the progress knows the total.
  std::vector<TBatchFile> files[4];
  int total = 0;
  for (int f = 1; f <= 3; ++f) {
    const std::string sub = Join(folder_, FolderName(f));
    if (!fs::create_directory(Utf8Path(sub), ec)) return Fail("Cannot make " + sub);
    if (!reachable()) return Fail("");
    pages_.FolderNumber = f;
    if (!SelectPhoneFolder(link_, pages_, f).Ok() || !ListPhoneFolder(link_, pages_, TListShow::Quiet).Ok()) {
      if (Ended()) return false;
      unlisted_.push_back(f);
      continue;
    }
    std::vector<std::string> names;
    std::vector<int32_t> sizes;
    for (pic_info* p = pages_.PhoneFileList.First(); p; p = p->next.get()) {
      names.push_back(p->Name);
      sizes.push_back(p->Size);
    }
    if (names.empty()) empty_.push_back(f);
    for (size_t i : HoldableEntries(f, names, caseBlind, &left_)) files[f].push_back({names[i], sub, sizes[i]});
    total += static_cast<int>(files[f].size());
  }
  if (OnTotal) OnTotal(total);

  // One walk over every folder's files: the pause between files and Stop
  // as every batch has them, a file that fails leaving the rest to be taken.
  struct TItem {
    int folder;
    TBatchFile file;
  };
  std::vector<TItem> items;
  for (int f = 1; f <= 3; ++f)
    for (const TBatchFile& file : files[f]) items.push_back({f, file});
  int index = 0, selected = 0;
  bool unselectable[4] = {false, false, false, false};
  bool askedPhone = false;  // whether the last item asked anything of the phone
  std::string sums;
  TStepTimer timer(link_, &index, total, 0, OnFile);
  auto leave = [&](const TItem& item, const std::string& why) {
    left_.push_back({item.folder, item.file.name, why});
    timer.FileEnded(item.file.name, 0, true);
  };
  const TWalkEnd end = WalkItems(
      link_, items.size(),
      [&](size_t k) {
        const TItem& item = items[k];
        const int f = item.folder;
        timer.Begin(f);
        askedPhone = false;
        // Never a fetch by name from whatever folder the phone has selected.
        if (unselectable[f]) {
          leave(item, "its folder could not be selected");
          return true;
        }
        const std::string path = Join(item.file.pcFolder, item.file.name);
        // A name this PC folds into one taken already (case beyond ASCII, a
        // normal form): never fetched over the other entry's file.
        if (fs::exists(fs::symlink_status(Utf8Path(path), ec))) {
          leave(item, "this PC's file system takes it as a file already in the backup");
          return true;
        }
        askedPhone = true;
        // A phone reached again has its folder to be selected again.
        if (!link_.Port().Connected()) selected = 0;
        if (!reachable()) return false;
        if (f != selected) {
          pages_.FolderNumber = f;
          if (!SelectPhoneFolder(link_, pages_, f).Ok()) {
            if (Ended()) return false;
            unselectable[f] = true;
            leave(item, "its folder could not be selected");
            return true;
          }
          selected = f;
        }
        const TBatchReport report = TBatch(link_, pages_, TBatchOp::Fetch, f).Run({item.file});
        if (report.stopped) stopped_ = true;
        if (report.stopped || report.aborted || Ended()) return false;
        // The phone could not be reached again: the batch named the file.
        if (!report.notDone.empty()) return false;
        std::string why;
        if (report.results.empty() || !report.results[0].Ok()) why = "not fetched";
        else if (fs::file_size(Utf8Path(path), ec) != static_cast<uint64_t>(item.file.size) || ec)
          why = "not fetched whole";
        const std::string hex = why.empty() ? Sha256File(path) : std::string();
        if (why.empty() && hex.empty()) why = "cannot be read back";
        if (!why.empty()) {
          // Only whole files stay in the backup; this folder is the backup's own.
          fs::remove(Utf8Path(path), ec);
          leave(item, why);
          return true;
        }
        sums += SumLine(hex, std::string(FolderName(f)) + "/" + item.file.name);
        timer.FileEnded(item.file.name, item.file.size);
        return true;
      },
      [&](size_t) { return askedPhone; });
  if (end == TWalkEnd::Stopped) stopped_ = true;
  if (end != TWalkEnd::Done) return false;
  if (suitesListed_) {
    const std::string suitesHex = Sha256File(Join(folder_, kSuitesFile));
    if (suitesHex.empty()) return Fail("Cannot read " + std::string(kSuitesFile));
    sums += SumLine(suitesHex, kSuitesFile);
  }
  // What was taken can be checked, whole or not.
  if (!WriteWhole(Join(folder_, kSumsFile), sums)) return Fail("Cannot write " + std::string(kSumsFile));
  if (!suitesListed_ || !left_.empty() || !unlisted_.empty()) return false;

  // The final name only for a whole backup, and never over another one.
  if (fs::exists(Utf8Path(finalPath), ec)) return Fail("A backup named " + finalPath + " appeared meanwhile");
  fs::rename(Utf8Path(folder_), Utf8Path(finalPath), ec);
  if (ec) return Fail("Cannot rename " + folder_ + ": " + ec.message());
  folder_ = finalPath;
  return true;
}

TBackupContents CheckBackup(const std::string& folder) {
  TBackupContents c;
  // A backup that never finished keeps its ".partial" name; its sums are
  // whatever it had taken when it ended.
  fs::path own = Utf8Path(folder);
  if (!own.has_filename()) own = own.parent_path();
  const std::string ownName = PathUtf8(own.filename());
  const std::string partial = kPartialSuffix;
  c.unfinished = ownName.size() > partial.size() && ownName.compare(ownName.size() - partial.size(), partial.size(), partial) == 0;
  std::vector<TSumEntry> entries;
  {
    std::string sums;
    if (ReadPlainFile(Join(folder, kSumsFile), kMaxSumsBytes, &sums) != TPlainRead::Ok) {
      c.bad.push_back(kSumsFile);
      if (c.unfinished) c.lacks.push_back(std::string(kSumsFile) + ", so none of its files can be checked");
      return c;
    }
    size_t badLine = 0;
    if (!ParseSums(sums, &entries, &badLine)) {
      // Only an unfinished backup may lack the suites' line: it ended before them.
      if (badLine) c.bad.push_back(std::string(kSumsFile) + " line " + std::to_string(badLine));
      else if (!c.unfinished || entries.empty()) c.bad.push_back(kSumsFile);
      else c.lacks.push_back(std::string(kSuitesFile) + ", the phone's suites");
    }
  }
  // What a refused sums file holds tells nothing of what the backup lacks.
  if (c.unfinished && c.bad.empty())
    for (int f = 1; f <= 3; ++f) {
      const std::string prefix = std::string(FolderName(f)) + "/";
      bool any = false;
      for (const TSumEntry& e : entries) any = any || e.relPath.rfind(prefix, 0) == 0;
      if (!any) c.lacks.push_back(std::string("any file of ") + FolderName(f));
    }
  const bool sumsWhole = c.bad.empty();
  // The bytes checked are the bytes sent: each file is read once, and its
  // copy in a folder of this run's own is what the upload later opens.
  auto copies = std::make_shared<TTempFolder>("quendrel-restore-");
  std::error_code ec;
  if (copies->Path().empty()) c.pcFault = "Cannot make a temporary folder for the backup's files: " + copies->Error();
  else fs::permissions(Utf8Path(copies->Path()), fs::perms::owner_all, fs::perm_options::replace, ec);
  std::set<std::string> named;
  uint64_t total = 0;
  for (const TSumEntry& e : entries) {
    const std::string& rel = e.relPath;
    named.insert(rel);
    const bool suites = rel == kSuitesFile;
    // Only suites.tsv, or a file of one of the three folders by a plain name.
    const size_t slash = rel.find('/');
    const int f = slash == std::string::npos ? 0 : FolderOf(rel.substr(0, slash));
    const std::string name = f ? rel.substr(slash + 1) : "";
    std::string bytes;
    if ((!suites && (!f || !IsSafeLocalName(name))) ||
        ReadPlainFile(Join(folder, rel), suites ? kMaxSuitesBytes : kMaxFileBytes, &bytes) != TPlainRead::Ok ||
        Sha256Hex(bytes) != e.hex || (total += bytes.size()) > kMaxBackupBytes) {
      c.bad.push_back(rel);
      continue;
    }
    if (suites) {
      c.suites = ParseSuitesText(bytes);
      continue;
    }
    // Nothing will be sent: no copy is needed.
    if (!c.bad.empty() || !c.pcFault.empty()) continue;
    const std::string sub = Join(copies->Path(), FolderName(f));
    const std::string copy = Join(sub, name);
    std::string why;
    if (!fs::is_directory(Utf8Path(sub), ec) && !fs::create_directory(Utf8Path(sub), ec)) why = ec.message();
    if (why.empty() && !WriteWhole(copy, bytes, &why)) fs::remove(Utf8Path(copy), ec);
    if (!why.empty()) {
      c.pcFault = "Cannot copy " + rel + " to the temporary folder: " + why;
      continue;
    }
    c.files.push_back({f, name, copy, static_cast<int64_t>(bytes.size()), e.hex});
  }

  // What the three folders hold beyond the sums: a regular file is named
  // and left out; a link, a pipe, a device or a folder refuses the restore.
  for (int f = 1; f <= 3; ++f) {
    const std::string sub = FolderName(f);
    const fs::path path = Utf8Path(Join(folder, sub));
    const fs::file_type type = fs::symlink_status(path, ec).type();
    if (type == fs::file_type::not_found) continue;
    std::vector<std::pair<std::string, fs::file_type>> found;
    ec.clear();
    if (type == fs::file_type::directory)
      for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        found.emplace_back(PathUtf8(it->path().filename()), it->symlink_status(ec).type());
    if (type != fs::file_type::directory || ec) {
      c.bad.push_back(sub);
      continue;
    }
    std::sort(found.begin(), found.end());
    for (const auto& [name, kind] : found) {
      const std::string rel = sub + "/" + name;
      if (named.count(rel) || (kind == fs::file_type::regular && IsFolderClutter(name))) continue;
      // Beside a cut sums file every file is "extra": naming them says nothing.
      if (kind != fs::file_type::regular) c.bad.push_back(rel);
      else if (sumsWhole) c.extra.push_back(rel);
    }
  }
  if (c.bad.empty() && c.pcFault.empty()) c.copies = std::move(copies);
  else c.files.clear();
  return c;
}

bool ParseSums(const std::string& text, std::vector<TSumEntry>* entries, size_t* badLine) {
  entries->clear();
  if (badLine) *badLine = 0;
  std::string_view rest(text);
  if (rest.rfind("\xEF\xBB\xBF", 0) == 0) rest.remove_prefix(3);  // a byte order mark, as editors write one
  if (rest.empty()) return false;
  std::set<std::string> seen;
  bool suites = false;
  for (size_t number = 1; !rest.empty(); ++number) {
    const size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    // A name's own CR is written escaped: a raw one ends the line.
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    TSumEntry e;
    if (!ParseSumLine(std::string(line), &e.hex, &e.relPath) || !seen.insert(e.relPath).second) {
      if (badLine) *badLine = number;
      return false;
    }
    suites = suites || e.relPath == kSuitesFile;
    entries->push_back(std::move(e));
  }
  return suites;
}

bool IsFolderClutter(const std::string& name) {
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* own : {"thumbs.db", "ehthumbs.db", "ehthumbs_vista.db", "desktop.ini", ".ds_store", ".directory"})
    if (lower == own) return true;
  return lower.rfind("._", 0) == 0;  // a Mac's resource forks on a foreign disk
}

const char* ActionWord(TPlanAction action) {
  switch (action) {
    case TPlanAction::Send: return "send";
    case TPlanAction::Same: return "same";
    case TPlanAction::Clash: return "clash";
    case TPlanAction::Refuse: return "refuse";
  }
  return "";
}

bool TRestore::MakePlan(bool verify) {
  plan_.clear();
  notRestored_.clear();
  keepsCase_ = false;
  stopped_ = false;
  // Every folder is listed before any file is decided: any listing may
  // show that the phone keeps names apart by case.
  std::vector<std::pair<std::string, int32_t>> listed[4];
  bool wanted[4] = {false, false, false, false};
  for (const TBackupFile& file : contents_.files) wanted[file.folder] = true;
  for (int f = 1; f <= 3; ++f) {
    if (!wanted[f]) continue;
    if (!SelectPhoneFolder(link_, pages_, f).Ok() || !ListPhoneFolder(link_, pages_, TListShow::Quiet).Ok())
      return false;
    for (pic_info* p = pages_.PhoneFileList.First(); p; p = p->next.get()) {
      for (const auto& other : listed[f])
        keepsCase_ = keepsCase_ || (other.first != p->Name && SamePhoneName(other.first, p->Name));
      listed[f].emplace_back(p->Name, p->Size);
    }
  }
  for (int f = 1; f <= 3; ++f)
    for (const TBackupFile& file : contents_.files) {
      if (file.folder != f) continue;
      TPlanItem item;
      item.file = file;
      // The phone's file of this very name, else one the phone may take
      // for it (equal but for case, unless the phone shows it keeps such
      // names apart).
      const std::pair<std::string, int32_t>*exact = nullptr, *other = nullptr;
      for (const auto& entry : listed[f]) {
        if (!exact && entry.first == file.name) exact = &entry;
        else if (!other && !keepsCase_ && entry.first != file.name && SamePhoneName(entry.first, file.name)) other = &entry;
      }
      // The content page's own judgement decides what the phone may take.
      const pcscan::TJudgement j = pcscan::JudgeFile(f, file.path);
      if (exact && exact->second == file.size) item.action = TPlanAction::Same;
      else if (j.verdict != pcscan::TVerdict::Listed) {
        item.action = TPlanAction::Refuse;
        item.why = ReasonText(j, f);
      } else if (exact || other) {
        item.action = TPlanAction::Clash;
        item.clashWith = (exact ? exact : other)->first;
      }
      plan_.push_back(item);
    }
  return !verify || CompareSame();
}

bool TRestore::CompareSame() {
  TTempFolder fetched("quendrel-verify-");
  if (fetched.Path().empty()) {
    link_.View().ShowMessage("Cannot make a temporary folder to compare the phone's files: " + fetched.Error());
    return false;
  }
  for (int f = 1; f <= 3; ++f) {
    std::vector<size_t> which;
    std::vector<TBatchFile> files;
    for (size_t i = 0; i < plan_.size(); ++i) {
      if (plan_[i].file.folder != f || plan_[i].action != TPlanAction::Same) continue;
      // A folder of its own for each: no two names ever meet on this PC.
      const std::string sub = Join(fetched.Path(), std::to_string(i));
      std::error_code ec;
      if (!fs::create_directory(Utf8Path(sub), ec)) {
        link_.View().ShowMessage("Cannot make a folder in the temporary folder: " + ec.message());
        return false;
      }
      which.push_back(i);
      files.push_back({plan_[i].file.name, sub, static_cast<int32_t>(plan_[i].file.size)});
    }
    if (files.empty()) continue;
    pages_.FolderNumber = f;
    if (!SelectPhoneFolder(link_, pages_, f).Ok()) return false;
    const TBatchReport report = TBatch(link_, pages_, TBatchOp::Fetch, f).Run(files);
    if (report.stopped) stopped_ = true;
    if (report.stopped || report.aborted) return false;
    for (size_t k = 0; k < which.size(); ++k) {
      TPlanItem& item = plan_[which[k]];
      const bool fetchedWhole = k < report.results.size() && report.results[k].Ok();
      const std::string hex = fetchedWhole ? Sha256File(Join(files[k].pcFolder, files[k].name)) : std::string();
      if (hex == item.file.hex) {
        item.compared = true;
      } else if (hex.empty()) {
        item.why = "its bytes on the phone could not be fetched to be compared";
        notRestored_.push_back({f, item.file.name, item.why});
      } else {
        // Same name and size, other bytes: the backup's copy goes over it.
        const pcscan::TJudgement j = pcscan::JudgeFile(f, item.file.path);
        item.action = j.verdict == pcscan::TVerdict::Listed ? TPlanAction::Send : TPlanAction::Refuse;
        item.differs = true;
        if (item.action == TPlanAction::Refuse) item.why = ReasonText(j, f);
      }
    }
  }
  return true;
}

bool TRestore::Send() {
  int total = 0;
  for (const TPlanItem& item : plan_)
    total += item.action == TPlanAction::Send || item.action == TPlanAction::Clash;
  int index = 0;
  counts_ = TCounts{};
  stopped_ = false;
  bool whole = true;
  for (int f = 1; f <= 3; ++f) {
    std::vector<const TPlanItem*> items;
    std::vector<TBatchFile> files;
    for (const TPlanItem& item : plan_)
      if (item.file.folder == f && (item.action == TPlanAction::Send || item.action == TPlanAction::Clash)) {
        const fs::path path = Utf8Path(item.file.path);
        items.push_back(&item);
        files.push_back({item.file.name, PathUtf8(path.parent_path()), 0});
      }
    if (files.empty()) continue;
    pages_.FolderNumber = f;
    if (!SelectPhoneFolder(link_, pages_, f).Ok() || !ListPhoneFolder(link_, pages_, TListShow::Quiet).Ok()) {
      counts_.notSent += static_cast<int>(files.size());
      return false;
    }
    std::vector<std::pair<std::string, std::string>> phone, sent;  // name, listed size
    for (pic_info* p = pages_.PhoneFileList.First(); p; p = p->next.get()) phone.emplace_back(p->Name, p->SizeText);
    // What the upload checks file k's name against: the phone's files and
    // those sent before, less the ones of its name in another case that the
    // plan does not take for its clash (the phone keeps them apart, or
    // they are the backup's own), and less its own where it goes over a
    // file whose bytes differ.
    auto checkListFor = [&](size_t k) {
      const TPlanItem& item = *items[k];
      pages_.PhoneFileList.Clear();
      auto add = [&](const std::pair<std::string, std::string>& entry) {
        pic_info* p = pages_.PhoneFileList.Append();
        p->Name = entry.first;
        p->SizeText = entry.second;
        p->Size = static_cast<int32_t>(std::strtol(entry.second.c_str(), nullptr, 10));
      };
      for (const auto& entry : phone)
        if (!SamePhoneName(entry.first, item.file.name) ||
            (item.action == TPlanAction::Clash && entry.first == item.clashWith))
          add(entry);
      for (const auto& entry : sent)
        if (!SamePhoneName(entry.first, item.file.name)) add(entry);
      pages_.PhoneListKnown = true;
    };
    checkListFor(0);
    TBatch batch(link_, pages_, TBatchOp::Send, f);
    TStepTimer timer(link_, &index, total, f, OnFile);
    size_t done = 0;
    batch.OnFileEnd = [&](const TResult& r) {
      const bool declined = r.outcome == TOutcome::Declined;
      timer.FileEnded(files[done].name, items[done]->file.size, declined, !r.Ok() && !declined);
      if (r.Ok()) sent.emplace_back(r.sentName, std::to_string(r.sentSize));
      if (++done < files.size()) checkListFor(done);
    };
    const TBatchReport report = batch.Run(files);
    // Past a batch that was not cut short, the pages hold the phone's
    // listing after it, which shows each file under the name it keeps.
    const bool listedAfter = !report.stopped && !report.aborted;
    for (size_t i = 0; i < report.results.size(); ++i) {
      const TResult& r = report.results[i];
      const TPlanItem& item = *items[i];
      if (r.outcome == TOutcome::Declined) {
        ++counts_.declined;
        notRestored_.push_back({f, item.file.name, "the phone's own " + item.clashWith + " was kept in its place"});
        continue;
      }
      if (!report.Done(i)) {
        ++counts_.notSent;
        continue;
      }
      const pic_info* same = nullptr;
      for (pic_info* p = listedAfter ? pages_.PhoneFileList.First() : nullptr; p; p = p->next.get()) {
        if (p->Name == r.sentName) {
          same = nullptr;
          break;
        }
        if (!same && SamePhoneName(p->Name, r.sentName)) same = p;
      }
      if (same) {
        ++counts_.notSent;
        notRestored_.push_back({f, item.file.name, "the phone keeps it as " + same->Name +
                                                       ": it does not tell names apart by case"});
        continue;
      }
      ++counts_.sent;
    }
    counts_.notSent += static_cast<int>(files.size() - report.results.size());
    if (report.stopped) stopped_ = true;
    if (report.AllDone()) continue;
    whole = false;
    if (report.stopped || report.aborted || !link_.Port().Connected()) return false;
  }
  return whole;
}

bool TRestore::MissingSuites(std::vector<TSuiteRow>* missing) {
  std::vector<TSuiteRow> phone;
  if (!PhoneSuiteRows(link_, &phone)) return false;
  for (const TSuiteRow& s : contents_.suites) {
    bool held = false;
    for (const TSuiteRow& p : phone) held = held || p.name == s.name;
    if (!held) missing->push_back(s);
  }
  return true;
}

bool TRestore::InstallSuites(const std::string& pcFolder, const std::vector<TSuiteRow>& missing,
                             std::vector<std::string>* notThere) {
  TPageState pages;
  pages.PcFolder = pcFolder;
  pages.FolderAsked = true;
  bool ok = true;
  for (const TSuiteRow& suite : missing) {
    // A fresh page for each: an install refreshes the lists it walks.
    TMidletPage page(link_, pages);
    TResult refreshed;
    try {
      refreshed = page.LocalAppDL_RefreshPage();
    } catch (const std::exception& e) {
      link_.View().ShowMessage(e.what());
      ok = false;
      break;
    }
    if (link_.StopToken().Ended() || !refreshed.Ok()) {
      ok = false;
      break;
    }
    MIDlet_Info* found = nullptr;
    for (MIDlet_Info* p = page.PcSuites.First(); p && !found; p = p->next.get())
      if (p->name == suite.name) found = p;
    if (!found) {
      notThere->push_back(suite.name);
      continue;
    }
    const bool installed = page.InstallSuite(*found).Ok();
    link_.View().SetActionsEnabled(true);
    if (!installed) {
      ok = false;
      break;
    }
  }
  return ok;
}

}  // namespace backup
