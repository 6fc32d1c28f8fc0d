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

int TLink::FinishTransfer() {
  View().HideStatusLabel();
  CloseTransferLog();
  if (Reply.State() != rsOk && ComPort1.Connected()) {
    if (!ReceiverPaused()) PauseReceiver();
    try {
      ComPort1.Close();
    } catch (const EComPort&) {
      // Closing a broken device: nothing more to undo.
    }
    Clock().Sleep(2000);
  }
  return 1;
}

int TLink::UploadFile(const std::string& fileName, int folder) {
  std::string name = fileName;
  const std::string localPath = JoinLocalPath(PcFolder, fileName);
  View().SetRenameText(name);

  for (pic_info* e = PhoneFileList.First(); e;) {
    if (!SameNoCase(e->Name, name)) {
      e = e->next.get();
      continue;
    }
    TOverwriteAnswer a = View().AskOverwrite("Overwrite " + View().RenameText() + "?");
    if (a == TOverwriteAnswer::Cancel) return FinishTransfer();
    if (a == TOverwriteAnswer::Overwrite) break;
    name = View().RenameText();
    e = PhoneFileList.First();
  }
  if (!IsSafeCommandName(name)) {
    View().ShowMessage("Invalid file name");
    return FinishTransfer();
  }

  std::error_code ec;
  uintmax_t fsSize = std::filesystem::file_size(localPath, ec);
  // A missing file announces size 0 and then fails to open below.
  const uint64_t size = ec ? 0 : static_cast<uint64_t>(fsSize);

  View().ShowProgressBar(true);
  View().SetStatusLabel("Send " + name);

  if (!OpenTransferLog()) {
    View().ShowMessage("Open log Err");
    return FinishTransfer();
  }
  const uint64_t count = (size + command::kPacketBytes - 1) / command::kPacketBytes;
  View().SetProgressRange(static_cast<int>(count));

  const TLogBytes log = [this](const std::string& bytes) { LogBytes(bytes); };
  TUploadEnd end = SendUploadRequest(
      *this, command::UploadRequest(name, size, folder), TWaitRule{StateBit(rsOk), 500, 10, false},
      TUploadTexts{"COM port exception while send FUPL", "Send_UPLOAD_REQ_ERR", "Send_UPLOAD_REQ_timeout"}, log);
  if (end == TUploadEnd::Sent) {
    std::FILE* file = std::fopen(localPath.c_str(), "rb");
    if (!file) {
      View().ShowMessage("Open File Err");
      CloseTransferLog();
      // The phone accepted the request, but nothing was stored: drop the
      // verdict with its text, or the receiver would read "OK" into it again.
      BeginExchange(rsWaiting);
      return 0;
    }
    TPacketPlan plan;
    plan.texts = TUploadTexts{"COM port exception while send", "Send File data ERR", "Send File data timeout"};
    plan.rule = [](int n, int count) {
      return TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), UploadTickLimit(n, count), 10, true};
    };
    end = SendFilePackets(*this, file, size, plan, log);
    std::fclose(file);
  }
  switch (end) {
    case TUploadEnd::Sent:
      Clock().Sleep(500);
      break;
    case TUploadEnd::Refused:
      break;
    case TUploadEnd::ReadFailed:
      CloseTransferLog();
      BeginExchange(rsWaiting);
      return 0;
    case TUploadEnd::Quiet:
      CloseTransferLog();
      return 1;
  }
  CloseTransferLog();
  return FinishTransfer();
}
