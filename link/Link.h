#pragma once
// The phone link: the port, the receiver, the shared reply state,
// connection (the port choice is TPortSelection), the waiting loop, task
// control and one exchange. The operations on phone files are units over
// it (PhoneFiles.h). Everything runs on one thread, the link's (the
// window's session worker, or the command line's own thread), except the
// receiver, which hands its work to the link through the inbox.
#include <atomic>
#include <cstdio>
#include <memory>
#include <string>

#include "port/ComPort.h"
#include "link/Clock.h"
#include "link/Exchange.h"
#include "link/FormView.h"
#include "link/PortSelection.h"
#include "link/Receiver.h"
#include "link/Reply.h"
#include "link/ThreadQueue.h"
#include "link/TransferLog.h"

// Awaited states as a bit mask.
constexpr unsigned StateBit(int state) { return 1u << state; }

struct TWaitRule {
  unsigned awaited = StateBit(rsOk);  // states that end the wait successfully
  int limit = 500;                    // ticks; limit 500 means 501 sleeps
  int sleepMs = 10;                   // per tick
  bool growth = false;                // growth rule at expiry
};

// TooLong: the reply outgrew the reply text's cap and was not read.
enum class TWaitEnd { Awaited, Error, Timeout, Aborted, TooLong };

// However long a reply keeps growing, no wait lasts longer than its own
// limit and this much more: a phone that drips a byte now and then
// cannot hold an exchange for ever.
inline constexpr int kWaitCeilingMs = 60000;

struct TExchangeOptions {
  int startState = rsWaiting;
  bool purgeFirst = false;   // drop what the port holds before the line
  bool showFailure = true;   // the step's texts on a refusal or a time-out
  TLogBytes logLine;         // the line goes to the transfer log once written
};

class TLink {
 public:
  explicit TLink(IFormView& view, std::unique_ptr<IComBackend> backend = MakeDefaultComBackend());
  virtual ~TLink();
  TLink(const TLink&) = delete;
  TLink& operator=(const TLink&) = delete;

  IFormView& View() { return view_; }
  // The clock the protocol's delays and waits run on.
  const TClock& Clock() const { return clock_; }
  void SetClock(const TClock& clock) { clock_ = clock; }

  TComPort ComPort1;
  TReplyChannel Reply;  // ReplyText and ReplyState
  TAbortFlags Flags;    // LinkFailed and AppClosing
  TThreadQueue Inbox;  // the receiver's work for the link's thread
  std::unique_ptr<TReceiver> Receiver;

  // ---- Connection ----
  // The one connect step: opens the port unless it is open (a failure
  // shows its box: false), then makes sure the receiver runs. Start-up,
  // Connect, the link check, the command line and the tests all take it.
  bool OpenAndReceive();
  // The system's error number of the last open that failed (0: none).
  int OpenError() const { return openError_; }
  TLinkIndicators Indicators;  // what the window shows of the link
  TPortSelection Ports{ComPort1, Indicators, [this](unsigned parts) { ShowIndicators(parts); }};

  void FormCreate();
  void Connect1Click();
  void Disconnect1Click();
  void ShowLinkState(bool connected);
  bool CheckLink();

  // ---- Receiver control ----
  // Where the next receiver reads the port (its own thread by default).
  void SetReceiverRun(TReceiverRun run) { receiverRun_ = run; }
  void StartReceiver();
  void StopReceiver();
  void PauseReceiver();
  void ResumeReceiver();
  bool ReceiverPaused() const;

  // ---- Task control ----
  // A turn of a wait: the view's hook, a receiver that reads in waits, then
  // the inbox when on the link's thread.
  void WaitTurn();
  void AbortOperation();
  void ReturnToLogo();
  void DisableActionButtons() { view_.SetActionsEnabled(false); }
  void EnableActionButtons() { view_.SetActionsEnabled(true); }
  bool AbortRequested() const { return Flags.LinkFailed || Flags.AppClosing; }
  // True when an abort was seen since AbortCount stood at 'mark'.
  bool AbortedSince(unsigned mark) const {
    return Flags.LinkFailed || Flags.AppClosing || Flags.AbortCount != mark;
  }
  // The Stop button or the command line's interrupt.
  void RequestStop() { Flags.StopRequested = 1; }
  bool StopRequested() const { return Flags.StopRequested != 0; }
  // True once for a stop that was requested; clears it.
  bool TakeStop() { return Flags.StopRequested.exchange(0) != 0; }
  // The pause between two items of a batch, during which the window stays
  // live; false (and the stop taken) when Stop was pressed meanwhile.
  bool PauseUnlessStopped(int ms);
  // Closing order of the link: AppClosing, then the disconnect.
  void CloseLink();

  // ---- Exchanges ----
  void BeginExchange(int startState) { Reply.Reset(startState); }
  // Writes a line; false after a port exception (the caller reports it).
  bool SendLine(const std::string& line);
  // Message, hide the bars, disconnect, Logo page: after a failed write.
  void FailWrite(const std::string& message);
  TWaitEnd WaitReply(const TWaitRule& rule);
  // One command of a step: start value, the line, the wait. A failed write
  // closes the link with the step's text; a refusal or a time-out shows
  // the step's texts unless the options keep them for the caller.
  TResult Exchange(TStep step, const std::string& line, const TWaitRule& rule, const TExchangeOptions& options = {});
  // The step's texts for a refusal (the phone's coded box first) or a time-out.
  void ShowStepFailure(TStep step, const TResult& result);
  // A coded refusal's own box comes from the receiver; let it reach the
  // window before the handler's message follows it.
  void LetReceiverSpeak();

  // ---- Transfer log ----
  TTransferLog TransferLog;

 private:
  void SetMenuState(bool connectEnabled, bool disconnectEnabled, bool settingEnabled);
  // Hands the indicators' changed parts to the window.
  void ShowIndicators(unsigned parts) { view_.ShowLinkIndicators(Indicators, parts); }
  // The receiver's calls, on the link's thread: its end, and a failure that
  // puts the menu and the status bar back to disconnected.
  void ThreadDone(unsigned long receiverId);
  void ShowReceiverFailure();

  IFormView& view_;
  TClock clock_;
  int openError_ = 0;
  TReceiverRun receiverRun_ = TReceiverRun::OwnThread;
};

// Text between the first "*FUPL:" and the first "ERROR".
std::string RefusalReason(const std::string& reply);

// A reply as a message shows it: a long one is cut, with its length.
std::string ShownReply(const std::string& reply);
inline constexpr const char* kReplyTooLong = "Reply too long: the phone sent more than 1048576 characters";
