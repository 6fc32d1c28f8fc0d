#include "link/PacketSender.h"

#include "link/Commands.h"

namespace {

using command::kPacketBytes;

const unsigned kPacketAnswers = StateBit(rsOk) | StateBit(rsPacketRejected);

// The second and last try of a rejected packet.
TResult ResendPacket(TLink& link, const std::string& line) {
  return link.Exchange(TStep::PacketResend, line, TWaitRule{kPacketAnswers, 50, 10, true});
}

// Packet numbers past the int range cannot be spelled; such a file cannot
// be announced to the phone either.
int PacketNumber(uint64_t packet) { return static_cast<int>(packet > 0x7FFFFFFF ? 0x7FFFFFFF : packet); }

}  // namespace

TResult SendUploadRequest(TLink& link, TStep step, const std::string& line, const TWaitRule& rule,
                          const TLogBytes& log) {
  TExchangeOptions options;
  options.logLine = log;
  TResult result = link.Exchange(step, line, rule, options);
  if (!result.Quiet()) log(result.reply);
  return result;
}

TResult SendFilePackets(TLink& link, std::FILE* file, uint64_t size, const TPacketPlan& plan, const TLogBytes& log) {
  const uint64_t count = command::PacketCount(size);
  const int countNumber = PacketNumber(count);
  unsigned char data[kPacketBytes];
  for (uint64_t packet = 1; packet <= count; ++packet) {
    const int n = PacketNumber(packet);
    const size_t k = packet < count ? kPacketBytes : static_cast<size_t>(size - kPacketBytes * (count - 1));
    if (std::fread(data, 1, k, file) != k) {
      link.View().ShowMessage("Read file Err");
      return TResult::Of(TOutcome::Failed);
    }
    const std::string line = command::PacketLine(n, packet == count, data, k);
    // The answer is logged below: after a resend, the resend's answer.
    TExchangeOptions options;
    options.showFailure = false;
    options.logLine = log;
    TResult result = link.Exchange(plan.step, line, plan.rule(n, countNumber), options);
    if (result.Ok() && link.Reply().State() == rsPacketRejected) {
      TResult again = ResendPacket(link, line);
      if (again.Quiet()) return again;
      if (link.Reply().State() != rsOk) {
        link.View().ShowMessage("Resend Error!!");
        return TResult::Of(TOutcome::Refused, again.reply);
      }
      result.reply = again.reply;
    }
    if (result.Quiet()) return result;
    if (!result.Ok()) {
      ShowStepFailure(link, plan.step, result);
      log(result.reply);
      if (result.outcome == TOutcome::Refused || !plan.silentTimeOut) return result;
      if (result.reply.empty()) {
        link.View().ShowMessage(plan.silentTimeOut);
        return result;
      }
      // Something came back: the packet counts as delivered.
      if (plan.onUnanswered) plan.onUnanswered();
    } else {
      log(result.reply);
    }
    link.View().StepProgress();
    link.Clock().Sleep(10);
  }
  return TResult::Of(TOutcome::Ok);
}
