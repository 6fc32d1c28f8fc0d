#include "link/Reply.h"

#include <chrono>
#include <string>

namespace {

bool Has(const std::string& text, const char* s) { return text.find(s) != std::string::npos; }

bool StartsWith(const std::string& text, size_t at, const char* s) {
  return text.compare(at, std::char_traits<char>::length(s), s) == 0;
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// What of the reply text may carry the phone's result words. Names travel
// in three places: the echo of the line sent (after its first quotation
// mark), the entries of a folder listing ("<F> name (size)"), and the suite
// list (its field lines, and the data line that follows a packet header).
// Those parts are blanked out of 'words'; everything else is kept at the
// same offsets. 'packets' blanks only the echo's argument: the packet rules
// read the structure after the last "*FDWN:", seams inside values included.
struct TReplyView {
  std::string words;
  std::string packets;
};

TReplyView ViewOfReply(const std::string& text) {
  TReplyView v{text, text};
  bool dataLineNext = false;
  size_t b = 0;
  while (b < text.size()) {
    size_t e = b;
    while (e < text.size() && !IsLineEnd(text[e])) ++e;
    size_t s = b;
    while (s < e && text[s] == ' ') ++s;
    if (s < e) {
      size_t hideFrom = e;  // nothing hidden
      if (StartsWith(text, s, "AT")) {
        // The echo of a command: its command word counts ("ACK" of AT*ACK,
        // "*FUPL" of a packet line), its quoted argument never does.
        size_t quote = text.find('"', s);
        if (quote < e) {
          hideFrom = quote;
          for (size_t i = quote; i < e; ++i) v.packets[i] = ' ';
        }
      } else if (dataLineNext || text[s] == '<' || StartsWith(text, s, "URL:") || StartsWith(text, s, "NAME:") ||
                 StartsWith(text, s, "SIZE:") || StartsWith(text, s, "VERSION:")) {
        hideFrom = s;
      }
      for (size_t i = hideFrom; i < e; ++i) v.words[i] = ' ';
      dataLineNext = StartsWith(text, s, "*FDWN:");
    }
    b = e;
    while (b < text.size() && IsLineEnd(text[b])) ++b;
  }
  return v;
}

// The packet after the last "*FDWN:": its continuation mark and the rest
// after the header line's CR LF. False when the header line is not complete.
bool LastPacket(const std::string& text, size_t at, char* mark, std::string* rest) {
  if (at == std::string::npos) return false;
  size_t eol = text.find("\r\n", at + 6);
  if (eol == std::string::npos) return false;
  *rest = text.substr(eol + 2);
  *mark = rest->size() > 3 ? (*rest)[3] : '\0';
  return true;
}

bool PacketComplete(const std::string& rest) {
  return rest.find("\r\n") != std::string::npos || rest.size() == 184;
}

}  // namespace

TClassifyResult ClassifyReply(const std::string& text, int state) {
  TClassifyResult r;
  r.state = state;
  const TReplyView view = ViewOfReply(text);
  const std::string& words = view.words;
  const size_t lastFdwn = view.packets.rfind("*FDWN:");
  const bool fdwn = lastFdwn != std::string::npos;
  char mark = 0;
  std::string rest;

  // 1. First download reply.
  if (fdwn && !Has(words, "*ACK") && !Has(words, "OK") && LastPacket(text, lastFdwn, &mark, &rest)) {
    if (mark == '1') {
      if (PacketComplete(rest)) r.state = rsFirstPacket;
    } else if (rest.find("\r\n") != std::string::npos) {
      r.state = rsNextPacket;
    }
  }
  // 2. Later download replies, after "AT*ACK" or "AT*D_ERR".
  if (fdwn && (Has(words, "ACK") || Has(words, "D_ERR")) && LastPacket(text, lastFdwn, &mark, &rest)) {
    if (mark == '1') {
      if (PacketComplete(rest)) r.state = rsNextPacket;
    } else if (mark == '0') {
      if (words.find("OK", lastFdwn) != std::string::npos) r.state = rsOk;
    }
  }
  // 3. Rejected upload packet.
  if (Has(words, "*FUPL") && Has(words, "D_ERR")) r.state = rsPacketRejected;
  // 4. Plain success.
  if (Has(words, "OK") && r.state == rsWaiting) r.state = rsOk;
  // 5. Error, possibly with an install result code.
  if (Has(words, "ERROR")) {
    r.state = rsError;
    size_t paren = words.find('(');
    if (paren != std::string::npos) {
      r.installResult = true;
      char c = paren + 1 < words.size() ? words[paren + 1] : '\0';
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

void TReplyChannel::Reset(int startState) {
  std::lock_guard<std::mutex> lock(mu_);
  text_.clear();
  state_ = startState;
  Changed();
}

void TReplyChannel::Append(const char* data, size_t n) {
  std::lock_guard<std::mutex> lock(mu_);
  text_.append(data, n);
  // Trim below the cap with room to spare: the receiver reads 16 bytes at a
  // time, and moving the whole kept text on every read made a flood crawl.
  constexpr size_t kTrimRoom = 64 * 1024;
  if (text_.size() > kMaxReplyText) text_.erase(0, text_.size() - (kMaxReplyText - kTrimRoom));
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
  std::string t;
  t.swap(text_);
  return t;
}

TClassifyResult TReplyChannel::Classify() {
  std::lock_guard<std::mutex> lock(mu_);
  TClassifyResult r = ClassifyReply(text_, state_);
  if (r.installResult) {
    r.rawText.swap(text_);
    text_.clear();
  }
  if (r.state != state_) {
    state_ = r.state;
    Changed();
  }
  return r;
}

void TReplyChannel::WaitForChange(int seenState, int ms) const {
  std::unique_lock<std::mutex> lock(mu_);
  cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return state_ != seenState; });
}
