// The main window's controls, menus and texts, and what the view shows on them.
#include <windows.h>

#include <commctrl.h>

#include "app/core/Config.h"
#include "content/UiText.h"
#include "app/win32/WinTextDecoder.h"
#include "app/win32gui/MainWindow.h"
#include "app/win32gui/MainWindowParts.h"
#include "app/win32gui/WinThumbnails.h"
#include "link/ProtocolTrace.h"
#include "port/win32/WideText.h"

namespace win32gui {

namespace {

constexpr int kReasonColumn = 2;
constexpr int kStopRoom = 74;  // the bars give way to Stop at the panel's right

// Mnemonics for the entries of one menu, none twice: an entry's own "&x"
// stays; the others take the first letter of their English words not yet
// taken, marked in the entry when it holds it, else added as "(&X)".
std::vector<std::wstring> WithMnemonics(const std::vector<std::wstring>& texts,
                                        const std::vector<std::wstring>& english) {
  std::wstring taken;
  auto marked = [](const std::wstring& t) {
    const size_t at = t.find(L'&');
    return at != std::wstring::npos && at + 1 < t.size() ? static_cast<wchar_t>(towupper(t[at + 1])) : L'\0';
  };
  for (const std::wstring& t : texts)
    if (wchar_t c = marked(t)) taken.push_back(c);
  std::vector<std::wstring> out = texts;
  for (size_t i = 0; i < out.size(); ++i) {
    if (marked(out[i])) continue;
    for (wchar_t c : english[i]) {
      const wchar_t up = static_cast<wchar_t>(towupper(c));
      if (c >= 128 || !iswalpha(c) || taken.find(up) != std::wstring::npos) continue;
      taken.push_back(up);
      size_t at = 0;
      while (at < out[i].size() && towupper(out[i][at]) != up) ++at;
      if (at < out[i].size()) out[i].insert(at, 1, L'&');
      else out[i] += std::wstring(L"(&") + up + L")";
      break;
    }
  }
  return out;
}

}  // namespace

HWND TMainWindow::Add(int id, HWND parent, const wchar_t* cls, DWORD style, int x, int y, int w, int h,
                      DWORD exStyle) {
  HWND c = CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, Scale(x), Scale(y),
                           Scale(w), Scale(h), parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
  SendMessageW(c, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  controls_.push_back({id, c, RECT{x, y, x + w, y + h}});
  return c;
}

void TMainWindow::AddColumns(HWND list, const std::vector<std::pair<const wchar_t*, int>>& columns) {
  int i = 0;
  for (const auto& [title, width] : columns) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = const_cast<wchar_t*>(title);
    col.cx = Scale(width);
    col.iSubItem = i;
    SendMessageW(list, LVM_INSERTCOLUMNW, i++, reinterpret_cast<LPARAM>(&col));
  }
}

void TMainWindow::MakeFonts() {
  // The system's message font, given for the system's DPI, at the window's.
  NONCLIENTMETRICSW ncm{};
  ncm.cbSize = sizeof ncm;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
  HDC screen = GetDC(nullptr);
  const int systemDpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  LOGFONTW message = ncm.lfMessageFont;
  if (systemDpi > 0) message.lfHeight = MulDiv(message.lfHeight, dpi_, systemDpi);
  for (HFONT f : {font_, boldFont_, logoFont_})
    if (f) DeleteObject(f);
  font_ = CreateFontIndirectW(&message);
  LOGFONTW bold = message;
  bold.lfWeight = FW_BOLD;
  boldFont_ = CreateFontIndirectW(&bold);
  LOGFONTW logo = bold;
  logo.lfHeight = -Scale(40);
  logo.lfItalic = TRUE;
  logoFont_ = CreateFontIndirectW(&logo);
}

void TMainWindow::ApplyDpi(int dpi, const RECT* suggested) {
  dpi_ = dpi;
  MakeFonts();
  for (const TPlaced& c : controls_) {
    if (c.id == idStatusBar) continue;
    const RECT& r = c.base;
    int width = r.right - r.left;
    // The bars give way to Stop while it shows.
    if (stopShown_ && (c.id == idProgressBar || c.id == idTotalBar)) width -= kStopRoom;
    SetWindowPos(c.hwnd, nullptr, Scale(r.left), Scale(r.top), Scale(width), Scale(r.bottom - r.top),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    SendMessageW(c.hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(c.id == idTitleBar ? boldFont_ : font_), TRUE);
  }
  for (int i = 0; i < 4; ++i) {
    HBITMAP old = toolPictures_[i];
    toolPictures_[i] = MakeToolPicture(static_cast<TToolPicture>(i), Scale(48));
    SendMessageW(Control(idRing + i), BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(toolPictures_[i]));
    if (old) DeleteObject(old);
  }
  for (int id : {idPcList, idPhoneList, idSuitePcList, idSuitePhoneList}) {
    HWND list = Control(id);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    const int columns = header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int c = 0; c < columns; ++c) {
      const int w = static_cast<int>(SendMessageW(list, LVM_GETCOLUMNWIDTH, c, 0));
      SendMessageW(list, LVM_SETCOLUMNWIDTH, c, MulDiv(w, dpi, lastDpi_));
    }
  }
  for (TListId list : {TListId::PcFiles, TListId::PhoneFiles, TListId::PcSuites, TListId::PhoneSuites})
    CutRowNames(list);
  lastDpi_ = dpi;
  HWND status = Control(idStatusBar);
  int edges[4] = {Scale(160), Scale(320), Scale(370), -1};
  SendMessageW(status, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
  SendMessageW(status, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
  SetWindowPos(status, nullptr, 0, Scale(416), Scale(638), Scale(20), SWP_NOZORDER);
  if (suggested)
    SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, TRUE);
}

void TMainWindow::CreateControls() {
  MakeFonts();
  lastDpi_ = dpi_;
  SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);

  const DWORD tab = WS_TABSTOP;
  const DWORD panel = WS_CLIPCHILDREN;
  // The page tool bar: four picture buttons with hints.
  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, hwnd_,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  const TToolPicture pictures[4] = {TToolPicture::Melody, TToolPicture::Animation, TToolPicture::Picture,
                                    TToolPicture::Java};
  for (int i = 0; i < 4; ++i) {
    HWND b = Add(idRing + i, hwnd_, WC_BUTTONW, tab | BS_BITMAP | BS_PUSHBUTTON, 5, 5 + 66 * i, 67, 66);
    toolPictures_[i] = MakeToolPicture(pictures[i], Scale(48));
    SendMessageW(b, BM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(toolPictures_[i]));
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(b);
    ti.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
  }
  // The title bar.
  HWND title = Add(idTitleBar, hwnd_, WC_STATICW, SS_LEFT | SS_CENTERIMAGE | SS_NOPREFIX, 80, 2, 556, 24,
                   WS_EX_STATICEDGE);
  SendMessageW(title, WM_SETFONT, reinterpret_cast<WPARAM>(boldFont_), FALSE);

  // The pages, one panel each at the same place.
  Add(idLogo, hwnd_, L"QuendrelPanel", 0, 80, 28, 556, 322);
  HWND content = Add(idContentPage, hwnd_, L"QuendrelPanel", panel, 80, 28, 556, 322, WS_EX_CONTROLPARENT);
  const DWORD listStyle = tab | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
  const DWORD button = tab | BS_PUSHBUTTON;
  HWND pcList = Add(idPcList, content, WC_LISTVIEWW, listStyle, 12, 20, 216, 234);
  Add(idShowAll, content, WC_BUTTONW, tab | BS_AUTOCHECKBOX, 12, 257, 112, 24);
  Add(idFitToPhone, content, WC_BUTTONW, button, 128, 257, 100, 24);
  Add(idRemovePc, content, WC_BUTTONW, button, 12, 284, 216, 26);
  Add(idSend, content, WC_BUTTONW, button, 250, 110, 56, 32);
  Add(idFetch, content, WC_BUTTONW, button, 250, 170, 56, 32);
  HWND phoneList = Add(idPhoneList, content, WC_LISTVIEWW, listStyle, 328, 20, 216, 258);
  Add(idRemovePhone, content, WC_BUTTONW, button, 328, 284, 216, 26);
  // Group boxes last: below the controls they frame.
  Add(idPcGroup, content, WC_BUTTONW, BS_GROUPBOX, 4, 2, 232, 318);
  Add(idPhoneGroup, content, WC_BUTTONW, BS_GROUPBOX, 320, 2, 232, 318);
  AddColumns(pcList, {{L"Name", 138}, {L"Size", 58}});
  AddColumns(phoneList, {{L"Name", 138}, {L"Size", 58}});

  HWND midlets = Add(idMidletPage, hwnd_, L"QuendrelPanel", panel, 80, 28, 556, 322, WS_EX_CONTROLPARENT);
  HWND suitesPc = Add(idSuitePcList, midlets, WC_LISTVIEWW, listStyle, 12, 20, 216, 258);
  Add(idRemoveSuitePc, midlets, WC_BUTTONW, button, 12, 284, 216, 26);
  Add(idInstall, midlets, WC_BUTTONW, button, 250, 110, 56, 32);
  HWND suitesPhone = Add(idSuitePhoneList, midlets, WC_LISTVIEWW, listStyle, 328, 20, 216, 258);
  Add(idUninstall, midlets, WC_BUTTONW, button, 328, 284, 216, 26);
  Add(idSuitePcGroup, midlets, WC_BUTTONW, BS_GROUPBOX, 4, 2, 232, 318);
  Add(idSuitePhoneGroup, midlets, WC_BUTTONW, BS_GROUPBOX, 320, 2, 232, 318);
  // Every column fits the list's width, so no mark hides behind a scroll bar.
  AddColumns(suitesPc, {{L"Name", 76}, {L"Ver.", 40}, {L"Size", 46}, {L"Status", 42}});
  AddColumns(suitesPhone, {{L"Name", 100}, {L"Ver.", 46}, {L"Size", 58}});
  for (HWND list : {pcList, phoneList, suitesPc, suitesPhone})
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP,
                 LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
  DragAcceptFiles(phoneList, TRUE);
  Show(idFitToPhone, false);
  thumbnails_ = std::make_unique<TThumbnails>(pcList, hwnd_, kThumbnailsMessage, Scale(20));
  SetWindowSubclass(phoneList, &TMainWindow::PhoneListProc, 1, reinterpret_cast<DWORD_PTR>(this));

  // The progress panel.
  HWND progress = Add(idProgressPanel, hwnd_, L"QuendrelPanel", panel, 80, 352, 556, 62, WS_EX_CONTROLPARENT);
  Add(idStatusLabel, progress, WC_STATICW, SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 8, 4, 540, 16);
  HWND bar = Add(idProgressBar, progress, PROGRESS_CLASSW, 0, 8, 22, 540, 14);
  Add(idTotalLabel, progress, WC_STATICW, SS_LEFT, 8, 40, 40, 16);
  HWND total = Add(idTotalBar, progress, PROGRESS_CLASSW, 0, 52, 41, 496, 14);
  Add(idStop, progress, WC_BUTTONW, button, 482, 22, 66, 34);
  for (HWND b : {bar, total}) SendMessageW(b, PBM_SETSTEP, 1, 0);
  Show(idStop, false);
  SetText(idSend, L">");
  SetText(idFetch, L"<");
  SetText(idInstall, L">");
  for (int id : {idRemovePc, idRemovePhone, idRemoveSuitePc, idUninstall}) SetText(id, L"REMOVE");
  for (int id : {idPcGroup, idSuitePcGroup}) SetText(id, L"PC");
  for (int id : {idPhoneGroup, idSuitePhoneGroup}) SetText(id, L"Phone");
  SetText(idTotalLabel, L"Total");

  // The status bar's three panels.
  HWND status = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE, 0, 0, 0, 0, hwnd_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(idStatusBar)),
                                GetModuleHandleW(nullptr), nullptr);
  SendMessageW(status, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  controls_.push_back({idStatusBar, status, RECT{0, 416, 638, 436}});
  int edges[4] = {Scale(160), Scale(320), Scale(370), -1};
  SendMessageW(status, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(edges));
  // The pages' bottom edge meets it.
  SetWindowPos(status, nullptr, 0, Scale(416), Scale(638), Scale(20), SWP_NOZORDER);

  // Keys: the hidden exit entry keeps Ctrl+X, About has Ctrl+A.
  ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'X', static_cast<WORD>(idExit)},
                  {FCONTROL | FVIRTKEY, 'A', static_cast<WORD>(idAbout)}};
  accelerators_ = CreateAcceleratorTableW(keys, 2);
}

void TMainWindow::BuildMenu() {
  HMENU old = menu_;
  menu_ = CreateMenu();
  auto texts = [this](std::initializer_list<const UiText*> entries) {
    std::vector<std::wstring> shown, english;
    for (const UiText* e : entries) {
      shown.push_back(Tr(*e));
      english.push_back(WinUiTextDecoder().Wide(UiBytes(*e, 0), 0));
    }
    return WithMnemonics(shown, english);
  };
  const std::vector<std::wstring> connection =
      texts({&uitext::Connect1, &uitext::Disconnect1, &uitext::BackupEntry, &uitext::RestoreEntry});
  connectionMenu_ = CreatePopupMenu();
  AppendMenuW(connectionMenu_, MF_STRING, idConnect, connection[0].c_str());
  AppendMenuW(connectionMenu_, MF_STRING, idDisconnect, connection[1].c_str());
  AppendMenuW(connectionMenu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(connectionMenu_, MF_STRING, idBackup, connection[2].c_str());
  AppendMenuW(connectionMenu_, MF_STRING, idRestore, connection[3].c_str());
  portMenu_ = CreatePopupMenu();
  languageMenu_ = CreatePopupMenu();
  // Each entry in its own language and script, whatever the window's language.
  AppendMenuW(languageMenu_, MF_STRING, idEnglish, L"&English");
  AppendMenuW(languageMenu_, MF_STRING, idTraditional, L"\x7e41\x9ad4\x4e2d\x6587 (&T)");
  AppendMenuW(languageMenu_, MF_STRING, idSimplified, L"\x7b80\x4f53\x4e2d\x6587 (&S)");
  CheckMenuRadioItem(languageMenu_, idEnglish, idSimplified, idEnglish + LanguageIndex(), MF_BYCOMMAND);
  helpMenu_ = CreatePopupMenu();
  AppendMenuW(helpMenu_, MF_STRING, idAbout, (texts({&uitext::mAbout})[0] + L"\tCtrl+A").c_str());
  AppendMenuW(helpMenu_, MF_STRING, idReportProblem, Wide(kReportProblemTitle).c_str());
  const std::vector<std::wstring> top =
      texts({&uitext::mConnection1, &uitext::mConnSetting, &uitext::mLanguage, &uitext::mHelp});
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(connectionMenu_), top[0].c_str());
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(portMenu_), top[1].c_str());
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(languageMenu_), top[2].c_str());
  AppendMenuW(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(helpMenu_), top[3].c_str());
  SetMenu(hwnd_, menu_);
  if (old) DestroyMenu(old);
  RebuildPortMenu();
  ShowLinkIndicators(indicators_, ipCommands);
  UpdateBackupEntries();
}

void TMainWindow::RebuildPortMenu() {
  // A menu cannot hide an entry: the entries shown are made anew.
  while (GetMenuItemCount(portMenu_) > 0) DeleteMenu(portMenu_, 0, MF_BYPOSITION);
  for (int i = 0; i < 5; ++i) {
    const TPortOption& p = indicators_.ports[i];
    if (!p.visible) continue;
    // The automatic entry keeps its caption in the chosen language.
    const std::wstring caption =
        i == 0 ? WithMnemonics({Tr(uitext::mAuto)}, {WinUiTextDecoder().Wide(UiBytes(uitext::mAuto, 0), 0)})[0]
               : WideFromBytes(p.caption);
    AppendMenuW(portMenu_, MF_STRING | (p.checked ? MF_CHECKED : 0), idAuto + i, caption.c_str());
    if (i == 0) AppendMenuW(portMenu_, MF_SEPARATOR, 0, nullptr);
  }
  AppendMenuW(portMenu_, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(portMenu_, MF_STRING, idPortSetup,
              WithMnemonics({Tr(uitext::mPortSetup)}, {WinUiTextDecoder().Wide(UiBytes(uitext::mPortSetup, 0), 0)})[0]
                  .c_str());
}

void TMainWindow::ApplyLanguageTexts() {
  SetWindowTextW(hwnd_, Tr(uitext::ProductName).c_str());
  const UiText* hints[4] = {&uitext::Ring_Button, &uitext::Animation_Button, &uitext::DC_PIC_ToolButton,
                            &uitext::LocalAppDW_Button};
  for (int i = 0; i < 4; ++i) {
    hints_[i] = Tr(*hints[i]);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(Control(idRing + i));
    ti.lpszText = hints_[i].data();
    SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    // The hint is the button's name for a screen reader too.
    SetWindowTextW(Control(idRing + i), hints_[i].c_str());
  }
  SetTitleBar(title_);
  SetPortPanel();
  SetLinkPanel();
  SendMessageW(Control(idStatusBar), SB_SETTEXTW, 2, reinterpret_cast<LPARAM>(Tr(uitext::StatusMaker).c_str()));
  SetText(idStop, Tr(uitext::StopButton));
  SetText(idShowAll, Tr(uitext::ShowAllFiles));
  SetText(idFitToPhone, Tr(uitext::FitToPhone));
  HWND pcList = Control(idPcList);
  if (HWND header = reinterpret_cast<HWND>(SendMessageW(pcList, LVM_GETHEADER, 0, 0));
      header && SendMessageW(header, HDM_GETITEMCOUNT, 0, 0) > kReasonColumn) {
    std::wstring reason = Tr(uitext::ReasonColumn);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = reason.data();
    SendMessageW(pcList, LVM_SETCOLUMNW, kReasonColumn, reinterpret_cast<LPARAM>(&col));
  }
  ShowReasons();
  BuildMenu();
}

void TMainWindow::SetText(int id, const std::wstring& text) { SetWindowTextW(Control(id), text.c_str()); }

void TMainWindow::Show(int id, bool visible) { ShowWindow(Control(id), visible ? SW_SHOWNA : SW_HIDE); }

void TMainWindow::SetEnabled(int id, bool enabled) { EnableWindow(Control(id), enabled ? TRUE : FALSE); }

std::wstring TMainWindow::PanelText(int index) const {
  HWND status = Control(idStatusBar);
  const int n = LOWORD(SendMessageW(status, SB_GETTEXTLENGTHW, index, 0));
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(status, SB_GETTEXTW, index, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(n));
  return text;
}

void TMainWindow::SetPortPanel() {
  // Before the link names a port the panel holds the caption alone.
  std::wstring text = Tr(uitext::StatusPortCaption);
  if (portShown_)
    text += L": " + (indicators_.autoChoice ? Tr(uitext::mAuto) : WideFromBytes(indicators_.port));
  SendMessageW(Control(idStatusBar), SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void TMainWindow::SetLinkPanel() {
  const std::wstring text = Tr(uitext::StatusLinkCaption) + L": " +
                            Tr(indicators_.connected ? uitext::StatusConnected : uitext::StatusDisconnected);
  SendMessageW(Control(idStatusBar), SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

// ---- What the view shows ----

void TMainWindow::SetStatusLabel(const std::string& text) {
  SetText(idStatusLabel, WideFromBytes(text));
  Show(idStatusLabel, true);
  UpdateWindow(Control(idStatusLabel));
}

void TMainWindow::HideStatusLabel() { Show(idStatusLabel, false); }

void TMainWindow::ShowProgressBar(bool visible) { Show(idProgressBar, visible); }

void TMainWindow::SetProgressRange(int max) {
  SendMessageW(Control(idProgressBar), PBM_SETRANGE32, 0, max);
  SendMessageW(Control(idProgressBar), PBM_SETPOS, 0, 0);
}

void TMainWindow::SetProgressPos(int pos) { SendMessageW(Control(idProgressBar), PBM_SETPOS, pos, 0); }

void TMainWindow::StepProgress() { SendMessageW(Control(idProgressBar), PBM_STEPIT, 0, 0); }

void TMainWindow::ShowTotalBar(int max) {
  SendMessageW(Control(idTotalBar), PBM_SETRANGE32, 0, max);
  SendMessageW(Control(idTotalBar), PBM_SETPOS, 0, 0);
  Show(idTotalBar, true);
  Show(idTotalLabel, true);
}

void TMainWindow::StepTotalBar() { SendMessageW(Control(idTotalBar), PBM_STEPIT, 0, 0); }

void TMainWindow::HideTotalBar() {
  Show(idTotalBar, false);
  Show(idTotalLabel, false);
}

void TMainWindow::ClearProgressPanel() {
  SetText(idStatusLabel, L"");
  HideStatusLabel();
  ShowProgressBar(false);
  HideTotalBar();
}

void TMainWindow::ShowPage(TPage page) {
  page_ = page;
  Show(idLogo, page == TPage::Logo);
  Show(idContentPage, page == TPage::Content);
  Show(idMidletPage, page == TPage::Midlet);
  UpdateFitButton();
}

void TMainWindow::SetTitleBar(TTitle title) {
  title_ = title;
  const UiText* entry = &uitext::LogoTitle;
  switch (title) {
    case TTitle::Product: entry = &uitext::LogoTitle; break;
    case TTitle::Melody: entry = &uitext::Ring_Button; break;
    case TTitle::Animation: entry = &uitext::Animation_Button; break;
    case TTitle::Picture: entry = &uitext::DC_PIC_ToolButton; break;
    case TTitle::Java: entry = &uitext::LocalAppDW_Button; break;
  }
  SetText(idTitleBar, Tr(*entry));
}

void TMainWindow::ShowLinkIndicators(const TLinkIndicators& shown, unsigned changed) {
  if (changed & ipPortChoices) {
    for (int i = 0; i < 5; ++i) indicators_.ports[i] = shown.ports[i];
    RebuildPortMenu();
  }
  if (changed & ipPort) {
    portShown_ = true;
    indicators_.port = shown.port;
    indicators_.autoChoice = shown.autoChoice;
    SetPortPanel();
  }
  if (changed & ipConnection) {
    indicators_.connected = shown.connected;
    SetLinkPanel();
  }
  if (changed & ipCommands) {
    indicators_.canConnect = shown.canConnect;
    indicators_.canDisconnect = shown.canDisconnect;
    indicators_.canChangeSettings = shown.canChangeSettings;
    EnableMenuItem(menu_, idConnect, MF_BYCOMMAND | (shown.canConnect ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu_, idDisconnect, MF_BYCOMMAND | (shown.canDisconnect ? MF_ENABLED : MF_GRAYED));
    EnableMenuItem(menu_, 1, MF_BYPOSITION | (shown.canChangeSettings ? MF_ENABLED : MF_GRAYED));
    DrawMenuBar(hwnd_);
  }
}

void TMainWindow::SetActionsEnabled(bool enabled) {
  // Locked buttons mean a batch or an install runs: Stop is offered then.
  ShowStopButton(!enabled);
  for (int id : {idInstall, idUninstall, idRemoveSuitePc, idFetch, idSend, idRemovePhone, idRemovePc, idRing,
                 idAnimation, idPicture, idJava, idShowAll})
    SetEnabled(id, enabled);
  UpdateFitButton();
}

void TMainWindow::EnableSuiteActions() {
  for (int id : {idInstall, idUninstall, idRemoveSuitePc}) SetEnabled(id, true);
}

void TMainWindow::ShowStopButton(bool visible) {
  if (visible == stopShown_) return;
  stopShown_ = visible;
  const int narrower = visible ? -Scale(kStopRoom) : Scale(kStopRoom);
  for (int id : {idProgressBar, idTotalBar}) {
    RECT r;
    GetWindowRect(Control(id), &r);
    SetWindowPos(Control(id), nullptr, 0, 0, r.right - r.left + narrower, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  Show(idStop, visible);
}

HWND TMainWindow::ListOf(TListId list) const {
  switch (list) {
    case TListId::PcFiles: return Control(idPcList);
    case TListId::PhoneFiles: return Control(idPhoneList);
    case TListId::PcSuites: return Control(idSuitePcList);
    case TListId::PhoneSuites: return Control(idSuitePhoneList);
  }
  return Control(idPcList);
}

void TMainWindow::ClearList(TListId list) {
  if (list == TListId::PcFiles) {
    unsuitableWhy_.clear();
    unsuitableNames_.clear();
    // The animation and picture pages show a small picture per row.
    thumbnails_->Clear();
    thumbnails_->SetShown(pages.FolderNumber == 2 || pages.FolderNumber == 3);
  }
  SendMessageW(ListOf(list), LVM_DELETEALLITEMS, 0, 0);
  rowNames_[static_cast<size_t>(list)].clear();
}

std::wstring TMainWindow::RowName(TListId list, int row) const {
  const std::vector<std::wstring>& names = rowNames_[static_cast<size_t>(list)];
  return row >= 0 && static_cast<size_t>(row) < names.size() ? names[static_cast<size_t>(row)] : std::wstring();
}

void TMainWindow::CutRowNames(TListId list, int from) {
  HWND view = ListOf(list);
  const std::vector<std::wstring>& names = rowNames_[static_cast<size_t>(list)];
  if (static_cast<size_t>(from) >= names.size()) return;
  // The label's room: the column less the picture and the label's margins.
  RECT label{};
  label.left = LVIR_LABEL;
  if (!SendMessageW(view, LVM_GETITEMRECT, static_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&label))) return;
  const int width = label.right - label.left - Scale(12);
  HDC dc = GetDC(view);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(view, WM_GETFONT, 0, 0)));
  for (size_t row = static_cast<size_t>(from); row < names.size(); ++row) {
    std::wstring shown = CutInTheMiddle(dc, names[row], width);
    LVITEMW cell{};
    cell.iSubItem = 0;
    cell.pszText = shown.data();
    SendMessageW(view, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&cell));
  }
  SelectObject(dc, old);
  ReleaseDC(view, dc);
}

bool TMainWindow::RowTip(HWND list, NMLVGETINFOTIPW* tip) const {
  for (TListId id : {TListId::PcFiles, TListId::PhoneFiles, TListId::PcSuites, TListId::PhoneSuites}) {
    if (ListOf(id) != list || tip->iSubItem != 0) continue;
    const std::wstring whole = RowName(id, tip->iItem);
    if (whole.empty() || tip->cchTextMax <= 0) return false;
    // The tip is the whole name, cut only by the tip's own room.
    const size_t n = std::min(whole.size(), static_cast<size_t>(tip->cchTextMax - 1));
    whole.copy(tip->pszText, n);
    tip->pszText[n] = L'\0';
    return true;
  }
  return false;
}

void TMainWindow::AddListRow(TListId list, const std::vector<std::string>& cells) {
  HWND view = ListOf(list);
  std::wstring first = cells.empty() ? std::wstring() : WideFromBytes(cells[0]);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0));
  item.pszText = first.data();
  if (list == TListId::PcFiles) {
    // Room for its picture, none drawn until it comes.
    item.mask |= LVIF_IMAGE;
    item.iImage = I_IMAGENONE;
  }
  const int row = static_cast<int>(SendMessageW(view, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
  if (row >= 0) {
    std::vector<std::wstring>& names = rowNames_[static_cast<size_t>(list)];
    names.insert(names.begin() + std::min(static_cast<size_t>(row), names.size()), first);
    CutRowNames(list, row);
  }
  for (size_t c = 1; c < cells.size(); ++c) {
    std::wstring text = WideFromBytes(cells[c]);
    LVITEMW sub{};
    sub.iSubItem = static_cast<int>(c);
    sub.pszText = text.data();
    SendMessageW(view, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&sub));
  }
  if (list == TListId::PcFiles && row >= 0 && !cells.empty()) QueueThumbnail(row, cells[0]);
}

std::vector<int> TMainWindow::SelectedRows(TListId list) {
  HWND view = ListOf(list);
  std::vector<int> rows;
  // The greyed rows of "Show all files" are no files to act on.
  const int listed = static_cast<int>(SendMessageW(view, LVM_GETITEMCOUNT, 0, 0)) -
                     (list == TListId::PcFiles ? static_cast<int>(unsuitableWhy_.size()) : 0);
  int i = -1;
  while ((i = static_cast<int>(SendMessageW(view, LVM_GETNEXTITEM, i, LVNI_SELECTED))) >= 0)
    if (i < listed) rows.push_back(i);
  return rows;
}

void TMainWindow::AddUnsuitableRow(const std::vector<std::string>& cells, const TWordsByLanguage& why) {
  AddListRow(TListId::PcFiles, cells);
  unsuitableWhy_.push_back(why);
  unsuitableNames_.push_back(cells.empty() ? std::string() : cells[0]);
  ShowReasons();
}

void TMainWindow::ShowReasons() {
  // The greyed rows say their reason in the language of the moment.
  HWND pcList = Control(idPcList);
  const int first = static_cast<int>(SendMessageW(pcList, LVM_GETITEMCOUNT, 0, 0)) -
                    static_cast<int>(unsuitableWhy_.size());
  for (size_t i = 0; first >= 0 && i < unsuitableWhy_.size(); ++i) {
    std::wstring reason = WideFromBytes(unsuitableWhy_[i][static_cast<size_t>(LanguageIndex()) % 3]);
    LVITEMW item{};
    item.iSubItem = kReasonColumn;
    item.pszText = reason.data();
    SendMessageW(pcList, LVM_SETITEMTEXTW, first + static_cast<int>(i), reinterpret_cast<LPARAM>(&item));
  }
}

LRESULT TMainWindow::DrawPcRow(NMLVCUSTOMDRAW* draw) const {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const int rows = static_cast<int>(SendMessageW(Control(idPcList), LVM_GETITEMCOUNT, 0, 0));
      if (static_cast<int>(draw->nmcd.dwItemSpec) >= rows - static_cast<int>(unsuitableWhy_.size()))
        draw->clrText = GetSysColor(COLOR_GRAYTEXT);
      return CDRF_DODEFAULT;
    }
    default: return CDRF_DODEFAULT;
  }
}

void TMainWindow::SetShowAll(bool on) {
  HWND pcList = Control(idPcList);
  // The name column gives way to the reason.
  if (on) {
    std::wstring reason = Tr(uitext::ReasonColumn);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.pszText = reason.data();
    col.cx = Scale(240);
    col.iSubItem = kReasonColumn;
    SendMessageW(pcList, LVM_INSERTCOLUMNW, kReasonColumn, reinterpret_cast<LPARAM>(&col));
  } else {
    SendMessageW(pcList, LVM_DELETECOLUMN, kReasonColumn, 0);
  }
  SendMessageW(pcList, LVM_SETCOLUMNWIDTH, 0, Scale(on ? 100 : 138));
  CutRowNames(TListId::PcFiles);
  const bool pageOpen = page_ == TPage::Content;
  // A view setting, not an action: it follows whatever runs.
  session_.Queue([this, on, pageOpen] {
    contentPage.ShowAllFiles = on;
    if (pageOpen) contentPage.RescanPcList();
  });
}

}  // namespace win32gui
