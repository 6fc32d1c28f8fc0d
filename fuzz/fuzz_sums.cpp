// A backup's sums file as a restore reads it: the lines alone, then the
// whole check of a backup folder holding it beside a few fixed files.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include "content/Backup.h"
#include "content/Sha256.h"

namespace {

// The backup's own files; make_corpus.py writes seeds with their sums.
const std::string kMelody("MThd\0\0\0\x06melody", 14);
const std::string kPicture = "GIF89a picture";
const std::string kSuites = "name\tversion\tsize\turl\nGame\t1.0\t100\tgame.jar\n";

std::string Backup() { return fuzz::ScratchDir() + "/bk"; }

void Put(const std::string& rel, const std::string& bytes) {
  fuzz::WriteFileBytes(Backup() + "/" + rel, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string Slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(f), {});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const char* sub : {"melodies", "animations", "pictures"})
    FUZZ_CHECK(std::filesystem::create_directories(Backup() + "/" + sub));
  Put("melodies/a.mid", kMelody);
  Put("pictures/b.gif", kPicture);
  Put("suites.tsv", kSuites);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<backup::TSumEntry> entries;
  const bool whole = backup::ParseSums(text, &entries);
  std::set<std::string> named;
  for (const backup::TSumEntry& e : entries) {
    FUZZ_CHECK(e.hex.size() == 64 && !e.relPath.empty());
    FUZZ_CHECK(named.insert(e.relPath).second);
  }
  if (whole) {
    FUZZ_CHECK(named.count(backup::kSuitesFile) == 1);
    // One entry a line, the last one with its line end or without.
    const size_t ends = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    FUZZ_CHECK(entries.size() == ends + (text.back() != '\n'));
  }

  fuzz::WriteFileBytes(Backup() + "/" + backup::kSumsFile, data, size);
  const backup::TBackupContents c = backup::CheckBackup(Backup());
  const bool refused = !c.bad.empty();
  FUZZ_CHECK(whole || refused);
  FUZZ_CHECK(!refused || (c.files.empty() && !c.copies));
  // Only what a sum names and holds is sent, and from a copy of its bytes.
  for (const backup::TBackupFile& f : c.files) {
    const std::string rel = std::string(backup::FolderName(f.folder)) + "/" + f.name;
    FUZZ_CHECK(rel == "melodies/a.mid" || rel == "pictures/b.gif");
    FUZZ_CHECK(named.count(rel) == 1);
    const std::string bytes = Slurp(f.path);
    FUZZ_CHECK(bytes == (f.folder == 1 ? kMelody : kPicture));
    FUZZ_CHECK(f.path.rfind(Backup(), 0) == std::string::npos);
  }
  for (const std::string& rel : c.extra) {
    FUZZ_CHECK(rel == "melodies/a.mid" || rel == "pictures/b.gif");
    FUZZ_CHECK(named.count(rel) == 0 && whole);
  }
  if (!refused) FUZZ_CHECK(c.suites.size() == 1 && c.suites[0].name == "Game");
  return 0;
}
