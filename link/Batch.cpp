#include "link/Batch.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/Connection.h"
#include "link/LogicLog.h"
#include "link/PhoneFiles.h"
#include "link/Text.h"
#include "link/Transfers.h"

namespace {

const char* NotDonePrefix(TBatchOp op) {
  switch (op) {
    case TBatchOp::Send: return "Not sent: ";
    case TBatchOp::Fetch: return "Not fetched: ";
    case TBatchOp::Remove: return "Not removed: ";
  }
  return "Not done: ";
}

// Whether the file's own end named it already: a question nobody could
// answer, or a name refused before anything went out.
bool NamedAtItsEnd(TBatchOp op, const std::string& name, const TResult& r) {
  if (r.outcome == TOutcome::Unanswered) return true;
  if (r.outcome != TOutcome::Failed) return false;
  return !IsSafeCommandName(name) || (op == TBatchOp::Fetch && !IsSafeLocalName(name));
}

}  // namespace

std::string TBatchReport::NotDoneText(TBatchOp op, const std::vector<TBatchFile>& files) const {
  std::string names;
  for (size_t i = 0; i < files.size(); ++i) {
    if (i < results.size()) {
      if (Done(i) || NamedAtItsEnd(op, files[i].name, results[i])) continue;
      // "Not stored by the phone" named it.
      if (results[i].Ok()) continue;
    }
    names += (names.empty() ? "" : ", ") + files[i].name;
  }
  return names.empty() ? names : NotDonePrefix(op) + names;
}

bool TBatchReport::Done(size_t i) const {
  const TResult& r = results[i];
  if (r.outcome == TOutcome::Declined) return true;
  if (!r.Ok()) return false;
  for (const std::string& name : notStored)
    if (name == r.sentName) return false;
  return true;
}

bool TBatchReport::AllDone() const {
  if (stopped || aborted || !notDone.empty() || !notStored.empty()) return false;
  for (size_t i = 0; i < results.size(); ++i)
    if (!Done(i)) return false;
  return true;
}

void TBatch::CheckStored(TBatchReport& report) {
  std::vector<const TResult*> sent;
  for (size_t i = 0; i < report.results.size(); ++i) {
    const TResult& r = report.results[i];
    if (!r.Ok() || r.sentName.empty()) continue;
    // A name the batch sent again later (two PC files of one name, the
    // second overwriting by the user's answer) is the later file's now.
    bool again = false;
    for (size_t j = i + 1; j < report.results.size() && !again; ++j)
      again = report.results[j].Ok() && SamePhoneName(report.results[j].sentName, r.sentName);
    if (!again) sent.push_back(&r);
  }
  if (sent.empty()) return;
  // An OK to the last packet is the phone's word only; its listing shows
  // what it kept. A list that cannot be read confirms nothing, nor does a
  // port that failed under a write (nothing more goes out on it).
  const bool portGone = report.results.back().outcome == TOutcome::PortFailed;
  const bool listed = !portGone && (link_.Port().Connected() || Reconnect()) &&
                      ListPhoneFolder(link_, pages_, TListShow::Quiet).Ok();
  std::string names;
  for (const TResult* r : sent) {
    bool kept = false;
    for (pic_info* e = listed ? pages_.PhoneFileList.First() : nullptr; e && !kept; e = e->next.get())
      kept = SamePhoneName(e->Name, r->sentName) && e->SizeText == std::to_string(r->sentSize);
    if (kept) continue;
    report.notStored.push_back(r->sentName);
    names += (names.empty() ? "" : ", ") + r->sentName;
  }
  if (names.empty()) return;
  link_.View().ShowMessage((listed ? "Not stored by the phone: " : "Not confirmed: the phone's list could not be read: ") +
                           names);
}

TResult TBatch::RunOne(const TBatchFile& file) {
  switch (op_) {
    case TBatchOp::Send: return UploadFile(link_, pages_, file.pcFolder, file.name, folder_);
    case TBatchOp::Fetch: return DownloadFile(link_, file.pcFolder, file.name, file.size);
    case TBatchOp::Remove: break;
  }
  return RemovePhoneFile(link_, file.name);
}

bool TBatch::Reconnect() {
  if (!CheckLink(link_)) return false;
  if (!SelectPhoneFolder(link_, pages_, folder_).Ok()) return false;
  // Without a list the next send would have to ask; a failed listing still
  // leaves that to the upload's own question.
  if (op_ == TBatchOp::Send) ListPhoneFolder(link_, pages_, TListShow::Quiet);
  return !link_.Flags().AbortRequested();
}

TBatchReport TBatch::Run(const std::vector<TBatchFile>& files) {
  TBatchReport report;
  LogicBatchStart(op_, files.size(), folder_);
  const TWalkEnd end = WalkItems(link_, files.size(), [&](size_t i) {
    // A failed file closed the port: the rest go on only once the phone
    // answers again, never into a cascade of port errors.
    const unsigned beforeReconnect = link_.Flags().AbortCount;
    if (!link_.Port().Connected() && !Reconnect()) {
      if (!link_.Flags().StopPending()) report.aborted = link_.Flags().AbortedSince(beforeReconnect);
      return false;
    }
    const unsigned mark = link_.Flags().AbortCount;
    const TResult r = RunOne(files[i]);
    report.results.push_back(r);
    LogicFileEnd(files[i].name, r);
    // Stopped: the files done stay done, the rest are not started.
    if (link_.Flags().StopPending()) return false;
    if (link_.Flags().AbortedSince(mark)) {
      report.aborted = true;
      return false;
    }
    // A port that failed under a write is gone: nothing more goes out.
    if (r.outcome == TOutcome::PortFailed) return false;
    // The phone's refusal ends the batch (it would refuse the rest too); a
    // fetch or a removal that failed ends it as well. A send that failed
    // otherwise (a time-out, a file of the PC's) goes on with the next.
    if (!r.Ok() && r.outcome != TOutcome::Declined && r.outcome != TOutcome::Unanswered &&
        (op_ != TBatchOp::Send || r.outcome == TOutcome::Refused))
      return false;
    if (OnFileEnd) OnFileEnd(r);
    return true;
  });
  report.stopped = end == TWalkEnd::Stopped;
  if (end == TWalkEnd::Closing) report.aborted = true;
  for (size_t k = report.results.size(); k < files.size(); ++k) report.notDone.push_back(files[k].name);
  if (op_ == TBatchOp::Send && !report.stopped && !report.aborted) CheckStored(report);
  // However it ended, one text names what was not done; no message of a
  // file names the files never started.
  if (!report.stopped && !link_.Flags().AppClosing) {
    const std::string text = report.NotDoneText(op_, files);
    if (!text.empty()) {
      link_.View().ShowMessage(text);
      LogicDecision(text);
    }
  }
  LogicBatchEnd(op_, report);
  return report;
}

TBatchGuard::TBatchGuard(TLink& link, int totalMax) : link_(link), bars_(false) {
  // A Stop pressed before the operation was taken by the session; one
  // pressed since (during a listing before the batch) counts.
  ShowTotal(totalMax);
  link_.View().SetActionsEnabled(false);
}

TBatchGuard::~TBatchGuard() {
  HideBars();
  link_.Flags().TakeStop();
  link_.View().SetActionsEnabled(true);
}

void TBatchGuard::ShowTotal(int totalMax) {
  if (totalMax <= 0) return;
  bars_ = true;
  link_.View().ShowTotalBar(totalMax);
}

void TBatchGuard::HideBars() {
  if (!bars_) return;
  bars_ = false;
  link_.View().ShowProgressBar(false);
  link_.View().HideTotalBar();
}

bool PauseUnlessStopped(TLink& link, int ms) {
  const auto end = std::chrono::steady_clock::now() + link.Clock().DelaySpan(ms);
  for (;;) {
    link.WaitTurn();
    if (link.Flags().TakeStop()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    std::this_thread::sleep_for(std::min(left, std::chrono::microseconds(10000)));
  }
}

TWalkEnd WalkItems(TLink& link, size_t count, const std::function<bool(size_t)>& item) {
  return WalkItems(link, count, item, {});
}

TWalkEnd WalkItems(TLink& link, size_t count, const std::function<bool(size_t)>& item,
                   const std::function<bool(size_t)>& pauseBefore) {
  for (size_t i = 0; i < count; ++i) {
    const bool pause = i > 0 && (!pauseBefore || pauseBefore(i));
    if (pause && !PauseUnlessStopped(link, kPauseBetweenFilesMs)) return TWalkEnd::Stopped;
    if (i > 0 && link.Flags().AppClosing) return TWalkEnd::Closing;
    const bool next = item(i);
    if (link.Flags().TakeStop()) return TWalkEnd::Stopped;
    if (link.Flags().AppClosing) return TWalkEnd::Closing;
    if (!next) return TWalkEnd::Ended;
  }
  return TWalkEnd::Done;
}
