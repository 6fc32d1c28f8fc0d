// Descriptor text: the attribute reader on its own, then the catalogue
// scan of a folder holding that one descriptor.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "content/MidletPage.h"

namespace {

const char* const kKeys[] = {"MIDlet-Jar-Size", "MIDlet-Name", "MIDlet-Version", "MIDlet-Vendor",
                             "MIDlet-Jar-URL"};

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

void CheckValue(const std::string& text, const std::string& key, bool found, const std::string& value) {
  if (!found) return;
  FUZZ_CHECK(text.find(key) != std::string::npos);
  // One line's value: no line break, no trailing blank, no line end CR.
  FUZZ_CHECK(value.find('\n') == std::string::npos);
  FUZZ_CHECK(value.empty() || value.back() != ' ');
  FUZZ_CHECK(value.size() < text.size() || key.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  std::string values[5];
  bool found[5];
  for (int i = 0; i < 5; ++i) {
    found[i] = GetJadAttribute(text, kKeys[i], &values[i]);
    CheckValue(text, kKeys[i], found[i], values[i]);
  }
  // The first line's own key is always found.
  const size_t colon = text.find(':');
  const size_t lf = text.find('\n');
  if (colon != std::string::npos && colon > 0 && (lf == std::string::npos || colon < lf)) {
    const std::string key = text.substr(0, colon);
    std::string value;
    FUZZ_CHECK(GetJadAttribute(text, key, &value));
    CheckValue(text, key, true, value);
  }
  // A null value pointer only asks whether the key is there.
  FUZZ_CHECK(GetJadAttribute(text, kKeys[1], nullptr) == found[1]);
  const int32_t jarSize = found[0] ? LenientToInt(values[0]) : 0;

  // The catalogue over a folder with this single descriptor.
  static fuzz::NullView view;
  static TLink link(view);
  static TPageState pages;
  static TMidletPage page(link, pages);
  static const std::string jadPath = fuzz::ScratchDir() + "/x.jad";
  pages.PcFolder = fuzz::ScratchDir();
  fuzz::WriteFileBytes(jadPath, data, size);
  view.messages = 0;
  page.LocalAppDL_ViewPcOperation();

  const bool complete = found[0] && found[1] && found[2] && found[3] && found[4];
  FUZZ_CHECK(page.PcSuites.Count() == (complete ? 1u : 0u));
  if (complete) {
    const MIDlet_Info* rec = page.PcSuites.First();
    FUZZ_CHECK(rec->name == values[1]);
    FUZZ_CHECK(rec->version == values[2]);
    FUZZ_CHECK(rec->jarSize == jarSize);
    FUZZ_CHECK(EndsWith(rec->jadPath, "/x.jad"));
    FUZZ_CHECK(EndsWith(rec->jarPath, "/x.jar"));
    FUZZ_CHECK(view.messages == 0);
  } else {
    // The user hears which attribute is missing.
    FUZZ_CHECK(view.messages == 1);
    FUZZ_CHECK(view.lastMessage.find(" lost <MIDlet-") != std::string::npos);
  }
  return 0;
}
