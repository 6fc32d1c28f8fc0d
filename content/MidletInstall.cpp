// Installing a suite from the PC: descriptor first, then archive, each
// announced with its own request and sent in hexadecimal packets; an
// update removes the phone's older suite first.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "link/Commands.h"
#include "link/PacketSender.h"
#include "content/MidletPage.h"
#include "link/Transfers.h"
#include "link/Text.h"
#include "port/PlainFile.h"
#include "content/TempFolder.h"

std::string SuiteFileName(const std::string& path) {
#ifdef _WIN32
  size_t cut = path.find_last_of("/\\");
#else
  size_t cut = path.rfind('/');
#endif
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

namespace {

bool FileSize(const std::string& path, long long* size) {
  uint64_t s = 0;
  if (!PlainFileSize(path, &s)) return false;
  *size = static_cast<long long>(s);
  return true;
}

std::string InstallRequest(const std::string& path, long long size) {
  return command::InstallRequest(SuiteFileName(path), static_cast<uint64_t>(size));
}

// A descriptor made from an archive's manifest, written for the install
// under the suite's descriptor name in a private temporary folder (never
// in the user's folder), so it goes out exactly as a file on disk would.
class TMadeDescriptor {
 public:
  explicit TMadeDescriptor(const MIDlet_Info& suite) {
    if (suite.madeDescriptor.empty()) return;
    folder_.emplace("quendrel-jad-");
    if (folder_->Path().empty()) return;
    const std::string file = PathUtf8(Utf8Path(folder_->Path()) / Utf8Path(SuiteFileName(suite.jadPath)));
    std::FILE* f = OpenFileUtf8(file, "wb");
    if (!f) return;
    const std::string& text = suite.madeDescriptor;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (std::fclose(f) == 0 && written) path_ = file;
  }
  TMadeDescriptor(const TMadeDescriptor&) = delete;
  TMadeDescriptor& operator=(const TMadeDescriptor&) = delete;
  // The written file; empty when there is none (a .jad suite, or writing failed).
  const std::string& Path() const { return path_; }

 private:
  std::optional<TTempFolder> folder_;  // removed with the file at the end
  std::string path_;
};

// How a phase of an installation ended: go on, run the ending, or stop
// without it.
enum class TPhaseEnd { Done, Ending, Stop };

// What one installation holds open. Whatever way the installation stops,
// leaving this scope closes the descriptor, the archive and the log.
struct TInstallJob {
  TInstallJob(TLink& l, const MIDlet_Info& suite)
      : link(l),
        made(suite),
        name(suite.name),
        version(suite.version),
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
    if (logOpen) link.TransferLog().Close();
    logOpen = false;
  }
  void Log(const std::string& bytes) {
    if (logOpen) link.TransferLog().Write(bytes);
  }

  TLink& link;
  TMadeDescriptor made;  // before jadPath, which may name its file
  // Copies: the refresh at the end frees the record they came from.
  const std::string name, version, jadPath, jarPath;
  const int32_t jarSize;
  bool logOpen = false;
  TResult result;  // how the last step ended
  // Both files open and read through before anything is sent.
  std::FILE* jad = nullptr;
  std::FILE* jar = nullptr;
  uint64_t jadBytes = 0, jarBytes = 0;
  // An archive packet whose wait ran out was counted as delivered.
  bool packetUnanswered = false;
  bool refreshAfterStop = false;  // stopped during an update's removal
};

enum class TReadCheck { Read, NotOpened, NotRead };

// Opens a suite file and reads it through once, so that a file that cannot
// be read is known before the phone is touched; left at its start.
TReadCheck OpenAndReadThrough(const std::string& path, std::FILE** file, uint64_t* bytes) {
  *file = OpenSuiteFile(path);
  if (!*file) return TReadCheck::NotOpened;
  char buf[4096];
  size_t got;
  *bytes = 0;
  while ((got = std::fread(buf, 1, sizeof buf, *file)) > 0) *bytes += got;
  if (std::ferror(*file) || std::fseek(*file, 0, SEEK_SET) != 0) return TReadCheck::NotRead;
  return TReadCheck::Read;
}

TPhaseEnd CheckSuiteFiles(TInstallJob& job) {
  TLink& link = job.link;
  IFormView& view = link.View();
  job.result = TResult::Of(TOutcome::Failed);
  long long jarSize = 0;
  if (!FileSize(job.jarPath, &jarSize) || jarSize != job.jarSize) {
    view.ShowMessage("JAR size mismatch!!");
    return TPhaseEnd::Ending;
  }
  const struct {
    const std::string& path;
    std::FILE** file;
    uint64_t* bytes;
    const char* openFailed;
  } files[] = {{job.jadPath, &job.jad, &job.jadBytes, "Open JAD Err"},
               {job.jarPath, &job.jar, &job.jarBytes, "Open JAR File ERR"}};
  for (const auto& f : files) {
    const TReadCheck read = OpenAndReadThrough(f.path, f.file, f.bytes);
    if (read == TReadCheck::NotOpened) {
      view.ShowMessage(f.openFailed);
      return TPhaseEnd::Stop;
    }
    if (read == TReadCheck::NotRead) {
      view.ShowMessage("Read file Err");
      return TPhaseEnd::Stop;
    }
  }
  if (job.jarBytes != static_cast<uint64_t>(job.jarSize)) {
    // Changed since its size was read.
    view.ShowMessage("JAR size mismatch!!");
    return TPhaseEnd::Ending;
  }
  if (!link.TransferLog().Open()) {
    view.ShowMessage("Open log Err");
    return TPhaseEnd::Ending;
  }
  job.logOpen = true;
  job.result = TResult::Of(TOutcome::Ok);
  return TPhaseEnd::Done;
}

TPhaseEnd RemoveOldSuite(TInstallJob& job) {
  TLink& link = job.link;
  // Status 2 comes only from a phone suite of exactly this name.
  const TResult removed = link.Exchange(TStep::UpdateRemoval, command::Uninstall(job.name),
                                         TWaitRule{StateBit(rsOk), 50, 100, false});
  job.result = removed;
  if (removed.Ok()) return TPhaseEnd::Done;
  if (removed.outcome == TOutcome::Aborted) {
    job.refreshAfterStop = link.StopToken().Take();
  } else if (!removed.Quiet()) {
    link.View().HideStatusLabel();
  }
  return TPhaseEnd::Stop;
}

// The descriptor or the archive, opened and read through already: its
// request, then its packets.
TPhaseEnd SendSuiteFile(TInstallJob& job, bool archive) {
  TLink& link = job.link;
  const std::string& path = archive ? job.jarPath : job.jadPath;
  const uint64_t size = archive ? job.jarBytes : job.jadBytes;
  link.View().SetProgressRange(static_cast<int>(command::PacketCount(size)));
  const TLogBytes log = [&job](const std::string& bytes) { job.Log(bytes); };
  TResult result = SendUploadRequest(link, archive ? TStep::ArchiveRequest : TStep::DescriptorRequest,
                                     InstallRequest(path, static_cast<long long>(size)),
                                     TWaitRule{StateBit(rsOk), 10, 500, false}, log);
  if (result.Ok()) {
    // Descriptor packets are polled twice a second; archive packets every 10 ms.
    const TWaitRule rule = archive ? TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), 3000, 10, false}
                                   : TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), 10, 500, false};
    TPacketPlan plan;
    plan.step = archive ? TStep::ArchivePacket : TStep::DescriptorPacket;
    plan.rule = [rule](int, int) { return rule; };
    plan.onUnanswered = [&job] { job.packetUnanswered = true; };
    if (archive) plan.silentTimeOut = "Send JAR data ERR/Check connection";
    result = SendFilePackets(link, archive ? job.jar : job.jad, size, plan, log);
  }
  job.result = result;
  if (result.Ok()) return TPhaseEnd::Done;
  // A shown verdict runs the ending; a stop, a port failure or an unreadable file do not.
  return result.outcome == TOutcome::Refused || result.outcome == TOutcome::TimedOut ? TPhaseEnd::Ending
                                                                                      : TPhaseEnd::Stop;
}

TPhaseEnd SendSuiteFiles(TInstallJob& job) {
  TLink& link = job.link;
  IFormView& view = link.View();
  view.ShowProgressBar(true);
  view.SetStatusLabel("Sending " + job.jadPath);
  TPhaseEnd end = SendSuiteFile(job, false);
  if (end != TPhaseEnd::Done) return end;
  TInstallJob::CloseFile(job.jad);
  link.Clock().Sleep(500);

  view.SetStatusLabel("Sending " + job.jarPath);
  end = SendSuiteFile(job, true);
  return end == TPhaseEnd::Done ? TPhaseEnd::Ending : end;
}

}  // namespace

TInstallEnd InstallSuiteFiles(TLink& link, const MIDlet_Info& suite, bool replaceOld) {
  TInstallEnd out;
  TPhaseEnd end;
  {
    TInstallJob job(link, suite);
    // Every check of the PC side comes before the old suite is removed, so
    // a refused update leaves the phone's suite in place.
    end = CheckSuiteFiles(job);
    if (end == TPhaseEnd::Done && replaceOld) {
      end = RemoveOldSuite(job);
      out.oldRemoved = end == TPhaseEnd::Done;
    }
    if (end == TPhaseEnd::Done) end = SendSuiteFiles(job);
    out.result = job.result;
    out.packetUnanswered = job.packetUnanswered;
    // Stopped during the removal: the lists show what the phone holds now.
    if (job.refreshAfterStop) {
      out.refresh = true;
      return out;
    }
  }
  // Stopped by the user: the ending runs all the same, so the page refreshes
  // and the buttons come back (taken first, or the refresh would stop too).
  const bool stopped = link.StopToken().Take();
  if (end == TPhaseEnd::Stop && !stopped) return out;
  IFormView& view = link.View();
  view.ShowProgressBar(false);
  view.HideStatusLabel();
  view.EnableSuiteActions();
  link.CloseUnlessLastExchangeOk(1000);
  out.refresh = true;
  return out;
}

std::string OldSuiteRemovedMessage(const std::string& name, const std::string& version) {
  return "The update failed after the old version was removed from the phone: " + name + " " + version;
}
