#pragma once
// The window as the link and content logic see it. The Qt main window,
// the command-line front end and the tests each implement it, so every
// routine runs the same code everywhere. Calls come on the thread that
// runs the link; the Qt window gets them through a queued view.
#include <array>
#include <string>
#include <vector>

#include "link/Settings.h"

enum class TPage { Logo, Content, Midlet };
enum class TTitle { Product, Melody, Animation, Picture, Java };
enum class TListId { PcFiles, PhoneFiles, PcSuites, PhoneSuites };
// Unanswered: nobody could answer (no terminal to ask, the window closing);
// the file is not done, unlike one the user chose to leave.
enum class TOverwriteAnswer { Cancel, Overwrite, Rename, Unanswered };
struct TOverwriteChoice {
  TOverwriteAnswer answer = TOverwriteAnswer::Cancel;
  std::string name;  // Rename: the name chosen
};

// Words in each language of the text table (English, Traditional and
// Simplified Chinese), as UTF-8.
using TWordsByLanguage = std::array<std::string, 3>;

struct TPortOption {
  std::string caption;
  bool visible = true;
  bool checked = false;
};

// What the window shows of the link: the port choices, the port and the
// connection in the status bar, and which connection commands are on. How
// it shows them is the window's business.
struct TLinkIndicators {
  // The automatic choice first, then up to four ports.
  TPortOption ports[5] = {{"Auto"}, {"COM1"}, {"COM2"}, {"COM3"}, {"COM4"}};
  std::string port;         // the port the status bar names
  bool autoChoice = false;  // ... or the automatic choice instead
  bool connected = false;
  bool canConnect = true, canDisconnect = true, canChangeSettings = true;
};

// The parts of the indicators a change touched.
enum TIndicatorPart : unsigned {
  ipPortChoices = 1u << 0,
  ipPort = 1u << 1,
  ipConnection = 1u << 2,
  ipCommands = 1u << 3,
};

class IFormView {
 public:
  virtual ~IFormView() = default;

  // ---- What every front end answers ----
  // Modal message box with OK (the protocol's fixed English texts).
  virtual void ShowMessage(const std::string& text) = 0;
  // Error box (the toolkit's error report, ShowErrorText).
  virtual void ShowErrorText(const std::string& text) = 0;
  // Dialogs. A dialog closed by its title-bar button answers as Cancel.
  // Folder chooser with the given caption; returns PcFolder ("" = cancelled).
  virtual std::string ChooseFolder(const std::string& caption) = 0;
  // Overwrite warning with Label1 = question; Rename runs the rename
  // prompt, which starts from name (Filename_Edit1) and gives the new one.
  virtual TOverwriteChoice AskOverwrite(const std::string& question, const std::string& name) = 0;
  // Update confirmation (TOKBottomDlg); true only for OK.
  virtual bool ConfirmUpdate(const std::string& question) = 0;
  // Ascending row indexes of a page list's selection.
  virtual std::vector<int> SelectedRows(TListId list) = 0;

  // ---- What a window shows; a front end without one shows nothing ----
  // Each turn of a wait on the link's thread (a front end's hook; the
  // window's event loop never runs from inside a wait).
  virtual void OnWaitTurn() {}

  // Progress panel. Status_Label1 repaints at once.
  virtual void SetStatusLabel(const std::string& text) { (void)text; }  // shows it too
  virtual void HideStatusLabel() {}
  virtual void ShowProgressBar(bool visible) { (void)visible; }  // LAD_ProgressBar
  virtual void SetProgressRange(int max) { (void)max; }          // position 0
  virtual void SetProgressPos(int pos) { (void)pos; }
  virtual void StepProgress() {}
  virtual void ShowTotalBar(int max) { (void)max; }  // Total_ProgressBar + TotalBar_Label, position 0
  virtual void StepTotalBar() {}
  virtual void HideTotalBar() {}

  // Pages and title bar.
  virtual void ShowPage(TPage page) { (void)page; }
  virtual void SetTitleBar(TTitle title) { (void)title; }
  // The link's indicators changed in the given parts (TIndicatorPart bits).
  virtual void ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) { (void)shown, (void)changed; }

  // An operation holds the link while the page's actions are off.
  virtual void SetActionsEnabled(bool enabled) { (void)enabled; }
  // The end of a suite install: its install and remove actions come back
  // before the page's refresh.
  virtual void EnableSuiteActions() {}

  // List views of the pages.
  virtual void ClearList(TListId list) { (void)list; }
  virtual void AddListRow(TListId list, const std::vector<std::string>& cells) { (void)list, (void)cells; }
  // "Show all files": a PC file the phone would not take, after the PC
  // list's rows, greyed and with why; in every language, so a language
  // switch redraws it at once.
  virtual void AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) {
    (void)cells, (void)why;
  }
  // The desktop's default action on a file.
  virtual void OpenWithDefaultApp(const std::string& path) { (void)path; }
  // The end box of a backup, with a button that opens the folder it made;
  // true only when that button was chosen. A front end without one shows
  // the text alone.
  virtual bool ShowBackupEnd(const std::string& text) {
    ShowMessage(text);
    return false;
  }
  // Moves a PC file to the desktop's trash, so a removal on the PC side can
  // be undone; false when it could not, and the file then stays where it
  // is. By the platform's own trash, its reason for failing (a trash folder
  // that could not be made) shown as a message.
  virtual bool MoveToTrash(const std::string& path) {
    std::string why;
    if (MoveFileToTrash(path, &why)) return true;
    if (!why.empty()) ShowMessage(why);
    return false;
  }
  // A question with Yes and No offering a copy that fits the phone of a
  // dropped picture; true only for Yes. A front end that cannot ask makes
  // no copy.
  virtual bool ConfirmFitCopy(const std::string& question) { (void)question; return false; }
};

// The page shown while nothing runs, and the product's title.
inline void ReturnToLogo(IFormView& view) {
  view.ShowPage(TPage::Logo);
  view.SetTitleBar(TTitle::Product);
}
