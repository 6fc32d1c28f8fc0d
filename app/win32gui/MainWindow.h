#pragma once
// The native main window: tool bar, pages, progress panel, status bar and
// menus on the wide Win32 API. It owns the phone link, the two pages and
// the session worker that runs them; every action is an operation of the
// session, and the worker reaches the window only through the queued view,
// whose queue the window procedure drains when its waker posts.
#include <windows.h>

#include <commctrl.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "content/ContentPage.h"
#include "content/MidletPage.h"
#include "link/Connection.h"
#include "link/FormView.h"
#include "link/Link.h"
#include "link/OperationSession.h"
#include "link/PageState.h"
#include "link/QueuedView.h"
#include "link/ThreadQueue.h"

struct UiText;
namespace backup {
struct TBackupReport;
struct TRestoreReport;
}  // namespace backup

namespace win32gui {

// Controls and menu entries; the tests send these as WM_COMMAND.
enum TControlId : int {
  idRing = 100, idAnimation, idPicture, idJava,  // the page tool bar
  idTitleBar = 110, idLogo, idStatusBar,
  idContentPage = 120, idPcGroup, idPcList, idShowAll, idRemovePc, idSend, idFetch, idPhoneGroup, idPhoneList,
  idRemovePhone, idFitToPhone,
  idMidletPage = 140, idSuitePcGroup, idSuitePcList, idRemoveSuitePc, idInstall, idSuitePhoneGroup,
  idSuitePhoneList, idUninstall,
  idProgressPanel = 160, idStatusLabel, idProgressBar, idTotalLabel, idTotalBar, idStop,
  // Menu entries.
  idConnect = 200, idDisconnect, idBackup, idRestore, idAuto, idCom1, idCom2, idCom3, idCom4, idPortSetup,
  idEnglish = 220, idTraditional, idSimplified, idAbout, idExit, idReportProblem,
};

// Posted by the queue's waker: the window thread drains what the worker handed it.
constexpr UINT kDrainMessage = WM_APP + 1;
// Posted by the thumbnail thread: pictures wait to be set on the PC list.
constexpr UINT kThumbnailsMessage = WM_APP + 2;

class TThumbnails;

class TMainWindow : public IFormView {
 public:
  // Creates the window (hidden) on the calling thread, which owns it from now on.
  explicit TMainWindow(std::unique_ptr<IComBackend> backend = MakeDefaultComBackend());
  ~TMainWindow() override;
  TMainWindow(const TMainWindow&) = delete;
  TMainWindow& operator=(const TMainWindow&) = delete;

  HWND Handle() const { return hwnd_; }
  HWND Control(int id) const;
  HMENU Menu() const { return menu_; }
  // The first connect of the run, after the window is shown.
  void FormCreate();
  // Keyboard navigation for one message of the loop; true when it was used.
  bool PreTranslate(MSG& msg);
  // The message loop until the window is gone; then the close's steps end
  // on the worker within the limit.
  int Run(std::chrono::milliseconds finishLimit = std::chrono::seconds(3));
  void FinishSession(std::chrono::milliseconds limit);
  bool SessionIdle() const { return session_.Idle(); }
  // Where the folder chooser opens (the virtual phone's PC samples).
  void SetChooserStart(const std::string& folder) { chooserStart_ = folder; }
  // Files dropped on the phone list (UTF-8 paths), as a drop hands them over.
  void DropOnPhoneList(const std::vector<std::string>& paths);
  // For tests: answers the folder chooser instead of the dialog when set.
  std::function<std::string(const std::string& caption)> folderAnswer;
  // For tests: answers boxes (the text) instead of showing them when set.
  std::function<void(const std::wstring& text)> boxSeen;
  int LanguageIndex() const;
  // Current texts of the status bar's panels.
  std::wstring PanelText(int index) const;
  // PC files whose thumbnail is still being made.
  int ThumbnailsPending() const;

  static LRESULT CALLBACK WindowProcEntry(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK PanelProcEntry(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

  // ---- IFormView ----
  void ShowMessage(const std::string& text) override;
  void ShowErrorText(const std::string& text) override;
  std::string ChooseFolder(const std::string& caption) override;
  TOverwriteChoice AskOverwrite(const std::string& question, const std::string& name) override;
  bool ConfirmUpdate(const std::string& question) override;
  std::vector<int> SelectedRows(TListId list) override;
  void SetStatusLabel(const std::string& text) override;
  void HideStatusLabel() override;
  void ShowProgressBar(bool visible) override;
  void SetProgressRange(int max) override;
  void SetProgressPos(int pos) override;
  void StepProgress() override;
  void ShowTotalBar(int max) override;
  void StepTotalBar() override;
  void HideTotalBar() override;
  void ShowPage(TPage page) override;
  void SetTitleBar(TTitle title) override;
  void ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) override;
  void SetActionsEnabled(bool enabled) override;
  void EnableSuiteActions() override;
  void ClearList(TListId list) override;
  void AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) override;
  void AddListRow(TListId list, const std::vector<std::string>& cells) override;
  void OpenWithDefaultApp(const std::string& path) override;
  bool ConfirmFitCopy(const std::string& question) override;
  bool ShowBackupEnd(const std::string& text) override;

 private:
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void CreateControls();
  void BuildMenu();
  void ApplyLanguageTexts();
  void OnCommand(int id);
  void OnClose();
  // A user action on the session; refused with a box while another runs.
  void RunOnSession(std::function<void()> operation);
  // Disconnect, a port change, the port set-up: they stop what runs.
  void Interrupting(std::function<void()> handler);
  void RunHere(const std::function<void()>& handler);
  void TellStopped(const TPageReport& report);
  void ChooseLanguage(int languageIndex);
  void EditPortSetup();
  void BackupClick();
  void RestoreClick();
  bool RefuseWhileBusy();
  std::string AskBackupFolder(const UiText& caption);
  void UpdateBackupEntries();
  void ShowStopButton(bool visible);
  void ClearProgressPanel();
  void SetShowAll(bool on);
  // Files dropped on the phone list: judged by the page, then sent.
  static LRESULT CALLBACK PhoneListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
  void SendDroppedFiles(HDROP drop);
  void RebuildPortMenu();
  void SetPortPanel();
  void SetLinkPanel();
  void Box(const std::wstring& text, bool error);
  bool YesNo(const std::wstring& text);
  std::wstring Tr(const UiText& entry) const;
  HWND ListOf(TListId list) const;
  void SetEnabled(int id, bool enabled);
  HWND Add(int id, HWND parent, const wchar_t* cls, DWORD style, int x, int y, int w, int h, DWORD exStyle = 0);
  void AddColumns(HWND list, const std::vector<std::pair<const wchar_t*, int>>& columns);
  void SetText(int id, const std::wstring& text);
  void Show(int id, bool visible);

  HWND hwnd_ = nullptr;
  HMENU menu_ = nullptr, connectionMenu_ = nullptr, portMenu_ = nullptr, languageMenu_ = nullptr,
        helpMenu_ = nullptr;
  HACCEL accelerators_ = nullptr;
  HFONT font_ = nullptr, boldFont_ = nullptr, logoFont_ = nullptr;
  HWND tooltip_ = nullptr;
  HBITMAP toolPictures_[4] = {};
  std::wstring hints_[4];  // the tool bar's hints, kept while the tips show them
  struct TPlaced {
    int id;
    HWND hwnd;
    RECT base;  // at 96 dots per inch
  };
  std::vector<TPlaced> controls_;
  // Another monitor's DPI: every control, font and picture at the new scale.
  void ApplyDpi(int dpi, const RECT* suggested);
  void MakeFonts();
  int dpi_ = 96;
  int lastDpi_ = 96;  // the list columns' scale
  int Scale(int v) const { return MulDiv(v, dpi_, 96); }

  TThreadQueue windowQueue_;
  TQueuedView shownView_;

 public:
  TLink link;
  TConnection connection{link};
  TPageState pages;
  TContentPage contentPage;
  TMidletPage midletPage;

 private:
  // What the title bar, the panels and the port menu show, for a change of language.
  TTitle title_ = TTitle::Product;
  TLinkIndicators indicators_;
  bool portShown_ = false;
  bool stopShown_ = false;
  TPage page_ = TPage::Logo;
  std::string chooserStart_;
  // "Show all files": the greyed rows after the listed ones, with why in each language.
  std::vector<TWordsByLanguage> unsuitableWhy_;
  void ShowReasons();
  // The whole first cell of each list's rows as the core gave it; a list
  // shows one that is wider than its column cut in the middle, with the
  // whole as the row's tip.
  std::array<std::vector<std::wstring>, 4> rowNames_;
  std::wstring RowName(TListId list, int row) const;
  void CutRowNames(TListId list, int from = 0);
  // The whole name as a row's tip; false for a list or cell without one.
  bool RowTip(HWND list, NMLVGETINFOTIPW* tip) const;
  LRESULT DrawPcRow(NMLVCUSTOMDRAW* draw) const;
  // "Fit to phone": the greyed rows' names (as the page gave them), the
  // one selected row a copy can be made of ("" none), and the copy made.
  std::vector<std::string> unsuitableNames_;
  std::string SelectedFittablePath();
  void UpdateFitButton();
  void FitSelectedPicture();
  void SelectPcRow(const std::wstring& name);
  // Thumbnails of the animation and picture pages' PC rows.
  std::unique_ptr<TThumbnails> thumbnails_;
  void QueueThumbnail(int row, const std::string& name);
  TOperationSession session_;  // last: it stops before the pages and the link go
};

}  // namespace win32gui
