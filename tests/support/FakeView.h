#pragma once
// A window for tests: records what the logic shows and answers dialogs from a script.
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "link/FormView.h"

class FakeView : public IFormView {
 public:
  // Recorded effects.
  std::vector<std::string> messages;  // ShowMessage and ShowErrorText texts, in order
  std::vector<std::string> errors;    // ShowErrorText texts only
  std::vector<std::string> statusTexts;
  bool statusVisible = false;
  bool progressVisible = false;
  int progressMax = 0, progressPos = 0;
  bool totalVisible = false;
  int totalMax = 0, totalPos = 0;
  TPage page = TPage::Logo;
  TTitle title = TTitle::Product;
  std::string portPanel;  // "Connection: COM1" / "Connection: Auto"
  std::string linkPanel = "Status: Disconnect";
  bool canConnect = true, canDisconnect = true, canChangeSettings = true;  // the connection commands
  TPortOption ports[5] = {{""}, {""}, {""}, {""}, {""}};
  bool actionButtonsEnabled = true;
  int actionDisableCount = 0, actionEnableCount = 0;
  int installButtonsEnabledCount = 0;
  std::map<TListId, std::vector<std::vector<std::string>>> lists;
  std::map<TListId, std::vector<int>> selection;
  std::vector<std::string> opened;
  std::vector<std::string> overwriteQuestions;
  std::vector<std::string> updateQuestions;
  std::vector<std::string> fitQuestions;
  std::vector<std::string> folderCaptions;
  int waitTurns = 0;

  // Scripted answers, consumed in order (defaults when empty: Cancel / false / "").
  std::deque<TOverwriteAnswer> overwriteAnswers;
  std::deque<std::string> renameAnswers;  // text put in the rename edit on Rename
  std::deque<bool> updateAnswers;
  std::deque<bool> fitAnswers;  // offers of a fitted copy of a dropped picture
  std::deque<bool> openBackupAnswers;  // the backup end box's button that opens its folder
  std::deque<std::string> folderAnswers;
  // Called on each turn of a wait (lets a test act in the middle of a wait).
  std::function<void()> onWaitTurn;
  // Called on each ShowMessage.
  std::function<void(const std::string&)> onMessage;

  std::string renameText;

  void ShowMessage(const std::string& text) override;
  void ShowErrorText(const std::string& text) override;
  void OnWaitTurn() override;
  void SetStatusLabel(const std::string& text) override;
  void HideStatusLabel() override { statusVisible = false; }
  void ShowProgressBar(bool visible) override { progressVisible = visible; }
  void SetProgressRange(int max) override { progressMax = max; progressPos = 0; }
  void SetProgressPos(int pos) override { progressPos = pos; }
  void StepProgress() override { ++progressPos; }
  void ShowTotalBar(int max) override { totalVisible = true; totalMax = max; totalPos = 0; }
  void StepTotalBar() override { ++totalPos; }
  void HideTotalBar() override { totalVisible = false; }
  void ShowPage(TPage p) override { page = p; }
  void SetTitleBar(TTitle t) override { title = t; }
  void ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) override;
  void SetActionsEnabled(bool enabled) override;
  void EnableSuiteActions() override { ++installButtonsEnabledCount; }
  std::string ChooseFolder(const std::string& caption) override;
  TOverwriteChoice AskOverwrite(const std::string& question, const std::string& name) override;
  bool ConfirmUpdate(const std::string& question) override;
  void ClearList(TListId list) override { lists[list].clear(); }
  void AddListRow(TListId list, const std::vector<std::string>& cells) override { lists[list].push_back(cells); }
  std::vector<int> SelectedRows(TListId list) override { return selection[list]; }
  void OpenWithDefaultApp(const std::string& path) override { opened.push_back(path); }
  // The trash takes regular files while trashWorks holds; each one taken
  // leaves its folder and is named in 'trashed'.
  bool trashWorks = true;
  std::vector<std::string> trashed;
  bool MoveToTrash(const std::string& path) override;
  bool ConfirmFitCopy(const std::string& question) override;
  bool ShowBackupEnd(const std::string& text) override;

  bool HasMessage(const std::string& text) const;
};
