#include "support/FakeView.h"

#include <algorithm>
#include <filesystem>

void FakeView::ShowMessage(const std::string& text) {
  messages.push_back(text);
  if (onMessage) onMessage(text);
}

void FakeView::ShowErrorText(const std::string& text) {
  messages.push_back(text);
  errors.push_back(text);
}

void FakeView::OnWaitTurn() {
  ++waitTurns;
  if (onWaitTurn) onWaitTurn();
}

void FakeView::SetStatusLabel(const std::string& text) {
  statusTexts.push_back(text);
  statusVisible = true;
}

void FakeView::ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) {
  if (changed & ipPortChoices)
    for (int i = 0; i < 5; ++i) ports[i] = shown.ports[i];
  if (changed & ipPort) portPanel = "Connection: " + (shown.autoChoice ? std::string("Auto") : shown.port);
  if (changed & ipConnection) linkPanel = std::string("Status: ") + (shown.connected ? "Connection" : "Disconnect");
  if (changed & ipCommands) {
    canConnect = shown.canConnect;
    canDisconnect = shown.canDisconnect;
    canChangeSettings = shown.canChangeSettings;
  }
}

void FakeView::SetActionsEnabled(bool enabled) {
  actionButtonsEnabled = enabled;
  if (enabled) ++actionEnableCount; else ++actionDisableCount;
}

std::string FakeView::ChooseFolder(const std::string& caption) {
  folderCaptions.push_back(caption);
  if (folderAnswers.empty()) return "";
  std::string f = folderAnswers.front();
  folderAnswers.pop_front();
  return f;
}

TOverwriteChoice FakeView::AskOverwrite(const std::string& question, const std::string& name) {
  overwriteQuestions.push_back(question);
  renameText = name;
  if (overwriteAnswers.empty()) return {TOverwriteAnswer::Cancel, name};
  TOverwriteAnswer a = overwriteAnswers.front();
  overwriteAnswers.pop_front();
  if (a == TOverwriteAnswer::Rename && !renameAnswers.empty()) {
    renameText = renameAnswers.front();
    renameAnswers.pop_front();
  }
  return {a, renameText};
}

bool FakeView::ConfirmUpdate(const std::string& question) {
  updateQuestions.push_back(question);
  if (updateAnswers.empty()) return false;
  bool a = updateAnswers.front();
  updateAnswers.pop_front();
  return a;
}

bool FakeView::HasMessage(const std::string& text) const {
  return std::find(messages.begin(), messages.end(), text) != messages.end();
}

bool FakeView::MoveToTrash(const std::string& path) {
  std::error_code ec;
  if (!trashWorks || !std::filesystem::is_regular_file(path, ec) || !std::filesystem::remove(path, ec)) return false;
  trashed.push_back(path);
  return true;
}

bool FakeView::ConfirmFitCopy(const std::string& question) {
  fitQuestions.push_back(question);
  if (fitAnswers.empty()) return false;
  bool a = fitAnswers.front();
  fitAnswers.pop_front();
  return a;
}

bool FakeView::ShowBackupEnd(const std::string& text) {
  ShowMessage(text);
  if (openBackupAnswers.empty()) return false;
  bool a = openBackupAnswers.front();
  openBackupAnswers.pop_front();
  return a;
}
