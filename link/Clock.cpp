#include "link/Clock.h"

#include <thread>

std::chrono::microseconds TClock::Span(int ms) const {
  if (ms <= 0) return std::chrono::microseconds(0);
  // Sub-millisecond ticks keep a fast clock's long waits short; the floor
  // keeps a waiting loop from spinning.
  const long long us = static_cast<long long>(ms * 1000.0 * scale_);
  return std::chrono::microseconds(us < 50 ? 50 : us);
}

void TClock::Sleep(int ms) const {
  if (ms > 0) std::this_thread::sleep_for(Span(ms));
}
