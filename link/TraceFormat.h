#pragma once
// The protocol log's text form, shared by the program that writes it and
// the virtual phone that replays it (header only: the phone does not link
// the core).
//
//   # a comment, or "# key: value" (the corpus's expectations)
//   > 12.5 AT*FLIST?\r          bytes written to the phone, ms since the session began
//   < 20.1 \r\n<F> a.gif (6)\r\n   one burst read from the phone
//
// Bytes are kept exactly: printable ASCII stands for itself, a backslash is
// "\\", CR "\r", LF "\n", TAB "\t", any other byte "\xHH". A "# session"
// line starts the clock again.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace trace {

inline std::string Escape(const char* data, size_t n) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(n + n / 8);
  for (size_t i = 0; i < n; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c == '\\') out += "\\\\";
    else if (c == '\r') out += "\\r";
    else if (c == '\n') out += "\\n";
    else if (c == '\t') out += "\\t";
    else if (c >= 0x20 && c < 0x7F) out += static_cast<char>(c);
    else {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    }
  }
  return out;
}

inline std::string Escape(const std::string& bytes) { return Escape(bytes.data(), bytes.size()); }

inline int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// False at the first escape that is not one of the above.
inline bool Unescape(const std::string& text, std::string* bytes) {
  bytes->clear();
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      bytes->push_back(text[i]);
      continue;
    }
    if (++i >= text.size()) return false;
    switch (text[i]) {
      case '\\': bytes->push_back('\\'); break;
      case 'r': bytes->push_back('\r'); break;
      case 'n': bytes->push_back('\n'); break;
      case 't': bytes->push_back('\t'); break;
      case 'x': {
        if (i + 2 >= text.size()) return false;
        const int hi = HexValue(text[i + 1]), lo = HexValue(text[i + 2]);
        if (hi < 0 || lo < 0) return false;
        bytes->push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return true;
}

struct Record {
  bool written = false;  // '>' from the PC, '<' from the phone
  double ms = 0;         // since its session began
  std::string bytes;
  int line = 0;          // 1-based line of the trace
};

struct Trace {
  std::vector<Record> records;
  std::vector<std::pair<std::string, std::string>> headers;  // "# key: value", in order
  // The first value of a header, or "" (found tells whether there was one).
  std::string Header(const std::string& key, bool* found = nullptr) const {
    for (const auto& h : headers)
      if (h.first == key) {
        if (found) *found = true;
        return h.second;
      }
    if (found) *found = false;
    return {};
  }
  std::vector<std::string> Headers(const std::string& key) const {
    std::vector<std::string> all;
    for (const auto& h : headers)
      if (h.first == key) all.push_back(h.second);
    return all;
  }
};

// A time: digits with an optional fraction, nothing else.
inline bool ParseMs(const std::string& text, double* ms) {
  if (text.empty() || text.size() > 20) return false;
  double value = 0, scale = 0;
  for (char c : text) {
    if (c == '.' && scale == 0) {
      scale = 1;
    } else if (c >= '0' && c <= '9') {
      if (scale == 0) value = value * 10 + (c - '0');
      else value += (c - '0') / (scale *= 10);
    } else {
      return false;
    }
  }
  *ms = value;
  return true;
}

// Reads a whole trace; false with the line and the reason in *error.
// Lines may end in CR LF (a trace edited on Windows).
inline bool Parse(const std::string& text, Trace* out, std::string* error) {
  *out = Trace{};
  size_t at = 0;
  int number = 0;
  auto fail = [&](const std::string& why) {
    if (error) *error = "line " + std::to_string(number) + ": " + why;
    return false;
  };
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    at = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) continue;
    if (line[0] == '#') {
      const size_t colon = line.find(": ");
      if (line.size() > 2 && line[1] == ' ' && colon != std::string::npos && colon > 2)
        out->headers.emplace_back(line.substr(2, colon - 2), line.substr(colon + 2));
      continue;
    }
    if ((line[0] != '>' && line[0] != '<') || line.size() < 3 || line[1] != ' ')
      return fail("not a record: a line starts with '>', '<' or '#'");
    const size_t space = line.find(' ', 2);
    Record r;
    r.written = line[0] == '>';
    r.line = number;
    if (!ParseMs(line.substr(2, space == std::string::npos ? std::string::npos : space - 2), &r.ms))
      return fail("bad time");
    if (space != std::string::npos && !Unescape(line.substr(space + 1), &r.bytes)) return fail("bad escape");
    if (r.bytes.empty()) return fail("a record without bytes");
    out->records.push_back(std::move(r));
  }
  return true;
}

}  // namespace trace
