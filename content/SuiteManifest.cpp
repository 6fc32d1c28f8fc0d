#include "content/SuiteManifest.h"

namespace suite {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Next line of text from pos, without its end; pos moves past the end.
std::string_view NextLine(std::string_view text, size_t* pos) {
  size_t start = *pos;
  size_t end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) {
    *pos = text.size();
    return text.substr(start);
  }
  *pos = end + 1;
  if (text[end] == '\r' && *pos < text.size() && text[*pos] == '\n') ++*pos;
  return text.substr(start, end - start);
}

}  // namespace

TAttributes ParseManifest(std::string_view text) {
  // A byte order mark is no part of the first name.
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TAttributes attributes;
  std::string pending;  // the current header line with its continuations
  auto flush = [&] {
    size_t colon = pending.find(':');
    if (colon != std::string::npos) {
      std::string_view name = Trim(std::string_view(pending).substr(0, colon));
      if (!name.empty())
        attributes.emplace_back(std::string(name), std::string(Trim(std::string_view(pending).substr(colon + 1))));
    }
    pending.clear();
  };
  size_t pos = 0;
  while (pos < text.size()) {
    std::string_view line = NextLine(text, &pos);
    if (line.empty()) break;  // end of the main section
    if (line.front() == ' ') {
      pending.append(line.substr(1));
      continue;
    }
    flush();
    pending.assign(line);
  }
  flush();
  return attributes;
}

bool FindAttribute(const TAttributes& attributes, std::string_view name, std::string* value) {
  for (const auto& [key, v] : attributes) {
    if (key != name) continue;
    if (value) *value = v;
    return true;
  }
  return false;
}

std::string DescriptorFromManifest(const TAttributes& attributes, const std::string& jarName, int64_t jarSize) {
  std::string text;
  for (const auto& [key, value] : attributes) {
    if (key == "MIDlet-Jar-URL" || key == "MIDlet-Jar-Size") continue;
    text += key + ": " + value + "\r\n";
  }
  text += "MIDlet-Jar-URL: " + jarName + "\r\n";
  text += "MIDlet-Jar-Size: " + std::to_string(jarSize) + "\r\n";
  return text;
}

}  // namespace suite
