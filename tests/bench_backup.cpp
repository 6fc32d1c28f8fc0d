// A whole backup against the single fetches of the same files, in one run
// against the virtual phone. Prints figures only.
//   bench_backup [files-per-folder] [bytes-per-file] [clock-scale]   (default 4 20000 0.05)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "content/Backup.h"
#include "support/SimLink.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Pattern(size_t size, unsigned seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 31 + i / 97 + seed) & 0xFF);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int perFolder = argc > 1 ? std::atoi(argv[1]) : 4;
  const size_t bytes = argc > 2 ? static_cast<size_t>(std::strtoull(argv[2], nullptr, 10)) : 20000;
  const double scale = argc > 3 ? std::atof(argv[3]) : 0.05;

  SimLink rig;
  setenv("HOME", rig.dir.path().c_str(), 1);
  for (int f = 1; f <= 3; ++f)
    for (int i = 0; i < perFolder; ++i)
      rig.dir.Write("phone/" + std::to_string(f) + "/file " + std::to_string(i) + ".bin", Pattern(bytes, f * 100 + i));
  fs::create_directories(rig.dir.File("single"));
  rig.link->SetClock(TClock(scale));
  rig.Connect();

  // The same files fetched one by one, each timed on its own.
  double single = 0;
  int fetched = 0;
  rig.pages.PcFolder = rig.dir.File("single");
  for (int f = 1; f <= 3; ++f) {
    SelectPhoneFolder(*rig.link, rig.pages, f);
    for (int i = 0; i < perFolder; ++i) {
      const std::string name = "file " + std::to_string(i) + ".bin";
      fs::remove(rig.dir.File("single/" + name));
      const auto t0 = Clock::now();
      const TResult r = DownloadFile(*rig.link, rig.pages.PcFolder, name, static_cast<int>(bytes));
      single += std::chrono::duration<double>(Clock::now() - t0).count();
      fetched += r.Ok();
    }
  }

  backup::TBackup run(*rig.link);
  const auto t0 = Clock::now();
  const bool ok = run.Run(rig.dir.File("backups"), std::time(nullptr));
  const double whole = std::chrono::duration<double>(Clock::now() - t0).count();

  const double total = 3.0 * perFolder * static_cast<double>(bytes);
  std::printf("%d files of %zu bytes, clock scale %.2f\n", 3 * perFolder, bytes, scale);
  std::printf("%-22s %s %8.2f s %10.0f B/s\n", "single fetches (sum)", fetched == 3 * perFolder ? "ok    " : "FAILED",
              single, total / single);
  std::printf("%-22s %s %8.2f s %10.0f B/s\n", "backup", ok ? "ok    " : "FAILED", whole, total / whole);
  std::printf("backup / single fetches: %.2f (the batch's pauses between files, the listings and the sums)\n",
              whole / single);
  return 0;
}
