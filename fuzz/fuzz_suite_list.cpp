// The phone's suite listing with packet seams inside its values. A SIZE:
// that is not a number throws std::invalid_argument on purpose; anything
// else escaping, or a sanitizer report, is a finding.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "FuzzSupport.h"
#include "content/MidletPage.h"

namespace {

size_t Occurrences(const std::string& text, const char* key) {
  size_t n = 0;
  for (size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1)) ++n;
  return n;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  // One seam at most goes, and only around its own key.
  const std::string cleaned = RemoveListingSeam(text);
  if (text.find("*FDWN:") == std::string::npos) {
    FUZZ_CHECK(cleaned == text);
  } else {
    // Text before the seam's lead and after its tail is kept as it was.
    const size_t at = text.find("*FDWN:");
    const size_t keepHead = at >= 4 ? at - 4 : 0;
    const size_t tailFrom = std::min(text.size(), at + 10);
    FUZZ_CHECK(text.size() - cleaned.size() <= 14);
    FUZZ_CHECK(cleaned.size() == keepHead + (text.size() - tailFrom));
    FUZZ_CHECK(cleaned.compare(0, keepHead, text, 0, keepHead) == 0);
    FUZZ_CHECK(cleaned.compare(keepHead, std::string::npos, text, tailFrom, std::string::npos) == 0);
  }

  TInfoList<Mobile_info> list;
  try {
    ParsePhoneSuiteList(text, list);
  } catch (const std::invalid_argument& e) {
    // A NUL among the digits cuts the C string short; otherwise the text is whole.
    FUZZ_CHECK(e.what()[0] == '\'');
    if (text.find('\0') == std::string::npos)
      FUZZ_CHECK(EndsWith(e.what(), "' is not a valid integer value"));
  }
  // A record starts at a "URL:" and each complete one uses up its own
  // "NAME:"; records stay readable after a throw.
  if (text.find("URL:") == std::string::npos) FUZZ_CHECK(list.Empty());
  FUZZ_CHECK(list.Count() <= Occurrences(text, "NAME:") + 1);
  for (Mobile_info* m = list.First(); m; m = m->next.get()) {
    FUZZ_CHECK(m->url.size() <= text.size());
    FUZZ_CHECK(m->name.size() <= text.size());
    FUZZ_CHECK(m->version.size() <= text.size());
  }
  return 0;
}
