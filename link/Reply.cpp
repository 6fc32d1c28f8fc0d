#include "link/Reply.h"

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace {

bool StartsWith(const std::string& text, size_t at, const char* s) {
  return text.compare(at, std::char_traits<char>::length(s), s) == 0;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// Where in the reply text the phone's result words count. Names travel in
// three places: the echo of the line sent (after its first quotation mark),
// the entries of a folder listing ("<F> name (size)"), and the suite list
// (its field lines, and the data line that follows a packet header). Words
// count only in the visible ranges outside those; a word never spans a line
// end, so searching each range alone finds what a search of the text with
// the names blanked out would. No copy of the text is made: the receiver
// classifies the whole text after every burst.
struct TReplyView {
  std::vector<std::pair<size_t, size_t>> visible;  // [begin, end) in line order
  std::vector<std::pair<size_t, size_t>> echoArgs;  // quoted arguments of echoed commands
};

// The quoted argument of the echo of 'echo' in text: [begin, end), or
// begin == npos. The echo is the exact line sent wherever it stands, so
// noise in front of it moves nothing; an echo still arriving is the end
// of the text that begins it.
std::pair<size_t, size_t> EchoArgument(const std::string& text, const std::string& echo) {
  const size_t quote = echo.find('"');
  if (quote == std::string::npos) return {std::string::npos, 0};
  const size_t at = text.find(echo);
  if (at != std::string::npos) return {at + quote, at + echo.size()};
  const size_t longest = std::min(text.size(), echo.size() - 1);
  for (size_t len = longest; len > quote; --len)
    if (text.compare(text.size() - len, len, echo, 0, len) == 0) return {text.size() - len + quote, text.size()};
  return {std::string::npos, 0};
}

bool IsResultLine(const std::string& text, size_t b, size_t e) {
  const std::string_view line = std::string_view(text).substr(b, e - b);
  return line == "OK" || line == "ERROR";
}

TReplyView ViewOfReply(const std::string& text, const std::string& echo) {
  TReplyView v;
  size_t dataLineAt = std::string::npos;  // where the line after a packet header starts
  size_t b = 0;
  while (b < text.size()) {
    size_t e = text.find_first_of("\r\n", b);
    if (e == std::string::npos) e = text.size();
    size_t s = b;
    while (s < e && text[s] == ' ') ++s;
    bool header = false;
    if (s < e) {
      size_t shown = e;  // end of the visible part of this line
      if (StartsWith(text, s, "AT")) {
        // The echo of a command: its command word counts ("ACK" of AT*ACK,
        // "*FUPL" of a packet line), its quoted argument never does.
        size_t quote = text.find('"', s);
        if (quote < e) {
          shown = quote;
          v.echoArgs.emplace_back(quote, e);
        }
      } else if ((b == dataLineAt && !IsResultLine(text, b, e)) || text[s] == '<' || StartsWith(text, s, "URL:") ||
                 StartsWith(text, s, "NAME:") || StartsWith(text, s, "SIZE:") || StartsWith(text, s, "VERSION:")) {
        // The line right after a packet header is data (a suite list's
        // may be empty, or a result line when the list is).
        shown = b;
      }
      if (shown > b) v.visible.emplace_back(b, shown);
      header = StartsWith(text, s, "*FDWN:");
    }
    b = e;
    if (header) dataLineAt = StartsWith(text, b, "\r\n") ? b + 2 : std::string::npos;
    while (b < text.size() && IsLineEnd(text[b])) ++b;
  }
  // The exact echo hides its argument even behind noise on its line.
  const auto [argBegin, argEnd] = EchoArgument(text, echo);
  if (argBegin != std::string::npos && argBegin < argEnd) {
    std::vector<std::pair<size_t, size_t>> visible;
    for (const auto& [vb, ve] : v.visible) {
      if (ve <= argBegin || vb >= argEnd) {
        visible.emplace_back(vb, ve);
        continue;
      }
      if (vb < argBegin) visible.emplace_back(vb, argBegin);
      if (ve > argEnd) visible.emplace_back(argEnd, ve);
    }
    v.visible.swap(visible);
    auto at = std::lower_bound(v.echoArgs.begin(), v.echoArgs.end(), std::make_pair(argBegin, argEnd));
    v.echoArgs.insert(at, {argBegin, argEnd});
  }
  return v;
}

// First position of a word at or after 'from' where words count.
size_t FindWord(const std::string& text, const TReplyView& v, std::string_view word, size_t from = 0) {
  for (const auto& [b, e] : v.visible) {
    if (e <= from) continue;
    size_t at = std::string_view(text).substr(0, e).find(word, std::max(b, from));
    if (at != std::string::npos) return at;
  }
  return std::string::npos;
}

bool HasWord(const std::string& text, const TReplyView& v, std::string_view word) {
  return FindWord(text, v, word) != std::string::npos;
}

// The last packet header outside an echoed argument; seams inside the suite
// list's values count, as the packet rules read them.
size_t LastHeader(const std::string& text, const TReplyView& v) {
  // The arguments are in text order: walk them back together with the
  // search, jumping over a whole argument at a time, so a text of nothing
  // but echoed names still takes one pass.
  size_t k = v.echoArgs.size();
  size_t at = text.rfind("*FDWN:");
  while (at != std::string::npos) {
    while (k > 0 && v.echoArgs[k - 1].first > at) --k;
    if (k == 0 || at >= v.echoArgs[k - 1].second) return at;
    const size_t start = v.echoArgs[k - 1].first;
    at = start == 0 ? std::string::npos : text.rfind("*FDWN:", start - 1);
  }
  return at;
}

// The packet after the last "*FDWN:": its continuation mark and the rest
// after the header line's CR LF. False when the header line is not complete.
bool LastPacket(const std::string& text, size_t at, char* mark, std::string* rest) {
  if (at == std::string::npos) return false;
  size_t eol = text.find("\r\n", at + 6);
  if (eol == std::string::npos) return false;
  // Whole lines that are not a data line come before the packet, not in it.
  size_t from = eol + 2;
  for (size_t end; (end = text.find("\r\n", from)) != std::string::npos; from = end + 2)
    if (IsPacketDataLine(std::string_view(text).substr(from, end - from))) break;
  *rest = text.substr(from);
  *mark = rest->size() > 3 ? (*rest)[3] : '\0';
  return true;
}

bool PacketComplete(const std::string& rest) {
  return rest.find("\r\n") != std::string::npos || IsWholeBarePacketLine(rest);
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool IsWholeBarePacketLine(const std::string& line) {
  if (line.size() != kBareLineLength) return false;
  uint32_t sum = 0, check = 0;
  for (size_t i = 4; i < line.size(); ++i) {
    const int v = HexValue(line[i]);
    if (v < 0) return false;
    if (i < line.size() - 4)
      sum += static_cast<unsigned char>(line[i]);
    else
      check = check * 16 + static_cast<uint32_t>(v);
  }
  return sum == check;
}

bool IsPacketDataLine(std::string_view line) {
  if (line.size() < 8 || line.size() % 2 != 0 || line[2] != '0' || (line[3] != '0' && line[3] != '1')) return false;
  return std::all_of(line.begin(), line.end(), [](char c) { return HexValue(c) >= 0; });
}

TClassifyResult ClassifyReply(const std::string& text, int state, const std::string& echo) {
  TClassifyResult r;
  r.state = state;
  const TReplyView view = ViewOfReply(text, echo);
  auto has = [&](std::string_view word) { return HasWord(text, view, word); };
  const size_t lastFdwn = LastHeader(text, view);
  const bool fdwn = lastFdwn != std::string::npos;
  char mark = 0;
  std::string rest;

  // The first download reply.
  if (fdwn && !has("*ACK") && !has("OK") && LastPacket(text, lastFdwn, &mark, &rest)) {
    if (mark == '1') {
      if (PacketComplete(rest)) r.state = rsFirstPacket;
    } else if (rest.find("\r\n") != std::string::npos) {
      r.state = rsNextPacket;
    }
  }
  // Later download replies, after "AT*ACK" or "AT*D_ERR".
  if (fdwn && (has("ACK") || has("D_ERR")) && LastPacket(text, lastFdwn, &mark, &rest)) {
    if (mark == '1') {
      if (PacketComplete(rest)) r.state = rsNextPacket;
    } else if (mark == '0') {
      if (FindWord(text, view, "OK", lastFdwn) != std::string::npos) r.state = rsOk;
    }
  }
  // A rejected upload packet.
  if (has("*FUPL") && has("D_ERR")) r.state = rsPacketRejected;
  // Plain success.
  if (has("OK") && r.state == rsWaiting) r.state = rsOk;
  // An error, possibly with an install result code.
  if (has("ERROR")) {
    r.state = rsError;
    size_t paren = FindWord(text, view, "(");
    if (paren != std::string::npos) {
      r.installResult = true;
      // The character after it counts only where words count.
      const size_t next = paren + 1;
      const bool shown = std::any_of(view.visible.begin(), view.visible.end(),
                                     [next](const auto& r) { return next >= r.first && next < r.second; });
      char c = shown ? text[next] : '\0';
      r.installCode = (c >= '0' && c <= '9') ? c - '0' : 0;
    }
  }
  return r;
}

const char* InstallResultMessage(int code) {
  switch (code) {
    case 1: return "Invalid Descriptor!!\nPlease check JAD file!!";
    case 2: return "Attribute Mismatch!!\nIt couldn't be installed!!";
    case 3: return "Insufficient Memory!!\nIt couldn't be installed!!";
    case 4: return "Read JAR Error!!\nPlease check JAR file!!";
    case 5: return "File Operation Error!!";
    case 6: return "Memory Operation Error!!";
    case 7: return "Version Incompatible!!";
    default: return kGenericInstallFailure;
  }
}

void TReplyChannel::Changed() { cv_.notify_all(); }

void TReplyChannel::Reset(int startState, std::string echo) {
  std::lock_guard<std::mutex> lock(mu_);
  text_.clear();
  echo_ = std::move(echo);
  state_ = base_ = startState;
  overflowed_ = false;
  Changed();
}

void TReplyChannel::Append(const char* data, size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  if (overflowed_) return;
  if (n > kMaxReplyText - text_.size()) {
    text_.append(data, kMaxReplyText - text_.size());
    overflowed_ = true;
    Changed();
    return;
  }
  text_.append(data, n);
}

bool TReplyChannel::Overflowed() const {
  std::lock_guard<std::mutex> lock(mu_);
  return overflowed_;
}

std::string TReplyChannel::Text() const {
  std::lock_guard<std::mutex> lock(mu_);
  return text_;
}

int TReplyChannel::State() const {
  std::lock_guard<std::mutex> lock(mu_);
  return state_;
}

size_t TReplyChannel::TextLength() const {
  std::lock_guard<std::mutex> lock(mu_);
  return text_.size();
}

void TReplyChannel::SetState(int state) {
  std::lock_guard<std::mutex> lock(mu_);
  base_ = state;
  if (state_ != state) {
    state_ = state;
    Changed();
  }
}

void TReplyChannel::SetText(const std::string& text) {
  std::lock_guard<std::mutex> lock(mu_);
  text_ = text;
}

void TReplyChannel::ClearText() {
  std::lock_guard<std::mutex> lock(mu_);
  text_.clear();
}

std::string TReplyChannel::TakeText() {
  std::lock_guard<std::mutex> lock(mu_);
  // The verdict on the taken text stays; later text is judged from it.
  base_ = state_;
  std::string t;
  t.swap(text_);
  return t;
}

TClassifyResult TReplyChannel::Classify() {
  std::lock_guard<std::mutex> lock(mu_);
  TClassifyResult r;
  r.state = state_;
  // An overflowed reply is not read: the exchange fails on it.
  if (overflowed_) return r;
  r = ClassifyReply(text_, base_, echo_);
  if (r.installResult) {
    r.rawText.swap(text_);
    text_.clear();
    base_ = r.state;
    ++receiverBoxes_;
  }
  if (r.state != state_) {
    state_ = r.state;
    Changed();
  }
  return r;
}

bool TReplyChannel::ReceiverBoxPending() const {
  std::lock_guard<std::mutex> lock(mu_);
  return receiverBoxes_ > 0;
}

void TReplyChannel::ReceiverBoxShown() {
  std::lock_guard<std::mutex> lock(mu_);
  if (receiverBoxes_ > 0) --receiverBoxes_;
}

void TReplyChannel::WaitForChange(int seenState, std::chrono::microseconds span) const {
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait_for(lock, span, [&] { return state_ != seenState; });
}
