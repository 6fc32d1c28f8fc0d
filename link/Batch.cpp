#include "link/Batch.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "link/Connection.h"
#include "link/LogicLog.h"
#include "link/PhoneFiles.h"
#include "link/Text.h"

namespace {

const char* NotDoneText(TBatchOp op) {
  switch (op) {
    case TBatchOp::Send: return "Not sent: ";
    case TBatchOp::Fetch: return "Not fetched: ";
    case TBatchOp::Remove: return "Not removed: ";
  }
  return "Not done: ";
}

}  // namespace

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
  for (const TResult& r : report.results)
    if (r.Ok() && !r.sentName.empty()) sent.push_back(&r);
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
  // The files not started; told when the batch could not go on for a
  // reason of the link's, since no message of a file names them.
  auto endEarly = [&](size_t from, bool tell) {
    std::string names;
    for (size_t k = from; k < files.size(); ++k) {
      report.notDone.push_back(files[k].name);
      names += (names.empty() ? "" : ", ") + files[k].name;
    }
    if (tell && !names.empty()) link_.View().ShowMessage(NotDoneText(op_) + names);
    LogicLeftOut(names, tell ? "the phone could not be reached or the port failed" : "a file before failed");
  };
  const TWalkEnd end = WalkItems(link_, files.size(), [&](size_t i) {
    // A failed file closed the port: the rest go on only once the phone
    // answers again, never into a cascade of port errors.
    const unsigned beforeReconnect = link_.Flags().AbortCount;
    if (!link_.Port().Connected() && !Reconnect()) {
      if (link_.Flags().StopPending()) return false;
      report.aborted = link_.Flags().AbortedSince(beforeReconnect);
      endEarly(i, !report.aborted);
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
    if (r.outcome == TOutcome::PortFailed) {
      endEarly(i + 1, true);
      return false;
    }
    // The phone's refusal ends the batch (it would refuse the rest too); a
    // fetch or a removal that failed ends it as well. A send that failed
    // otherwise (a time-out, a file of the PC's) goes on with the next.
    if (!r.Ok() && r.outcome != TOutcome::Declined && r.outcome != TOutcome::Unanswered &&
        (op_ != TBatchOp::Send || r.outcome == TOutcome::Refused)) {
      endEarly(i + 1, false);
      return false;
    }
    if (OnFileEnd) OnFileEnd(r);
    return true;
  });
  report.stopped = end == TWalkEnd::Stopped;
  if (end == TWalkEnd::Closing) report.aborted = true;
  if (op_ == TBatchOp::Send && !report.stopped && !report.aborted) CheckStored(report);
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
