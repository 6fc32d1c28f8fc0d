#pragma once
// The window as a terminal sees it: every message box becomes one line on
// stderr, dialogs are answered by options or asked on the terminal.
#include <chrono>
#include <string>
#include <vector>

#include "link/FormView.h"

// Text from outside (a phone's or a PC file's name, a suite's name or
// version, an argument or a path, a message holding one) as one field of
// one line, whatever it holds: backslash, TAB, LF and CR C-style; every
// other control (C0, DEL, C1), every bidirectional mark or override, the
// line and paragraph separators and every byte that is not UTF-8 as \xHH
// per byte, so it can neither forge rows, nor drive or reorder the
// terminal, and the bytes can always be read back.
// Every line the command line prints goes through it.
std::string EscapedName(const std::string& name);

class ConsoleView : public IFormView {
 public:
  // Conflict policy: "" asks on the terminal; "skip", "overwrite" or "rename:NAME".
  std::string onConflict;
  bool assumeYes = false;
  bool verbose = false;
  int messageCount = 0;
  // Every message shown, one per line, as shown.
  std::string said;
  // Conflicts that could not be asked (no terminal, no policy): nothing was
  // chosen, so the command did not do what it was asked.
  int unanswered = 0;

  void ShowMessage(const std::string& text) override;
  void ShowErrorText(const std::string& text) override;
  void SetStatusLabel(const std::string& text) override;
  std::string ChooseFolder(const std::string&) override { return folder; }
  TOverwriteChoice AskOverwrite(const std::string& question, const std::string& name) override;
  bool ConfirmUpdate(const std::string& question) override;
  // A transfer's bar is set up as its packets begin: the time since then.
  void SetProgressRange(int) override { transferStart_ = std::chrono::steady_clock::now(); }
  double TransferSeconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - transferStart_).count();
  }
  // Commands name what they act on: no list row is ever selected.
  std::vector<int> SelectedRows(TListId) override { return {}; }

  std::string folder;  // what the folder chooser answers

 private:
  // The answer; a rename leaves its name in renameText_.
  TOverwriteAnswer Answer(const std::string& question);
  std::string renameText_;
  int renamesUsed_ = 0;
  std::chrono::steady_clock::time_point transferStart_ = std::chrono::steady_clock::now();
};
