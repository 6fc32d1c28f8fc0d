#include "link/QueuedView.h"

void TQueuedView::ShowMessage(const std::string& text) {
  if (!dropBoxes_) OnWindow([&] { target_.ShowMessage(text); });
}

void TQueuedView::ShowErrorText(const std::string& text) {
  if (!dropBoxes_) OnWindow([&] { target_.ShowErrorText(text); });
}

std::string TQueuedView::ChooseFolder(const std::string& caption) {
  std::string folder;
  if (!dropBoxes_) OnWindow([&] { folder = target_.ChooseFolder(caption); });
  return folder;
}

TOverwriteChoice TQueuedView::AskOverwrite(const std::string& question, const std::string& name) {
  TOverwriteChoice answer{TOverwriteAnswer::Unanswered, name};
  if (!dropBoxes_) OnWindow([&] { answer = target_.AskOverwrite(question, name); });
  return answer;
}

bool TQueuedView::ConfirmUpdate(const std::string& question) {
  bool confirmed = false;
  if (!dropBoxes_) OnWindow([&] { confirmed = target_.ConfirmUpdate(question); });
  return confirmed;
}

bool TQueuedView::ConfirmFitCopy(const std::string& question) {
  bool confirmed = false;
  if (!dropBoxes_) OnWindow([&] { confirmed = target_.ConfirmFitCopy(question); });
  return confirmed;
}

bool TQueuedView::ShowBackupEnd(const std::string& text) {
  bool open = false;
  if (!dropBoxes_) OnWindow([&] { open = target_.ShowBackupEnd(text); });
  return open;
}

std::function<void()> TQueuedView::WithSelection(std::function<void()> operation) {
  TSelection selection;
  for (TListId list : {TListId::PcFiles, TListId::PhoneFiles, TListId::PcSuites, TListId::PhoneSuites})
    selection[static_cast<size_t>(list)] = target_.SelectedRows(list);
  // Operations run one at a time on the worker: the one running owns it.
  return [this, operation = std::move(operation), selection = std::move(selection)] {
    selection_ = selection;
    operation();
  };
}

std::vector<int> TQueuedView::SelectedRows(TListId list) { return selection_[static_cast<size_t>(list)]; }

void TQueuedView::SetStatusLabel(const std::string& text) {
  Post([=, this] { target_.SetStatusLabel(text); });
}

void TQueuedView::HideStatusLabel() {
  Post([=, this] { target_.HideStatusLabel(); });
}

void TQueuedView::ShowProgressBar(bool visible) {
  Post([=, this] { target_.ShowProgressBar(visible); });
}

void TQueuedView::SetProgressRange(int max) {
  Post([=, this] { target_.SetProgressRange(max); });
}

void TQueuedView::SetProgressPos(int pos) {
  Post([=, this] { target_.SetProgressPos(pos); });
}

void TQueuedView::StepProgress() {
  Post([=, this] { target_.StepProgress(); });
}

void TQueuedView::ShowTotalBar(int max) {
  Post([=, this] { target_.ShowTotalBar(max); });
}

void TQueuedView::StepTotalBar() {
  Post([=, this] { target_.StepTotalBar(); });
}

void TQueuedView::HideTotalBar() {
  Post([=, this] { target_.HideTotalBar(); });
}

void TQueuedView::ShowPage(TPage page) {
  Post([=, this] { target_.ShowPage(page); });
}

void TQueuedView::SetTitleBar(TTitle title) {
  Post([=, this] { target_.SetTitleBar(title); });
}

void TQueuedView::ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) {
  Post([=, this] { target_.ShowLinkIndicators(shown, changed); });
}

void TQueuedView::SetActionsEnabled(bool enabled) {
  Post([=, this] { target_.SetActionsEnabled(enabled); });
}

void TQueuedView::EnableSuiteActions() {
  Post([=, this] { target_.EnableSuiteActions(); });
}

void TQueuedView::ClearList(TListId list) {
  Post([=, this] { target_.ClearList(list); });
}

void TQueuedView::AddListRow(TListId list, const std::vector<std::string>& cells) {
  Post([=, this] { target_.AddListRow(list, cells); });
}

void TQueuedView::AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) {
  Post([=, this] { target_.AddUnsuitableRow(cells, why); });
}

void TQueuedView::OpenWithDefaultApp(const std::string& path) {
  Post([=, this] { target_.OpenWithDefaultApp(path); });
}

bool TQueuedView::MoveToTrash(const std::string& path) {
  bool moved = false;
  OnWindow([&] { moved = target_.MoveToTrash(path); });
  return moved;
}
