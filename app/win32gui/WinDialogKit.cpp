#include "app/win32gui/WinDialogKit.h"

#include <commctrl.h>

#include <atomic>

#include "app/win32gui/WinDialogs.h"
#include "port/win32/WideText.h"

#ifndef WM_DPICHANGED
#define WM_DPICHANGED 0x02E0
#endif

namespace windlg {

namespace {

// Read from a test's thread while the dialog's thread runs it.
std::atomic<HWND> g_current{nullptr};

using DpiForWindowFn = UINT(WINAPI*)(HWND);
using MetricsForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);

// Newer systems only: looked up, so the program still starts on older ones.
template <class Fn>
Fn User32(const char* name) {
  HMODULE user = GetModuleHandleW(L"user32.dll");
  return user ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(user, name))) : nullptr;
}

int WindowDpi(HWND hwnd) {
  static const auto fn = User32<DpiForWindowFn>("GetDpiForWindow");
  const UINT dpi = fn ? fn(hwnd) : 0;
  return dpi ? static_cast<int>(dpi) : 96;
}

LOGFONTW MessageFont(int dpi) {
  NONCLIENTMETRICSW m{};
  m.cbSize = sizeof m;
  static const auto forDpi = User32<MetricsForDpiFn>("SystemParametersInfoForDpi");
  if (!(forDpi && forDpi(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0, static_cast<UINT>(dpi))))
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0);
  return m.lfMessageFont;
}

void AdjustRect(RECT& r, DWORD style, DWORD exStyle, int dpi) {
  static const auto forDpi = User32<AdjustForDpiFn>("AdjustWindowRectExForDpi");
  if (!(forDpi && forDpi(&r, style, FALSE, exStyle, static_cast<UINT>(dpi))))
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
}

// Where a window of this size sits centred on 'over' (else on its screen's work area).
POINT Centred(HWND over, HWND self, int w, int h) {
  RECT area{};
  if (over && IsWindowVisible(over) && !IsIconic(over)) {
    GetWindowRect(over, &area);
  } else {
    MONITORINFO mi{};
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(over ? over : self, MONITOR_DEFAULTTOPRIMARY), &mi);
    area = mi.rcWork;
  }
  return {area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2};
}

void Put(std::vector<BYTE>& t, const void* p, size_t n) {
  const BYTE* b = static_cast<const BYTE*>(p);
  t.insert(t.end(), b, b + n);
}
void PutWord(std::vector<BYTE>& t, WORD w) { Put(t, &w, sizeof w); }
void PutText(std::vector<BYTE>& t, const std::wstring& s) {
  Put(t, s.c_str(), (s.size() + 1) * sizeof(wchar_t));
}
void AlignDword(std::vector<BYTE>& t) {
  while (t.size() % 4) t.push_back(0);
}

}  // namespace

HWND CurrentDialog() { return g_current.load(); }

std::wstring WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  s.resize(static_cast<size_t>(GetWindowTextW(hwnd, s.data(), n + 1)));
  return s;
}

std::wstring NameText(const std::string& bytes) {
  if (bytes.empty()) return {};
  const int size = static_cast<int>(bytes.size());
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0) > 0) return Wide(bytes);
  std::wstring out;
  for (unsigned char ch : bytes) out += static_cast<wchar_t>(ch);
  return out;
}

TDialog::TDialog(std::wstring caption, int width, int height)
    : caption_(std::move(caption)), width_(width), height_(height) {}

TDialog::~TDialog() {
  if (font_) DeleteObject(font_);
  if (bold_) DeleteObject(bold_);
}

void TDialog::Add(TKind kind, int id, const std::wstring& text, DWORD style, int x, int y, int w, int h,
                  DWORD exStyle) {
  controls_.push_back({kind, id, text, style, RECT{x, y, w, h}, exStyle, false});
}

void TDialog::AddBold(TKind kind, int id, const std::wstring& text, DWORD style, int x, int y, int w, int h) {
  Add(kind, id, text, style, x, y, w, h);
  controls_.back().bold = true;
}

std::vector<BYTE> TDialog::Template() const {
  std::vector<BYTE> t;
  DLGTEMPLATE head{};
  head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | (sizeable_ ? WS_THICKFRAME : 0);
  head.dwExtendedStyle = WS_EX_DLGMODALFRAME;
  head.cdit = static_cast<WORD>(controls_.size());
  // Sizes come later, in pixels.
  head.cx = 10;
  head.cy = 10;
  Put(t, &head, sizeof head);
  PutWord(t, 0);  // no menu
  PutWord(t, 0);  // the dialog class
  PutText(t, caption_);
  for (const TControl& c : controls_) {
    AlignDword(t);
    DLGITEMTEMPLATE item{};
    item.style = WS_CHILD | WS_VISIBLE | c.style;
    item.dwExtendedStyle = c.exStyle;
    item.cx = 1;
    item.cy = 1;
    item.id = static_cast<WORD>(c.id);
    Put(t, &item, sizeof item);
    switch (c.kind) {
      case TKind::Button: PutWord(t, 0xFFFF), PutWord(t, 0x0080); break;
      case TKind::Edit: PutWord(t, 0xFFFF), PutWord(t, 0x0081); break;
      case TKind::Static: PutWord(t, 0xFFFF), PutWord(t, 0x0082); break;
      case TKind::ComboBox: PutWord(t, 0xFFFF), PutWord(t, 0x0085); break;
      case TKind::TreeView: PutText(t, WC_TREEVIEWW); break;
      case TKind::ListView: PutText(t, WC_LISTVIEWW); break;
    }
    PutText(t, c.text);
    PutWord(t, 0);  // no creation data
  }
  return t;
}

INT_PTR TDialog::Run(HWND owner) {
  static const bool registered = [] {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES};
    return InitCommonControlsEx(&icc) != FALSE;
  }();
  (void)registered;
  const std::vector<BYTE> t = Template();
  const INT_PTR r = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.data()),
                                            owner, &TDialog::Proc, reinterpret_cast<LPARAM>(this));
  // A dialog that could not be made answers as if cancelled.
  return r <= 0 ? IDCANCEL : r;
}

void TDialog::End(INT_PTR answer) {
  // Answered: no longer the one to drive, though closing may take a moment.
  Leave();
  EndDialog(hwnd_, answer);
}

void TDialog::Leave() {
  HWND self = hwnd_;
  g_current.compare_exchange_strong(self, before_);
}

void TDialog::Place(int id, int x, int y, int w, int h) const {
  SetWindowPos(Item(id), nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TDialog::Init(HWND hwnd) {
  hwnd_ = hwnd;
  before_ = g_current.exchange(hwnd);
  dpi_ = WindowDpi(hwnd);
  const DWORD style = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
  const DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
  RECT r{0, 0, Px(width_), Px(height_)};
  if (!outerSize_) AdjustRect(r, style, exStyle, dpi_);
  const int w = r.right - r.left, h = r.bottom - r.top;
  minimum_ = {w, h};
  const POINT at = Centred(centerOnOwner_ ? GetWindow(hwnd, GW_OWNER) : nullptr, hwnd, w, h);
  SetWindowPos(hwnd, nullptr, at.x, at.y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  ApplyDpi();
  OnInit();
}

void TDialog::ApplyDpi() {
  LOGFONTW lf = MessageFont(dpi_);
  HFONT font = CreateFontIndirectW(&lf);
  lf.lfWeight = FW_BOLD;
  HFONT bold = CreateFontIndirectW(&lf);
  for (const TControl& c : controls_) {
    SendMessageW(Item(c.id), WM_SETFONT, reinterpret_cast<WPARAM>(c.bold ? bold : font), TRUE);
    // A combo box's height is that of its open list.
    const int listRoom = c.kind == TKind::ComboBox ? Px(160) : 0;
    Place(c.id, Px(c.at.left), Px(c.at.top), Px(c.at.right), Px(c.at.bottom) + listRoom);
  }
  // The old fonts go once no control uses them.
  if (font_) DeleteObject(font_);
  if (bold_) DeleteObject(bold_);
  font_ = font;
  bold_ = bold;
  if (sizeable_) {
    RECT client;
    GetClientRect(hwnd_, &client);
    OnLayout(client.right, client.bottom);
  }
}

INT_PTR CALLBACK TDialog::Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TDialog* self = reinterpret_cast<TDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  switch (msg) {
    case WM_INITDIALOG: {
      self = reinterpret_cast<TDialog*>(lp);
      SetWindowLongPtrW(hwnd, DWLP_USER, lp);
      self->Init(hwnd);
      if (self->focusId_ == 0) return TRUE;
      // Through the dialog manager, so the default button follows the focus.
      SendMessageW(hwnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(self->Item(self->focusId_)), TRUE);
      return FALSE;
    }
    case WM_COMMAND: {
      if (!self) return FALSE;
      const int id = LOWORD(wp), code = HIWORD(wp);
      if (self->OnCommand(id, code)) return TRUE;
      if (id == IDOK || id == IDCANCEL) {
        self->End(id);
        return TRUE;
      }
      return FALSE;
    }
    case WM_NOTIFY: {
      LRESULT result = 0;
      if (!self || !self->OnNotify(reinterpret_cast<NMHDR*>(lp), result)) return FALSE;
      SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
    }
    case WM_SIZE:
      if (self && self->sizeable_) self->OnLayout(LOWORD(lp), HIWORD(lp));
      return FALSE;
    case WM_GETMINMAXINFO:
      if (self && self->sizeable_ && self->minimum_.cx) {
        auto* mm = reinterpret_cast<MINMAXINFO*>(lp);
        mm->ptMinTrackSize = {self->minimum_.cx * 2 / 3, self->minimum_.cy * 2 / 3};
        return TRUE;
      }
      return FALSE;
    case WM_DPICHANGED:
      // Moved to a screen of another scale: the system's rectangle, controls and fonts anew.
      if (self) {
        const RECT* r = reinterpret_cast<const RECT*>(lp);
        const int grown = MulDiv(100, LOWORD(wp), self->dpi_);
        self->dpi_ = LOWORD(wp);
        self->minimum_ = {MulDiv(self->minimum_.cx, grown, 100), MulDiv(self->minimum_.cy, grown, 100)};
        SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        self->ApplyDpi();
      }
      return TRUE;
    case WM_DESTROY:
      if (self) self->Leave();
      return FALSE;
  }
  return FALSE;
}

}  // namespace windlg
