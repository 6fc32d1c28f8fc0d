// What the protocol log costs: a 100 KB fetch from the virtual phone with
// the log off and on, in turns, in one run. Prints figures only.
//   bench_trace [rounds]   (default 3)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "link/ProtocolTrace.h"
#include "support/FaultHelpers.h"
#include "support/SimLink.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr size_t kFileBytes = 100 * 1024;

double Fetch(SimLink& rig) {
  const auto t0 = Clock::now();
  DownloadFile(*rig.link, rig.pages.PcFolder, "big.bin", static_cast<int>(kFileBytes));
  const double s = std::chrono::duration<double>(Clock::now() - t0).count();
  if (rig.link->Reply().State() != rsOk || std::filesystem::file_size(rig.pages.PcFolder + "/big.bin") != kFileBytes) {
    std::fprintf(stderr, "the fetch failed\n");
    std::exit(1);
  }
  std::filesystem::remove(rig.pages.PcFolder + "/big.bin");
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  SimLink rig;
  rig.dir.Write("phone/3/big.bin", faults::Pattern(kFileBytes, 5));
  rig.pages.PcFolder = rig.dir.File("pc");
  std::filesystem::create_directories(rig.pages.PcFolder);
  rig.Connect();
  rig.Exchange("AT*FLIST=3\r");
  const std::string log = rig.dir.File("apProtocol.log");
  double off = 0, on = 0;
  uintmax_t logBytes = 0;
  Fetch(rig);  // warm: the first fetch pays for the files' first opening
  for (int i = 0; i < rounds; ++i) {
    off += Fetch(rig);
    std::FILE* f = std::fopen(log.c_str(), "w+");
    SessionTrace().Attach(f, log, uint64_t{1} << 30);
    on += Fetch(rig);
    SessionTrace().Detach();
    std::fclose(f);
    logBytes = std::filesystem::file_size(log);
  }
  off /= rounds;
  on /= rounds;
  std::printf("100 KB fetch, %d rounds each, in turns\n", rounds);
  std::printf("  without the protocol log: %.3f s\n", off);
  std::printf("  with the protocol log:    %.3f s (%+.1f %%)\n", on, (on - off) / off * 100.0);
  std::printf("  log size: %ju bytes, %.2f times the file\n", logBytes,
              static_cast<double>(logBytes) / static_cast<double>(kFileBytes));
  return 0;
}
