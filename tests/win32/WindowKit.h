#pragma once
// What the window tests and the window's benchmark share, with no test
// framework: reading files and folders, the texts of windows and list
// views, a dialog's child, the Recycle Bin's copies, and serving the
// thread's messages until something holds.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "content/UiText.h"
#include "app/win32/WinTextDecoder.h"
#include "link/Text.h"

namespace windowrig {


namespace fs = std::filesystem;

inline std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::set<std::wstring> FilesIn(const fs::path& folder) {
  std::set<std::wstring> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.is_regular_file()) names.insert(e.path().filename().wstring());
  return names;
}

inline std::wstring Text(HWND h) {
  wchar_t buf[512] = L"";
  GetWindowTextW(h, buf, 512);
  return buf;
}

inline std::wstring Tr(const UiText& entry, int lang) {
  return WinUiTextDecoder().Wide(UiBytes(entry, lang), lang);
}

inline bool Contains(const std::vector<std::wstring>& rows, const std::wstring& name) {
  return std::find(rows.begin(), rows.end(), name) != rows.end();
}

// Under Wine the Recycle Bin is the account's desktop trash folder: one
// copy of each file of these names and bytes that a test put there goes
// again. False when one of them is not there (or no Unix home is known).
inline bool TakeOutOfTheBin(const std::map<std::wstring, std::string>& files) {
  wchar_t home[MAX_PATH] = L"";
  if (!GetEnvironmentVariableW(L"WINEHOMEDIR", home, MAX_PATH)) return false;
  const fs::path trash = fs::path(std::wstring(home).substr(4)) / L".local/share/Trash";
  bool all = true;
  for (const auto& [name, bytes] : files) {
    // The bin adds a number to a name it holds already.
    const std::wstring stem = fs::path(name).stem().wstring();
    bool found = false;
    for (const std::wstring& inBin : FilesIn(trash / L"files")) {
      if (inBin.rfind(stem, 0) != 0 || ReadAll(trash / L"files" / inBin) != bytes) continue;
      found = true;
      std::error_code ec;
      fs::remove(trash / L"files" / inBin, ec);
      fs::remove(trash / L"info" / (inBin + L".trashinfo"), ec);
      break;  // one copy a call
    }
    all = all && found;
  }
  return all;
}

// One cell of a list view (any list: the window's or a dialog's).
inline std::wstring Cell(HWND list, int row, int column) {
  wchar_t buf[260] = L"";
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = 260;
  SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
  return buf;
}

inline std::vector<std::wstring> Column(HWND list, int column = 0) {
  std::vector<std::wstring> rows;
  const int n = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) rows.push_back(Cell(list, i, column));
  return rows;
}

// The first child of a dialog of this class (and this text, when given).
inline HWND ChildOf(HWND dialog, const wchar_t* cls, const std::wstring& text = {}) {
  struct Find {
    const wchar_t* cls;
    const std::wstring* text;
    HWND found;
  } f{cls, &text, nullptr};
  EnumChildWindows(
      dialog,
      [](HWND h, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<Find*>(lp);
        wchar_t c[64] = L"";
        GetClassNameW(h, c, 64);
        if (lstrcmpiW(c, f->cls) != 0) return TRUE;
        if (!f->text->empty() && Text(h) != *f->text) return TRUE;
        f->found = h;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&f));
  return f.found;
}

// Serves this thread's messages until 'done' holds; false at the limit.
template <typename F>
bool PumpMessagesUntil(F done, int limitMs, int tickMs = 10) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(limitMs)) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(tickMs), QS_ALLINPUT);
  }
}

}  // namespace windowrig
