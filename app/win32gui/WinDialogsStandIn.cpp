// Plain system boxes for the window's questions, for a build without the
// dialog library: each answers as its nearest system box can.
#include <shlobj.h>

#include "app/win32gui/WinDialogs.h"
#include "content/Backup.h"
#include "link/Text.h"

namespace windlg {

namespace {
int Ask(HWND owner, const std::wstring& text, UINT buttons) {
  wchar_t caption[256] = L"";
  if (owner) GetWindowTextW(owner, caption, 256);
  return MessageBoxW(owner, text.c_str(), caption, buttons);
}
}  // namespace

void ShowMessage(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK);
}
void ShowError(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}
bool AskYesNo(HWND owner, const std::wstring& caption, const std::wstring& text) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}
std::string ChooseFolder(HWND owner, const std::wstring& caption, const std::string&, int) {
  BROWSEINFOW bi{};
  bi.hwndOwner = owner;
  bi.lpszTitle = caption.c_str();
  bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&bi);
  if (!item) return std::string();
  wchar_t path[MAX_PATH] = L"";
  const bool got = SHGetPathFromIDListW(item, path);
  CoTaskMemFree(item);
  return got ? Utf8(path) : std::string();
}
TOverwriteChoice AskOverwrite(HWND owner, const std::wstring& question, const std::string& name, int) {
  // No rename prompt here: Yes overwrites, anything else leaves the file.
  const bool yes = Ask(owner, question, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
  return {yes ? TOverwriteAnswer::Overwrite : TOverwriteAnswer::Cancel, name};
}
bool ConfirmUpdate(HWND owner, const std::wstring& question, int) {
  return Ask(owner, question, MB_OKCANCEL | MB_ICONQUESTION) == IDOK;
}
void ShowAbout(HWND owner, int) { Ask(owner, L"Quendrel", MB_OK | MB_ICONINFORMATION); }
bool EditPortChoice(HWND, const std::vector<std::string>&, TPortChoice&, int) { return false; }
bool ConfirmRestorePlan(HWND owner, const std::vector<backup::TPlanItem>& plan, int) {
  return Ask(owner, std::to_wstring(plan.size()) + L" files", MB_OKCANCEL) == IDOK;
}
HWND CurrentDialog() { return nullptr; }

}  // namespace windlg
