#pragma once
// What the dialogs share: a modal dialog built from an in-memory template,
// laid out in the design's pixels scaled to the window's DPI, every control
// in the system's message font. The template gives the controls, their
// identifiers and the tab order; the sizes are set when the dialog opens.
#include <windows.h>

#include <string>
#include <vector>

namespace windlg {

// Control classes of the template (predefined atoms or class names).
enum class TKind { Button, Edit, Static, ComboBox, TreeView, ListView };

struct TControl {
  TKind kind;
  int id;
  std::wstring text;
  DWORD style;      // beyond WS_CHILD | WS_VISIBLE
  RECT at;          // design pixels: left, top, width, height
  DWORD exStyle = 0;
  bool bold = false;
};

class TDialog {
 public:
  TDialog(std::wstring caption, int width, int height);
  virtual ~TDialog();
  TDialog(const TDialog&) = delete;
  TDialog& operator=(const TDialog&) = delete;

  // Shows it modally on 'owner'; the identifier of the button that closed it
  // (IDCANCEL for Escape and the close box).
  INT_PTR Run(HWND owner);

 protected:
  void Add(TKind kind, int id, const std::wstring& text, DWORD style, int x, int y, int w, int h,
           DWORD exStyle = 0);
  void AddBold(TKind kind, int id, const std::wstring& text, DWORD style, int x, int y, int w, int h);

  // Called with the dialog and its controls made, before it shows.
  virtual void OnInit() {}
  // Places the controls of a sizeable dialog in a client area of w x h pixels.
  virtual void OnLayout(int w, int h) { (void)w, (void)h; }
  // A command from a control: true when handled. Unhandled IDOK/IDCANCEL
  // close the dialog with that answer.
  virtual bool OnCommand(int id, int code) { (void)id, (void)code; return false; }
  virtual bool OnNotify(NMHDR* n, LRESULT& result) { (void)n, (void)result; return false; }

  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  // Design pixels in this window's pixels.
  int Px(int design) const { return MulDiv(design, dpi_, 96); }
  void Place(int id, int x, int y, int w, int h) const;  // in window pixels
  void End(INT_PTR answer);

  HWND hwnd_ = nullptr;
  int dpi_ = 96;
  bool sizeable_ = false;       // a resizable border; OnLayout places the controls
  bool outerSize_ = false;      // width x height is the window's, not its client area's
  bool centerOnOwner_ = false;  // else on the screen
  int focusId_ = 0;             // the control that has the focus first (0: the first tab stop)

 private:
  static INT_PTR CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void Init(HWND hwnd);
  void ApplyDpi();  // fonts and places for dpi_
  void Leave();
  std::vector<BYTE> Template() const;

  std::wstring caption_;
  int width_, height_;
  std::vector<TControl> controls_;
  HFONT font_ = nullptr, bold_ = nullptr;
  HWND before_ = nullptr;  // the dialog that was current when this one opened
  SIZE minimum_{0, 0};
};

// Text of a window as wide text.
std::wstring WindowText(HWND hwnd);
// Bytes of a name as the window shows them: UTF-8, else each byte as it is.
std::wstring NameText(const std::string& bytes);

}  // namespace windlg
