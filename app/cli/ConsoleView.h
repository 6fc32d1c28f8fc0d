#pragma once
// The window as a terminal sees it: every message box becomes one line on
// stderr, dialogs are answered by options or asked on the terminal.
#include <map>
#include <string>
#include <vector>

#include "link/FormView.h"

class ConsoleView : public IFormView {
 public:
  // Conflict policy: "" asks on the terminal; "skip", "overwrite" or "rename:NAME".
  std::string onConflict;
  bool assumeYes = false;
  bool verbose = false;
  std::map<TListId, std::vector<std::vector<std::string>>> lists;
  std::map<TListId, std::vector<int>> selection;
  int messageCount = 0;

  void ShowMessage(const std::string& text) override;
  void ShowErrorText(const std::string& text) override;
  void ProcessEvents() override {}
  void WakeWindowThread() override {}
  void SetStatusLabel(const std::string& text) override;
  void HideStatusLabel() override {}
  void ShowProgressBar(bool) override {}
  void SetProgressRange(int) override {}
  void SetProgressPos(int) override {}
  void StepProgress() override {}
  void ShowTotalBar(int) override {}
  void StepTotalBar() override {}
  void HideTotalBar() override {}
  void ShowPage(TPage) override {}
  void SetTitleBar(TTitle) override {}
  void SetPortPanel(const std::string&, bool) override {}
  void SetLinkPanel(bool) override {}
  void SetMenuEnabled(TMenuItem, bool) override {}
  void SetPortEntry(int, bool, bool, const std::string&) override {}
  void SetActionButtonsEnabled(bool) override {}
  void EnableInstallButtons() override {}
  std::string ChooseFolder(const std::string&) override { return folder; }
  void SetRenameText(const std::string& name) override { renameText_ = name; }
  std::string RenameText() override { return renameText_; }
  TOverwriteAnswer AskOverwrite(const std::string& question) override;
  bool ConfirmUpdate(const std::string& question) override;
  void ClearList(TListId list) override { lists[list].clear(); }
  void AddListRow(TListId list, const std::vector<std::string>& cells) override {
    lists[list].push_back(cells);
  }
  std::vector<int> SelectedRows(TListId list) override { return selection[list]; }
  void OpenWithDefaultApp(const std::string&) override {}

  std::string folder;  // what the folder chooser answers

 private:
  std::string renameText_;
  int renamesUsed_ = 0;
};
