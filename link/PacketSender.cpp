#include "link/PacketSender.h"

#include "link/Commands.h"

namespace {

using command::kPacketBytes;

// The ERROR and time-out ends of a step: the phone's own coded box first,
// then the step's text, then what the phone sent (its reason, or the raw
// reply of a time-out).
void ShowWaitFailure(TLink& link, TWaitEnd end, const TUploadTexts& texts, const std::string& detail) {
  if (end == TWaitEnd::Error) {
    link.LetReceiverSpeak();
    link.View().ShowMessage(texts.refused);
  } else {
    link.View().ShowMessage(texts.timedOut);
  }
  link.View().ShowMessage(detail);
}

// The second and last try of a rejected packet. False when it ended
// without a verdict (aborted, or a failed write that was reported).
bool ResendPacket(TLink& link, const std::string& line) {
  link.BeginExchange(rsWaiting);
  if (!link.SendLine(line)) {
    link.FailWrite("COM port exception while send");
    return false;
  }
  switch (link.WaitReply(TWaitRule{StateBit(rsOk) | StateBit(rsPacketRejected), 50, 10, true})) {
    case TWaitEnd::Aborted:
      return false;
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
  return true;
}

}  // namespace

TUploadEnd SendUploadRequest(TLink& link, const std::string& line, const TWaitRule& rule,
                             const TUploadTexts& texts, const TLogBytes& log) {
  link.BeginExchange(rsWaiting);
  if (!link.SendLine(line)) {
    link.FailWrite(texts.writeFailed);
    return TUploadEnd::Quiet;
  }
  log(line);
  const TWaitEnd end = link.WaitReply(rule);
  if (end == TWaitEnd::Aborted) return TUploadEnd::Quiet;
  const std::string reply = link.Reply.Text();
  if (end != TWaitEnd::Awaited)
    ShowWaitFailure(link, end, texts, end == TWaitEnd::Error ? RefusalReason(reply) : reply);
  log(reply);
  return end == TWaitEnd::Awaited ? TUploadEnd::Sent : TUploadEnd::Refused;
}

TUploadEnd SendFilePackets(TLink& link, std::FILE* file, uint64_t size, const TPacketPlan& plan,
                           const TLogBytes& log) {
  const uint64_t count = (size + kPacketBytes - 1) / kPacketBytes;
  // Packet numbers past the int range cannot be spelled; such a file
  // cannot be announced to the phone either.
  const int countNumber = static_cast<int>(count > 0x7FFFFFFF ? 0x7FFFFFFF : count);
  unsigned char data[kPacketBytes];
  for (uint64_t packet = 1; packet <= count; ++packet) {
    const int n = static_cast<int>(packet > 0x7FFFFFFF ? 0x7FFFFFFF : packet);
    const size_t k = packet < count ? kPacketBytes : static_cast<size_t>(size - kPacketBytes * (count - 1));
    if (std::fread(data, 1, k, file) != k) {
      link.View().ShowMessage("Read file Err");
      return TUploadEnd::ReadFailed;
    }
    const std::string line = command::PacketLine(n, packet == count, data, k);
    link.BeginExchange(rsWaiting);
    if (!link.SendLine(line)) {
      link.FailWrite(plan.texts.writeFailed);
      return TUploadEnd::Quiet;
    }
    log(line);

    const TWaitRule rule = plan.rule(n, countNumber);
    TWaitEnd end = link.WaitReply(rule);
    if (end == TWaitEnd::Awaited && link.Reply.State() == rsPacketRejected) {
      // Aborted or failed on the port while resending: stop quietly.
      if (!ResendPacket(link, line)) return TUploadEnd::Quiet;
      if (link.Reply.State() != rsOk) {
        link.View().ShowMessage("Resend Error!!");
        return TUploadEnd::Refused;
      }
    }
    if (end == TWaitEnd::Aborted) return TUploadEnd::Quiet;
    const std::string reply = link.Reply.Text();
    if (end == TWaitEnd::Error) {
      link.LetReceiverSpeak();
      link.View().ShowMessage(plan.texts.refused);
      log(reply);
      return TUploadEnd::Refused;
    }
    if (end == TWaitEnd::Timeout) {
      ShowWaitFailure(link, end, plan.texts, reply);
      log(reply);
      if (!plan.silentTimeOut) return TUploadEnd::Refused;
      if (reply.empty()) {
        link.View().ShowMessage(plan.silentTimeOut);
        link.View().ShowMessage(reply);
        return TUploadEnd::Refused;
      }
      // Something came back: the packet counts as delivered.
    } else {
      log(reply);
    }
    link.View().StepProgress();
    link.Clock().Sleep(10);
  }
  return TUploadEnd::Sent;
}
