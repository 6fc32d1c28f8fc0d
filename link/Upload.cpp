// File upload: request line, numbered hexadecimal packets, one resend.
#include <cstdio>
#include <filesystem>
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

TResult TLink::UploadFile(const std::string& fileName, int folder) {
  std::string name = fileName;
  const std::string localPath = JoinLocalPath(PcFolder, fileName);
  View().SetRenameText(name);

  for (pic_info* e = PhoneFileList.First(); e;) {
    if (!SameNoCase(e->Name, name)) {
      e = e->next.get();
      continue;
    }
    TOverwriteAnswer a = View().AskOverwrite("Overwrite " + View().RenameText() + "?");
    if (a == TOverwriteAnswer::Cancel) {
      FinishTransfer();
      return TResult::Of(TOutcome::Declined);
    }
    if (a == TOverwriteAnswer::Overwrite) break;
    name = View().RenameText();
    e = PhoneFileList.First();
  }
  if (!IsSafeCommandName(name)) {
    View().ShowMessage("Invalid file name");
    FinishTransfer();
    return TResult::Of(TOutcome::Failed);
  }

  std::error_code ec;
  uintmax_t fsSize = std::filesystem::file_size(localPath, ec);
  // A missing file announces size 0 and then fails to open below.
  const uint64_t size = ec ? 0 : static_cast<uint64_t>(fsSize);

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
    std::FILE* file = std::fopen(localPath.c_str(), "rb");
    if (!file) {
      View().ShowMessage("Open File Err");
      TransferLog.Close();
      // The phone accepted the request, but nothing was stored: drop the
      // verdict with its text, or the receiver would read "OK" into it again.
      BeginExchange(rsWaiting);
      return TResult::Of(TOutcome::Failed);
    }
    TPacketPlan plan;
    plan.step = TStep::UploadPacket;
    plan.rule = [](int n, int count) {
      return TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), UploadTickLimit(n, count), 10, true};
    };
    result = SendFilePackets(*this, file, size, plan, log);
    std::fclose(file);
  }
  TransferLog.Close();
  if (result.Quiet()) return result;
  if (result.outcome == TOutcome::Failed) {
    BeginExchange(rsWaiting);  // nothing stored: no verdict
    return result;
  }
  if (result.Ok()) Clock().Sleep(500);
  FinishTransfer();
  return result;
}
