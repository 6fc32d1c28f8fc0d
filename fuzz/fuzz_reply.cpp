// Reply classifier: any text from the phone, any verdict before it. The
// channel must agree with the pure classifier however the text arrived.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "link/Reply.h"

namespace {

void CheckVerdict(const TClassifyResult& r, const std::string& text) {
  FUZZ_CHECK(r.state >= rsWaiting && r.state <= rsPacketRejected);
  if (r.installResult) {
    FUZZ_CHECK(r.state == rsError);
    FUZZ_CHECK(r.installCode >= 0 && r.installCode <= 9);
    FUZZ_CHECK(text.find('(') != std::string::npos);
    // Every code maps to some text.
    FUZZ_CHECK(InstallResultMessage(r.installCode) != nullptr);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int start = data[0] % 7;
  // The second byte picks how the receiver cut the text into reads.
  const size_t step = size > 1 ? 1 + data[1] % 64 : 1;
  // The rest is the reply, or "name NUL reply" when it holds a NUL: the
  // name then also travels in the echo of a command at the front.
  std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  std::string name;
  if (size_t nul = text.find('\0'); nul != std::string::npos) {
    name = text.substr(0, nul);
    text.erase(0, nul + 1);
  }

  const TClassifyResult pure = ClassifyReply(text, start);
  CheckVerdict(pure, text);
  // The waiting loop classifies the same text again on every tick: a
  // verdict must be a fixed point, or it would flip between ticks.
  const TClassifyResult again = ClassifyReply(text, pure.state);
  FUZZ_CHECK(again.state == pure.state);
  FUZZ_CHECK(again.installResult == pure.installResult);

  // A name in the echo of the command the text answers never changes the
  // verdict, whatever words it holds (names with quotes or line ends are
  // never sent).
  if (name.find_first_of("\"\r\n") == std::string::npos) {
    const TClassifyResult echoed = ClassifyReply("AT*FDWN=\"" + name + "\"\r\n" + text, start);
    const TClassifyResult plain = ClassifyReply("AT*FDWN=\"\"\r\n" + text, start);
    FUZZ_CHECK(echoed.state == plain.state);
    FUZZ_CHECK(echoed.installResult == plain.installResult);
    FUZZ_CHECK(echoed.installCode == plain.installCode);
  }

  TReplyChannel channel;
  channel.Reset(start);
  for (size_t at = 0; at < text.size(); at += step)
    channel.Append(text.data() + at, std::min(step, text.size() - at));
  FUZZ_CHECK(channel.Text() == text);
  const TClassifyResult viaChannel = channel.Classify();
  FUZZ_CHECK(viaChannel.state == pure.state);
  FUZZ_CHECK(viaChannel.installResult == pure.installResult);
  FUZZ_CHECK(viaChannel.installCode == pure.installCode);
  FUZZ_CHECK(channel.State() == pure.state);
  if (pure.installResult) {
    FUZZ_CHECK(viaChannel.rawText == text);
    FUZZ_CHECK(channel.TextLength() == 0);
  } else {
    FUZZ_CHECK(channel.Text() == text);
  }

  // Now and then, a babbling device: the text stops at the cap with its
  // beginning kept, the channel says it overflowed, and no verdict moves.
  // A megabyte per run is slow, so only one flagged input in 32 takes it
  // (the first always, so a saved crash input replays it).
  static unsigned babbleTurn = 0;
  if (data[0] == 0xFF && babbleTurn++ % 32 == 0 && !text.empty() &&
      text.size() < TReplyChannel::kMaxReplyText) {
    TReplyChannel babble;
    babble.Reset(start);
    std::string burst;
    while (burst.size() < 64 * 1024) burst += text;
    for (size_t total = 0; total <= TReplyChannel::kMaxReplyText; total += burst.size())
      babble.Append(burst.data(), burst.size());
    const std::string kept = babble.Text();
    FUZZ_CHECK(babble.Overflowed());
    FUZZ_CHECK(kept.size() == TReplyChannel::kMaxReplyText);
    FUZZ_CHECK(kept.compare(0, text.size(), text) == 0);
    FUZZ_CHECK(babble.Classify().state == start);
  }
  return 0;
}
