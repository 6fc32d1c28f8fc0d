#pragma once
// The main window's dialogs on the Win32 API: the folder chooser, the
// overwrite warning with its rename prompt, the update confirmation, the
// About box, the port set-up, the restore plan and the plain boxes. Each
// is modal on 'owner', runs on the window thread, and answers Cancel when
// closed by its title-bar button or Escape. Texts come from the text table
// in the language given.
#include <windows.h>

#include <string>
#include <vector>

#include "link/FormView.h"
#include "link/PortSelection.h"

namespace backup {
struct TPlanItem;
}

namespace windlg {

// Message box with OK (an error box with the error icon).
void ShowMessage(HWND owner, const std::wstring& caption, const std::wstring& text);
void ShowError(HWND owner, const std::wstring& caption, const std::wstring& text);
// The end box of a backup: OK and a button that opens the backup's
// folder; true only for that button.
bool ShowBackupEnd(HWND owner, const std::wstring& caption, const std::wstring& text, int languageIndex);
// Yes/No question; true only for Yes.
bool AskYesNo(HWND owner, const std::wstring& caption, const std::wstring& text);

// The folder chooser with the given caption: the folder as UTF-8, or ""
// after Cancel. 'start' (UTF-8) is where it opens, if it exists.
std::string ChooseFolder(HWND owner, const std::wstring& caption, const std::string& start,
                         int languageIndex);
// The overwrite warning (OK / Rename / Cancel, the focus on Cancel each
// time); Rename runs the rename prompt, which starts from 'name' (UTF-8).
TOverwriteChoice AskOverwrite(HWND owner, const std::wstring& question, const std::string& name,
                              int languageIndex);
// The update confirmation: true only for OK.
bool ConfirmUpdate(HWND owner, const std::wstring& question, int languageIndex);
void ShowAbout(HWND owner, int languageIndex);
// The port set-up for these port names, starting from 'choice'; true and
// the edited choice in 'choice' after OK.
bool EditPortChoice(HWND owner, const std::vector<std::string>& portNames, TPortChoice& choice,
                    int languageIndex);
// The restore's plan, one row per file with what will be done; true for OK.
bool ConfirmRestorePlan(HWND owner, const std::vector<backup::TPlanItem>& plan, int languageIndex);

// For the window tests: the dialog that is up now on this thread (0 when
// none), so a test can find it and press its buttons with BM_CLICK.
HWND CurrentDialog();

}  // namespace windlg
