// Installing a suite from the PC: descriptor first, then archive, each
// announced with its own request and sent in hexadecimal packets; an
// update removes the phone's older suite first.
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>
#include <vector>

#include "link/Commands.h"
#include "link/PacketSender.h"
#include "content/MidletPage.h"
#include "link/Transfers.h"

namespace {

// The phone is given the bare file name, never the PC folder.
std::string BaseName(const std::string& path) {
#ifdef _WIN32
  size_t cut = path.find_last_of("/\\");
#else
  size_t cut = path.rfind('/');
#endif
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool FileSize(const std::string& path, long long* size) {
  std::error_code ec;
  auto s = std::filesystem::file_size(path, ec);
  if (ec) return false;
  *size = static_cast<long long>(s);
  return true;
}

std::string InstallRequest(const std::string& path, long long size) {
  return command::InstallRequest(BaseName(path), static_cast<uint64_t>(size));
}

// A descriptor made from an archive's manifest, written for the install
// under the suite's descriptor name in a private temporary folder (never
// in the user's folder), so it goes out exactly as a file on disk would.
class TMadeDescriptor {
 public:
  explicit TMadeDescriptor(const MIDlet_Info& suite) {
    if (suite.madeDescriptor.empty()) return;
    std::error_code ec;
    const std::filesystem::path tmp = std::filesystem::temp_directory_path(ec);
    if (ec) return;
    for (unsigned n = 0; n < 100 && folder_.empty(); ++n) {
      std::filesystem::path candidate =
          tmp / ("quendrel-jad-" + std::to_string(std::random_device{}()) + "-" + std::to_string(n));
      if (std::filesystem::create_directory(candidate, ec)) folder_ = candidate;
    }
    if (folder_.empty()) return;
    const std::filesystem::path file = folder_ / BaseName(suite.jadPath);
    std::FILE* f = std::fopen(file.string().c_str(), "wb");
    if (!f) return;
    const std::string& text = suite.madeDescriptor;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) == 0 && written) path_ = file.string();
  }
  ~TMadeDescriptor() {
    std::error_code ec;
    if (!folder_.empty()) std::filesystem::remove_all(folder_, ec);
  }
  TMadeDescriptor(const TMadeDescriptor&) = delete;
  TMadeDescriptor& operator=(const TMadeDescriptor&) = delete;
  // The written file; empty when there is none (a .jad suite, or writing failed).
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path folder_;
  std::string path_;
};

}  // namespace

// What one installation holds open. Whatever way the installation stops,
// leaving this scope closes the descriptor, the archive and the log.
struct TMidletPage::TInstallJob {
  TInstallJob(TLink& l, const MIDlet_Info& suite)
      : link(l),
        made(suite),
        name(suite.name),
        jadPath(made.Path().empty() ? suite.jadPath : made.Path()),
        jarPath(suite.jarPath),
        jarSize(suite.jarSize) {}
  ~TInstallJob() {
    CloseFile(jad);
    CloseFile(jar);
    CloseLog();
  }
  TInstallJob(const TInstallJob&) = delete;
  TInstallJob& operator=(const TInstallJob&) = delete;

  static void CloseFile(std::FILE*& f) {
    if (f) std::fclose(f);
    f = nullptr;
  }
  void CloseLog() {
    if (logOpen) link.TransferLog.Close();
    logOpen = false;
  }
  void Log(const std::string& bytes) {
    if (logOpen) link.TransferLog.Write(bytes);
  }

  TLink& link;
  TMadeDescriptor made;  // before jadPath, which may name its file
  // Copies: the refresh at the end frees the record they came from.
  const std::string name, jadPath, jarPath;
  const int32_t jarSize;
  bool logOpen = false;
  TResult result;  // how the last step ended
  std::FILE* jad = nullptr;
  std::FILE* jar = nullptr;
};

void TMidletPage::LAD_ONE_ButtonClick() {
  // The buttons come back however the handler ends, a throwing refresh included.
  struct TEnableOnExit {
    TLink& link;
    ~TEnableOnExit() { link.EnableActionButtons(); }
  } enableOnExit{link_};

  link_.TakeStop();  // a Stop pressed before the install is no stop of it
  if (MIDlet_Info* rec = SelectedPcSuite()) InstallSuite(*rec);
}

TResult TMidletPage::InstallSuite(MIDlet_Info& suite) {
  IFormView& view = link_.View();
  MIDlet_Info* rec = &suite;
  // Every name the install or update would send, checked before anything
  // goes out: an update must not remove the old suite and then stop.
  const bool updating = rec->status == 2;
  if (rec->status != 1 && rec->status != 3 &&
      (!IsSafeCommandName(BaseName(rec->jadPath)) || !IsSafeCommandName(BaseName(rec->jarPath)) ||
       (updating && !IsSafeCommandName(rec->name)))) {
    view.ShowMessage("Invalid file name");
    return TResult::Of(TOutcome::Failed);
  }
  switch (rec->status) {
    case 1:
      view.ShowMessage("MIDlet already exists on Phone");
      return TResult::Of(TOutcome::Failed);
    case 3:
      view.ShowMessage("Old MIDlet");
      return TResult::Of(TOutcome::Failed);
    case 2:
      break;
    default:
      link_.DisableActionButtons();
      cursor_ = rec;
      return LocalAppDL_InstallOperation();
  }

  if (!view.ConfirmUpdate("Update " + rec->name + "?")) return TResult::Of(TOutcome::Declined);
  link_.DisableActionButtons();
  const TResult removed = link_.Exchange(TStep::UpdateRemoval, command::Uninstall(rec->name),
                                         TWaitRule{StateBit(rsOk), 50, 100, false});
  if (removed.Ok()) {
    cursor_ = rec;
    return LocalAppDL_InstallOperation();
  }
  if (removed.outcome == TOutcome::Aborted) {
    // Stopped during the removal: the lists show what the phone holds now.
    if (link_.TakeStop()) LocalAppDL_RefreshPage();
  } else if (!removed.Quiet()) {
    view.HideStatusLabel();
  }
  return removed;
}

TResult TMidletPage::LocalAppDL_InstallOperation() {
  if (!cursor_) return TResult::Of(TOutcome::Failed);
  TPhaseEnd end;
  TResult result;
  {
    TInstallJob job(link_, *cursor_);
    end = SendSuiteFiles(job);
    result = job.result;
  }
  // Stopped by the user: the ending runs all the same, so the page refreshes
  // and the buttons come back (taken first, or the refresh would stop too).
  const bool stopped = link_.TakeStop();
  if (end != TPhaseEnd::Stop || stopped) InstallEnding();
  return result;
}

TMidletPage::TPhaseEnd TMidletPage::SendSuiteFiles(TInstallJob& job) {
  IFormView& view = link_.View();

  long long jarSize = 0;
  if (!FileSize(job.jarPath, &jarSize) || jarSize != job.jarSize) {
    view.ShowMessage("JAR size mismatch!!");
    job.result = TResult::Of(TOutcome::Failed);
    return TPhaseEnd::Ending;
  }

  view.ShowProgressBar(true);
  view.SetStatusLabel("Sending " + job.jadPath);
  if (!link_.TransferLog.Open()) {
    view.ShowMessage("Open log Err");
    job.result = TResult::Of(TOutcome::Failed);
    return TPhaseEnd::Ending;
  }
  job.logOpen = true;
  TPhaseEnd end = SendSuiteFile(job, false);
  if (end != TPhaseEnd::Done) return end;
  TInstallJob::CloseFile(job.jad);
  link_.Clock().Sleep(500);

  view.SetStatusLabel("Sending " + job.jarPath);
  end = SendSuiteFile(job, true);
  return end == TPhaseEnd::Done ? TPhaseEnd::Ending : end;
}

// The descriptor or the archive: its request, then its packets.
TMidletPage::TPhaseEnd TMidletPage::SendSuiteFile(TInstallJob& job, bool archive) {
  IFormView& view = link_.View();
  const std::string& path = archive ? job.jarPath : job.jadPath;
  const char* openFailed = archive ? "Open JAR File ERR" : "Open JAD Err";
  long long size = 0;
  if (!FileSize(path, &size)) {
    // Gone since the scan: nothing can be announced for it.
    view.ShowMessage(openFailed);
    job.result = TResult::Of(TOutcome::Failed);
    return TPhaseEnd::Stop;
  }
  view.SetProgressRange(static_cast<int>(command::PacketCount(static_cast<uint64_t>(size))));
  const TLogBytes log = [&job](const std::string& bytes) { job.Log(bytes); };
  TResult result = SendUploadRequest(link_, archive ? TStep::ArchiveRequest : TStep::DescriptorRequest,
                                     InstallRequest(path, size), TWaitRule{StateBit(rsOk), 10, 500, false}, log);
  if (result.Ok()) {
    std::FILE*& file = archive ? job.jar : job.jad;
    file = std::fopen(path.c_str(), "rb");
    if (!file) {
      view.ShowMessage(openFailed);
      job.result = TResult::Of(TOutcome::Failed);
      return TPhaseEnd::Stop;
    }
    // Descriptor packets are polled twice a second; archive packets every 10 ms.
    const TWaitRule rule = archive ? TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), 3000, 10, false}
                                   : TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), 10, 500, false};
    TPacketPlan plan;
    plan.step = archive ? TStep::ArchivePacket : TStep::DescriptorPacket;
    plan.rule = [rule](int, int) { return rule; };
    if (archive) plan.silentTimeOut = "Send JAR data ERR/Check connection";
    result = SendFilePackets(link_, file, static_cast<uint64_t>(size), plan, log);
  }
  job.result = result;
  if (result.Ok()) return TPhaseEnd::Done;
  // A shown verdict runs the ending; a stop, a port failure or an unreadable file do not.
  return result.outcome == TOutcome::Refused || result.outcome == TOutcome::TimedOut ? TPhaseEnd::Ending
                                                                                      : TPhaseEnd::Stop;
}

void TMidletPage::InstallEnding() {
  IFormView& view = link_.View();
  view.ShowProgressBar(false);
  view.HideStatusLabel();
  view.EnableSuiteActions();
  if (link_.Reply.State() != rsOk && link_.ComPort1.Connected()) {
    link_.PauseReceiver();
    link_.PumpEvents();
    try {
      link_.ComPort1.Close();
    } catch (const EComPort&) {
    }
    link_.Clock().Sleep(1000);
  }
  cursor_ = nullptr;
  LocalAppDL_RefreshPage();
}
