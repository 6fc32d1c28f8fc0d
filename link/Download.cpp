// File download: request, packets checked and written, acknowledge loop.
#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include "link/Commands.h"
#include "link/Link.h"
#include "link/LogicLog.h"
#include "link/PhoneFiles.h"
#include "link/Settings.h"
#include "link/Text.h"
#include "link/Transfers.h"

namespace fs = std::filesystem;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool TMemorySink::Put(uint8_t byte) {
  if (pos < bytes.size())
    bytes[pos] = byte;
  else
    bytes.push_back(byte);
  ++pos;
  return true;
}

void TMemorySink::Back(long count) {
  ++backCalls;
  size_t c = count < 0 ? 0 : static_cast<size_t>(count);
  pos = c > pos ? 0 : pos - c;
  bytes.resize(pos);
}

bool TFileSink::Put(uint8_t byte) {
  if (std::fputc(byte, f_) == EOF) failed_ = true;
  return !failed_;
}

void TFileSink::Back(long count) {
  if (std::fseek(f_, -count, SEEK_CUR) != 0) {
    failed_ = true;
    return;
  }
  // Drop the refused bytes too, so a download that stops here leaves the
  // file as it was before the packet.
  long pos = std::ftell(f_);
  if (std::fflush(f_) != 0) failed_ = true;
  if (!CutOpenFile(f_, pos)) failed_ = true;
}

const char* const kPacketOutOfOrder = "Packet out of order";
const char* const kPacketPastEnd = "Packet past the end of the file";
const char* const kPastListedSize = "More data than the phone's listing gives: ";

namespace {

constexpr const char* kWriteFailed = "Write file Err";
constexpr const char* kSizeDiffers = "File size differs from the phone listing";

}  // namespace

namespace {

// A phone whose packet line is exactly 184 characters may send it without
// its line end; such a whole line is read as if the line end followed.
const std::string& WithBareLineClosed(const std::string& text, std::string* closed) {
  const size_t lf = text.rfind('\n');
  if (lf == std::string::npos || !IsWholeBarePacketLine(text.substr(lf + 1))) return text;
  *closed = text + "\r\n";
  return *closed;
}

}  // namespace

TPacketParseResult ParsePacketText(const std::string& text, IPacketSink& sink, int state,
                                   TPacketSequence* sequence) {
  std::string closed;
  const std::string& t = WithBareLineClosed(text, &closed);
  TPacketParseResult r;
  r.state = state;
  const size_t len = t.size();
  size_t p = t.find('*');
  if (p == std::string::npos) {
    r.message = "Parse Error";
    return r;
  }
  if (t.compare(p, 5, "*FDWN") != 0) return r;

  // Kept only when the whole text is taken.
  TPacketSequence seq = sequence ? *sequence : TPacketSequence{};
  long count = 0;    // bytes written from this text
  long inPacket = 0;  // of which from the packet being read
  const size_t end = t.rfind('\r');
  // A packet that cannot be read ends the download like a phone's ERROR.
  static constexpr const char* kUnreadable = "Download_Error";
  // A malformed packet takes back its own unchecked bytes.
  auto fail = [&](const char* message) {
    r.state = rsError;
    r.message = message;
    if (inPacket > 0) sink.Back(inPacket);
    count -= inPacket;
    r.written = count;
    return r;
  };
  // Every byte of this text is taken back and the packet asked for again.
  auto askAgain = [&]() {
    r.state = rsChecksumError;
    sink.Back(count);
    r.written = 0;
    return r;
  };

  while (p != end) {
    uint32_t sum = 0, check = 0;
    inPacket = 0;
    size_t colon = t.find(':', p);
    if (colon == std::string::npos) return fail("Error while receiving packet number");
    size_t q = colon + 1;
    while (q < len && t[q] == ' ') ++q;
    uint64_t number = 0;
    bool digits = false;
    while (q < len && t[q] >= '0' && t[q] <= '9') {
      digits = true;
      if (number < 1000000000ull) number = number * 10 + static_cast<uint64_t>(t[q] - '0');
      ++q;
    }
    if (!digits || number == 0) return fail("Error while receiving packet number");

    size_t lf = t.find('\n', q);
    if (lf == std::string::npos) return fail(kUnreadable);
    q = lf + 1;
    // Lines before the data line (a "RING" of a call coming in) are noise;
    // a packet whose data line is not in the text is asked for again, never
    // taken as empty.
    for (;;) {
      const size_t cr = t.find('\r', q);
      if (cr == std::string::npos) return q < len ? fail(kUnreadable) : askAgain();  // cut short, or no data line
      if (IsPacketDataLine(std::string_view(t).substr(q, cr - q))) break;
      if (t.compare(q, 5, "*FDWN") == 0) return askAgain();
      q = cr + 1;
      if (q < len && t[q] == '\n') ++q;
    }
    const bool markedLast = t[q + 3] == '0';
    // The data line's 4-character header (number, "0", mark) is skipped.
    q += 4;

    // The packet due is written; the one just taken again is only checked
    // (the phone did not hear the acknowledgement); any other is refused.
    const bool due = !sequence || static_cast<long long>(number) == seq.next;
    if (!due && !(seq.next > 1 && static_cast<long long>(number) == seq.next - 1)) return fail(kPacketOutOfOrder);

    for (;;) {
      if (q >= len) return fail(kUnreadable);  // no CR: the line was cut short
      if (t[q] == '\r') break;
      if (q + 1 >= len || t[q + 1] == '\r') return fail(kUnreadable);  // odd length
      int hi = HexDigitValue(t[q]), lo = HexDigitValue(t[q + 1]);
      if (hi < 0 || lo < 0) return fail(kUnreadable);
      const uint32_t value = static_cast<uint32_t>(hi * 16 + lo);
      const size_t next = q + 2;
      if (next < len && t[next] == '\r') {
        check = check * 256 + value;
      } else if (next + 2 < len && t[next + 2] == '\r') {
        check = value;
      } else {
        sum += static_cast<unsigned char>(t[q]) + static_cast<unsigned char>(t[q + 1]);
        if (due) {
          // Only an empty closing packet may follow the last one.
          if (seq.lastTaken) return fail(kPacketPastEnd);
          if (seq.bound >= 0 && seq.bytes + inPacket >= seq.bound) return fail(kPastListedSize);
          if (!sink.Put(static_cast<uint8_t>(value))) return fail(kWriteFailed);
          ++count;
          ++inPacket;
        }
      }
      q = next;
    }
    if (sum != check) return askAgain();
    if (due) {
      seq.next = static_cast<long long>(number) + 1;
      seq.bytes += inPacket;
      if (markedLast) seq.lastTaken = true;
    }
    p = t.find('*', q);
    if (p == std::string::npos) break;
  }
  r.written = count;
  if (sequence) *sequence = seq;
  return r;
}

void ParseDownloadPacket(TLink& link, IPacketSink& file, TPacketSequence* sequence, const std::string& name) {
  const std::string text = link.Reply().TakeText();
  TPacketParseResult r = ParsePacketText(text, file, link.Reply().State(), sequence);
  if (r.state != link.Reply().State()) link.Reply().SetState(r.state);
  if (r.message == kPastListedSize) r.message += name;
  if (!r.message.empty()) link.View().ShowMessage(r.message);
}

namespace {

// A phone gets this many chances in a row to send the packet due: asked
// again after a bad check value, or answering with nothing new.
constexpr int kPacketTries = 3;

// The transfer trace of a download holds at most this much plus so much a
// byte of the listed size: its packets come to about 2.4 a byte.
constexpr uint64_t kTraceFloorBytes = 1u << 20;
constexpr uint64_t kTracePerByte = 4;

// The repeat requests; Aborted or PortFailed when the caller must leave
// without the end step. A packet still bad after its last request fails
// the fetch (rsError), named.
TOutcome AskAgain(TLink& link, IPacketSink& file, TPacketSequence& sequence, const std::string& name) {
  for (int asked = 0; link.Reply().State() == rsChecksumError; ++asked) {
    if (asked == kPacketTries) {
      link.View().ShowMessage("Packet still damaged after " + std::to_string(kPacketTries) + " requests: " + name);
      link.Reply().SetState(rsError);
      return TOutcome::Ok;
    }
    const TResult again = link.Exchange(TStep::DownloadPacket, command::SamePacketAgain(),
                                        TWaitRule{StateBit(rsNextPacket) | StateBit(rsOk), 1000, 10, true});
    if (again.Quiet()) return again.outcome;
    if (again.outcome == TOutcome::Refused) return TOutcome::Ok;
    std::string text = link.Reply().Text();
    size_t at = text.find("*FDWN");
    if (at == std::string::npos) {
      link.View().ShowMessage("Parse Error");
      link.Reply().SetState(rsError);
      return TOutcome::Ok;
    }
    link.Reply().SetText(text.substr(at));
    link.View().SetStatusLabel("Parse File Info...");
    ParseDownloadPacket(link, file, &sequence, name);
  }
  return TOutcome::Ok;
}

// The temporary of the download under way, for a way out that runs no
// destructor: kept only by a program that runs one download at a time, and
// a path written while disarmed.
fs::path::value_type g_temporary[4096];
std::atomic<bool> g_temporaryArmed{false};
std::atomic<bool> g_temporaryKept{false};

void ArmTemporary(const std::string& path) {
  if (!g_temporaryKept) return;
  g_temporaryArmed = false;
  const fs::path::string_type native = Utf8Path(path).native();
  if (native.size() >= sizeof g_temporary / sizeof g_temporary[0]) return;
  std::copy(native.begin(), native.end(), g_temporary);
  g_temporary[native.size()] = 0;
  g_temporaryArmed = true;
}

// The PC side of one download: a temporary file beside the target, which
// replaces the target only when the whole file arrived and was written.
class TDownloadTarget {
 public:
  enum class TSettled { Done, WriteFailed, PlaceFailed };

  TDownloadTarget(std::string folder, std::string target) : folder_(std::move(folder)), target_(std::move(target)) {}
  ~TDownloadTarget() { Settle(false, false); }
  TDownloadTarget(const TDownloadTarget&) = delete;
  TDownloadTarget& operator=(const TDownloadTarget&) = delete;

  // The temporary has a short hidden name of its own, so it fits wherever
  // the target's name fits (a name of 255 bytes plus a suffix would not),
  // and it is made new: never a file of the user's, whatever its name.
  bool Open() {
    std::random_device seed;
    const unsigned start = seed();
    for (unsigned i = 0; i < 100 && !file_; ++i) {
      char tag[16];
      std::snprintf(tag, sizeof tag, "%08x", start + i);
      std::string temp = JoinLocalPath(folder_, std::string(".quendrel-") + tag + ".part");
      file_ = OpenFileUtf8(temp, "wbx");
      if (file_) temp_ = temp;
    }
    if (file_) ArmTemporary(temp_);
    return file_ != nullptr;
  }
  std::FILE* File() { return file_; }
  // A failed flush or close is remembered for Settle().
  void Close() {
    if (!file_) return;
    const bool flushed = std::fflush(file_) == 0;
    if (std::fclose(file_) != 0 || !flushed) closeFailed_ = true;
    file_ = nullptr;
  }
  // The target becomes the new file only when it came whole and every
  // write, the flush and the close succeeded; otherwise the temporary goes
  // and whatever was under the name (or nothing) stays as it was.
  TSettled Settle(bool complete, bool writesOk) {
    Close();
    if (temp_.empty()) return TSettled::Done;
    g_temporaryArmed = false;
    std::error_code ec;
    TSettled settled = TSettled::Done;
    if (complete && (!writesOk || closeFailed_)) {
      settled = TSettled::WriteFailed;
    } else if (complete) {
      fs::rename(Utf8Path(temp_), Utf8Path(target_), ec);
      if (ec) settled = TSettled::PlaceFailed;
    }
    if (!complete || settled != TSettled::Done) fs::remove(Utf8Path(temp_), ec);
    temp_.clear();
    return settled;
  }

 private:
  std::string folder_, target_, temp_;
  std::FILE* file_ = nullptr;
  bool closeFailed_ = false;
};

}  // namespace

void KeepDownloadTemporaryForDrop() { g_temporaryKept = true; }

void DropDownloadTemporary() {
  if (!g_temporaryArmed.exchange(false)) return;
#ifdef _WIN32
  _wunlink(g_temporary);
#else
  unlink(g_temporary);
#endif
}

TResult DownloadFile(TLink& link, const std::string& pcFolder, const std::string& name, int size) {
  // A name from the phone must not reach outside the PC folder.
  if (!IsSafeLocalName(name) || !IsSafeCommandName(name)) {
    link.View().ShowMessage(InvalidNameMessage(name));
    FinishTransfer(link);
    return TResult::Of(TOutcome::Failed);
  }
  // Without a size the phone could send for ever: not asked at all.
  if (size < 0) {
    link.View().ShowMessage(UnreadableSizeMessage(name));
    FinishTransfer(link);
    return TResult::Of(TOutcome::Failed);
  }
  // The trace is bounded by the size too: the packets' text, retries and
  // some noise fit, a phone that pads every reply does not.
  if (!link.TransferLog().Open(kTraceFloorBytes + kTracePerByte * static_cast<uint64_t>(size))) {
    link.View().ShowMessage("Open log Err");
    FinishTransfer(link);
    return TResult::Of(TOutcome::Failed);
  }
  std::string localPath = JoinLocalPath(pcFolder, name);
  std::string shown = name;  // the name the PC file would have
  std::error_code ec;
  while (fs::exists(Utf8Path(localPath), ec)) {
    const TOverwriteChoice c = link.View().AskOverwrite("Overwrite " + shown + "?", shown);
    if (c.answer == TOverwriteAnswer::Cancel || c.answer == TOverwriteAnswer::Unanswered) {
      link.Clock().Sleep(100);
      FinishTransfer(link);
      return TResult::Of(c.answer == TOverwriteAnswer::Cancel ? TOutcome::Declined : TOutcome::Unanswered);
    }
    if (c.answer == TOverwriteAnswer::Overwrite) break;
    if (!IsSafeLocalName(c.name)) {
      link.View().ShowMessage(InvalidNameMessage(c.name));
      FinishTransfer(link);
      return TResult::Of(TOutcome::Failed);
    }
    shown = c.name;
    localPath = JoinLocalPath(pcFolder, shown);
  }

  TDownloadTarget target(pcFolder, localPath);
  std::optional<TFileSink> sink;
  TPacketSequence sequence;
  sequence.bound = size;
  // Every exit below settles the temporary file and closes the log; the end
  // step also closes the port when the file did not arrive whole.
  auto endStep = [&](TResult failure) {
    target.Close();
    link.Clock().Sleep(100);
    link.TransferLog().Close();
    // The listing's size must be what arrived: a phone that ended early is
    // not believed.
    if (link.Reply().State() == rsOk && sequence.bytes != size) {
      link.View().ShowMessage(kSizeDiffers);
      link.Reply().SetState(rsError);
      failure = TResult::Of(TOutcome::Refused);
    }
    switch (target.Settle(link.Reply().State() == rsOk, !sink || !sink->Failed())) {
      case TDownloadTarget::TSettled::Done:
        break;
      case TDownloadTarget::TSettled::WriteFailed:
        link.View().ShowMessage(kWriteFailed);
        link.Reply().SetState(rsError);
        failure = TResult::Of(TOutcome::Failed);
        break;
      case TDownloadTarget::TSettled::PlaceFailed:
        link.View().ShowMessage("Open File Err");
        link.Reply().SetState(rsError);
        failure = TResult::Of(TOutcome::Failed);
        break;
    }
    FinishTransfer(link);
    return link.Reply().State() == rsOk ? TResult::Of(TOutcome::Ok) : failure;
  };
  // A packet that could not be read, checked or placed (its message was shown).
  const TResult unreadable = TResult::Of(TOutcome::Refused);
  // Aborted, stopped or the port failed: quietly, and nothing of the fetch stays.
  auto leave = [&](TOutcome outcome) {
    target.Settle(false, false);
    link.TransferLog().Close();
    return TResult::Of(outcome);
  };

  if (!target.Open()) {
    link.View().ShowMessage("Open File Err");
    link.Reply().Reset(rsWaiting);  // nothing was fetched: no verdict (the old "OK" goes too)
    return endStep(TResult::Of(TOutcome::Failed));
  }
  sink.emplace(target.File());

  link.View().SetStatusLabel("Download " + name);
  link.View().SetProgressRange(size > INT_MAX / 2 ? INT_MAX : 2 * size);
  link.View().ShowProgressBar(true);

  TExchangeOptions options;
  options.logLine = [&link](const std::string& bytes) { link.TransferLog().Write(bytes); };
  // An ERROR or a stalled answer (its message shown): logged, then the end step.
  auto failedWait = [&](const TResult& result) {
    link.TransferLog().Write(result.reply);
    return endStep(result);
  };
  const unsigned firstAwaited = StateBit(rsOk) | StateBit(rsFirstPacket) | StateBit(rsNextPacket);
  TResult result = link.Exchange(TStep::DownloadRequest, command::Download(name), TWaitRule{firstAwaited, 500, 10, true},
                            options);
  if (result.Quiet()) return leave(result.outcome);
  if (!result.Ok()) return failedWait(result);

  long received = 0;
  // Parses the packet text now in the reply, asks again for a packet whose
  // check value failed, and moves the bar. Empty to go on, else the result.
  auto parseReceived = [&]() -> std::optional<TResult> {
    link.View().SetStatusLabel("Parse File Info...");
    ParseDownloadPacket(link, *sink, &sequence, name);
    if (link.Reply().State() == rsChecksumError) {
      LogicDecision(name + ": a packet failed its check value, asked for again");
      const TOutcome again = AskAgain(link, *sink, sequence, name);
      if (again != TOutcome::Ok) return leave(again);
    }
    if (link.Reply().State() == rsError) return endStep(sink->Failed() ? TResult::Of(TOutcome::Failed) : unreadable);
    link.View().SetProgressPos(static_cast<int>(std::min<long>(received, INT_MAX)));
    return std::nullopt;
  };
  {
    std::string text = link.Reply().Text();
    link.TransferLog().Write(text);
    received = static_cast<long>(text.size());
    // Start at the packet header: a ':' or '*' inside the echoed name must
    // not be taken for part of the packet.
    size_t at = text.find("*FDWN:");
    if (at != std::string::npos && at > 0) link.Reply().SetText(text.substr(at));
    if (auto end = parseReceived()) return *end;
  }

  options.startState = rsFirstPacket;
  // Answers in a row that brought no byte (an empty packet marked "more",
  // the packet just taken once more): the end of a file brings two at most.
  int idle = 0;
  for (;;) {
    const long long before = sequence.bytes;
    link.View().SetStatusLabel("Download " + name);
    result = link.Exchange(TStep::DownloadPacket, command::NextPacket(),
                      TWaitRule{StateBit(rsNextPacket) | StateBit(rsOk), 1000, 10, true}, options);
    if (result.Quiet()) return leave(result.outcome);
    if (!result.Ok()) return failedWait(result);
    std::string text = link.Reply().Text();
    link.TransferLog().Write(text);
    size_t at = text.find("*FDWN");
    if (at == std::string::npos) {
      link.View().ShowMessage("Parse Error");
      link.Reply().SetState(rsError);  // nothing was received: not a finished file
      return endStep(unreadable);
    }
    link.Reply().SetText(text.substr(at));
    received += static_cast<long>(text.size() - at);
    if (auto end = parseReceived()) return *end;
    if (link.Reply().State() == rsOk) return endStep(unreadable);  // Ok, unless the file is not whole or not written
    idle = sequence.bytes > before ? 0 : idle + 1;
    if (idle == kPacketTries) {
      link.View().ShowMessage("No data from the phone in " + std::to_string(kPacketTries) + " packets: " + name);
      link.Reply().SetState(rsError);
      return endStep(unreadable);
    }
  }
}
