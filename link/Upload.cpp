// File upload: request line, numbered hexadecimal packets, one resend.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/PacketSender.h"
#include "link/Text.h"
#include "link/Transfers.h"

std::string RefusalReason(const std::string& reply) {
  size_t start = reply.find("*FUPL:");
  start = start == std::string::npos ? 0 : start + 6;
  size_t end = reply.find("ERROR", start);
  if (end == std::string::npos) end = reply.size();
  return reply.substr(start, end - start);
}

std::string JoinLocalPath(const std::string& folder, const std::string& name) {
#ifdef _WIN32
  const char sep = '\\';
#else
  const char sep = '/';
#endif
  return folder + sep + name;
}

int UploadTickLimit(int n, int count) {
  if (n % 80 == 0 || (n == count && n > 80)) return (n / 80) * 500;
  return 1000;
}

void TLink::FinishTransfer() {
  View().HideStatusLabel();
  TransferLog.Close();
  // A trace that could not be written is told; the transfer stands.
  if (TransferLog.TakeFailed()) View().ShowMessage("Write log Err");
  if (Reply.State() != rsOk && ComPort1.Connected()) {
    if (!ReceiverPaused()) PauseReceiver();
    try {
      ComPort1.Close();
    } catch (const EComPort&) {
      // Closing a broken device: nothing more to undo.
    }
    Clock().Sleep(2000);
  }
}

namespace {

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The local file opened for reading with its size; null when it cannot be
// read as a file (missing, unreadable, a folder).
TFile OpenLocalFile(const std::string& path, uint64_t* size) {
  TFile file(OpenFileUtf8(path, "rb"), &std::fclose);
  if (!file) return file;
  // Sized while open: a file removed meanwhile has no size and is refused.
  std::error_code ec;
  const bool regular = std::filesystem::is_regular_file(Utf8Path(path), ec);
  const uintmax_t n = regular ? std::filesystem::file_size(Utf8Path(path), ec) : 0;
  if (!regular || ec) return TFile(nullptr, &std::fclose);
  *size = static_cast<uint64_t>(n);
  return file;
}

}  // namespace

TResult TLink::UploadFile(const std::string& fileName, int folder) {
  std::string name = fileName;
  const std::string localPath = JoinLocalPath(PcFolder, fileName);
  // The file is opened and sized before anything is asked or sent: a file
  // that is gone must not be announced, or the phone's copy becomes empty.
  uint64_t size = 0;
  TFile file = OpenLocalFile(localPath, &size);
  if (!file) {
    View().ShowMessage("Open File Err");
    BeginExchange(rsWaiting);  // nothing stored: no verdict
    return TResult::Of(TOutcome::Failed);
  }
  View().SetRenameText(name);

  auto ask = [this]() { return View().AskOverwrite("Overwrite " + View().RenameText() + "?"); };
  if (!PhoneListKnown) {
    // No listing to check against: asked once, as for a clash; a new name
    // cannot be checked either.
    TOverwriteAnswer a = ask();
    if (a == TOverwriteAnswer::Cancel) {
      FinishTransfer();
      return TResult::Of(TOutcome::Declined);
    }
    if (a == TOverwriteAnswer::Rename) name = View().RenameText();
  } else {
    for (pic_info* e = PhoneFileList.First(); e;) {
      if (!SameNoCase(e->Name, name)) {
        e = e->next.get();
        continue;
      }
      TOverwriteAnswer a = ask();
      if (a == TOverwriteAnswer::Cancel) {
        FinishTransfer();
        return TResult::Of(TOutcome::Declined);
      }
      if (a == TOverwriteAnswer::Overwrite) break;
      name = View().RenameText();
      e = PhoneFileList.First();
    }
  }
  if (!IsSafeCommandName(name)) {
    View().ShowMessage("Invalid file name");
    FinishTransfer();
    return TResult::Of(TOutcome::Failed);
  }

  View().ShowProgressBar(true);
  View().SetStatusLabel("Send " + name);

  if (!TransferLog.Open()) {
    View().ShowMessage("Open log Err");
    FinishTransfer();
    return TResult::Of(TOutcome::Failed);
  }
  View().SetProgressRange(static_cast<int>(command::PacketCount(size)));

  const TLogBytes log = [this](const std::string& bytes) { TransferLog.Write(bytes); };
  TResult result = SendUploadRequest(*this, TStep::UploadRequest, command::UploadRequest(name, size, folder),
                                     TWaitRule{StateBit(rsOk), 500, 10, false}, log);
  if (result.Ok()) {
    TPacketPlan plan;
    plan.step = TStep::UploadPacket;
    plan.rule = [](int n, int count) {
      return TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), UploadTickLimit(n, count), 10, true};
    };
    result = SendFilePackets(*this, file.get(), size, plan, log);
  }
  file.reset();
  TransferLog.Close();
  if (result.Quiet()) return result;
  if (result.outcome == TOutcome::Failed) {
    BeginExchange(rsWaiting);  // nothing stored: no verdict
    return result;
  }
  if (result.Ok()) {
    Clock().Sleep(500);
    NotePhoneFile(name, size);
  }
  FinishTransfer();
  return result;
}

void TLink::NotePhoneFile(const std::string& name, uint64_t size) {
  if (!PhoneListKnown) return;
  pic_info* entry = PhoneFileList.First();
  while (entry && !SameNoCase(entry->Name, name)) entry = entry->next.get();
  if (!entry) {
    entry = PhoneFileList.Append();
    entry->Name = name;
  }
  entry->Size = size > static_cast<uint64_t>(INT32_MAX) ? 0 : static_cast<int32_t>(size);
  entry->SizeText = std::to_string(size);
}
