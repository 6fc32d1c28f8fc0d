// The folder chooser: a drive box over the chosen drive's folder tree; OK
// answers the folder selected in the tree, else the drive itself.
#include "app/win32gui/WinDialogs.h"

#include <commctrl.h>

#include <algorithm>

#include "app/win32gui/WinDialogKit.h"
#include "port/win32/WideText.h"

namespace windlg {

namespace {

enum : int { kDriveCombo = 130, kFolderTree = 131 };

bool IsFolder(const std::wstring& path) {
  const DWORD a = GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring Lower(std::wstring s) {
  if (!s.empty()) CharLowerBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// "C:\" keeps its backslash; a folder below it has none at its end.
std::wstring Join(const std::wstring& folder, const std::wstring& name) {
  return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L"\\" + name;
}

// The folders in 'folder', hidden and system ones left out, in name order.
std::vector<std::wstring> Subfolders(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW f;
  HANDLE h = FindFirstFileExW(Join(folder, L"*").c_str(), FindExInfoBasic, &f, FindExSearchLimitToDirectories,
                              nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    const std::wstring name = f.cFileName;
    if (!(f.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name == L"." || name == L"..") continue;
    if (f.dwFileAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) continue;
    names.push_back(name);
  } while (FindNextFileW(h, &f));
  FindClose(h);
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
  });
  return names;
}

class TFolderDialog : public TDialog {
 public:
  TFolderDialog(const std::wstring& caption, const std::string& start) : TDialog(caption, 366, 300), start_(start) {
    Add(TKind::ComboBox, kDriveCombo, L"", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, 0, 0, 0);
    Add(TKind::TreeView, kFolderTree, L"",
        WS_TABSTOP | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS, 0, 0, 0, 0,
        WS_EX_CLIENTEDGE);
    Add(TKind::Button, IDOK, L"OK", WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 0, 0, 0);
    Add(TKind::Button, IDCANCEL, L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, 0, 0, 0, 0);
    sizeable_ = true;
    outerSize_ = true;
    centerOnOwner_ = true;
    focusId_ = kFolderTree;
  }
  std::string chosen;

 protected:
  void OnInit() override {
    wchar_t buffer[512];
    const DWORD n = GetLogicalDriveStringsW(512, buffer);
    for (const wchar_t* d = buffer; n && n < 512 && *d; d += wcslen(d) + 1) drives_.push_back(d);
    for (const std::wstring& d : drives_)
      SendMessageW(Item(kDriveCombo), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(d.c_str()));
    if (!ShowFolder(Wide(start_))) {
      const auto c = std::find_if(drives_.begin(), drives_.end(), [](const std::wstring& d) { return Lower(d) == L"c:\\"; });
      ShowDrive(c == drives_.end() ? 0 : static_cast<int>(c - drives_.begin()));
    }
  }

  void OnLayout(int w, int h) override {
    const int m = Px(9), bw = Px(75), bh = Px(25);
    Place(kDriveCombo, m, m, w - 2 * m, Px(200));
    RECT combo;
    GetWindowRect(Item(kDriveCombo), &combo);
    const int top = m + (combo.bottom - combo.top) + Px(6);
    Place(kFolderTree, m, top, w - 2 * m, std::max(0, h - top - bh - 2 * m));
    Place(IDOK, w - m - 2 * bw - Px(6), h - m - bh, bw, bh);
    Place(IDCANCEL, w - m - bw, h - m - bh, bw, bh);
  }

  bool OnCommand(int id, int code) override {
    if (id == kDriveCombo && code == CBN_SELCHANGE) {
      ShowDrive(static_cast<int>(SendMessageW(Item(kDriveCombo), CB_GETCURSEL, 0, 0)));
      return true;
    }
    if (id == IDOK) chosen = Utf8(current_);
    if (id == IDCANCEL) chosen.clear();
    return false;
  }

  bool OnNotify(NMHDR* n, LRESULT& result) override {
    if (n->idFrom != kFolderTree) return false;
    if (n->code == TVN_ITEMEXPANDINGW) {
      const auto* tv = reinterpret_cast<NMTREEVIEWW*>(n);
      if (tv->action & TVE_EXPAND) Fill(tv->itemNew.hItem);
      result = FALSE;
      return true;
    }
    if (n->code == TVN_SELCHANGEDW) {
      const auto* tv = reinterpret_cast<NMTREEVIEWW*>(n);
      if (tv->itemNew.hItem) current_ = paths_[static_cast<size_t>(tv->itemNew.lParam)];
      return true;
    }
    return false;
  }

 private:
  HWND Tree() const { return Item(kFolderTree); }

  HTREEITEM Insert(HTREEITEM parent, const std::wstring& name, const std::wstring& path) {
    paths_.push_back(path);
    filled_.push_back(false);
    TVINSERTSTRUCTW ins{};
    ins.hParent = parent;
    ins.hInsertAfter = TVI_LAST;
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_CHILDREN;
    std::wstring text = name;
    ins.item.pszText = text.data();
    ins.item.lParam = static_cast<LPARAM>(paths_.size() - 1);
    ins.item.cChildren = 1;  // found out when opened
    return reinterpret_cast<HTREEITEM>(SendMessageW(Tree(), TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
  }

  // The folders of the drive at the top, of an item under it. A copy of
  // the folder: inserting grows paths_, which may hold it.
  void FillUnder(HTREEITEM parent, const std::wstring folder) {
    for (const std::wstring& name : Subfolders(folder)) Insert(parent, name, Join(folder, name));
  }

  void Fill(HTREEITEM item) {
    TVITEMW it{};
    it.mask = TVIF_PARAM;
    it.hItem = item;
    if (!SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it))) return;
    const size_t i = static_cast<size_t>(it.lParam);
    if (filled_[i]) return;
    filled_[i] = true;
    FillUnder(item, paths_[i]);
    if (!TreeView_GetChild(Tree(), item)) {
      it.mask = TVIF_CHILDREN;
      it.cChildren = 0;
      SendMessageW(Tree(), TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&it));
    }
  }

  void ShowDrive(int index) {
    if (index < 0 || static_cast<size_t>(index) >= drives_.size()) return;
    SendMessageW(Item(kDriveCombo), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    TreeView_DeleteAllItems(Tree());
    paths_.clear();
    filled_.clear();
    current_ = drives_[static_cast<size_t>(index)];
    FillUnder(TVI_ROOT, current_);
  }

  // Shows the folder under the drive that holds it, selected, so the user
  // sees what OK answers; false when it is not there.
  bool ShowFolder(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    wchar_t full[MAX_PATH * 4];
    const DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    if (path.empty() || n == 0 || n >= MAX_PATH * 4 || !IsFolder(full)) return false;
    path = full;
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    const std::wstring lower = Lower(path);
    for (size_t d = 0; d < drives_.size(); ++d) {
      const std::wstring root = Lower(drives_[d]);
      if (lower.compare(0, root.size(), root) != 0 && lower + L"\\" != root) continue;
      ShowDrive(static_cast<int>(d));
      HTREEITEM parent = nullptr;
      size_t from = root.size();
      while (from < path.size()) {
        size_t to = path.find(L'\\', from);
        if (to == std::wstring::npos) to = path.size();
        const std::wstring part = Lower(path.substr(from, to - from));
        if (parent) {
          Fill(parent);
          TreeView_Expand(Tree(), parent, TVE_EXPAND);
        }
        HTREEITEM child = parent ? TreeView_GetChild(Tree(), parent) : TreeView_GetRoot(Tree());
        while (child && Lower(ItemText(child)) != part) child = TreeView_GetNextSibling(Tree(), child);
        if (!child) break;  // hidden on the way: the drive is what shows
        parent = child;
        from = to + 1;
      }
      if (parent) {
        TreeView_SelectItem(Tree(), parent);
        TreeView_EnsureVisible(Tree(), parent);
      }
      return true;
    }
    return false;
  }

  std::wstring ItemText(HTREEITEM item) const {
    wchar_t text[MAX_PATH];
    TVITEMW it{};
    it.mask = TVIF_TEXT;
    it.hItem = item;
    it.pszText = text;
    it.cchTextMax = MAX_PATH;
    return SendMessageW(Tree(), TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it)) ? std::wstring(text) : std::wstring();
  }

  std::string start_;
  std::vector<std::wstring> drives_;
  std::vector<std::wstring> paths_;  // each tree item's folder, by its lParam
  std::vector<bool> filled_;
  std::wstring current_;
};

}  // namespace

std::string ChooseFolder(HWND owner, const std::wstring& caption, const std::string& start, int languageIndex) {
  (void)languageIndex;  // the chooser's own texts are not in the table
  TFolderDialog dialog(caption, start);
  if (dialog.Run(owner) != IDOK) return {};
  return dialog.chosen;
}

}  // namespace windlg
