#pragma once
// The upload half of the protocol, shared by a file upload and a suite
// install: the announcing request, then the file in numbered hexadecimal
// packets, each waited for, a rejected one sent once more.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "link/Link.h"

// Sends an upload or install request and waits for the phone's go-ahead;
// the line and the answer go to the log.
TResult SendUploadRequest(TLink& link, TStep step, const std::string& line, const TWaitRule& rule,
                          const TLogBytes& log);

struct TPacketPlan {
  TStep step = TStep::UploadPacket;
  // The wait for packet n of count.
  std::function<TWaitRule(int n, int count)> rule;
  // An archive packet whose wait ran out after some reply came back counts
  // as delivered; with nothing back, this text ends the install.
  const char* silentTimeOut = nullptr;
  // Told of each packet whose wait ran out with something back, which
  // counts as delivered, though the phone never said OK to it.
  std::function<void()> onUnanswered;
};

// Sends size bytes of file as packets; every packet and every reply goes to
// the log. Failed: the file could not be read ("Read file Err" shown).
TResult SendFilePackets(TLink& link, std::FILE* file, uint64_t size, const TPacketPlan& plan, const TLogBytes& log);
