#pragma once
// The session every front end drives. Each user action runs as one
// operation: with the rows selected when it was chosen, with a fresh Stop
// (one pressed before it is no stop of it), and with any error it throws
// shown as a box. A second action is refused while one runs; Disconnect,
// a port change and the port set-up cut in, stopping the running one; the
// close lets the running operation end unasked and runs the last steps
// after it. The window runs operations on a worker thread; the command
// line runs them where it stands.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class IFormView;
class TLink;
class TQueuedView;
class TSessionWorker;
class TThreadQueue;

class TOperationSession {
 public:
  // On a worker thread, showing through 'view'; onIdle runs on the worker
  // each time the last operation ended.
  TOperationSession(TLink& link, TQueuedView& view, std::function<void()> onIdle = {});
  // On the calling thread, showing through the link's own view.
  explicit TOperationSession(TLink& link);
  ~TOperationSession();
  TOperationSession(const TOperationSession&) = delete;
  TOperationSession& operator=(const TOperationSession&) = delete;

  // A user action: false, and nothing run, while another runs or waits or
  // after the close.
  bool Submit(std::function<void()> operation);
  // Runs after what runs or waits now (the start-up, an action's next step).
  void Queue(std::function<void()> operation);
  // Disconnect, a port change, the port set-up: the running operation is
  // stopped, as Stop does, and this one runs next.
  void Interrupt(std::function<void()> operation);
  // The Stop button, or Ctrl+C: the running operation ends at its next wait.
  void Stop();
  // No operation runs or waits. Once true on the submitting thread, it
  // stays true until that thread submits again.
  bool Idle() const;
  // The window closes: boxes and questions go unshown from now on, the
  // running operation ends at its next wait, and 'last' runs after it.
  void Close(std::function<void()> last);
  bool Closed() const { return closed_; }
  // Serves 'window' until no operation runs or the limit passed, then ends
  // the worker; operations still queued are dropped.
  void Finish(TThreadQueue& window, std::chrono::milliseconds limit);

 private:
  std::function<void()> Wrapped(std::function<void()> operation);
  void Run(std::function<void()> operation);

  TLink& link_;
  TQueuedView* queued_ = nullptr;
  std::unique_ptr<TSessionWorker> worker_;  // none on the calling thread's session
  std::atomic<bool> closed_{false};
};
