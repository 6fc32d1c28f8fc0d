#include "PhoneLine.h"

#include "PhoneEngine.h"

namespace phonesim {

namespace {

// Longest line we keep; a sender that never ends its line is cut off here.
constexpr size_t kMaxLine = 16 * 1024;
// Line noise: none of the markers the PC looks for.
constexpr char kNoise[] = "\x01\x02~~#";
// Noise in front of an echo; the NUL is what a line often starts with
// after a cable is plugged in.
constexpr char kEchoNoise[] = "\0\x7F~";

bool Matches(const std::string& prefix, const std::string& line) {
  return !prefix.empty() && line.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::optional<ReceivedLine> TakeLine(std::string* pending, bool lfMayFollow) {
  const size_t end = pending->find_first_of("\r\n");
  if (end == std::string::npos) {
    if (pending->size() <= kMaxLine) return std::nullopt;
    // Served as one line; the rest of it joins the next.
    ReceivedLine piece{pending->substr(0, kMaxLine), ""};
    pending->erase(0, kMaxLine);
    return piece;
  }
  size_t endLength = 1;
  if ((*pending)[end] == '\r') {
    if (end + 1 == pending->size() && lfMayFollow) return std::nullopt;
    if (end + 1 < pending->size() && (*pending)[end + 1] == '\n') endLength = 2;
  }
  ReceivedLine line{pending->substr(0, end), pending->substr(end, endLength)};
  pending->erase(0, end + endLength);
  return line;
}

void PhoneLine::SetOptions(const Options& options) {
  std::lock_guard<std::mutex> lock(mu_);
  std::string root = options_.contentDir;
  options_ = options;
  options_.contentDir = root;
  linesSinceReset_ = 0;
}

Options PhoneLine::GetOptions() const {
  std::lock_guard<std::mutex> lock(mu_);
  return options_;
}

std::vector<std::string> PhoneLine::ReceivedLines() const {
  std::lock_guard<std::mutex> lock(mu_);
  return lines_;
}

void PhoneLine::ClearReceived() {
  std::lock_guard<std::mutex> lock(mu_);
  lines_.clear();
}

LineAnswer PhoneLine::Answer(PhoneEngine& engine, const ReceivedLine& line) {
  LineAnswer answer;
  Options opt;
  {
    std::lock_guard<std::mutex> lock(mu_);
    lines_.push_back(line.text);
    ++linesSinceReset_;
    opt = options_;
    answer.hangUp = opt.hangupAfterLines >= 0 && linesSinceReset_ >= opt.hangupAfterLines;
  }
  answer.pace = opt.pace115200;
  if (answer.hangUp || Matches(opt.noEchoSilentPrefix, line.text)) return answer;
  if (opt.echo) answer.echo = line.text + line.ending;
  if (opt.noiseBeforeEcho) answer.echo.insert(0, kEchoNoise, sizeof kEchoNoise - 1);
  if (Matches(opt.silentPrefix, line.text)) return answer;

  Reply reply = engine.Handle(line.text, opt);
  if (reply.text.empty()) return answer;
  if (opt.floodBytes > 0) answer.reply.append(static_cast<size_t>(opt.floodBytes), 'x');
  if (opt.garbage) answer.reply += kNoise;
  const size_t lead = answer.reply.size();
  answer.reply += reply.text;
  if (opt.splitPauseMs > 0 && reply.text.size() >= 2) {
    const size_t size = reply.text.size();
    if (opt.splitEvery > 0) {
      for (size_t at = static_cast<size_t>(opt.splitEvery); at < size; at += static_cast<size_t>(opt.splitEvery))
        answer.cuts.push_back(lead + at);
    } else if (opt.splitAt != 0) {
      const size_t back = opt.splitAt < 0 ? static_cast<size_t>(-static_cast<long>(opt.splitAt)) : 0;
      const size_t at = opt.splitAt > 0 ? static_cast<size_t>(opt.splitAt) : back < size ? size - back : 0;
      if (at > 0 && at < size) answer.cuts.push_back(lead + at);
    } else {
      const bool safe = reply.safeSplit > 0 && reply.safeSplit < size;
      answer.cuts.push_back(lead + (safe ? reply.safeSplit : size / 2));
    }
    answer.pauseMs = opt.splitPauseMs;
  }
  return answer;
}

}  // namespace phonesim
