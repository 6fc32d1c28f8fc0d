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

void TQueuedView::SetRenameText(const std::string& name) {
  OnWindow([&] { target_.SetRenameText(name); });
}

std::string TQueuedView::RenameText() {
  std::string name;
  OnWindow([&] { name = target_.RenameText(); });
  return name;
}

TOverwriteAnswer TQueuedView::AskOverwrite(const std::string& question) {
  TOverwriteAnswer answer = TOverwriteAnswer::Cancel;
  if (!dropBoxes_) OnWindow([&] { answer = target_.AskOverwrite(question); });
  return answer;
}

bool TQueuedView::ConfirmUpdate(const std::string& question) {
  bool confirmed = false;
  if (!dropBoxes_) OnWindow([&] { confirmed = target_.ConfirmUpdate(question); });
  return confirmed;
}

std::vector<int> TQueuedView::SelectedRows(TListId list) {
  std::vector<int> rows;
  OnWindow([&] { rows = target_.SelectedRows(list); });
  return rows;
}

void TQueuedView::SetStatusLabel(const std::string& text) {
  OnWindow([&] { target_.SetStatusLabel(text); });
}

void TQueuedView::HideStatusLabel() {
  OnWindow([&] { target_.HideStatusLabel(); });
}

void TQueuedView::ShowProgressBar(bool visible) {
  OnWindow([&] { target_.ShowProgressBar(visible); });
}

void TQueuedView::SetProgressRange(int max) {
  OnWindow([&] { target_.SetProgressRange(max); });
}

void TQueuedView::SetProgressPos(int pos) {
  OnWindow([&] { target_.SetProgressPos(pos); });
}

void TQueuedView::StepProgress() {
  OnWindow([&] { target_.StepProgress(); });
}

void TQueuedView::ShowTotalBar(int max) {
  OnWindow([&] { target_.ShowTotalBar(max); });
}

void TQueuedView::StepTotalBar() {
  OnWindow([&] { target_.StepTotalBar(); });
}

void TQueuedView::HideTotalBar() {
  OnWindow([&] { target_.HideTotalBar(); });
}

void TQueuedView::ShowPage(TPage page) {
  OnWindow([&] { target_.ShowPage(page); });
}

void TQueuedView::SetTitleBar(TTitle title) {
  OnWindow([&] { target_.SetTitleBar(title); });
}

void TQueuedView::ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) {
  OnWindow([&] { target_.ShowLinkIndicators(shown, changed); });
}

void TQueuedView::SetActionsEnabled(bool enabled) {
  OnWindow([&] { target_.SetActionsEnabled(enabled); });
}

void TQueuedView::EnableSuiteActions() {
  OnWindow([&] { target_.EnableSuiteActions(); });
}

void TQueuedView::ClearList(TListId list) {
  OnWindow([&] { target_.ClearList(list); });
}

void TQueuedView::AddListRow(TListId list, const std::vector<std::string>& cells) {
  OnWindow([&] { target_.AddListRow(list, cells); });
}

void TQueuedView::OpenWithDefaultApp(const std::string& path) {
  OnWindow([&] { target_.OpenWithDefaultApp(path); });
}

bool TQueuedView::MoveToTrash(const std::string& path) {
  bool moved = false;
  OnWindow([&] { moved = target_.MoveToTrash(path); });
  return moved;
}
