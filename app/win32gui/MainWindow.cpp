#include "app/win32gui/MainWindow.h"

#include <commctrl.h>
#include <shellapi.h>

#include <stdexcept>

#include "app/core/Config.h"
#include "app/core/PortAdvice.h"
#include "content/UiText.h"
#include "app/win32/WinTextDecoder.h"
#include "app/win32gui/MainWindowParts.h"
#include "app/win32gui/WinDialogs.h"
#include "app/win32gui/WinThumbnails.h"
#include "content/ScanReason.h"
#include "link/PortSelection.h"
#include "link/ProtocolTrace.h"
#include "link/Text.h"

namespace win32gui {

namespace {

const wchar_t kWindowClass[] = L"QuendrelMainWindow";
const wchar_t kPanelClass[] = L"QuendrelPanel";

// Runs a handler; an escaping error goes to the given error box.
template <typename F>
void UnderErrorReport(F&& handler, IFormView& view) {
  try {
    handler();
  } catch (const std::exception& e) {
    view.ShowErrorText(e.what());
  } catch (...) {
    view.ShowErrorText("Unknown error");
  }
}

void RegisterClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512))  /* the arrow */;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kPanelClass;
  wc.lpfnWndProc = &TMainWindow::PanelProcEntry;
  RegisterClassExW(&wc);
  wc.lpszClassName = kWindowClass;
  wc.lpfnWndProc = &TMainWindow::WindowProcEntry;
  wc.hIcon = LoadIconW(wc.hInstance, MAKEINTRESOURCEW(1));
  wc.hIconSm = wc.hIcon;
  RegisterClassExW(&wc);
}

}  // namespace

TMainWindow::TMainWindow(std::unique_ptr<IComBackend> backend)
    : shownView_(*this, windowQueue_),
      link(shownView_, std::move(backend)),
      contentPage(link, pages),
      midletPage(link, pages),
      // Nothing of the operation stays in the progress panel, whichever way it ended.
      session_(link, shownView_, [this] {
        windowQueue_.Post([this] {
          ClearProgressPanel();
          UpdateBackupEntries();
        });
      }) {
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES |
                                           ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClasses();
  link.SetOpenAdvice([](const std::string& port, int osError) { return PortOpenAdvice(port, osError); });
  HDC screen = GetDC(nullptr);
  dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  if (dpi_ <= 0) dpi_ = 96;

  ComputeDirectories();
  LoadLanguage();
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
  hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kWindowClass, L"", style, CW_USEDEFAULT, CW_USEDEFAULT,
                          Scale(638), Scale(436), nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (!hwnd_) throw std::runtime_error("cannot create the main window");
  // The monitor's own DPI where the system knows it per window.
  using TDpiForWindow = UINT(WINAPI*)(HWND);
  if (FARPROC proc = GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"))
    if (const UINT dpi = reinterpret_cast<TDpiForWindow>(reinterpret_cast<void*>(proc))(hwnd_)) dpi_ = static_cast<int>(dpi);
  windowQueue_.SetWaker([this] { PostMessageW(hwnd_, kDrainMessage, 0, 0); });
  CreateControls();
  contentPage.Decoder = &WinUiTextDecoder();
  ApplyLanguageTexts();
  // Client area 638 x 436 below the menu bar; centred on the work area.
  RECT r{0, 0, Scale(638), Scale(436)};
  AdjustWindowRectEx(&r, style, TRUE, WS_EX_CONTROLPARENT);
  RECT work{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  const int w = r.right - r.left, h = r.bottom - r.top;
  SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - w) / 2,
               work.top + (work.bottom - work.top - h) / 2, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  ShowPage(TPage::Logo);
  ClearProgressPanel();
  connection.Ports().LoadPortSettings();
  connection.Ports().ShowPortPanel();
  // The ini file (required: a missing one ends the construction, and the
  // window goes with it before the members it reaches).
  try {
    ReadIniSettings([this](const std::string& text) { ShowErrorText(text); });
  } catch (...) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
    throw;
  }
}

TMainWindow::~TMainWindow() {
  FinishSession(std::chrono::milliseconds(0));
  link.ReleaseReceiver();
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (accelerators_) DestroyAcceleratorTable(accelerators_);
  for (HFONT f : {font_, boldFont_, logoFont_})
    if (f) DeleteObject(f);
  for (HBITMAP b : toolPictures_)
    if (b) DeleteObject(b);
}

LRESULT CALLBACK TMainWindow::WindowProcEntry(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTW*>(lp);
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
  }
  auto* self = reinterpret_cast<TMainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
  return self->OnMessage(hwnd, msg, wp, lp);
}

LRESULT CALLBACK TMainWindow::PanelProcEntry(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_DRAWITEM:
      // The controls on a page speak to the window.
      return SendMessageW(GetAncestor(hwnd, GA_ROOT), msg, wp, lp);
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT rc;
      GetClientRect(hwnd, &rc);
      const int id = GetDlgCtrlID(hwnd);
      if (id == idLogo) {
        auto* self = reinterpret_cast<TMainWindow*>(GetWindowLongPtrW(GetAncestor(hwnd, GA_ROOT), GWLP_USERDATA));
        PaintLogo(dc, rc, self ? self->logoFont_ : nullptr);
      } else if (id == idProgressPanel) {
        DrawEdge(dc, &rc, EDGE_RAISED, BF_RECT);
      }
      EndPaint(hwnd, &ps);
      return 0;
    }
    default:
      return DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT TMainWindow::OnMessage(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kDrainMessage:
      windowQueue_.Drain();
      return 0;
    case kThumbnailsMessage:
      thumbnails_->Apply([this](int row) { return RowName(TListId::PcFiles, row); });
      return 0;
    case WM_COMMAND:
      if (HIWORD(wp) == BN_CLICKED || HIWORD(wp) <= 1) OnCommand(LOWORD(wp));
      return 0;
    case WM_NOTIFY: {
      const auto* n = reinterpret_cast<const NMHDR*>(lp);
      if (n->code == LVN_GETINFOTIPW) {
        RowTip(n->hwndFrom, reinterpret_cast<NMLVGETINFOTIPW*>(lp));
        return 0;
      }
      // A column's new width cuts the names anew.
      if (n->code == HDN_ITEMCHANGEDW || n->code == HDN_ITEMCHANGEDA) {
        for (TListId id : {TListId::PcFiles, TListId::PhoneFiles, TListId::PcSuites, TListId::PhoneSuites})
          if (ListOf(id) == GetParent(n->hwndFrom)) CutRowNames(id);
        return 0;
      }
      if (n->idFrom == static_cast<UINT_PTR>(idPcList) && n->code == NM_DBLCLK)
        RunOnSession([this] { contentPage.DC_PIC_PC_ListViewDblClick(); });
      if (n->idFrom == static_cast<UINT_PTR>(idPcList) && n->code == NM_CUSTOMDRAW)
        return DrawPcRow(reinterpret_cast<NMLVCUSTOMDRAW*>(lp));
      if (n->idFrom == static_cast<UINT_PTR>(idPcList) && n->code == LVN_ITEMCHANGED &&
          (reinterpret_cast<const NMLISTVIEW*>(lp)->uChanged & LVIF_STATE))
        UpdateFitButton();
      return 0;
    }
    case WM_PAINT: {
      // The tool bar's raised panel.
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd, &ps);
      RECT bar{0, 0, Scale(77), Scale(416)};
      DrawEdge(dc, &bar, EDGE_RAISED, BF_RECT);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DPICHANGED:
      ApplyDpi(HIWORD(wp), reinterpret_cast<const RECT*>(lp));
      return 0;
    case WM_CLOSE:
      OnClose();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND TMainWindow::Control(int id) const {
  for (const TPlaced& c : controls_)
    if (c.id == id) return c.hwnd;
  return nullptr;
}

bool TMainWindow::PreTranslate(MSG& msg) {
  if (!hwnd_) return false;
  if (accelerators_ && TranslateAcceleratorW(hwnd_, accelerators_, &msg)) return true;
  return IsDialogMessageW(hwnd_, &msg) != 0;
}

int TMainWindow::Run(std::chrono::milliseconds finishLimit) {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  // The close's disconnect runs on the session worker: let it end before the phone goes.
  FinishSession(finishLimit);
  return 0;
}

void TMainWindow::FinishSession(std::chrono::milliseconds limit) { session_.Finish(windowQueue_, limit); }

void TMainWindow::FormCreate() {
  session_.Queue([this] { connection.FormCreate(); });
  UpdateBackupEntries();
}

void TMainWindow::OnClose() {
  if (!session_.Closed()) {
    CloseStartupLogs();
    // The disconnect and the list's release follow the running operation on the worker.
    session_.Close([this] {
      connection.CloseLink();
      midletPage.PcSuites.Clear();
    });
    ReleaseIniLines();
  }
  DestroyWindow(hwnd_);
}

int TMainWindow::LanguageIndex() const { return UiLanguage(); }

std::wstring TMainWindow::Tr(const UiText& entry) const {
  const int lang = LanguageIndex();
  return WinUiTextDecoder().Wide(UiBytes(entry, lang), lang);
}

void TMainWindow::RunHere(const std::function<void()>& handler) { UnderErrorReport(handler, *this); }

void TMainWindow::RunOnSession(std::function<void()> operation) {
  if (!session_.Submit(std::move(operation)) && !session_.Closed()) Box(Tr(uitext::OperationRunning), false);
  UpdateBackupEntries();
}

void TMainWindow::Interrupting(std::function<void()> handler) {
  // The menu greys them at once while they are pending, until the link's
  // own menu state is shown again after them.
  if (!session_.Idle()) {
    indicators_.canDisconnect = false;
    indicators_.canChangeSettings = false;
    ShowLinkIndicators(indicators_, ipCommands);
  }
  session_.Interrupt([this, handler] {
    handler();
    shownView_.ShowLinkIndicators(connection.Indicators(), ipCommands);
  });
  UpdateBackupEntries();
}

void TMainWindow::TellStopped(const TPageReport& report) {
  const std::string text = StoppedActionText(report, WinUiTextDecoder());
  if (!text.empty()) shownView_.ShowMessage(text);
}

void TMainWindow::OnCommand(int id) {
  switch (id) {
    case idRing: RunOnSession([this] { contentPage.Ring_ButtonClick(); }); break;
    case idAnimation: RunOnSession([this] { contentPage.Animation_ButtonClick(); }); break;
    case idPicture: RunOnSession([this] { contentPage.DC_PIC_ToolButtonClick(); }); break;
    case idJava: RunOnSession([this] { midletPage.LocalAppDW_ButtonClick(); }); break;
    case idSend: RunOnSession([this] { TellStopped(contentPage.DC_PIC_UL_ButtonClick()); }); break;
    case idFetch: RunOnSession([this] { TellStopped(contentPage.DC_PIC_DL_ButtonClick()); }); break;
    case idRemovePc: RunOnSession([this] { TellStopped(contentPage.DC_PIC_Remove_PC_ButtonClick()); }); break;
    case idRemovePhone:
      RunOnSession([this] { TellStopped(contentPage.DC_PIC_Remove_PHONE_ButtonClick()); });
      break;
    case idFitToPhone: RunHere([this] { FitSelectedPicture(); }); break;
    case idShowAll: SetShowAll(SendMessageW(Control(idShowAll), BM_GETCHECK, 0, 0) == BST_CHECKED); break;
    case idInstall: RunOnSession([this] { midletPage.LAD_ONE_ButtonClick(); }); break;
    case idUninstall: RunOnSession([this] { midletPage.LocalAppDL_REMOVE_ButtonClick(); }); break;
    case idRemoveSuitePc: RunOnSession([this] { midletPage.LAD_PC_Remove_ButtonClick(); }); break;
    // Only raises the flag: the running wait sees it at its next turn.
    case idStop: session_.Stop(); break;
    case idConnect: RunOnSession([this] { connection.Connect1Click(); }); break;
    case idDisconnect: Interrupting([this] { connection.Disconnect1Click(); }); break;
    case idAuto: Interrupting([this] { connection.Ports().mAutoClick(); }); break;
    case idCom1: Interrupting([this] { connection.Ports().mCOM1Click(); }); break;
    case idCom2: Interrupting([this] { connection.Ports().mCOM2Click(); }); break;
    case idCom3: Interrupting([this] { connection.Ports().mCOM3Click(); }); break;
    case idCom4: Interrupting([this] { connection.Ports().mCOM4Click(); }); break;
    case idPortSetup: Interrupting([this] { EditPortSetup(); }); break;
    case idBackup: RunHere([this] { BackupClick(); }); break;
    case idRestore: RunHere([this] { RestoreClick(); }); break;
    case idEnglish:
    case idTraditional:
    case idSimplified: {
      const int lang = id - idEnglish;
      RunHere([this, lang] { ChooseLanguage(lang); });
      break;
    }
    case idAbout: RunHere([this] { windlg::ShowAbout(hwnd_, LanguageIndex()); }); break;
    case idExit: PostMessageW(hwnd_, WM_CLOSE, 0, 0); break;
    case idReportProblem:
      MessageBoxW(hwnd_, Wide(ReportProblemText()).c_str(), Wide(kReportProblemTitle).c_str(), MB_OK | MB_ICONINFORMATION);
      break;
    default: break;
  }
}

void TMainWindow::ChooseLanguage(int languageIndex) {
  ::ChooseLanguage(languageIndex);
  ApplyLanguageTexts();
}

void TMainWindow::EditPortSetup() {
  // The dialog edits the port while the worker holds off.
  bool applied = false;
  windowQueue_.RunAndWait([this, &applied] {
    TPortChoice choice = ReadPortChoice(link.Port());
    applied = windlg::EditPortChoice(hwnd_, PortSetupNames(), choice, LanguageIndex());
    if (applied) ApplyPortChoice(link.Port(), choice);
  });
  // A port set there is the user's choice from then on.
  if (applied) connection.Ports().PortChosen();
}

LRESULT CALLBACK TMainWindow::PhoneListProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR self) {
  if (msg == WM_DROPFILES) {
    reinterpret_cast<TMainWindow*>(self)->SendDroppedFiles(reinterpret_cast<HDROP>(wp));
    return 0;
  }
  return DefSubclassProc(hwnd, msg, wp, lp);
}

void TMainWindow::SendDroppedFiles(HDROP drop) {
  std::vector<std::string> paths;
  const UINT n = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < n; ++i) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
    const DWORD a = GetFileAttributesW(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY)) paths.push_back(Utf8(path));
  }
  DragFinish(drop);
  // After the drop has returned to the file manager: sending takes a while.
  if (!paths.empty()) windowQueue_.Post([this, paths] { DropOnPhoneList(paths); });
}

void TMainWindow::DropOnPhoneList(const std::vector<std::string>& paths) {
  // Taken only where a send could start: the content page, its buttons on.
  if (page_ != TPage::Content || !IsWindowEnabled(Control(idSend))) return;
  // The page judges them and asks through the window as it goes; a picture
  // the phone would not take is offered as a fitted copy.
  RunOnSession([this, paths] {
    TellStopped(contentPage.SendDroppedFiles(paths, &PictureFitter(), WinUiTextDecoder()).sending);
  });
}

// ---- Boxes and questions ----

void TMainWindow::Box(const std::wstring& text, bool error) {
  if (boxSeen) {
    boxSeen(text);
    return;
  }
  const std::wstring caption = Tr(uitext::ProductName);
  if (error) windlg::ShowError(hwnd_, caption, text);
  else windlg::ShowMessage(hwnd_, caption, text);
}

bool TMainWindow::YesNo(const std::wstring& text) {
  if (boxSeen) {
    boxSeen(text);
    return false;
  }
  return windlg::AskYesNo(hwnd_, Tr(uitext::ProductName), text);
}

void TMainWindow::ShowMessage(const std::string& text) { Box(WideFromBytes(text), false); }

void TMainWindow::ShowErrorText(const std::string& text) { Box(WideFromBytes(text), true); }

bool TMainWindow::ConfirmFitCopy(const std::string& question) { return YesNo(WideFromBytes(question)); }

std::string TMainWindow::ChooseFolder(const std::string& caption) {
  if (folderAnswer) return folderAnswer(caption);
  return windlg::ChooseFolder(hwnd_, WideFromBytes(caption), chooserStart_, LanguageIndex());
}

TOverwriteChoice TMainWindow::AskOverwrite(const std::string& question, const std::string& name) {
  if (boxSeen) {
    boxSeen(WideFromBytes(question));
    return {TOverwriteAnswer::Cancel, name};
  }
  return windlg::AskOverwrite(hwnd_, WideFromBytes(question), name, LanguageIndex());
}

bool TMainWindow::ConfirmUpdate(const std::string& question) {
  if (boxSeen) {
    boxSeen(WideFromBytes(question));
    return true;
  }
  return windlg::ConfirmUpdate(hwnd_, WideFromBytes(question), LanguageIndex());
}

void TMainWindow::OpenWithDefaultApp(const std::string& path) {
  ShellExecuteW(hwnd_, L"open", Wide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}


}  // namespace win32gui
