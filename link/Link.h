#pragma once
// The phone link, a transport: the port, the receiver, the shared reply
// state, the waiting loop and one exchange; opening and closing. What the
// user sees of connecting is a TConnection kept beside it (Connection.h),
// and every operation is a unit over it (PhoneFiles.h, the pages). Everything runs on one thread, the
// link's (the window's session worker, or the command line's own thread),
// except the receiver, which hands its work to the link through the inbox.
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "port/ComPort.h"
#include "link/Clock.h"
#include "link/Exchange.h"
#include "link/FormView.h"
#include "link/Receiver.h"
#include "link/Reply.h"
#include "link/StopToken.h"
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
  // 'receiverRun': where the receiver reads the port (its own thread, or
  // the link's waits for a phone that answers at once).
  explicit TLink(IFormView& view, std::unique_ptr<IComBackend> backend = MakeDefaultComBackend(),
                 TReceiverRun receiverRun = TReceiverRun::OwnThread);
  virtual ~TLink();
  TLink(const TLink&) = delete;
  TLink& operator=(const TLink&) = delete;

  // ---- Its parts ----
  IFormView& View() { return view_; }
  // The clock the protocol's delays and waits run on.
  const TClock& Clock() const { return clock_; }
  void SetClock(const TClock& clock) { clock_ = clock; }
  TComPort& Port() { return port_; }
  TReplyChannel& Reply() { return reply_; }  // ReplyText and ReplyState
  TAbortFlags& Flags() { return flags_; }    // LinkFailed, AppClosing and Stop
  // What operations outside the link read of Stop and the aborts.
  TStopToken& StopToken() { return stopToken_; }
  TTransferLog& TransferLog() { return transferLog_; }
  // The receiver's work for the link's thread; the session worker serves it.
  TThreadQueue& Inbox() { return inbox_; }
  // Told on the link's thread when the phone answered the link check
  // (true) and when the link was lost (false): a failed write closed it,
  // or the receiver lost the port. The window's TConnection listens.
  void SetStateListener(std::function<void(bool up)> listener) { stateListener_ = std::move(listener); }
  // A window's line under the box of a port that would not open: what the
  // system said for this port and error, and what usually fixes it ("" none).
  using TOpenAdvice = std::function<std::string(const std::string& port, int osError)>;
  void SetOpenAdvice(TOpenAdvice advice) { openAdvice_ = std::move(advice); }

  // ---- Open and close ----
  // The one connect step: opens the port unless it is open (a failure
  // shows its box: false), then makes sure the receiver runs. Start-up,
  // Connect, the link check, the command line and the tests all take it.
  bool Open();
  // The system's error number of the last open that failed (0: none).
  int OpenError() const { return openError_; }
  // Ends the receiver and closes the port.
  void Close();
  // A transfer that did not end well leaves the phone inside it: the
  // receiver holds off, the port closes and the phone gets settleMs to
  // give up before the next page opens the port again.
  void CloseAfterFailedTransfer(int settleMs);
  // The same when the last exchange did not end in the phone's OK.
  void CloseUnlessLastExchangeOk(int settleMs);

  // ---- The receiver ----
  void ResumeReceiver();
  // Nothing may wait for the window any more: a receiver blocked on a box
  // is let go and ended at once.
  void ReleaseReceiver();

  // ---- Exchanges ----
  // A turn of a wait: the view's hook, a receiver that reads in waits, then
  // the inbox when on the link's thread.
  void WaitTurn();
  // One command of a step: start value, the line, the wait. A failed write
  // closes the link with the step's text; a refusal or a time-out shows
  // the step's texts unless the options keep them for the caller.
  TResult Exchange(TStep step, const std::string& line, const TWaitRule& rule, const TExchangeOptions& options = {});

 private:
  // The tests look at the transport's insides through their probe.
  friend class TLinkProbe;
  void PauseReceiver();
  bool ReceiverPaused() const;
  bool ReceiverRunning() const { return receiver_ != nullptr; }
  // Writes a line; false after a port exception (the caller reports it).
  bool SendLine(const std::string& line);
  TWaitEnd WaitReply(const TWaitRule& rule);
  void StartReceiver();
  void StopReceiver();
  // The receiver's end, on the link's thread.
  void ThreadDone(unsigned long receiverId);
  // Message, hide the bars, disconnect, Logo page: after a failed write.
  void FailWrite(const std::string& message);
  // An abort ends the wait: the bars go and the Logo page shows.
  void AbortOperation();
  void TellState(bool up) {
    if (stateListener_) stateListener_(up);
  }

  IFormView& view_;
  TClock clock_;
  TComPort port_;
  TReplyChannel reply_;
  TAbortFlags flags_;
  TStopToken stopToken_{flags_};
  TThreadQueue inbox_;
  std::unique_ptr<TReceiver> receiver_;
  TTransferLog transferLog_;
  std::function<void(bool up)> stateListener_;
  TOpenAdvice openAdvice_;
  int openError_ = 0;
  const TReceiverRun receiverRun_;
};

// The step's texts for a refusal (the phone's coded box first) or a time-out.
void ShowStepFailure(TLink& link, TStep step, const TResult& result);

// Text between the first "*FUPL:" and the first "ERROR".
std::string RefusalReason(const std::string& reply);

// A reply as a message shows it: a long one is cut, with its length.
std::string ShownReply(const std::string& reply);
// Told when an operation ends because the receiver lost the port (a cable
// pulled, the phone switched off).
inline constexpr const char* kLineLostAdvice =
    "The line to the phone was lost: check that the phone is on and that its cable is in, then connect again";
inline constexpr const char* kReplyTooLong = "Reply too long: the phone sent more than 1048576 characters";
