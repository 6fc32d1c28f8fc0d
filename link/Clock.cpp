#include "link/Clock.h"

#include <thread>

namespace {
std::chrono::microseconds Scaled(int ms, double scale) {
  if (ms <= 0) return std::chrono::microseconds(0);
  // Sub-millisecond ticks keep a fast clock's long waits short; the floor
  // keeps a waiting loop from spinning.
  const long long us = static_cast<long long>(ms * 1000.0 * scale);
  return std::chrono::microseconds(us < 50 ? 50 : us);
}
}  // namespace

std::chrono::microseconds TClock::Span(int ms) const { return Scaled(ms, scale_); }

std::chrono::microseconds TClock::DelaySpan(int ms) const {
  if (recorder_) recorder_(ms);
  return Scaled(ms, delayScale_);
}

void TClock::Sleep(int ms) const {
  if (ms > 0) std::this_thread::sleep_for(DelaySpan(ms));
}
