// File upload: request line, numbered hexadecimal packets, one resend.
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/Text.h"
#include "link/Transfers.h"

namespace {

using command::kPacketBytes;

// How a resend ended, so the upload can tell an abort (no more messages)
// from a verdict.
enum class TResend { Verdict, Aborted, WriteFailed };

TResend Resend(TLink& link, const std::string& line) {
  link.BeginExchange(rsWaiting);
  if (!link.SendLine(line)) {
    link.FailWrite("COM port exception while send");
    return TResend::WriteFailed;
  }
  switch (link.WaitReply(TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), 50, 10, true})) {
    case TWaitEnd::Aborted:
      return TResend::Aborted;
    case TWaitEnd::Awaited:
      break;
    case TWaitEnd::Error:
      link.View().ShowMessage("Send File data ERR");
      break;
    case TWaitEnd::Timeout:
      link.View().ShowMessage("Send File data timeout");
      link.View().ShowMessage(link.Reply.Text());
      break;
  }
  return TResend::Verdict;
}

void CloseFile(std::FILE*& f) {
  if (f) {
    std::fclose(f);
    f = nullptr;
  }
}

}  // namespace

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

bool TLink::ResendPacket(const std::string& line) { return Resend(*this, line) == TResend::Verdict; }

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
  const uint64_t count = (size + kPacketBytes - 1) / kPacketBytes;
  View().SetProgressRange(static_cast<int>(count));

  BeginExchange(rsWaiting);
  const std::string request =
      command::UploadRequest(name, size, folder);
  if (!SendLine(request)) {
    CloseTransferLog();
    FailWrite("COM port exception while send FUPL");
    return 1;
  }
  LogBytes(request);

  switch (WaitReply(TWaitRule{StateBit(rsOk), 500, 10, false})) {
    case TWaitEnd::Aborted:
      CloseTransferLog();
      return 1;
    case TWaitEnd::Awaited:
      LogBytes(Reply.Text());
      break;
    case TWaitEnd::Error: {
      std::string text = Reply.Text();
      View().ShowMessage("Send_UPLOAD_REQ_ERR");
      View().ShowMessage(RefusalReason(text));
      LogBytes(text);
      CloseTransferLog();
      return FinishTransfer();
    }
    case TWaitEnd::Timeout: {
      std::string text = Reply.Text();
      View().ShowMessage("Send_UPLOAD_REQ_timeout");
      View().ShowMessage(text);
      LogBytes(text);
      CloseTransferLog();
      return FinishTransfer();
    }
  }

  std::FILE* file = std::fopen(localPath.c_str(), "rb");
  if (!file) {
    View().ShowMessage("Open File Err");
    CloseTransferLog();
    // The phone accepted the request, but nothing was stored: drop the
    // verdict with its text, or the receiver would read "OK" into it again.
    BeginExchange(rsWaiting);
    return 0;
  }

  unsigned char data[kPacketBytes];
  for (uint64_t packet = 1; packet <= count; ++packet) {
    const int n = static_cast<int>(packet > 0x7FFFFFFF ? 0x7FFFFFFF : packet);
    const size_t k = packet < count ? kPacketBytes : static_cast<size_t>(size - kPacketBytes * (count - 1));
    if (std::fread(data, 1, k, file) != k) {
      View().ShowMessage("Read file Err");
      CloseFile(file);
      CloseTransferLog();
      BeginExchange(rsWaiting);
      return 0;
    }
    const std::string line = command::PacketLine(n, packet == count, data, k);

    BeginExchange(rsWaiting);
    if (!SendLine(line)) {
      CloseFile(file);
      CloseTransferLog();
      FailWrite("COM port exception while send");
      return 1;
    }
    LogBytes(line);

    const int limit = UploadTickLimit(n, static_cast<int>(count > 0x7FFFFFFF ? 0x7FFFFFFF : count));
    TWaitEnd end = WaitReply(TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), limit, 10, true});
    if (end == TWaitEnd::Awaited && Reply.State() == rsPacketRejected) {
      if (!ResendPacket(line)) {
        CloseFile(file);
        CloseTransferLog();
        return 1;
      }
      if (Reply.State() != rsOk) {
        View().ShowMessage("Resend Error!!");
        CloseFile(file);
        return FinishTransfer();
      }
    }
    switch (end) {
      case TWaitEnd::Aborted:
        CloseFile(file);
        CloseTransferLog();
        return 1;
      case TWaitEnd::Awaited:
        LogBytes(Reply.Text());
        View().StepProgress();
        Clock().Sleep(10);
        break;
      case TWaitEnd::Error: {
        View().ShowMessage("Send File data ERR");
        CloseFile(file);
        LogBytes(Reply.Text());
        CloseTransferLog();
        return FinishTransfer();
      }
      case TWaitEnd::Timeout: {
        std::string text = Reply.Text();
        View().ShowMessage("Send File data timeout");
        View().ShowMessage(text);
        CloseFile(file);
        LogBytes(text);
        CloseTransferLog();
        return FinishTransfer();
      }
    }
  }

  CloseFile(file);
  Clock().Sleep(500);
  CloseTransferLog();
  return FinishTransfer();
}
