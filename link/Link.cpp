#include "link/Link.h"

#include <chrono>
#include <thread>

#include "link/PortMap.h"

TLink::TLink(IFormView& view, std::unique_ptr<IComBackend> backend)
    : ComPort1(std::move(backend)), view_(view) {
  // The names the user picks ("COM3") open the devices the port map names.
  ComPort1.SetDeviceResolver(ResolvePortDevice);
}

TLink::~TLink() {
  // Nothing may wait for the window any more: release a receiver blocked on a box.
  Inbox.Cancel();
  if (Receiver) {
    Receiver->Terminate();
    Receiver->Resume();
    Receiver.reset();
  }
  try {
    ComPort1.Close();
  } catch (const std::exception&) {
  }
}

// ---- Task control ----

void TLink::WaitTurn() {
  view_.OnWaitTurn();
  if (Receiver && Receiver->InWaits()) Receiver->Poll();
  if (Inbox.OnOwnerThread()) Inbox.Drain();
}

void TLink::AbortOperation() {
  view_.ShowProgressBar(false);
  view_.HideStatusLabel();
  view_.ShowPage(TPage::Logo);
  Flags.LinkFailed = 0;
  ++Flags.AbortCount;
}

bool TLink::PauseUnlessStopped(int ms) {
  const auto end = std::chrono::steady_clock::now() + clock_.Span(ms);
  for (;;) {
    WaitTurn();
    if (TakeStop()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(end - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    std::this_thread::sleep_for(std::min(left, std::chrono::microseconds(10000)));
  }
}

void TLink::ReturnToLogo() {
  view_.ShowPage(TPage::Logo);
  view_.SetTitleBar(TTitle::Product);
}

void TLink::SetMenuState(bool connectEnabled, bool disconnectEnabled, bool settingEnabled) {
  Indicators.canConnect = connectEnabled;
  Indicators.canDisconnect = disconnectEnabled;
  Indicators.canChangeSettings = settingEnabled;
  ShowIndicators(ipCommands);
}

void TLink::CloseLink() {
  Flags.AppClosing = 1;
  Disconnect1Click();
}

// ---- Receiver control ----

void TLink::StartReceiver() {
  if (Receiver && (Receiver->Terminated() || Receiver->Finished())) {
    // A receiver on its way out (its end not yet handled): finish it first.
    // It may be waiting for a message box, so keep serving the window queue.
    Receiver->Terminate();
    Receiver->Resume();
    // Its end posts ThreadDone, which may run here and drop it.
    const unsigned long id = Receiver->Id();
    Inbox.ServeUntil([this, id] { return !Receiver || Receiver->Id() != id || Receiver->Finished(); });
    if (Receiver && Receiver->Id() == id) Receiver.reset();
  }
  if (!Receiver) {
    Receiver = std::make_unique<TReceiver>(TReceiverLine{
        ComPort1, Reply, Inbox, Flags.LinkFailed, [this](const std::string& text) { view_.ShowMessage(text); },
        [this] { ShowReceiverFailure(); }, [this](unsigned long id) { ThreadDone(id); }}, receiverRun_);
  } else if (Receiver->Paused()) {
    Receiver->Resume();
  }
}

void TLink::StopReceiver() {
  if (!ComPort1.Connected() || !Receiver) return;
  try {
    Receiver->Resume();
    Receiver->Terminate();
    clock_.Sleep(20);
  } catch (const std::exception&) {
    view_.ShowMessage("Exception while destroy thread!!");
  }
}

void TLink::PauseReceiver() {
  if (Receiver && !Receiver->Paused()) Receiver->Pause();
}

void TLink::ResumeReceiver() {
  if (Receiver && Receiver->Paused()) Receiver->Resume();
}

bool TLink::ReceiverPaused() const { return Receiver && Receiver->Paused(); }

void TLink::ThreadDone(unsigned long receiverId) {
  if (Receiver && Receiver->Id() == receiverId) Receiver.reset();
}

void TLink::ShowReceiverFailure() {
  SetMenuState(true, false, true);
  ShowLinkState(false);
}

// ---- Exchanges ----

bool TLink::SendLine(const std::string& line) {
  try {
    ComPort1.WriteStr(line);
    return true;
  } catch (const EComPort&) {
    return false;
  }
}

void TLink::FailWrite(const std::string& message) {
  view_.ShowMessage(message);
  view_.ShowProgressBar(false);
  view_.HideStatusLabel();
  Disconnect1Click();
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
    if (AbortRequested()) {
      AbortOperation();
      return TWaitEnd::Aborted;
    }
    // A stop ends the wait like an abort, without its page change: the
    // operation leaves quietly and the batch refreshes the page.
    if (StopRequested()) return TWaitEnd::Aborted;
    if (Reply.Overflowed()) return TWaitEnd::TooLong;
    int state = Reply.State();
    if (rule.awaited & StateBit(state)) return TWaitEnd::Awaited;
    if (state == rsError) return TWaitEnd::Error;
    if (std::chrono::steady_clock::now() >= ceiling) return TWaitEnd::Timeout;
    if (counter <= rule.limit) {
      ++counter;
      // Sleep one tick, but wake as soon as the verdict moves.
      Reply.WaitForChange(state, clock_.Span(rule.sleepMs));
      continue;
    }
    if (!rule.growth) return TWaitEnd::Timeout;
    // Growth rule: time out only when the reply stopped growing. A reply that
    // never started counts as not growing from the second expiry on, so a
    // silent phone cannot hold a transfer for ever.
    size_t length = Reply.TextLength();
    if (length <= lastLength && (lastLength != 0 || expiredOnce)) return TWaitEnd::Timeout;
    expiredOnce = true;
    lastLength = length;
    counter = 0;
  }
}

void TLink::LetReceiverSpeak() {
  // The receiver counts its box in the same step that sets the verdict, so
  // serving the queue until the count is down shows it first. The limit
  // only guards against a box that can never be served from here.
  Inbox.ServeUntil([this] { return !Reply.ReceiverBoxPending(); }, std::chrono::seconds(2));
}
