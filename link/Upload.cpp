// File upload: request line, numbered hexadecimal packets, one resend.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "link/LogicLog.h"
#include "link/Commands.h"
#include "link/Link.h"
#include "link/PhoneFiles.h"
#include "link/PacketSender.h"
#include "link/Text.h"
#include "link/Settings.h"
#include "link/Transfers.h"
#include "port/PlainFile.h"

int UploadTickLimit(int n, int count) {
  if (n % 80 == 0 || (n == count && n > 80)) return (n / 80) * 500;
  return 1000;
}

namespace {

using TFile = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The local file opened for reading with its size; null when it cannot be
// read as a file (missing, unreadable, a folder).
TFile OpenLocalFile(const std::string& path, uint64_t* size) {
  TFile file(OpenRegularFile(path), &std::fclose);
  if (!file) return file;
  // Sized while open: a file removed meanwhile has no size and is refused.
  if (!PlainFileSize(path, size)) return TFile(nullptr, &std::fclose);
  return file;
}

}  // namespace

TResult UploadFile(TLink& link, TPageState& pages, const std::string& pcFolder, const std::string& fileName, int folder) {
  std::string name = fileName;
  const std::string localPath = JoinLocalPath(pcFolder, fileName);
  // The file is opened and sized before anything is asked or sent: a file
  // that is gone must not be announced, or the phone's copy becomes empty.
  uint64_t size = 0;
  TFile file = OpenLocalFile(localPath, &size);
  if (!file) {
    link.View().ShowMessage("Open File Err");
    link.Reply().Reset(rsWaiting);  // nothing stored: no verdict
    return TResult::Of(TOutcome::Failed);
  }
  auto ask = [&link, &name]() { return LogicClash(name, link.View().AskOverwrite("Overwrite " + name + "?", name)); };
  if (!pages.PhoneListKnown) {
    // No listing to check against: asked once, as for a clash; a new name
    // cannot be checked either.
    const TOverwriteChoice c = ask();
    if (c.answer == TOverwriteAnswer::Cancel || c.answer == TOverwriteAnswer::Unanswered) {
      FinishTransfer(link);
      return TResult::Of(c.answer == TOverwriteAnswer::Cancel ? TOutcome::Declined : TOutcome::Unanswered);
    }
    if (c.answer == TOverwriteAnswer::Rename) name = c.name;
  } else {
    // A new name is checked against the whole list again.
    while (FindPhoneFile(pages.PhoneFileList, name)) {
      const TOverwriteChoice c = ask();
      if (c.answer == TOverwriteAnswer::Cancel || c.answer == TOverwriteAnswer::Unanswered) {
        FinishTransfer(link);
        return TResult::Of(c.answer == TOverwriteAnswer::Cancel ? TOutcome::Declined : TOutcome::Unanswered);
      }
      if (c.answer == TOverwriteAnswer::Overwrite) break;
      name = c.name;
    }
  }
  if (!IsSafeCommandName(name)) {
    link.View().ShowMessage(InvalidNameMessage(name));
    FinishTransfer(link);
    return TResult::Of(TOutcome::Failed);
  }

  link.View().ShowProgressBar(true);
  link.View().SetStatusLabel("Send " + name);

  if (!link.TransferLog().Open()) {
    link.View().ShowMessage("Open log Err");
    FinishTransfer(link);
    return TResult::Of(TOutcome::Failed);
  }
  link.View().SetProgressRange(static_cast<int>(command::PacketCount(size)));

  const TLogBytes log = [&link](const std::string& bytes) { link.TransferLog().Write(bytes); };
  TResult result = SendUploadRequest(link, TStep::UploadRequest, command::UploadRequest(name, size, folder),
                                     TWaitRule{StateBit(rsOk), 500, 10, false}, log);
  if (result.Ok()) {
    TPacketPlan plan;
    plan.step = TStep::UploadPacket;
    plan.rule = [](int n, int count) {
      return TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), UploadTickLimit(n, count), 10, true};
    };
    result = SendFilePackets(link, file.get(), size, plan, log);
  }
  file.reset();
  link.TransferLog().Close();
  if (result.Quiet()) return result;
  if (result.outcome == TOutcome::Failed) {
    link.Reply().Reset(rsWaiting);  // nothing stored: no verdict
    return result;
  }
  if (result.Ok()) {
    link.Clock().Sleep(500);
    NotePhoneFile(pages, name, size);
    result.sentName = name;
    result.sentSize = size;
  }
  FinishTransfer(link);
  return result;
}

void NotePhoneFile(TPageState& pages, const std::string& name, uint64_t size) {
  if (!pages.PhoneListKnown) return;
  pic_info* entry = FindPhoneFile(pages.PhoneFileList, name);
  if (!entry) {
    entry = pages.PhoneFileList.Append();
    entry->Name = name;
  }
  entry->Size = size > static_cast<uint64_t>(INT32_MAX) ? 0 : static_cast<int32_t>(size);
  entry->SizeText = std::to_string(size);
}
