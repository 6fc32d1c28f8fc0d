#include "app/cli/CliCommands.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <iomanip>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/cli/ConsoleView.h"
#include "app/core/Config.h"
#include "app/core/PortAdvice.h"
#include "content/UiTextDecoder.h"
#include "content/ContentPage.h"
#include "content/BackupRun.h"
#ifdef QUENDREL_VIRTUAL_PHONE
#include "app/vphone/VirtualPhone.h"
#endif
#include "link/Batch.h"
#include "link/Connection.h"
#include "link/Link.h"
#include "link/OperationSession.h"
#include "link/PhoneFiles.h"
#include "link/Text.h"
#include "link/Transfers.h"
#include "link/PortMap.h"

namespace {

namespace fs = std::filesystem;

// The running session's stop flag, for the interrupt handler.
std::atomic<TStopToken*> g_stopToken{nullptr};

// A UTF-8 path made absolute, still UTF-8.
std::string Absolute(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::absolute(Utf8Path(path), ec);
  return ec ? path : PathUtf8(p);
}

bool ParseFolder(const std::string& text, int* folder) {
  if (text != "1" && text != "2" && text != "3") {
    std::cerr << "FOLDER must be 1 (melodies), 2 (animations) or 3 (pictures), not '" << EscapedName(text) << "'"
              << std::endl;
    return false;
  }
  *folder = text[0] - '0';
  return true;
}

// What usually keeps a phone silent on a port that opened.
std::string SilentPortAdvice(const std::string& port) {
  const std::string device = ResolvePortDevice(port);
  const std::string where = device.empty() || device == port ? port : port + " (" + device + ")";
  return "No answer on " + EscapedName(where) + ": check that the phone is on, that its cable is in, and that " +
         EscapedName(port) + " is the phone's port (--port NAME)";
}

class TCliSession {
 public:
  TCliSession(const TCliOptions& opt)
      : opt_(opt), link_(view_, opt.backend ? opt.backend() : MakeDefaultComBackend()) {
    link_.SetClock(TClock(opt.timeScale));
    g_stopToken = &link_.StopToken();
    view_.onConflict = opt.onConflict;
    view_.assumeYes = opt.yes;
    view_.verbose = opt.verbose;
  }

  ~TCliSession() { g_stopToken = nullptr; }
  TCliSession(const TCliSession&) = delete;
  TCliSession& operator=(const TCliSession&) = delete;

  // Port choice as the window makes it, then the options on top.
  bool Prepare() {
    // The window's ini, when there is one here: its debugFlag opens the same
    // start-up logs. Unlike the window, the command line does not require it.
    if (std::filesystem::exists(kIniFileName)) {
      ComputeDirectories();
      try {
        ReadIniSettings([this](const std::string& text) { view_.ShowErrorText(text); });
      } catch (const std::exception& e) {
        view_.ShowErrorText(e.what());
      }
    }
    if (opt_.virtualPhone) {
#ifdef QUENDREL_VIRTUAL_PHONE
      phone_ = std::make_unique<TVirtualPhone>();
      std::string error;
      if (!phone_->Start(&error)) {
        std::cerr << EscapedName(error) << std::endl;
        return false;
      }
#else
      std::cerr << "the virtual phone needs a pseudo-terminal, which this system does not have" << std::endl;
      return false;
#endif
    }
    connection_.Ports().LoadPortSettings();
    // "--port auto", or Auto stored and no port named: look for the phone.
    const bool search = opt_.port.empty() ? connection_.Ports().AutoChosen() : UpperCase(opt_.port) == "AUTO";
    if (!search) {
      if (!opt_.port.empty()) link_.Port().SetPort(opt_.port);
      return true;
    }
    if (opt_.backend) connection_.Ports().SetSearchBackend(opt_.backend);
    connection_.Ports().SetSearchAnswerMs(std::max(300, static_cast<int>(1500 * opt_.timeScale)));
    const TPhoneSearch found = connection_.Ports().FindPhone(false);
    if (found.found.empty()) {
      std::cerr << found.Report() << std::endl;
      return false;
    }
    std::cerr << "Phone found on " << EscapedName(found.found) << std::endl;
    return true;
  }

  // Open the port, start the receiver, and check the phone with "AT".
  bool Connect() {
    if (!link_.Open()) {
      const std::string port = link_.Port().Port();
      const std::string advice = PortOpenAdvice(port, link_.OpenError());
      if (!advice.empty()) std::cerr << EscapedName(advice) << std::endl;
      return false;
    }
    const TResult checked = CheckLinkResult(link_);
    // The port opened but nothing answered: the port's name is the clue.
    if (checked.outcome == TOutcome::TimedOut) std::cerr << SilentPortAdvice(link_.Port().Port()) << std::endl;
    return checked.Ok();
  }

  bool Select(int folder) {
    pages_.FolderNumber = folder;
    return SelectPhoneFolder(link_, pages_, folder).Ok();
  }

  TResult List() { return ListPhoneFolder(link_, pages_); }

  TLink& Link() { return link_; }
  TConnection& Connection() { return connection_; }
  TPageState& Pages() { return pages_; }
  ConsoleView& View() { return view_; }
  const TCliOptions& Options() const { return opt_; }

 private:
  const TCliOptions& opt_;
  ConsoleView view_;
#ifdef QUENDREL_VIRTUAL_PHONE
  std::unique_ptr<TVirtualPhone> phone_;  // outlives the link below
#endif
  TLink link_;
  TConnection connection_{link_};
  TPageState pages_;
};

int CmdAt(TCliSession& s) { return s.Connect() ? 0 : 1; }

int CmdLs(TCliSession& s, const std::vector<std::string>& args) {
  int folder = 0;
  if (args.size() != 2 || !ParseFolder(args[1], &folder)) return 2;
  if (!s.Connect() || !s.Select(folder) || !s.List().Ok()) return 1;
  // A file whose size cannot be read cannot be fetched: named apart.
  bool allReadable = true;
  for (pic_info* p = s.Pages().PhoneFileList.First(); p; p = p->next.get()) {
    if (p->Size == kUnreadableSize) {
      allReadable = false;
      std::cerr << UnreadableSizeMessage(EscapedName(p->Name), EscapedName(p->SizeText)) << std::endl;
    } else {
      std::cout << EscapedName(p->Name) << "\t" << p->SizeText << "\n";
    }
  }
  return allReadable ? 0 : 1;
}

// One progress line on stderr: the file's number of the total and its rate.
void ShowProgress(const std::string& verb, size_t index, size_t total, const std::string& shownName, uint64_t bytes,
                  double seconds) {
  std::cerr << verb << " " << index << "/" << total << " " << shownName << " " << bytes << " bytes, "
            << static_cast<int64_t>(static_cast<double>(bytes) / seconds) << " bytes/s" << std::endl;
}

// A batch names the files it did not do, except after Ctrl+C, where a
// window's box would: here they come before "Stopped".
void NameNotDoneAfterStop(const TBatchReport& report, TBatchOp op, const std::vector<TBatchFile>& files) {
  if (!report.stopped) return;
  const std::string text = report.NotDoneText(op, files);
  if (!text.empty()) std::cerr << EscapedName(text) << std::endl;
}

// Runs a batch of one kind on the selected folder; true when every file
// went through (a send: and the phone keeps it) or was passed over by the
// user's own choice. A transfer longer than a second gets a progress line.
bool RunBatch(TCliSession& s, TBatchOp op, int folder, const std::vector<TBatchFile>& files) {
  TBatch batch(s.Link(), s.Pages(), op, folder);
  size_t index = 0;
  batch.OnFileEnd = [&](const TResult& r) {
    const TBatchFile& file = files[index++];
    if (!r.Ok() || op == TBatchOp::Remove) return;
    // On the link's clock, which is real time outside the tests.
    const double seconds = s.View().TransferSeconds() / s.Link().Clock().Scale();
    if (seconds <= 1.0) return;
    const bool send = op == TBatchOp::Send;
    ShowProgress(send ? "sent" : "fetched", index, files.size(), EscapedName(send ? r.sentName : file.name),
                 send ? r.sentSize : static_cast<uint64_t>(std::max<int32_t>(file.size, 0)), seconds);
  };
  const TBatchReport report = batch.Run(files);
  NameNotDoneAfterStop(report, op, files);
  return report.AllDone();
}

// A PC file as a batch takes it: its name in its own folder.
TBatchFile PcBatchFile(const std::string& path) {
  const fs::path p = Utf8Path(Absolute(path));
  return {PathUtf8(p.filename()), PathUtf8(p.parent_path()), 0};
}

// The PC files named from args[from] on; false (after naming it) at the
// first that is not a file.
bool PcFileArguments(const std::vector<std::string>& args, size_t from, std::vector<TBatchFile>* files) {
  for (size_t i = from; i < args.size(); ++i) {
    std::error_code ec;
    if (!fs::is_regular_file(Utf8Path(args[i]), ec)) {
      std::cerr << "not a file: " << EscapedName(args[i]) << std::endl;
      return false;
    }
    files->push_back(PcBatchFile(args[i]));
  }
  return true;
}

int CmdPut(TCliSession& s, const std::vector<std::string>& args) {
  int folder = 0;
  if (args.size() < 3 || !ParseFolder(args[1], &folder)) return 2;
  std::vector<TBatchFile> files;
  if (!PcFileArguments(args, 2, &files)) return 2;
  if (!s.Connect() || !s.Select(folder)) return 1;
  TLink& link = s.Link();
  // Judged as a drop on the window's phone list; with no one to ask, no
  // copy that fits is made and such a picture is named with its reason.
  bool allSuitable = true;
  if (s.Options().onlySuitable) {
    std::vector<std::string> paths;
    for (const TBatchFile& f : files) paths.push_back(JoinLocalPath(f.pcFolder, f.name));
    const TDropReport judged = JudgeDroppedFiles(s.View(), folder, paths, nullptr, TEnglishDecoder());
    allSuitable = judged.notSent.empty();
    files.clear();
    for (const std::string& path : judged.sent) files.push_back(PcBatchFile(path));
    if (files.empty()) return 1;
  }
  // The list the overwrite check walks. A listing ended by a hang-up or a
  // Stop sends nothing (the port may be the fall-back one by now); one that
  // failed leaves each upload to ask, or to follow --on-conflict.
  const TResult listed = s.List();
  if (listed.Quiet() || link.StopToken().Ended()) return 1;
  const bool sent = RunBatch(s, TBatchOp::Send, folder, files);
  // A listing that failed is a failure, as the window's box says it is.
  return sent && allSuitable && listed.Ok() ? 0 : 1;
}

int CmdGet(TCliSession& s, const std::vector<std::string>& args, const std::string& to) {
  int folder = 0;
  if (args.size() < 3 || !ParseFolder(args[1], &folder)) return 2;
  const std::string pcFolder = Absolute(to.empty() ? "." : to);
  std::error_code ec;
  if (!fs::is_directory(Utf8Path(pcFolder), ec)) {
    std::cerr << "not a folder: " << EscapedName(pcFolder) << std::endl;
    return 2;
  }
  if (!s.Connect() || !s.Select(folder) || !s.List().Ok()) return 1;
  std::vector<TBatchFile> files;
  for (size_t i = 2; i < args.size(); ++i) {
    // The phone finds a name whatever its letter case: so does the size check.
    const pic_info* listed = FindPhoneFile(s.Pages().PhoneFileList, args[i]);
    files.push_back({args[i], pcFolder, listed ? listed->Size : 0});
  }
  return RunBatch(s, TBatchOp::Fetch, folder, files) ? 0 : 1;
}

int CmdRm(TCliSession& s, const std::vector<std::string>& args) {
  int folder = 0;
  if (args.size() < 3 || !ParseFolder(args[1], &folder)) return 2;
  if (!s.Connect() || !s.Select(folder)) return 1;
  std::vector<TBatchFile> files;
  for (size_t i = 2; i < args.size(); ++i) files.push_back({args[i], {}, 0});
  return RunBatch(s, TBatchOp::Remove, folder, files) ? 0 : 1;
}

// PC files to the desktop's trash, as the window's REMOVE on the PC side;
// no phone takes part.
int CmdTrash(TCliSession& s, const std::vector<std::string>& args) {
  if (args.size() < 2) return 2;
  std::vector<TBatchFile> files;
  if (!PcFileArguments(args, 1, &files)) return 2;
  const TPageReport report = RemovePcFiles(s.Link(), files);
  NameNotDoneAfterStop(report.batch, TBatchOp::Remove, files);
  return report.batch.AllDone() ? 0 : 1;
}

// A backup's or a restore's line per file, its folder before its name.
void ShowStep(const char* verb, const backup::TFileStep& step) {
  ShowProgress(verb, static_cast<size_t>(step.index), static_cast<size_t>(step.total),
               std::string(backup::FolderName(step.folder)) + "/" + EscapedName(step.name),
               static_cast<uint64_t>(std::max<int64_t>(step.bytes, 0)), step.seconds);
}

int CmdBackup(TCliSession& s, const std::vector<std::string>& args, const std::string& to) {
  if (args.size() != 1) return 2;
  backup::TBackupOptions o;
  o.reach = [&s] { return s.Connect(); };
  o.onFile = [](const backup::TFileStep& step) { ShowStep(step.skipped ? "not fetched" : "fetched", step); };
  const std::string root = to.empty() ? backup::DefaultBackupRoot() : Absolute(to);
  const backup::TBackupReport r = backup::BackUpPhone(s.Link(), root, std::time(nullptr), o);
  // Each phone entry the backup does not hold is named, and why.
  for (const backup::TNotBackedUp& e : r.left)
    std::cerr << "Not backed up: " << backup::FolderName(e.folder) << "/" << EscapedName(e.name) << ": "
              << EscapedName(e.why) << std::endl;
  if (!r.suitesListed)
    std::cerr << "The phone's suites could not be listed; the backup has no suites.tsv" << std::endl;
  for (int f : r.unlistedFolders) std::cerr << "Not listed: " << backup::FolderName(f) << std::endl;
  for (int f : r.emptyFolders) std::cerr << "Empty on the phone: " << backup::FolderName(f) << std::endl;
  // What arrived stays in the partial folder; its place is worth telling.
  if (!r.whole && !r.folder.empty()) std::cerr << "Backup not complete: " << EscapedName(r.folder) << std::endl;
  if (r.whole) std::cout << EscapedName(r.folder) << std::endl;
  return r.whole ? 0 : 1;
}

int CmdRestore(TCliSession& s, const std::vector<std::string>& args, const TCliOptions& opt) {
  if (args.size() != 2) return 2;
  std::error_code ec;
  if (!fs::is_directory(Utf8Path(args[1]), ec)) {
    std::cerr << "not a folder: " << EscapedName(args[1]) << std::endl;
    return 2;
  }
  backup::TRestoreOptions o;
  o.reach = [&s] { return s.Connect(); };
  o.planOnly = opt.dryRun;
  o.verify = opt.verify;
  const std::string folder = Absolute(args[1]);
  o.onChecked = [&folder](const backup::TRestoreReport& r) {
    if (!r.unfinished) return;
    std::cerr << "The backup did not finish: " << EscapedName(folder) << std::endl;
    for (const std::string& lack : r.lacks) std::cerr << "It lacks: " << EscapedName(lack) << std::endl;
  };
  if (!opt.suites.empty()) o.suitesFolder = Absolute(opt.suites);
  // The plan is printed, not asked about: the command itself is the answer.
  o.confirmPlan = [&opt](const backup::TRestoreReport& r) {
    bool same = false;
    for (const backup::TPlanItem& item : r.plan) {
      std::cout << backup::ActionWord(item.action) << "\t" << backup::FolderName(item.file.folder) << "\t"
                << EscapedName(item.file.name) << "\n";
      const std::string rel = std::string(backup::FolderName(item.file.folder)) + "/" + EscapedName(item.file.name);
      if (item.action == backup::TPlanAction::Refuse)
        std::cerr << "Not sent: " << EscapedName(item.file.name) << ": " << EscapedName(item.why) << std::endl;
      if (item.differs)
        std::cerr << "Differs from the backup: " << rel << " (same name and size, other bytes)" << std::endl;
      same = same || (item.action == backup::TPlanAction::Same && item.why.empty());
    }
    if (same)
      std::cerr << (opt.verify ? "same: same name, size and bytes, compared" : "same: same name and size, not compared")
                << std::endl;
    // A file the sums do not name was never checked: it stays behind.
    for (const std::string& rel : r.extra)
      std::cerr << "Not sent: " << EscapedName(rel) << ": not in " << backup::kSumsFile << std::endl;
    std::cout.flush();
    return true;
  };
  o.onFile = [](const backup::TFileStep& step) {
    ShowStep(step.skipped ? "skipped" : step.failed ? "not sent" : "sent", step);
  };
  const backup::TRestoreReport r = backup::RestoreFromBackup(s.Link(), folder, o);
  // The PC's own failure, not the backup's.
  if (!r.pcFault.empty()) {
    std::cerr << EscapedName(r.pcFault) << std::endl;
    return 1;
  }
  if (!r.bad.empty()) {
    for (const std::string& rel : r.bad) std::cerr << "missing or damaged: " << EscapedName(rel) << std::endl;
    std::cerr << "Restore refused: the backup is not whole" << std::endl;
    return 1;
  }
  for (const backup::TNotBackedUp& e : r.notRestored)
    std::cerr << "Not restored: " << backup::FolderName(e.folder) << "/" << EscapedName(e.name) << ": "
              << EscapedName(e.why) << std::endl;
  for (const backup::TSuiteRow& suite : r.missing)
    std::cout << "suite\t" << EscapedName(suite.name) << "\t" << EscapedName(suite.version) << "\n";
  std::cout.flush();
  for (const std::string& name : r.notInstalled) std::cerr << "Install from the PC: " << EscapedName(name) << std::endl;
  return r.Whole() ? 0 : 1;
}

}  // namespace

void RequestCliStop() {
  if (TStopToken* stop = g_stopToken.load()) stop->Request();
}

int RunCliCommand(const TCliOptions& opt, const std::vector<std::string>& args) {
  const std::string& cmd = args[0];
  if (cmd == "scan") return RunScanCommand(args, opt.all);
  if (cmd == "fit") return RunFitCommand(args, opt.to);
  TCliSession session(opt);
  if (!session.Prepare()) return 1;
  // The command is one operation of the session, as a window's action is.
  int rc = 1;
  TOperationSession operations(session.Link());
  operations.Submit([&] {
    rc = 2;
    if (cmd == "at") rc = args.size() == 1 ? CmdAt(session) : 2;
    else if (cmd == "ls") rc = CmdLs(session, args);
    else if (cmd == "put") rc = CmdPut(session, args);
    else if (cmd == "get") rc = CmdGet(session, args, opt.to);
    else if (cmd == "rm") rc = CmdRm(session, args);
    else if (cmd == "trash") rc = CmdTrash(session, args);
    else if (cmd == "backup") rc = CmdBackup(session, args, opt.to);
    else if (cmd == "restore") rc = CmdRestore(session, args, opt);
    else if (cmd == "midlets" || cmd == "install" || cmd == "uninstall")
      rc = RunMidletCommand(session.Link(), opt, args, [&] { return session.Connect(); });
    else std::cerr << "unknown command '" << EscapedName(cmd) << "' (see --help)" << std::endl;
  });
  if (rc == 2) std::cerr << "usage error (see --help)" << std::endl;
  session.Connection().CloseLink();
  CloseStartupLogs();
  ReleaseIniLines();
  return rc;
}
