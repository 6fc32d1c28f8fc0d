// Receiver figures: CPU on a quiet line, and the "AT" round trip as the
// waiting loop sees it. Prints only; these machines are shared and noisy.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "support/SimLink.h"

namespace {

double CpuSeconds() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
  int quietSeconds = argc > 1 ? std::atoi(argv[1]) : 10;
  SimLink s;
  s.Connect();

  double cpu0 = CpuSeconds();
  auto t0 = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(std::chrono::seconds(quietSeconds));
  double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  double cpu = CpuSeconds() - cpu0;
  std::printf("quiet line: %.3f s CPU in %.1f s = %.2f%% of one core (goal < 2%%)\n", cpu, wall,
              100.0 * cpu / wall);

  std::vector<double> ms;
  for (int i = 0; i < 200; ++i) {
    auto a = std::chrono::steady_clock::now();
    if (s.Exchange("AT\r\n") != TWaitEnd::Awaited) {
      std::printf("round trip %d failed\n", i);
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
  }
  std::sort(ms.begin(), ms.end());
  std::printf("AT round trip over 200 exchanges: median %.2f ms, p95 %.2f ms, max %.2f ms (goal < 15 ms)\n",
              ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.back());
  return 0;
}
