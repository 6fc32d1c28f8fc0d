#pragma once
// The window as the session's worker sees it. What it shows (status,
// progress, rows, page, indicators, enabling) is posted as values and
// never waited for: a transfer does not wait for the window to repaint.
// Only boxes and questions wait for the window's answer. The selection is
// the one the window read when it submitted the operation. After the
// window closed, boxes and questions are not shown any more; a question
// then answers as if cancelled.
#include <array>
#include <atomic>
#include <functional>
#include <vector>

#include "link/FormView.h"
#include "link/ThreadQueue.h"

// The rows selected in each list (TListId order).
using TSelection = std::array<std::vector<int>, 4>;

class TQueuedView : public IFormView {
 public:
  // 'window' is owned by the window thread, which drains it.
  TQueuedView(IFormView& target, TThreadQueue& window) : target_(target), window_(window) {}

  // From now on boxes and questions go unshown.
  void DropBoxes() { dropBoxes_ = true; }
  // On the window thread, as an operation is chosen: the operation, which
  // first takes the rows selected now as the ones it works on.
  std::function<void()> WithSelection(std::function<void()> operation);

  void ShowMessage(const std::string& text) override;
  void ShowErrorText(const std::string& text) override;
  std::string ChooseFolder(const std::string& caption) override;
  TOverwriteChoice AskOverwrite(const std::string& question, const std::string& name) override;
  bool ConfirmUpdate(const std::string& question) override;
  std::vector<int> SelectedRows(TListId list) override;

  void SetStatusLabel(const std::string& text) override;
  void HideStatusLabel() override;
  void ShowProgressBar(bool visible) override;
  void SetProgressRange(int max) override;
  void SetProgressPos(int pos) override;
  void StepProgress() override;
  void ShowTotalBar(int max) override;
  void StepTotalBar() override;
  void HideTotalBar() override;
  void ShowPage(TPage page) override;
  void SetTitleBar(TTitle title) override;
  void ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) override;
  void SetActionsEnabled(bool enabled) override;
  void EnableSuiteActions() override;
  void ClearList(TListId list) override;
  void AddListRow(TListId list, const std::vector<std::string>& cells) override;
  void AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) override;
  void OpenWithDefaultApp(const std::string& path) override;
  bool MoveToTrash(const std::string& path) override;
  bool ConfirmFitCopy(const std::string& question) override;
  bool ShowBackupEnd(const std::string& text) override;

 private:
  template <typename F>
  void OnWindow(F&& fn) {
    window_.RunAndWait(std::forward<F>(fn));
  }
  // On the window thread itself it shows at once, as a wait would.
  template <typename F>
  void Post(F&& fn) {
    if (window_.OnOwnerThread()) fn();
    else window_.Post(std::forward<F>(fn));
  }

  IFormView& target_;
  TThreadQueue& window_;
  std::atomic<bool> dropBoxes_{false};
  TSelection selection_;
};
