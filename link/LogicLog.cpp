#include "link/LogicLog.h"

#include "link/Batch.h"
#include "link/ProtocolTrace.h"

namespace {

const char* OpName(TBatchOp op) {
  switch (op) {
    case TBatchOp::Send: return "send";
    case TBatchOp::Fetch: return "fetch";
    case TBatchOp::Remove: return "remove";
  }
  return "batch";
}

const char* OutcomeName(TOutcome o) {
  switch (o) {
    case TOutcome::Ok: return "done";
    case TOutcome::Refused: return "refused by the phone";
    case TOutcome::TimedOut: return "no answer in time";
    case TOutcome::PortFailed: return "the port failed";
    case TOutcome::Aborted: return "aborted";
    case TOutcome::Declined: return "declined by the user";
    case TOutcome::Unanswered: return "a question nobody could answer";
    case TOutcome::Failed: return "failed on the PC";
  }
  return "?";
}

}  // namespace

void LogicStart(const std::string& operation, const std::string& detail) {
  SessionLogic().Line("start", detail.empty() ? operation : operation + ": " + detail);
}

void LogicDecision(const std::string& what) { SessionLogic().Line("  decided", what); }

void LogicEnd(const std::string& operation, const std::string& counts) {
  SessionLogic().Line("end", counts.empty() ? operation : operation + ": " + counts);
}

void LogicBatchStart(TBatchOp op, size_t files, int folder) {
  if (!SessionLogic().Active()) return;
  LogicStart(OpName(op), std::to_string(files) + " file(s), phone folder " + std::to_string(folder));
}

void LogicFileEnd(const std::string& name, const TResult& r) {
  if (!SessionLogic().Active()) return;
  std::string what = name + ": " + OutcomeName(r.outcome);
  if (!r.sentName.empty() && r.sentName != name) what += " (sent as " + r.sentName + ")";
  if (!r.Ok() && !r.reply.empty()) what += "; the phone said " + r.reply;
  LogicDecision(what);
}

void LogicBatchEnd(TBatchOp op, const TBatchReport& report) {
  if (!SessionLogic().Active()) return;
  size_t done = 0;
  for (size_t i = 0; i < report.results.size(); ++i) done += report.Done(i) ? 1 : 0;
  std::string counts = std::to_string(report.results.size()) + " started, " + std::to_string(done) + " done, " +
                       std::to_string(report.notDone.size()) + " not started, " +
                       std::to_string(report.notStored.size()) + " not kept by the phone";
  if (report.stopped) counts += ", stopped by the user";
  if (report.aborted) counts += ", aborted";
  LogicEnd(OpName(op), counts);
}

TOverwriteChoice LogicClash(const std::string& name, const TOverwriteChoice& choice) {
  if (SessionLogic().Active()) {
    switch (choice.answer) {
      case TOverwriteAnswer::Cancel: LogicDecision(name + " is on the phone: the user kept it (not sent)"); break;
      case TOverwriteAnswer::Overwrite: LogicDecision(name + " is on the phone: the user chose to overwrite it"); break;
      case TOverwriteAnswer::Rename: LogicDecision(name + " is on the phone: renamed to " + choice.name); break;
      case TOverwriteAnswer::Unanswered: LogicDecision(name + " is on the phone: nobody could answer (not sent)"); break;
    }
  }
  return choice;
}
