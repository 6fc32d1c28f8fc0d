#include "link/OperationSession.h"

#include <exception>

#include "link/Link.h"
#include "link/QueuedView.h"
#include "link/SessionWorker.h"

TOperationSession::TOperationSession(TLink& link, TQueuedView& view, std::function<void()> onIdle)
    : link_(link), queued_(&view), worker_(std::make_unique<TSessionWorker>(link, std::move(onIdle))) {}

TOperationSession::TOperationSession(TLink& link) : link_(link) {}

TOperationSession::~TOperationSession() {
  if (worker_) worker_->Stop();
}

std::function<void()> TOperationSession::Wrapped(std::function<void()> operation) {
  // The operation works on the rows selected when it was chosen.
  if (queued_) operation = queued_->WithSelection(std::move(operation));
  return [this, operation = std::move(operation)] {
    // Stop is for the operation it was pressed during; one pressed as the
    // last one ended must not cut this one short.
    link_.Flags().TakeStop();
    try {
      operation();
    } catch (const std::exception& e) {
      link_.View().ShowErrorText(e.what());
    } catch (...) {
      link_.View().ShowErrorText("Unknown error");
    }
  };
}

void TOperationSession::Run(std::function<void()> operation) {
  if (worker_) worker_->Submit(Wrapped(std::move(operation)));
  else Wrapped(std::move(operation))();
}

bool TOperationSession::Submit(std::function<void()> operation) {
  if (closed_ || !Idle()) return false;
  Run(std::move(operation));
  return true;
}

void TOperationSession::Queue(std::function<void()> operation) {
  if (!closed_) Run(std::move(operation));
}

void TOperationSession::Interrupt(std::function<void()> operation) {
  if (closed_) return;
  if (!Idle()) link_.Flags().RequestStop();
  Run(std::move(operation));
}

void TOperationSession::Stop() { link_.Flags().RequestStop(); }

bool TOperationSession::Idle() const { return !worker_ || worker_->Idle(); }

void TOperationSession::Close(std::function<void()> last) {
  if (closed_.exchange(true)) return;
  link_.Flags().AppClosing = 1;
  if (queued_) queued_->DropBoxes();
  Run(std::move(last));
}

void TOperationSession::Finish(TThreadQueue& window, std::chrono::milliseconds limit) {
  closed_ = true;
  link_.Flags().AppClosing = 1;
  if (queued_) queued_->DropBoxes();
  if (!worker_) return;
  worker_->ServeUntilIdle(window, limit);
  window.Cancel();
  worker_->Stop();
}
