#include "link/Timing.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace timing {
namespace {
std::atomic<double> g_scale{1.0};
}

void SetScale(double scale) { g_scale = scale > 0 ? scale : 1.0; }
double Scale() { return g_scale; }

int Scaled(int ms) {
  if (ms <= 0) return 0;
  int s = static_cast<int>(ms * g_scale.load());
  return s < 1 ? 1 : s;
}

void SleepMs(int ms) {
  if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(Scaled(ms)));
}
}  // namespace timing
