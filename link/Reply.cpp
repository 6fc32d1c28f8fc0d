#include "link/Reply.h"

#include <algorithm>
#include <chrono>

namespace {

bool Has(const std::string& text, const char* s) { return text.find(s) != std::string::npos; }

// The packet after the last "*FDWN:": its continuation mark and the rest
// after the header line's CR LF. False when the header line is not complete.
bool LastPacket(const std::string& text, char* mark, std::string* rest) {
  size_t at = text.rfind("*FDWN:");
  if (at == std::string::npos) return false;
  std::string after = text.substr(at + 6);
  size_t eol = after.find("\r\n");
  if (eol == std::string::npos) return false;
  *rest = after.substr(eol + 2);
  *mark = rest->size() > 3 ? (*rest)[3] : '\0';
  return true;
}

bool PacketComplete(const std::string& rest) {
  return rest.find("\r\n") != std::string::npos || rest.size() == 184;
}

// The text after the echo of the line sent: the whole echo, or as much of
// it as has arrived, with the line end the phone put after it.
std::string AfterEcho(const std::string& text, const std::string& sent) {
  std::string line = sent;
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
  if (line.empty()) return text;
  size_t n = std::min(text.size(), line.size());
  if (text.compare(0, n, line, 0, n) != 0) return text;  // no echo
  size_t at = n;
  while (at < text.size() && at < n + 2 && (text[at] == '\r' || text[at] == '\n')) ++at;
  return text.substr(at);
}

}  // namespace

TClassifyResult ClassifyReply(const std::string& text, int state, const std::string& sent) {
  TClassifyResult r;
  r.state = state;
  char mark = 0;
  std::string rest;

  // 1. First download reply.
  if (Has(text, "*FDWN:") && !Has(text, "*ACK") && !Has(text, "OK") && LastPacket(text, &mark, &rest)) {
    if (mark == '1') {
      if (PacketComplete(rest)) r.state = rsFirstPacket;
    } else if (rest.find("\r\n") != std::string::npos) {
      r.state = rsNextPacket;
    }
  }
  // 2. Later download replies, after "AT*ACK" or "AT*D_ERR".
  if (Has(text, "*FDWN:") && (Has(text, "ACK") || Has(text, "D_ERR")) && LastPacket(text, &mark, &rest)) {
    if (mark == '1') {
      if (PacketComplete(rest)) r.state = rsNextPacket;
    } else if (mark == '0') {
      if (text.substr(text.rfind("*FDWN:")).find("OK") != std::string::npos) r.state = rsOk;
    }
  }
  // 3. Rejected upload packet.
  if (Has(text, "*FUPL") && Has(text, "D_ERR")) r.state = rsPacketRejected;
  // 4. Plain success.
  const std::string answer = AfterEcho(text, sent);
  if (Has(answer, "OK") && r.state == rsWaiting) r.state = rsOk;
  // 5. Error, possibly with an install result code.
  if (Has(answer, "ERROR")) {
    r.state = rsError;
    size_t paren = answer.find('(');
    if (paren != std::string::npos) {
      r.installResult = true;
      char c = paren + 1 < answer.size() ? answer[paren + 1] : '\0';
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
  sent_.clear();
  state_ = startState;
  Changed();
}

void TReplyChannel::SetSent(const std::string& line) {
  std::lock_guard<std::mutex> lock(mu_);
  sent_ = line;
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
  TClassifyResult r = ClassifyReply(text_, state_, sent_);
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
