#pragma once
// One batch of file operations on the selected phone folder: the rules
// every front end shares (the pause between files, Stop, what a refusal,
// a failure or a hang-up does to the rest, and the way back after a file
// whose failure closed the port). The window's page, its drop handler and
// the command line all run it.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "link/Link.h"
#include "link/PageState.h"

enum class TBatchOp { Send, Fetch, Remove };

struct TBatchFile {
  std::string name;      // the PC file's name (send) or the phone's (fetch, remove)
  std::string pcFolder;  // where it comes from (send) or goes to (fetch)
  int32_t size = 0;      // fetch: the size the listing gave (0: not known)
};

struct TBatchReport {
  std::vector<TResult> results;  // one per file started, in order
  bool stopped = false;          // Stop ended it; the rest were not started
  bool aborted = false;          // a hang-up or the window's close: no refresh
  std::vector<std::string> notDone;  // files not started, however the batch ended
  // Sends the phone answered OK to but does not list with their size after
  // the batch (or that could not be looked for: the listing failed).
  std::vector<std::string> notStored;
  // Every file went through (a send: and the phone keeps it), or was
  // declined by the user.
  bool AllDone() const;
  // Whether the file started as results[i] is done, as the end texts count it.
  bool Done(size_t i) const;
  // The batch's end text: every one of 'files' (the batch's, in order) not
  // done, the file in hand included, that no message has named already
  // ("Not fetched: a.gif, b.gif"); "" when there is none.
  std::string NotDoneText(TBatchOp op, const std::vector<TBatchFile>& files) const;
};

class TBatch {
 public:
  // 'pages' holds the phone list the sends are checked against.
  TBatch(TLink& link, TPageState& pages, TBatchOp op, int folder)
      : link_(link), pages_(pages), op_(op), folder_(folder) {}
  // After each file the batch goes on from, with how it ended, e.g. to
  // step a total bar.
  std::function<void(const TResult&)> OnFileEnd;
  // Ends with the report's end text in a box, unless Stop ended it (the
  // front end names the files then) or the window is closing.
  TBatchReport Run(const std::vector<TBatchFile>& files);

 private:
  TResult RunOne(const TBatchFile& file);
  // Reads the folder again and keeps in report.notStored each file sent
  // that the phone does not hold with its size.
  void CheckStored(TBatchReport& report);
  // The port closed under a failed file: open it again, check the phone
  // and select the folder (and list it before a send). False when the
  // phone cannot be reached again.
  bool Reconnect();
  TLink& link_;
  TPageState& pages_;
  TBatchOp op_;
  int folder_;
};

inline constexpr int kPauseBetweenFilesMs = 1000;
// The pause between two items of a batch, during which the window stays
// live; false (and the stop taken) when Stop was pressed meanwhile.
bool PauseUnlessStopped(TLink& link, int ms);

// How a walk over a batch's items ended.
enum class TWalkEnd { Done, Stopped, Closing, Ended };
// The walk every batch of files shares: item i runs after the pause that
// follows item i-1; Stop pressed during an item or a pause, or the
// window's close, leaves the rest unstarted. 'item' returns false to end
// the walk for a reason of its own (Ended); a Stop still pending then
// counts first, so an item that sees StopPending leaves it to the walk.
TWalkEnd WalkItems(TLink& link, size_t count, const std::function<bool(size_t)>& item);
// As above, with no pause before item i when pauseBefore(i) says so (the
// item before asked nothing of the phone).
TWalkEnd WalkItems(TLink& link, size_t count, const std::function<bool(size_t)>& item,
                   const std::function<bool(size_t)>& pauseBefore);

// Locks the action buttons for one run of batches (Stop shows meanwhile)
// and unlocks them on every way out, an error escaping included. Bars
// still up at that point (an early exit) are hidden too.
class TBatchGuard {
 public:
  // totalMax > 0 shows the total bar at once.
  TBatchGuard(TLink& link, int totalMax);
  ~TBatchGuard();
  TBatchGuard(const TBatchGuard&) = delete;
  TBatchGuard& operator=(const TBatchGuard&) = delete;
  // The total bar once the number of files is known.
  void ShowTotal(int totalMax);
  void HideBars();

 private:
  TLink& link_;
  bool bars_;
};
