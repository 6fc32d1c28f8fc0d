#pragma once
// One command and its answer: the result every phone operation returns,
// and the table of what each step says when the phone refuses, stays
// silent or the port fails. All those texts are in Exchange.cpp.
#include <cstdint>
#include <functional>
#include <string>

// A command step of an operation; names the texts its failures show.
enum class TStep {
  CheckLink, SelectFolder, ListFolder, RemoveFile,
  UploadRequest, UploadPacket, PacketResend,
  DownloadRequest, DownloadPacket,
  SelectJavaFolder, ListSuites, UninstallSuite, UpdateRemoval,
  DescriptorRequest, DescriptorPacket, ArchiveRequest, ArchivePacket,
};

enum class TOutcome {
  Ok,
  Refused,     // the phone answered ERROR (reply: its text)
  TimedOut,    // no verdict in time (reply: what came, maybe nothing)
  PortFailed,  // the port failed; the link was closed and the failure shown
  Aborted,     // hang-up, window closing or Stop: ends quietly
  Declined,    // the user said no (an overwrite, an update)
  Unanswered,  // a question nobody could answer: the file was not done
  Failed,      // on the PC side: a file that cannot be read or written, a bad name
};

// How an operation or one of its steps ended. Whatever ended it, the user
// was told or asked already: a result carries no message of its own.
struct TResult {
  TOutcome outcome = TOutcome::Ok;
  std::string reply;
  // A file sent: the name it went to the phone as (a rename's) and its size,
  // for the check that the phone keeps it.
  std::string sentName;
  uint64_t sentSize = 0;
  bool Ok() const { return outcome == TOutcome::Ok; }
  // Ended with nothing more to show or log: aborted, or the port failed
  // (and said so).
  bool Quiet() const { return outcome == TOutcome::Aborted || outcome == TOutcome::PortFailed; }
  static TResult Of(TOutcome outcome, std::string reply = {}) {
    TResult r;
    r.outcome = outcome;
    r.reply = std::move(reply);
    return r;
  }
};

struct TStepTexts {
  const char* writeFailed;  // the line could not be written
  const char* refused;      // ERROR
  const char* timedOut;     // no verdict
  bool rawAfterTimeOut;     // the reply as received follows the time-out text
  bool reasonAfterRefusal;  // the phone's reason follows the refusal text
};

const TStepTexts& StepTexts(TStep step);

// Appends to the transfer log, when one is open.
using TLogBytes = std::function<void(const std::string&)>;
