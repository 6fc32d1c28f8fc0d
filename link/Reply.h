#pragma once
// The phone's reply text, its verdict, and the rules that turn one into the other.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

enum TReplyState : int {
  rsWaiting = 0,
  rsOk = 1,
  rsFirstPacket = 2,
  rsNextPacket = 3,
  rsError = 4,
  rsChecksumError = 5,
  rsPacketRejected = 6,
};

// Outcome of one classification pass over the whole reply text.
struct TClassifyResult {
  int state = rsWaiting;
  bool installResult = false;  // ERROR with "(": show the coded message, clear the text
  int installCode = 0;         // digit after the first "(", 0 when not a digit
  std::string rawText;         // the text as received, when installResult (channel only)
};

// The classification rules, applied in order (a later one overrides); pure,
// so it can be tested row by row. The text is read line by line: the
// phone's result words ("OK", "ERROR", "D_ERR", an install code's "(")
// count wherever the phone puts them, but never inside the quoted argument
// of an echoed command, a folder listing entry or a field of the suite
// list, where names travel. The echo's command word still counts ("ACK" of
// AT*ACK, "*FUPL" of a packet). 'echo' is the line sent, without its line
// end: its echo is found as that exact text wherever it stands (noise may
// come first), and its quoted argument never counts.
TClassifyResult ClassifyReply(const std::string& text, int state, const std::string& echo = {});

// A packet line that ends without its line end is whole when it is exactly
// this long and reads as a packet: header, data and a check value that
// matches. A burst that stops this far into a longer line is not whole.
inline constexpr size_t kBareLineLength = 184;
bool IsWholeBarePacketLine(const std::string& line);

// A download packet's data line, without its line end: two digits of the
// packet number, "0", the more-data mark ("0" or "1"), then whole pairs of
// data digits and the four digits of the check value, all 0-9 or A-F.
// Any other line between a packet header and its data (a "RING" of a call
// coming in) is not the packet.
bool IsPacketDataLine(std::string_view line);

// Message for an install result code; codes outside 1..7 give the generic text.
const char* InstallResultMessage(int code);
inline constexpr const char* kGenericInstallFailure = "JAVA Operation failed!!";

// ReplyText and ReplyState under one lock, plus a change signal so that a
// waiting loop can wake as soon as the verdict moves.
class TReplyChannel {
 public:
  // A babbling device must not grow the text without end. Nothing is
  // dropped silently: past the cap the text stops growing and the reply
  // counts as overflowed, which ends the exchange as a failure.
  static constexpr size_t kMaxReplyText = 1u << 20;

  // Start value and clear as one locked step (the first step of every
  // exchange); 'echo' is the line about to be sent, without its line end.
  void Reset(int startState, std::string echo = {});
  void Append(const char* data, size_t n);
  std::string Text() const;
  int State() const;
  size_t TextLength() const;
  void SetState(int state);
  void SetText(const std::string& text);
  void ClearText();
  // Take the text and leave it empty (the download parser works on a copy).
  std::string TakeText();
  // True once more than kMaxReplyText arrived since the last Reset.
  bool Overflowed() const;
  // Run the classification on the current text under the lock. An install
  // result takes the text out (rawText) and leaves it empty. The verdict is
  // always that of the whole text from the requester's start value (or the
  // state it set since), so a reply cut into bursts anywhere ends as the
  // whole reply does.
  TClassifyResult Classify();
  // An install result's own box is on its way from the receiver from the
  // moment Classify sets its verdict until the receiver has shown it.
  bool ReceiverBoxPending() const;
  void ReceiverBoxShown();
  // Sleep up to ms, waking early when the state changes from 'seen'.
  void WaitForChange(int seenState, std::chrono::microseconds span) const;

 private:
  void Changed();
  mutable std::mutex mu_;
  mutable std::condition_variable cv_;
  std::string text_;
  std::string echo_;
  int state_ = rsWaiting;
  int base_ = rsWaiting;  // the state the requester set; every pass starts from it
  bool overflowed_ = false;
  int receiverBoxes_ = 0;
};

// The two abort bytes every waiting loop tests.
struct TAbortFlags {
  std::atomic<uint8_t> LinkFailed{0};
  std::atomic<uint8_t> AppClosing{0};
  // Runs of AbortOperation so far: LinkFailed is cleared by the abort
  // itself, so a caller tells an aborted step by this count moving.
  std::atomic<unsigned> AbortCount{0};
  // The user's Stop: the current wait ends quietly at once, and the batch
  // leaves the files not yet started. Written by the window (or a signal
  // handler), so a plain atomic byte.
  std::atomic<uint8_t> StopRequested{0};

  bool AbortRequested() const { return LinkFailed || AppClosing; }
  // True when an abort was seen since AbortCount stood at 'mark'.
  bool AbortedSince(unsigned mark) const { return LinkFailed || AppClosing || AbortCount != mark; }
  // The Stop button or the command line's interrupt.
  void RequestStop() { StopRequested = 1; }
  bool StopPending() const { return StopRequested != 0; }
  // True once for a stop that was requested; clears it.
  bool TakeStop() { return StopRequested.exchange(0) != 0; }
};
