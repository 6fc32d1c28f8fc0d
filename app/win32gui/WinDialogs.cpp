#include "app/win32gui/WinDialogs.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

#include "app/core/BackupText.h"
#include "content/UiText.h"
#include "app/win32/WinTextDecoder.h"
#include "app/win32gui/WinDialogKit.h"
#include "content/Backup.h"
#include "port/win32/WideText.h"

namespace windlg {

namespace {

constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDefault = WS_TABSTOP | BS_DEFPUSHBUTTON;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

std::wstring Tr(const UiText& entry, int languageIndex) {
  return WinUiTextDecoder().Wide(UiBytes(entry, languageIndex), languageIndex);
}

// "%1".."%9" of a table text replaced in order.
std::wstring Arg(std::wstring text, const std::vector<std::wstring>& values) {
  for (size_t i = 0; i < values.size() && i < 9; ++i) {
    const std::wstring mark = L"%" + std::to_wstring(i + 1);
    const size_t at = text.find(mark);
    if (at != std::wstring::npos) text.replace(at, mark.size(), values[i]);
  }
  return text;
}

// ---- the update confirmation ----

class TUpdateDialog : public TDialog {
 public:
  explicit TUpdateDialog(const std::wstring& question) : TDialog(L"Update?", 313, 214) {
    Add(TKind::Static, 100, question, kLabel, 8, 8, 297, 161);
    Add(TKind::Button, IDOK, L"OK", kDefault, 79, 180, 75, 25);
    Add(TKind::Button, IDCANCEL, L"Cancel", kButton, 159, 180, 75, 25);
  }
};

// ---- the rename prompt ----

constexpr int kRenameEdit = 101;
constexpr const wchar_t* kRenameLabel = L"New file name:";

class TRenameDialog : public TDialog {
 public:
  explicit TRenameDialog(const std::wstring& name) : TDialog(L"Rename", 272, 159) {
    Add(TKind::Static, 100, L"", SS_SUNKEN, 8, 8, 256, 105);
    Add(TKind::Static, 103, kRenameLabel, kLabel, 20, 26, 232, 18);
    Add(TKind::Edit, kRenameEdit, name, WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, 20, 48, 232, 24);
    Add(TKind::Button, IDOK, L"OK", kDefault, 55, 124, 75, 25);
    Add(TKind::Button, IDCANCEL, L"Cancel", kButton, 141, 124, 75, 25);
    focusId_ = kRenameEdit;
  }
  std::wstring name;

 protected:
  bool OnCommand(int id, int) override {
    if (id == IDOK) name = WindowText(Item(kRenameEdit));
    return false;
  }
};

// ---- the overwrite warning ----

constexpr int kRenameButton = 102;

class TOverwriteDialog : public TDialog {
 public:
  TOverwriteDialog(const std::wstring& question, const std::string& name)
      : TDialog(L"Warning", 314, 166), bytes_(name), shown_(NameText(name)), typed_(shown_) {
    Add(TKind::Static, 100, question, kLabel, 16, 12, 282, 96);
    Add(TKind::Button, IDOK, L"OK", kDefault, 24, 124, 75, 25);
    Add(TKind::Button, IDCANCEL, L"Cancel", kButton, 120, 124, 75, 25);
    Add(TKind::Button, kRenameButton, L"Rename", kButton, 216, 124, 75, 25);
    // The safe answer first: a plain Enter never overwrites unasked.
    focusId_ = IDCANCEL;
  }
  TOverwriteChoice choice;

 protected:
  bool OnCommand(int id, int code) override {
    if (code != BN_CLICKED) return false;
    if (id == IDOK) choice = {TOverwriteAnswer::Overwrite, bytes_};
    if (id == IDCANCEL) choice = {TOverwriteAnswer::Cancel, bytes_};
    if (id != kRenameButton) return false;
    TRenameDialog prompt(typed_);
    // Cancelled, the warning stays for another choice.
    if (prompt.Run(hwnd_) != IDOK) return true;
    typed_ = prompt.name;
    // An untouched name goes back byte for byte, whatever its encoding.
    choice = {TOverwriteAnswer::Rename, typed_ == shown_ ? bytes_ : Utf8(typed_)};
    End(kRenameButton);
    return true;
  }

 private:
  std::string bytes_;
  std::wstring shown_, typed_;
};

// ---- the About box ----

class TAboutDialog : public TDialog {
 public:
  explicit TAboutDialog(int lang) : TDialog(Caption(lang), 345, 201) {
    Add(TKind::Static, 100, L"", SS_SUNKEN, 8, 8, 329, 153);
    Add(TKind::Static, 101, L"", SS_LEFT, 16, 16, 100, 69);
    AddBold(TKind::Static, 102, Tr(uitext::AboutProductName, lang), kLabel, 124, 22, 205, 20);
    // The version sits a little right of the product name's left edge.
    Add(TKind::Static, 103, Tr(uitext::AboutVersion, lang), kLabel, 128, 50, 205, 20);
    Add(TKind::Static, 104, L"", SS_SUNKEN, 16, 96, 313, 56);
    Add(TKind::Static, 105, Tr(uitext::AboutNotice, lang), SS_CENTER | SS_CENTERIMAGE | SS_NOPREFIX, 20, 100, 305,
        48);
    Add(TKind::Button, IDOK, Tr(uitext::AboutOKButton, lang), kDefault, 135, 168, 75, 25);
    centerOnOwner_ = true;
  }

 private:
  // An empty title would be filled in by the system; a blank one reads empty.
  static std::wstring Caption(int lang) {
    std::wstring c = Tr(uitext::AboutCaption, lang);
    return c.empty() ? L" " : c;
  }
};

// ---- the port set-up ----

struct TBaudItem {
  TBaudRate rate;
  const wchar_t* text;
};
constexpr TBaudItem kBauds[] = {
    {br110, L"110"},       {br300, L"300"},       {br600, L"600"},       {br1200, L"1200"},
    {br2400, L"2400"},     {br4800, L"4800"},     {br9600, L"9600"},     {br14400, L"14400"},
    {br19200, L"19200"},   {br38400, L"38400"},   {br56000, L"56000"},   {br57600, L"57600"},
    {br115200, L"115200"}, {br128000, L"128000"}, {br256000, L"256000"},
};

enum : int { kPortCombo = 110, kBaudCombo, kDataCombo, kStopCombo, kParityCombo, kFlowCombo };

class TPortDialog : public TDialog {
 public:
  TPortDialog(const std::vector<std::string>& names, const TPortChoice& start, int lang)
      : TDialog(Tr(uitext::PortSetupCaption, lang), 300, 230), names_(names), start_(start), lang_(lang) {
    const UiText* labels[] = {&uitext::PortSetupPort,     &uitext::PortSetupBaudRate, &uitext::PortSetupDataBits,
                              &uitext::PortSetupStopBits, &uitext::PortSetupParity,   &uitext::PortSetupFlow};
    for (int row = 0; row < 6; ++row) {
      const int y = 12 + row * 30;
      Add(TKind::Static, 100 + row, Tr(*labels[row], lang), kLabel | SS_CENTERIMAGE, 12, y, 96, 24);
      const DWORD kind = row == 0 ? CBS_DROPDOWN | CBS_AUTOHSCROLL : CBS_DROPDOWNLIST;
      Add(TKind::ComboBox, kPortCombo + row, L"", WS_TABSTOP | WS_VSCROLL | kind, 112, y, 176, 24);
    }
    Add(TKind::Button, IDOK, Tr(uitext::PortSetupOK, lang), kDefault, 130, 195, 75, 25);
    Add(TKind::Button, IDCANCEL, Tr(uitext::PortSetupCancel, lang), kButton, 213, 195, 75, 25);
  }
  TPortChoice choice;

 protected:
  void OnInit() override {
    for (const std::string& n : names_) AddItem(kPortCombo, Wide(n), 0);
    for (const TBaudItem& b : kBauds) AddItem(kBaudCombo, b.text, b.rate);
    const std::pair<const wchar_t*, int> dataBits[] = {{L"5", dbFive}, {L"6", dbSix}, {L"7", dbSeven}, {L"8", dbEight}};
    for (const auto& [text, value] : dataBits) AddItem(kDataCombo, text, value);
    const std::pair<const wchar_t*, int> stopBits[] = {
        {L"1", sbOneStopBit}, {L"1.5", sbOne5StopBits}, {L"2", sbTwoStopBits}};
    for (const auto& [text, value] : stopBits) AddItem(kStopCombo, text, value);
    const std::pair<const UiText*, int> parity[] = {{&uitext::PortSetupNone, prNone},
                                                    {&uitext::ParityOdd, prOdd},
                                                    {&uitext::ParityEven, prEven},
                                                    {&uitext::ParityMark, prMark},
                                                    {&uitext::ParitySpace, prSpace}};
    for (const auto& [text, value] : parity) AddItem(kParityCombo, Tr(*text, lang_), value);
    const std::pair<const UiText*, TFlowChoice> flow[] = {{&uitext::PortSetupNone, TFlowChoice::None},
                                                          {&uitext::FlowHardware, TFlowChoice::Hardware},
                                                          {&uitext::FlowSoftware, TFlowChoice::Software},
                                                          {&uitext::FlowDtrHandshake, TFlowChoice::DtrHandshake}};
    for (const auto& [text, value] : flow) AddItem(kFlowCombo, Tr(*text, lang_), static_cast<int>(value));

    SetWindowTextW(Item(kPortCombo), Wide(start_.port).c_str());
    Select(kBaudCombo, start_.baud);
    Select(kDataCombo, start_.dataBits);
    Select(kStopCombo, start_.stopBits);
    Select(kParityCombo, start_.parity);
    Select(kFlowCombo, static_cast<int>(start_.flow));
  }

  bool OnCommand(int id, int code) override {
    if (id != IDOK || code != BN_CLICKED) return false;
    choice.port = Utf8(WindowText(Item(kPortCombo)));
    choice.baud = static_cast<TBaudRate>(Selected(kBaudCombo, start_.baud));
    choice.dataBits = static_cast<TDataBits>(Selected(kDataCombo, start_.dataBits));
    choice.stopBits = static_cast<TStopBits>(Selected(kStopCombo, start_.stopBits));
    choice.parity = static_cast<TParityBits>(Selected(kParityCombo, start_.parity));
    choice.flow = static_cast<TFlowChoice>(Selected(kFlowCombo, static_cast<int>(start_.flow)));
    return false;
  }

 private:
  void AddItem(int combo, const std::wstring& text, int value) const {
    const LRESULT i = SendMessageW(Item(combo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    if (i >= 0) SendMessageW(Item(combo), CB_SETITEMDATA, static_cast<WPARAM>(i), value);
  }
  void Select(int combo, int value) const {
    const LRESULT n = SendMessageW(Item(combo), CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i)
      if (SendMessageW(Item(combo), CB_GETITEMDATA, static_cast<WPARAM>(i), 0) == value)
        SendMessageW(Item(combo), CB_SETCURSEL, static_cast<WPARAM>(i), 0);
  }
  // The chosen entry's value; nothing chosen keeps the start's.
  int Selected(int combo, int fallback) const {
    const LRESULT i = SendMessageW(Item(combo), CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? fallback : static_cast<int>(SendMessageW(Item(combo), CB_GETITEMDATA, static_cast<WPARAM>(i), 0));
  }

  std::vector<std::string> names_;
  TPortChoice start_;
  int lang_;
};

// ---- the end of a backup ----

constexpr int kOpenFolderButton = 130;

class TBackupEndDialog : public TDialog {
 public:
  TBackupEndDialog(const std::wstring& caption, const std::wstring& text, int lang)
      : TDialog(caption, 400, TextHeight(text) + 58) {
    const int h = TextHeight(text);
    Add(TKind::Static, 100, text, kLabel, 12, 12, 376, h);
    Add(TKind::Button, IDOK, L"OK", kDefault, 196, h + 22, 75, 25);
    Add(TKind::Button, kOpenFolderButton, Tr(uitext::OpenFolder, lang), kButton, 279, h + 22, 109, 25);
    centerOnOwner_ = true;
  }

 protected:
  bool OnCommand(int id, int code) override {
    if (id != kOpenFolderButton || code != BN_CLICKED) return false;
    End(kOpenFolderButton);
    return true;
  }

 private:
  // Room for the text's lines, a long list of left-out files kept on screen.
  static int TextHeight(const std::wstring& text) {
    int lines = 1;
    for (wchar_t c : text) lines += c == L'\n';
    return std::min(std::max(lines, 2) * 16 + 8, 420);
  }
};

// ---- the restore plan ----

enum : int { kPlanCounts = 120, kPlanList = 121 };

class TPlanDialog : public TDialog {
 public:
  TPlanDialog(const std::vector<backup::TPlanItem>& plan, int lang)
      : TDialog(Tr(uitext::PlanTitle, lang), 520, 340), plan_(plan), lang_(lang) {
    std::array<int, 4> counts{};
    for (const backup::TPlanItem& item : plan) ++counts[static_cast<size_t>(item.action)];
    std::vector<std::wstring> shown;
    for (int c : counts) shown.push_back(std::to_wstring(c));
    Add(TKind::Static, kPlanCounts, Arg(Tr(uitext::PlanCounts, lang), shown), kLabel, 0, 0, 0, 0);
    Add(TKind::ListView, kPlanList, L"", WS_TABSTOP | LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL, 0, 0, 0, 0,
        WS_EX_CLIENTEDGE);
    Add(TKind::Button, IDOK, Tr(uitext::PlanOK, lang), kDefault, 0, 0, 0, 0);
    Add(TKind::Button, IDCANCEL, Tr(uitext::PlanCancel, lang), kButton, 0, 0, 0, 0);
    sizeable_ = true;
    focusId_ = IDOK;
  }

 protected:
  void OnInit() override {
    HWND list = Item(kPlanList);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    const UiText* heads[] = {&uitext::PlanActionColumn, &uitext::PlanFolderColumn, &uitext::PlanNameColumn};
    const int widths[] = {90, 100, 220};
    for (int c = 0; c < 3; ++c) {
      std::wstring head = Tr(*heads[c], lang_);
      LVCOLUMNW col{};
      col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      col.pszText = head.data();
      col.cx = Px(widths[c]);
      col.iSubItem = c;
      SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&col));
    }
    for (size_t i = 0; i < plan_.size(); ++i) {
      const backup::TPlanItem& item = plan_[i];
      std::wstring cells[] = {Tr(backup::PlanActionText(item.action), lang_), NameText(backup::FolderName(item.file.folder)),
                              NameText(item.file.name)};
      LVITEMW row{};
      row.mask = LVIF_TEXT;
      row.iItem = static_cast<int>(i);
      row.pszText = cells[0].data();
      const int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
      for (int c = 1; c < 3; ++c) {
        row.iItem = at;
        row.iSubItem = c;
        row.pszText = cells[c].data();
        SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&row));
      }
    }
  }

  void OnLayout(int w, int h) override {
    const int m = Px(9), bw = Px(75), bh = Px(25), lh = Px(20);
    Place(kPlanCounts, m, m, w - 2 * m, lh);
    Place(kPlanList, m, m + lh + Px(4), w - 2 * m, h - 2 * m - lh - bh - Px(12));
    Place(IDOK, w - m - 2 * bw - Px(6), h - m - bh, bw, bh);
    Place(IDCANCEL, w - m - bw, h - m - bh, bw, bh);
  }

  // A file the phone would refuse carries the content page's reason.
  bool OnNotify(NMHDR* n, LRESULT&) override {
    if (n->idFrom != kPlanList || n->code != LVN_GETINFOTIPW) return false;
    auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(n);
    if (tip->iItem < 0 || static_cast<size_t>(tip->iItem) >= plan_.size()) return false;
    const backup::TPlanItem& item = plan_[static_cast<size_t>(tip->iItem)];
    if (item.action != backup::TPlanAction::Refuse || tip->cchTextMax <= 0) return false;
    const std::wstring why = WinUiTextDecoder().Wide(item.why, lang_);
    lstrcpynW(tip->pszText, why.c_str(), tip->cchTextMax);
    return true;
  }

 private:
  const std::vector<backup::TPlanItem>& plan_;
  int lang_;
};

}  // namespace

void ShowMessage(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK);
}

void ShowError(HWND owner, const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(owner, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

bool ShowBackupEnd(HWND owner, const std::wstring& caption, const std::wstring& text, int languageIndex) {
  TBackupEndDialog dialog(caption, text, languageIndex);
  return dialog.Run(owner) == kOpenFolderButton;
}

bool AskYesNo(HWND owner, const std::wstring& caption, const std::wstring& text) {
  return MessageBoxW(owner, text.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

TOverwriteChoice AskOverwrite(HWND owner, const std::wstring& question, const std::string& name, int languageIndex) {
  (void)languageIndex;  // the warning's own texts are not in the table
  TOverwriteDialog dialog(question, name);
  // Closed any other way it answers as Cancel: never an overwrite.
  dialog.choice = {TOverwriteAnswer::Cancel, name};
  const INT_PTR r = dialog.Run(owner);
  if (r == IDCANCEL) return {TOverwriteAnswer::Cancel, name};
  return dialog.choice;
}

bool ConfirmUpdate(HWND owner, const std::wstring& question, int languageIndex) {
  (void)languageIndex;
  TUpdateDialog dialog(question);
  return dialog.Run(owner) == IDOK;
}

void ShowAbout(HWND owner, int languageIndex) {
  TAboutDialog dialog(languageIndex);
  dialog.Run(owner);
}

bool EditPortChoice(HWND owner, const std::vector<std::string>& portNames, TPortChoice& choice, int languageIndex) {
  TPortDialog dialog(portNames, choice, languageIndex);
  if (dialog.Run(owner) != IDOK) return false;
  choice = dialog.choice;
  return true;
}

bool ConfirmRestorePlan(HWND owner, const std::vector<backup::TPlanItem>& plan, int languageIndex) {
  TPlanDialog dialog(plan, languageIndex);
  return dialog.Run(owner) == IDOK;
}

}  // namespace windlg
