#pragma once
// How long the protocol's fixed delays last. The product runs them at their
// length; tests and the command line's test build hand the link a faster
// clock, so the same waits run without waiting for the design's delays.
#include <chrono>

class TClock {
 public:
  // scale 1 is real time; 0.05 runs every delay at a twentieth.
  explicit TClock(double scale = 1.0) : scale_(scale > 0 ? scale : 1.0) {}
  double Scale() const { return scale_; }
  // A delay of ms as this clock runs it; never zero for a delay above zero.
  std::chrono::microseconds Span(int ms) const;
  void Sleep(int ms) const;

 private:
  double scale_;
};
