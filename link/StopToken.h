#pragma once
// What an operation may ask of Stop, a hang-up and the window's close. The
// session raises Stop; an operation reads the token and takes a Stop it
// acts on. Only the link itself raises and clears an abort.
#include "link/Reply.h"

class TStopToken {
 public:
  explicit TStopToken(TAbortFlags& flags) : flags_(flags) {}
  // The Stop button or Ctrl+C: one atomic store, so a signal handler may.
  void Request() { flags_.RequestStop(); }
  bool Pending() const { return flags_.StopPending(); }
  // True once for a Stop requested; clears it.
  bool Take() { return flags_.TakeStop(); }
  // A hang-up or the window's close ends every wait of the operation.
  bool Ended() const { return flags_.AbortRequested(); }
  bool Closing() const { return flags_.AppClosing != 0; }
  // Whether such an end came since Mark() was read.
  unsigned Mark() const { return flags_.AbortCount; }
  bool EndedSince(unsigned mark) const { return flags_.AbortedSince(mark); }

 private:
  TAbortFlags& flags_;
};
