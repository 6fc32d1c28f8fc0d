#include "link/Link.h"

#include <chrono>

#include "link/PortMap.h"
#include "link/ProtocolTrace.h"

TLink::TLink(IFormView& view, std::unique_ptr<IComBackend> backend, TReceiverRun receiverRun)
    : view_(view), port_(TracedBackend(std::move(backend))), receiverRun_(receiverRun) {
  // The names the user picks ("COM3") open the devices the port map names.
  port_.SetDeviceResolver(ResolvePortDevice);
}

TLink::~TLink() {
  ReleaseReceiver();
  try {
    port_.Close();
  } catch (const std::exception&) {
  }
}

void TLink::ReleaseReceiver() {
  inbox_.Cancel();
  if (receiver_) {
    receiver_->Terminate();
    receiver_->Resume();
    receiver_.reset();
  }
}

// ---- Open and close ----

namespace {
constexpr const char* kOpenFailed = "Unable to open ComPort!!\nPlease change the Port NO.";
}  // namespace

bool TLink::Open() {
  if (!port_.Connected()) {
    port_.SetEvents(0);  // the receiver waits for the port's events itself
    openError_ = 0;
    try {
      port_.Open();
      // A failure that closed the port is over: the first wait on the
      // reopened port is a wait like any other.
      flags_.LinkFailed = 0;
    } catch (const EComPort& e) {
      openError_ = e.WinCode();
      const std::string advice = openAdvice_ ? openAdvice_(port_.Port(), openError_) : std::string();
      view_.ShowMessage(advice.empty() ? std::string(kOpenFailed) : kOpenFailed + std::string("\n\n") + advice);
      return false;
    } catch (const std::exception&) {
      view_.ShowMessage(kOpenFailed);
      return false;
    }
  }
  StartReceiver();
  return true;
}

// ---- Task control ----

void TLink::WaitTurn() {
  view_.OnWaitTurn();
  if (receiver_ && receiver_->InWaits()) receiver_->Poll();
  if (inbox_.OnOwnerThread()) inbox_.Drain();
}

void TLink::AbortOperation() {
  // Under the receiver's box for the lost port (shown before it raised the
  // flag): what usually brings the line back. A closing window shows nothing.
  if (flags_.LinkFailed && !flags_.AppClosing) view_.ShowMessage(kLineLostAdvice);
  view_.ShowProgressBar(false);
  view_.HideStatusLabel();
  view_.ShowPage(TPage::Logo);
  flags_.LinkFailed = 0;
  ++flags_.AbortCount;
}

void TLink::Close() {
  StopReceiver();
  try {
    port_.Close();
  } catch (const std::exception&) {
    view_.ShowMessage("COM port Exception while disconnect");
    port_.SetEvents(0);
    try {
      port_.Close();  // the device is released even when the purge failed
    } catch (const std::exception&) {
    }
  }
}

void TLink::CloseAfterFailedTransfer(int settleMs) {
  if (!port_.Connected()) return;
  PauseReceiver();
  WaitTurn();
  try {
    port_.Close();
  } catch (const EComPort&) {
    // Closing a broken device: nothing more to undo.
  }
  clock_.Sleep(settleMs);
}

void TLink::CloseUnlessLastExchangeOk(int settleMs) {
  if (reply_.State() != rsOk) CloseAfterFailedTransfer(settleMs);
}

// ---- Receiver control ----

void TLink::StartReceiver() {
  if (receiver_ && (receiver_->Terminated() || receiver_->Finished())) {
    // A receiver on its way out (its end not yet handled): finish it first.
    // It may be waiting for a message box, so keep serving the window queue.
    receiver_->Terminate();
    receiver_->Resume();
    // Its end posts ThreadDone, which may run here and drop it.
    const unsigned long id = receiver_->Id();
    inbox_.ServeUntil([this, id] { return !receiver_ || receiver_->Id() != id || receiver_->Finished(); });
    if (receiver_ && receiver_->Id() == id) receiver_.reset();
  }
  if (!receiver_) {
    receiver_ = std::make_unique<TReceiver>(
        TReceiverLine{port_, reply_, inbox_, flags_.LinkFailed, [this](const std::string& text) { view_.ShowMessage(text); },
                      [this] { TellState(false); }, [this](unsigned long id) { ThreadDone(id); }},
        receiverRun_);
  } else if (receiver_->Paused()) {
    receiver_->Resume();
  }
}

void TLink::StopReceiver() {
  if (!port_.Connected() || !receiver_) return;
  try {
    receiver_->Resume();
    receiver_->Terminate();
    clock_.Sleep(20);
  } catch (const std::exception&) {
    view_.ShowMessage("Exception while destroy thread!!");
  }
}

void TLink::PauseReceiver() {
  if (receiver_ && !receiver_->Paused()) receiver_->Pause();
}

void TLink::ResumeReceiver() {
  if (receiver_ && receiver_->Paused()) receiver_->Resume();
}

bool TLink::ReceiverPaused() const { return receiver_ && receiver_->Paused(); }

void TLink::ThreadDone(unsigned long receiverId) {
  if (receiver_ && receiver_->Id() == receiverId) receiver_.reset();
}

// ---- Exchanges ----

bool TLink::SendLine(const std::string& line) {
  try {
    port_.WriteStr(line);
    return true;
  } catch (const EComPort&) {
    return false;
  }
}

void TLink::FailWrite(const std::string& message) {
  view_.ShowMessage(message);
  view_.ShowProgressBar(false);
  view_.HideStatusLabel();
  Close();
  TellState(false);
  view_.ShowPage(TPage::Logo);
}

TWaitEnd TLink::WaitReply(const TWaitRule& rule) {
  int counter = 0;
  size_t lastLength = 0;
  bool expiredOnce = false;
  const auto ceiling =
      std::chrono::steady_clock::now() + clock_.Span((rule.limit + 1) * rule.sleepMs + kWaitCeilingMs);
  for (;;) {
    WaitTurn();
    if (flags_.AbortRequested()) {
      AbortOperation();
      return TWaitEnd::Aborted;
    }
    // A stop ends the wait like an abort, without its page change: the
    // operation leaves quietly and the batch refreshes the page.
    if (flags_.StopPending()) return TWaitEnd::Aborted;
    if (reply_.Overflowed()) return TWaitEnd::TooLong;
    int state = reply_.State();
    if (rule.awaited & StateBit(state)) return TWaitEnd::Awaited;
    if (state == rsError) return TWaitEnd::Error;
    if (std::chrono::steady_clock::now() >= ceiling) return TWaitEnd::Timeout;
    if (counter <= rule.limit) {
      ++counter;
      // Sleep one tick, but wake as soon as the verdict moves.
      reply_.WaitForChange(state, clock_.Span(rule.sleepMs));
      continue;
    }
    if (!rule.growth) return TWaitEnd::Timeout;
    // Growth rule: time out only when the reply stopped growing. A reply that
    // never started counts as not growing from the second expiry on, so a
    // silent phone cannot hold a transfer for ever.
    size_t length = reply_.TextLength();
    if (length <= lastLength && (lastLength != 0 || expiredOnce)) return TWaitEnd::Timeout;
    expiredOnce = true;
    lastLength = length;
    counter = 0;
  }
}
