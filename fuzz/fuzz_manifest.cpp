// Suite manifests: the text parser and the descriptor made from it, and
// (first byte odd) the archive reader over the input as a zip file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "content/SuiteArchive.h"
#include "content/SuiteManifest.h"

namespace {

void CheckManifest(const std::string& text) {
  const suite::TAttributes attributes = suite::ParseManifest(text);
  for (const auto& [name, value] : attributes) {
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(name.find_first_of("\r\n:") == std::string::npos);
    FUZZ_CHECK(value.find_first_of("\r\n") == std::string::npos);
  }
  const std::string jad = suite::DescriptorFromManifest(attributes, "x.jar", 1234);
  // One line per attribute kept, then the two of the archive, last.
  const std::string tail = "MIDlet-Jar-URL: x.jar\r\nMIDlet-Jar-Size: 1234\r\n";
  FUZZ_CHECK(jad.size() >= tail.size() && jad.compare(jad.size() - tail.size(), tail.size(), tail) == 0);
  size_t lines = 0;
  for (char c : jad) lines += c == '\n';
  size_t kept = 0;
  for (const auto& a : attributes) kept += a.first != "MIDlet-Jar-URL" && a.first != "MIDlet-Jar-Size";
  FUZZ_CHECK(lines == kept + 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  if ((data[0] & 1) == 0) {
    CheckManifest(rest);
    return 0;
  }
  static const std::string path = fuzz::ScratchDir() + "/x.jar";
  fuzz::WriteFileBytes(path, data + 1, size - 1);
  // A small cap, so the size limit is reached too.
  const size_t cap = 64 + data[0];
  std::string text, error;
  const bool ok = suite::ReadArchiveEntry(path, suite::kManifestEntry, cap, &text, &error);
  FUZZ_CHECK(text.size() <= cap);
  if (!ok) FUZZ_CHECK(text.empty() && !error.empty());
  if (ok) CheckManifest(text);
  return 0;
}
