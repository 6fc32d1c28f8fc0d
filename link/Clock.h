#pragma once
// How long the protocol's waits and fixed delays last. The product runs them
// at their length; tests and the command line's test build hand the link a
// faster clock, so the same waits run without waiting for the design's delays.
#include <chrono>
#include <functional>
#include <utility>

class TClock {
 public:
  // scale 1 is real time; 0.05 runs every wait at a twentieth. A clock
  // faster than real time is a test clock, and runs its fixed delays ten
  // times faster still: a delay is only the phone's breathing space, which
  // a test's phone does not need, while a time-out must still outlast the
  // scheduling gaps of a loaded machine.
  explicit TClock(double scale = 1.0)
      : scale_(scale > 0 ? scale : 1.0), delayScale_(scale_ < 1.0 ? scale_ / 10 : scale_) {}
  double Scale() const { return scale_; }
  // A wait or time-out of ms as this clock runs it; never zero above zero.
  std::chrono::microseconds Span(int ms) const;
  // A fixed delay (settling, the pause between files) as this clock runs it.
  std::chrono::microseconds DelaySpan(int ms) const;
  double DelayScale() const { return delayScale_; }
  void Sleep(int ms) const;  // sleeps a fixed delay
  // Told every fixed delay asked of this clock (and of its copies), in ms
  // as asked: a test reads a pause there, where a fast clock makes it too
  // short to stand out from the traffic around it.
  void RecordDelays(std::function<void(int ms)> recorder) { recorder_ = std::move(recorder); }

 private:
  double scale_;
  double delayScale_;
  std::function<void(int)> recorder_;
};
