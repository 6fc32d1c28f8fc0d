#pragma once
// The line side of the virtual phone, shared by its transports (pty and
// memory): where received lines end, and what goes back for each one (echo,
// faults, the engine's reply). No I/O and no waiting here.
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "PhoneSim.h"

namespace phonesim {

class PhoneEngine;

struct ReceivedLine {
  std::string text;
  std::string ending;  // as received; "" for a piece of an overlong line
};

// Takes the first complete line off the front of pending. A CR at the very
// end may still get its LF: with lfMayFollow that line is left for later.
std::optional<ReceivedLine> TakeLine(std::string* pending, bool lfMayFollow);

// What the phone sends for one line, in this order.
struct LineAnswer {
  bool hangUp = false;  // the line goes down instead; nothing is sent
  std::string echo;
  std::string reply;    // noise and flood included
  std::vector<size_t> cuts;  // the reply goes in bursts cut at these places, pauseMs apart
  int pauseMs = 0;
  bool pace = false;    // at the pace of 115200 baud
};

// The fault options (changeable while serving), the line count behind
// hangupAfterLines, and every line received. Safe to use from any thread.
class PhoneLine {
 public:
  explicit PhoneLine(Options options) : options_(std::move(options)) {}

  // The storage root stays as it was; the line count starts again.
  void SetOptions(const Options& options);
  Options GetOptions() const;
  std::vector<std::string> ReceivedLines() const;
  void ClearReceived();

  // Records the line and carries it out on the engine unless a fault says otherwise.
  LineAnswer Answer(PhoneEngine& engine, const ReceivedLine& line);

 private:
  mutable std::mutex mu_;
  Options options_;
  int linesSinceReset_ = 0;
  std::vector<std::string> lines_;
};

}  // namespace phonesim
