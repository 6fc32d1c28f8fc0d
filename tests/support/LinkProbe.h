#pragma once
// The tests' view of the link's insides: a line written and waited for
// without an exchange's texts, and the receiver's state.
#include <string>

#include "link/Link.h"

class TLinkProbe {
 public:
  explicit TLinkProbe(TLink& link) : link_(link) {}
  bool SendLine(const std::string& line) { return link_.SendLine(line); }
  TWaitEnd WaitReply(const TWaitRule& rule) { return link_.WaitReply(rule); }
  void PauseReceiver() { link_.PauseReceiver(); }
  bool ReceiverPaused() const { return link_.ReceiverPaused(); }
  bool ReceiverRunning() const { return link_.ReceiverRunning(); }

 private:
  TLink& link_;
};
