#include "link/Exchange.h"

#include <chrono>

#include "link/Link.h"

const TStepTexts& StepTexts(TStep step) {
  static const TStepTexts kAt{"COM port exception while send AT", "Connection failed", "Connection Timeout", true,
                              false};
  static const TStepTexts kFolder{"COM port exception while send change folder cmd",
                                  "Change Folder on Mobile failed", "Change Folder Timeout", true, false};
  static const TStepTexts kList{"COM port exception while query dir", "Get_List_Error", "Get_List_Timeout", true,
                                false};
  static const TStepTexts kRemove{"COM port exception while send FRMV", "File_Remove_ERR", "File_Remove_timeout",
                                  false, false};
  static const TStepTexts kUploadRequest{"COM port exception while send FUPL", "Send_UPLOAD_REQ_ERR",
                                         "Send_UPLOAD_REQ_timeout", true, true};
  static const TStepTexts kUploadPacket{"COM port exception while send", "Send File data ERR",
                                        "Send File data timeout", true, false};
  static const TStepTexts kDownload{"COM port exception while send FDWN cmd", "Download_Error", "Download_Timeout",
                                    true, false};
  static const TStepTexts kJavaFolder{"COM port exception while send change folder cmd", "Change to JAVA DIR failed",
                                      "Change Folder Timeout", true, false};
  static const TStepTexts kSuites{"COM port exception while Get INFO", "Get_List_Error", "Get_List_Timeout", true,
                                  false};
  static const TStepTexts kUninstall{"COM port exception while send remove cmd", "Remove_Error", "Remove_Timeout",
                                     true, false};
  static const TStepTexts kUpdate{"COM port exception while send remove cmd", "Update Error", "Update Timeout", true,
                                  false};
  static const TStepTexts kJadRequest{"COM port exception while send install cmd", "Send_JAD_REQ_ERR",
                                      "Send_JAD_REQ_timeout", true, true};
  static const TStepTexts kJadPacket{"COM port exception while send install cmd", "Send JAD data ERR",
                                     "Send JAD data timeout", true, false};
  static const TStepTexts kJarRequest{"COM port exception while send FUPL cmd", "Send_JAR_REQ_ERR",
                                      "Send_JAR_REQ_timeout", true, true};
  static const TStepTexts kJarPacket{"COM port exception while send FUPL", "Send JAR data ERR",
                                     "Send JAR data timeout", true, false};
  switch (step) {
    case TStep::CheckLink: return kAt;
    case TStep::SelectFolder: return kFolder;
    case TStep::ListFolder: return kList;
    case TStep::RemoveFile: return kRemove;
    case TStep::UploadRequest: return kUploadRequest;
    case TStep::UploadPacket:
    case TStep::PacketResend: return kUploadPacket;
    case TStep::DownloadRequest:
    case TStep::DownloadPacket: return kDownload;
    case TStep::SelectJavaFolder: return kJavaFolder;
    case TStep::ListSuites: return kSuites;
    case TStep::UninstallSuite: return kUninstall;
    case TStep::UpdateRemoval: return kUpdate;
    case TStep::DescriptorRequest: return kJadRequest;
    case TStep::DescriptorPacket: return kJadPacket;
    case TStep::ArchiveRequest: return kJarRequest;
    case TStep::ArchivePacket: return kJarPacket;
  }
  return kList;
}

namespace {

// A box of nothing but line ends and blanks tells the user nothing.
bool HasText(const std::string& text) { return text.find_first_not_of(" \t\r\n") != std::string::npos; }

}  // namespace

void ShowStepFailure(TLink& link, TStep step, const TResult& result) {
  const TStepTexts& texts = StepTexts(step);
  IFormView& view = link.View();
  if (result.outcome == TOutcome::Refused) {
    // A coded refusal's own box comes from the receiver, counted in the
    // same step that set the verdict: serving the inbox until the count is
    // down shows it before this message. The limit only guards against a
    // box that can never be served from here.
    TReplyChannel& reply = link.Reply();
    link.Inbox().ServeUntil([&reply] { return !reply.ReceiverBoxPending(); }, std::chrono::seconds(2));
    view.ShowMessage(texts.refused);
    const std::string reason = texts.reasonAfterRefusal ? RefusalReason(result.reply) : std::string();
    if (HasText(reason)) view.ShowMessage(reason);
  } else if (result.outcome == TOutcome::TimedOut) {
    view.ShowMessage(texts.timedOut);
    // The reply as received, when one came.
    if (texts.rawAfterTimeOut && HasText(result.reply)) view.ShowMessage(ShownReply(result.reply));
  }
}

std::string RefusalReason(const std::string& reply) {
  size_t start = reply.find("*FUPL:");
  start = start == std::string::npos ? 0 : start + 6;
  size_t end = reply.find("ERROR", start);
  if (end == std::string::npos) end = reply.size();
  return reply.substr(start, end - start);
}

std::string ShownReply(const std::string& reply) {
  constexpr size_t kShown = 256;
  if (reply.size() <= kShown) return reply;
  return reply.substr(0, kShown) + "... (" + std::to_string(reply.size()) + " characters)";
}

TResult TLink::Exchange(TStep step, const std::string& line, const TWaitRule& rule, const TExchangeOptions& options) {
  // The channel knows the line, so its echo is recognised as sent.
  std::string echo = line;
  while (!echo.empty() && (echo.back() == '\n' || echo.back() == '\r')) echo.pop_back();
  reply_.Reset(options.startState, std::move(echo));
  bool written = true;
  if (options.purgeFirst) {
    try {
      port_.ClearBuffer(true, true);
    } catch (const EComPort&) {
      written = false;
    }
  }
  if (written) written = SendLine(line);
  if (!written) {
    FailWrite(StepTexts(step).writeFailed);
    return TResult::Of(TOutcome::PortFailed);
  }
  if (options.logLine) options.logLine(line);
  const TWaitEnd end = WaitReply(rule);
  if (end == TWaitEnd::Aborted) return TResult::Of(TOutcome::Aborted);
  // Half a reply is never used: the exchange fails like a time-out.
  if (end == TWaitEnd::TooLong) view_.ShowMessage(kReplyTooLong);
  TResult result = TResult::Of(end == TWaitEnd::Awaited ? TOutcome::Ok
                               : end == TWaitEnd::Error ? TOutcome::Refused
                                                        : TOutcome::TimedOut,
                               reply_.Text());
  // An answered link check is what shows the link up.
  if (step == TStep::CheckLink && result.Ok()) TellState(true);
  if (!result.Ok() && options.showFailure) ShowStepFailure(*this, step, result);
  return result;
}
