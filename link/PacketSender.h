#pragma once
// The upload half of the protocol, shared by a file upload and a suite
// install: the announcing request, then the file in numbered hexadecimal
// packets, each waited for, a rejected one sent once more.
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

#include "link/Link.h"

// The texts one upload step shows; they differ between a file, a
// descriptor and an archive.
struct TUploadTexts {
  const char* writeFailed;  // the port failed while writing the line
  const char* refused;      // the phone answered ERROR
  const char* timedOut;     // no verdict in time; the raw reply follows it
};

// How an upload step ended, as its caller goes on from it.
enum class TUploadEnd {
  Sent,        // accepted
  Refused,     // a verdict was shown: the caller runs its ending
  ReadFailed,  // the PC file could not be read ("Read file Err" shown)
  Quiet,       // aborted or stopped, or a failed write already reported
};

// Appends to the transfer log, when one is open.
using TLogBytes = std::function<void(const std::string&)>;

// Sends an upload or install request and waits for the phone's go-ahead. A
// refusal shows the step's text and the phone's reason.
TUploadEnd SendUploadRequest(TLink& link, const std::string& line, const TWaitRule& rule,
                             const TUploadTexts& texts, const TLogBytes& log);

struct TPacketPlan {
  TUploadTexts texts;
  // The wait for packet n of count.
  std::function<TWaitRule(int n, int count)> rule;
  // An archive packet whose wait ran out after some reply came back counts
  // as delivered; with nothing back, this text ends the install.
  const char* silentTimeOut = nullptr;
};

// Sends size bytes of file as packets; every packet and every reply goes to the log.
TUploadEnd SendFilePackets(TLink& link, std::FILE* file, uint64_t size, const TPacketPlan& plan,
                           const TLogBytes& log);
