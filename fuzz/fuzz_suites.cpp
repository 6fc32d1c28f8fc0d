// A backup's suites.tsv: its rows alone, written again and read back, and
// the same bytes read through the check of a backup whose sums hold them.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"
#include "content/Backup.h"
#include "content/Sha256.h"

namespace {

std::string Backup() { return fuzz::ScratchDir() + "/bk"; }

// A field as the writer keeps it: on one line, in one column.
std::string OneField(std::string s) {
  for (char& c : s)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return s;
}

bool SameRows(const std::vector<backup::TSuiteRow>& a, const std::vector<backup::TSuiteRow>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].name != b[i].name || a[i].version != b[i].version || a[i].url != b[i].url || a[i].size != b[i].size)
      return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const char* sub : {"melodies", "animations", "pictures"})
    FUZZ_CHECK(std::filesystem::create_directories(Backup() + "/" + sub));
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<backup::TSuiteRow> rows = backup::ParseSuitesText(text);
  size_t lines = 0;
  for (char c : text) lines += c == '\n';
  FUZZ_CHECK(rows.size() <= lines);
  std::vector<backup::TSuiteRow> kept;
  for (const backup::TSuiteRow& r : rows) {
    FUZZ_CHECK(!r.name.empty());
    for (const std::string* f : {&r.name, &r.version, &r.url})
      FUZZ_CHECK(f->find('\n') == std::string::npos && f->find('\t') == std::string::npos);
    kept.push_back({OneField(r.name), OneField(r.version), OneField(r.url), r.size});
  }
  // What is written is read back as written.
  FUZZ_CHECK(SameRows(backup::ParseSuitesText(backup::SuitesText(rows)), kept));

  // The check reads the same rows from the backup it sums.
  fuzz::WriteFileBytes(Backup() + "/" + backup::kSuitesFile, data, size);
  const std::string sums = backup::SumLine(Sha256Hex(text), backup::kSuitesFile);
  fuzz::WriteFileBytes(Backup() + "/" + backup::kSumsFile, reinterpret_cast<const uint8_t*>(sums.data()), sums.size());
  const backup::TBackupContents c = backup::CheckBackup(Backup());
  FUZZ_CHECK(c.bad.empty() && c.extra.empty() && c.files.empty());
  FUZZ_CHECK(SameRows(c.suites, rows));
  return 0;
}
