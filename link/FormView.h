#pragma once
// The window as the link and content logic see it. The Qt main window,
// the command-line front end and the tests each implement it, so every
// routine runs the same code everywhere. All calls come on the window
// thread except WakeWindowThread.
#include <string>
#include <vector>

enum class TPage { Logo, Content, Midlet };
enum class TTitle { Product, Melody, Animation, Picture, Java };
enum class TListId { PcFiles, PhoneFiles, PcSuites, PhoneSuites };
enum class TMenuItem { Connect, Disconnect, ConnSetting };
enum class TOverwriteAnswer { Cancel, Overwrite, Rename };

class IFormView {
 public:
  virtual ~IFormView() = default;

  // Modal message box with OK (the protocol's fixed English texts).
  virtual void ShowMessage(const std::string& text) = 0;
  // Error box (the toolkit's error report, ShowErrorText).
  virtual void ShowErrorText(const std::string& text) = 0;
  // Let the window handle its pending events.
  virtual void ProcessEvents() = 0;
  // Any thread: work for the window thread is queued in the link's window
  // queue; make the window thread drain it soon (TLink::DrainWindowQueue).
  virtual void WakeWindowThread() = 0;

  // Progress panel. Status_Label1 repaints at once.
  virtual void SetStatusLabel(const std::string& text) = 0;  // shows it too
  virtual void HideStatusLabel() = 0;
  virtual void ShowProgressBar(bool visible) = 0;            // LAD_ProgressBar
  virtual void SetProgressRange(int max) = 0;                // position 0
  virtual void SetProgressPos(int pos) = 0;
  virtual void StepProgress() = 0;
  virtual void ShowTotalBar(int max) = 0;  // Total_ProgressBar + TotalBar_Label, position 0
  virtual void StepTotalBar() = 0;
  virtual void HideTotalBar() = 0;

  // Pages, title bar, status bar, menu.
  virtual void ShowPage(TPage page) = 0;
  virtual void SetTitleBar(TTitle title) = 0;
  // Status panel 0: "Connection" + ": " + port, or the "Auto" text.
  virtual void SetPortPanel(const std::string& port, bool autoChoice) = 0;
  // Status panel 1: "Status" + ": " + "Connection"/"Disconnect".
  virtual void SetLinkPanel(bool connected) = 0;
  virtual void SetMenuEnabled(TMenuItem item, bool enabled) = 0;
  // Port sub-menu entry: 0 is mAuto, 1..4 are mCOM1..mCOM4.
  virtual void SetPortEntry(int index, bool visible, bool checked, const std::string& caption) = 0;

  // Task control.
  virtual void SetActionButtonsEnabled(bool enabled) = 0;  // the eight buttons and Panel1
  virtual void EnableInstallButtons() = 0;  // LAD_ONE, LocalAppDL_REMOVE, LAD_PC_Remove

  // Dialogs. A dialog closed by its title-bar button answers as Cancel.
  // Folder chooser with the given caption; returns PcFolder ("" = cancelled).
  virtual std::string ChooseFolder(const std::string& caption) = 0;
  virtual void SetRenameText(const std::string& name) = 0;  // Filename_Edit1
  virtual std::string RenameText() = 0;
  // Overwrite warning with Label1 = question; Rename runs the rename prompt.
  virtual TOverwriteAnswer AskOverwrite(const std::string& question) = 0;
  // Update confirmation (TOKBottomDlg); true only for OK.
  virtual bool ConfirmUpdate(const std::string& question) = 0;

  // List views of the pages.
  virtual void ClearList(TListId list) = 0;
  virtual void AddListRow(TListId list, const std::vector<std::string>& cells) = 0;
  virtual std::vector<int> SelectedRows(TListId list) = 0;  // ascending row indexes
  // The desktop's default action on a file.
  virtual void OpenWithDefaultApp(const std::string& path) = 0;
};
