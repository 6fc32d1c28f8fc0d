#include "link/Receiver.h"

#include <chrono>

#include "link/Reply.h"
#include "link/ThreadQueue.h"
#include "port/ComPort.h"

namespace {
std::atomic<unsigned long> g_nextReceiverId{1};
}

TReceiver::TReceiver(TReceiverLine line, TReceiverRun run)
    : line_(std::move(line)), run_(run), id_(g_nextReceiverId++) {
  if (run_ == TReceiverRun::OwnThread) thread_ = std::thread([this] { Execute(); });
}

TReceiver::~TReceiver() {
  Terminate();
  Join();
}

void TReceiver::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TReceiver::Terminate() {
  terminated_ = true;
  {
    std::lock_guard<std::mutex> lock(mu_);
    cv_.notify_all();
  }
  // With no thread of its own, the receiver ends here.
  if (InWaits()) Finish();
}

void TReceiver::Pause() {
  std::unique_lock<std::mutex> lock(mu_);
  pauseRequested_ = true;
  // The caller closes the port next: wait until the cycle has ended, so the
  // closing never shows up as a port failure. Drain the link's inbox while
  // waiting, because a cycle may be waiting for a message box.
  while (!paused_ && !finished_ && thread_.joinable()) {
    cv_.wait_for(lock, std::chrono::milliseconds(5));
    if (paused_ || finished_) break;
    lock.unlock();
    if (line_.inbox.OnOwnerThread()) line_.inbox.Drain();
    lock.lock();
  }
}

void TReceiver::Resume() {
  std::lock_guard<std::mutex> lock(mu_);
  pauseRequested_ = false;
  cv_.notify_all();
}

bool TReceiver::Paused() const {
  std::lock_guard<std::mutex> lock(mu_);
  return pauseRequested_;
}

void TReceiver::Execute() {
  while (!terminated_) {
    if (!Cycle(10)) break;
    // A pause takes effect here, at the end of a cycle.
    std::unique_lock<std::mutex> lock(mu_);
    if (pauseRequested_ && !terminated_) {
      paused_ = true;
      cv_.notify_all();
      cv_.wait(lock, [&] { return !pauseRequested_ || terminated_.load(); });
      paused_ = false;
    }
  }
  Finish();
}

void TReceiver::Finish() {
  if (finished_.exchange(true)) return;
  {
    std::lock_guard<std::mutex> lock(mu_);
    cv_.notify_all();
  }
  line_.inbox.Post([finished = line_.finished, id = id_] { finished(id); });
}

void TReceiver::Poll() {
  if (!terminated_ && !Paused()) Cycle(0);
}

bool TReceiver::Cycle(int waitMs) {
  try {
    ReadAndClassify(waitMs);
    return true;
  } catch (const std::exception&) {
    // A port closed under a receiver that was asked to stop is no failure.
    if (!terminated_) FailurePath("COM port exception while receive");
    return false;
  }
}

void TReceiver::ReadAndClassify(int waitMs) {
  TComPort& port = line_.port;
  port.SetEvents(evRxChar);
  try {
    std::string piece;
    for (;;) {
      TComEvents events = evRxChar;
      port.WaitForEvent(events, nullptr, waitMs);
      if (port.InputCount() != 0) {
        port.ReadStr(piece, 16);
        line_.reply.Append(piece.data(), piece.size());
      }
      if (!(events & evRxChar)) break;
      // A device that never pauses must not hold a stop or pause request
      // for ever: the requester waits for the end of this cycle.
      if (terminated_ || Paused()) break;
    }
  } catch (const EComPort&) {
    if (!terminated_) FailurePath("COM Port Exception while wait event");
    return;
  }
  TClassifyResult r = line_.reply.Classify();
  if (r.installResult) {
    ShowMessage(InstallResultMessage(r.installCode));
    if (r.installCode < 1 || r.installCode > 7) ShowMessage(r.rawText);
    line_.reply.ReceiverBoxShown();
    line_.inbox.Wake();
  }
}

void TReceiver::ShowMessage(const std::string& text) {
  line_.inbox.RunAndWait([show = line_.showMessage, text] { show(text); });
}

void TReceiver::FailurePath(const char* message) {
  ShowMessage(message);
  Terminate();
  line_.linkFailed = 1;
  TComPort& port = line_.port;
  port.SetEvents(0);
  // Release the failed device and keep its name: the next connect or page
  // opens the user's port again, never a device the user did not choose.
  try {
    port.Close();
  } catch (const std::exception&) {
  }
  line_.inbox.RunAndWait(line_.showFailure);
}
