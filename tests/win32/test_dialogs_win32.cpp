// The native dialogs opened for real (under Wine with an X server) and
// answered from a second thread the way a user would: buttons, Escape,
// Enter, the close box; their texts read back in English and Chinese.
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include "app/win32gui/WinDialogs.h"

#include <commctrl.h>

#include <chrono>
#include <functional>
#include <thread>

#include "app/win32gui/WinDialogKit.h"
#include "content/Backup.h"
#include "port/win32/WideText.h"

namespace {

using namespace std::chrono_literals;
using windlg::WindowText;

// The second thread: finds the dialog up now, reads it and presses its keys.
struct TDriver {
  HWND dialog = nullptr;
  std::vector<std::string> faults;

  void Check(bool ok, const std::string& what) {
    if (!ok) faults.push_back(what);
  }
  void Same(const std::wstring& seen, const std::wstring& want, const std::string& what) {
    Check(seen == want, what + ": \"" + Utf8(seen) + "\", not \"" + Utf8(want) + "\"");
  }
  // A shown dialog other than 'other' (the one it was opened over).
  HWND Wait(HWND other = nullptr) {
    for (int i = 0; i < 500; ++i, std::this_thread::sleep_for(10ms)) {
      HWND d = windlg::CurrentDialog();
      if (d && d != other && IsWindowVisible(d)) return dialog = d;
    }
    faults.push_back("no dialog came up");
    return dialog = nullptr;
  }
  HWND Child(const wchar_t* cls, int nth = 0) const {
    HWND c = FindWindowExW(dialog, nullptr, cls, nullptr);
    while (c && nth-- > 0) c = FindWindowExW(dialog, c, cls, nullptr);
    return c;
  }
  HWND Button(const wchar_t* text) const { return FindWindowExW(dialog, nullptr, L"Button", text); }
  HWND Focus() const {
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gi);
    return gi.hwndFocus;
  }
  // Posted: a press that opens another dialog must not hold this thread.
  void Click(HWND button) {
    Check(button != nullptr, "button to press is missing");
    PostMessageW(button, BM_CLICK, 0, 0);
  }
  void Command(int id) { PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  void Key(WPARAM key) {
    HWND to = Focus() ? Focus() : dialog;
    PostMessageW(to, WM_KEYDOWN, key, 1);
    PostMessageW(to, WM_KEYUP, key, 0xC0000001);
  }
  void CloseBox() { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }
  // A dialog the case left open is cancelled, so the run goes on.
  void Finish() {
    for (int i = 0; i < 300 && windlg::CurrentDialog(); ++i) std::this_thread::sleep_for(10ms);
    if (HWND left = windlg::CurrentDialog()) {
      faults.push_back("dialog left open");
      PostMessageW(left, WM_COMMAND, IDCANCEL, 0);
    }
  }
};

struct TCase {
  const char* name;
  std::function<std::string()> open;  // runs the dialog on this thread; its answer as text
  std::function<void(TDriver&)> drive;
  std::string answer;
};

std::string Said(const TOverwriteChoice& c) {
  const char* words[] = {"Cancel", "Overwrite", "Rename", "Unanswered"};
  return std::string(words[static_cast<int>(c.answer)]) + ":" + c.name;
}

std::string Said(bool ok, const TPortChoice& c) {
  return (ok ? "ok " : "no ") + c.port + " " + std::to_string(c.baud) + " " + std::to_string(c.dataBits) + " " +
         std::to_string(c.stopBits) + " " + std::to_string(c.parity) + " " + std::to_string(static_cast<int>(c.flow));
}

// The overwrite warning opens with the focus on Cancel, every time.
void OverwriteUp(TDriver& d) {
  d.Wait();
  d.Same(WindowText(d.dialog), L"Warning", "caption");
  d.Same(WindowText(d.Child(L"Static")), L"tune.mid exists. Overwrite?", "question");
  d.Check(d.Focus() == GetDlgItem(d.dialog, IDCANCEL), "focus is not on Cancel");
}

// Presses Rename and answers the prompt with 'name' (null: Cancel).
void RenameTo(TDriver& d, const wchar_t* name, const std::wstring& shown) {
  HWND warning = d.dialog;
  d.Click(d.Button(L"Rename"));
  d.Wait(warning);
  d.Same(WindowText(d.dialog), L"Rename", "prompt caption");
  d.Check(FindWindowExW(d.dialog, nullptr, L"Static", L"New file name:") != nullptr, "the prompt has no label");
  d.Same(WindowText(d.Child(L"Edit")), shown, "name offered");
  if (name) {
    SetWindowTextW(d.Child(L"Edit"), name);
    d.Click(d.Button(L"OK"));
  } else {
    d.Click(d.Button(L"Cancel"));
  }
  d.dialog = warning;
}

std::string Overwrite(const std::string& name = "tune.mid") {
  return Said(windlg::AskOverwrite(nullptr, L"tune.mid exists. Overwrite?", name, 0));
}

std::string Update() {
  return windlg::ConfirmUpdate(nullptr, L"Replace the suite on the phone?", 0) ? "true" : "false";
}

void UpdateUp(TDriver& d) {
  d.Wait();
  d.Same(WindowText(d.dialog), L"Update?", "caption");
  d.Same(WindowText(d.Child(L"Static")), L"Replace the suite on the phone?", "question");
}

TPortChoice PortStart() {
  TPortChoice c;
  c.port = "COM1";
  c.baud = br115200;
  c.flow = TFlowChoice::DtrHandshake;
  return c;
}

std::string Port(int lang) {
  TPortChoice c = PortStart();
  const bool ok = windlg::EditPortChoice(nullptr, {"COM1", "COM2", "COM3"}, c, lang);
  return Said(ok, c);
}

// Types a port name and picks 9600 baud and odd parity.
void EditPort(TDriver& d) {
  d.Wait();
  SetWindowTextW(d.Child(L"ComboBox", 0), L"COM7");
  SendMessageW(d.Child(L"ComboBox", 1), CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"9600"));
  SendMessageW(d.Child(L"ComboBox", 4), CB_SETCURSEL, 1, 0);
}

std::vector<backup::TPlanItem> Plan() {
  std::vector<backup::TPlanItem> plan(3);
  plan[0].file = {1, "ring.mid", "", 10};
  plan[1] = {backup::TPlanAction::Refuse, {3, "huge.jpg", "", 10}, "too large"};
  plan[2] = {backup::TPlanAction::Same, {2, "wave.gif", "", 10}, ""};
  return plan;
}

std::string PlanAnswer() { return windlg::ConfirmRestorePlan(nullptr, Plan(), 0) ? "true" : "false"; }

std::string BackupEnd() {
  return windlg::ShowBackupEnd(nullptr, L"Quendrel", L"Backup done\nC:\\backups\\x", 0) ? "open" : "no";
}

void BackupEndUp(TDriver& d) {
  d.Wait();
  d.Same(WindowText(d.Child(L"Static")), L"Backup done\nC:\\backups\\x", "text");
}

std::wstring Cell(HWND list, int row, int column) {
  wchar_t text[128] = L"";
  LVITEMW it{};
  it.iSubItem = column;
  it.pszText = text;
  it.cchTextMax = 128;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
  return text;
}

void PlanUp(TDriver& d) {
  d.Wait();
  d.Same(WindowText(d.dialog), L"Restore from backup", "caption");
  d.Same(WindowText(d.Child(L"Static")), L"Send: 1   Same (name and size, not compared): 1   Clash: 0   Refused: 1", "counts");
  HWND list = d.Child(WC_LISTVIEWW);
  d.Check(ListView_GetItemCount(list) == 3, "three rows");
  d.Same(Cell(list, 1, 0) + L" " + Cell(list, 1, 2), L"refused huge.jpg", "refused row");
  d.Same(Cell(list, 2, 0), L"same", "kept row");
}

// A folder with a name in two scripts under a scratch folder of this run.
struct TScratch {
  std::wstring base, child;
  TScratch() {
    wchar_t temp[MAX_PATH], full[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    GetLongPathNameW(temp, full, MAX_PATH);
    base = std::wstring(full) + L"qdlg-" + std::to_wstring(GetCurrentProcessId());
    child = base + L"\\M\u00e9lodie \u97f3\u4e50";
    CreateDirectoryW(base.c_str(), nullptr);
    CreateDirectoryW(child.c_str(), nullptr);
  }
  ~TScratch() {
    RemoveDirectoryW(child.c_str());
    RemoveDirectoryW(base.c_str());
  }
};

std::wstring TreeText(HWND tree, HTREEITEM item) {
  wchar_t text[MAX_PATH] = L"";
  TVITEMW it{};
  it.mask = TVIF_TEXT;
  it.hItem = item;
  it.pszText = text;
  it.cchTextMax = MAX_PATH;
  SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
  return text;
}

// The chooser opens on the start folder; its child is picked in the tree.
void PickChild(TDriver& d, const std::wstring& name) {
  d.Wait();
  d.Same(WindowText(d.dialog), L"Melody Folder", "caption");
  HWND tree = d.Child(WC_TREEVIEWW);
  HTREEITEM shown = TreeView_GetSelection(tree);
  d.Check(shown != nullptr, "start folder not selected");
  TreeView_Expand(tree, shown, TVE_EXPAND);
  HTREEITEM child = TreeView_GetChild(tree, shown);
  while (child && TreeText(tree, child) != name) child = TreeView_GetNextSibling(tree, child);
  d.Check(child != nullptr, "child folder not listed");
  TreeView_SelectItem(tree, child);
}

const TScratch& Scratch() {
  static TScratch s;
  return s;
}

std::string Folder() { return windlg::ChooseFolder(nullptr, L"Melody Folder", Utf8(Scratch().base), 0); }

const std::string kRenamed = Utf8(L"\u041c\u0435\u043b\u043e\u0434\u0438\u044f 2.mid");

const TCase kCases[] = {
    {"overwrite OK", [] { return Overwrite(); }, [](TDriver& d) { OverwriteUp(d), d.Click(d.Button(L"OK")); },
     "Overwrite:tune.mid"},
    {"overwrite Cancel", [] { return Overwrite(); }, [](TDriver& d) { OverwriteUp(d), d.Click(d.Button(L"Cancel")); },
     "Cancel:tune.mid"},
    {"overwrite Escape", [] { return Overwrite(); }, [](TDriver& d) { OverwriteUp(d), d.Key(VK_ESCAPE); },
     "Cancel:tune.mid"},
    {"overwrite Enter takes the focused Cancel", [] { return Overwrite(); },
     [](TDriver& d) { OverwriteUp(d), d.Key(VK_RETURN); }, "Cancel:tune.mid"},
    {"overwrite close box", [] { return Overwrite(); }, [](TDriver& d) { OverwriteUp(d), d.CloseBox(); },
     "Cancel:tune.mid"},
    {"overwrite OK by command", [] { return Overwrite(); }, [](TDriver& d) { OverwriteUp(d), d.Command(IDOK); },
     "Overwrite:tune.mid"},
    {"rename to a new name", [] { return Overwrite(); },
     [](TDriver& d) { OverwriteUp(d), RenameTo(d, Wide(kRenamed).c_str(), L"tune.mid"); }, "Rename:" + kRenamed},
    {"rename cancelled leaves the warning for Cancel", [] { return Overwrite(); },
     [](TDriver& d) {
       OverwriteUp(d), RenameTo(d, nullptr, L"tune.mid");
       std::this_thread::sleep_for(100ms);
       d.Check(windlg::CurrentDialog() == d.dialog, "warning closed with the prompt");
       d.Click(d.Button(L"Cancel"));
     },
     "Cancel:tune.mid"},
    {"rename untouched keeps the name's bytes", [] { return Overwrite("\xe9t\xe9.mid"); },
     [](TDriver& d) { OverwriteUp(d), RenameTo(d, L"\u00e9t\u00e9.mid", L"\u00e9t\u00e9.mid"); },
     "Rename:\xe9t\xe9.mid"},
    {"update OK", Update, [](TDriver& d) { UpdateUp(d), d.Click(d.Button(L"OK")); }, "true"},
    {"update Cancel", Update, [](TDriver& d) { UpdateUp(d), d.Click(d.Button(L"Cancel")); }, "false"},
    {"update Escape", Update, [](TDriver& d) { UpdateUp(d), d.Key(VK_ESCAPE); }, "false"},
    {"update close box", Update, [](TDriver& d) { UpdateUp(d), d.CloseBox(); }, "false"},
    {"update moved to a screen of twice the scale", Update,
     [](TDriver& d) {
       UpdateUp(d);
       RECT before, after, suggested;
       GetWindowRect(d.Button(L"OK"), &before);
       GetWindowRect(d.dialog, &suggested);
       suggested.right += suggested.right - suggested.left;
       suggested.bottom += suggested.bottom - suggested.top;
       SendMessageW(d.dialog, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
       GetWindowRect(d.Button(L"OK"), &after);
       d.Check(after.right - after.left == 2 * (before.right - before.left), "button not scaled with the screen");
       d.Click(d.Button(L"OK"));
     },
     "true"},
    {"about in English", [] { return windlg::ShowAbout(nullptr, 0), std::string("shown"); },
     [](TDriver& d) {
       d.Wait();
       d.Same(WindowText(d.dialog), L"About Quendrel", "caption");
       d.Same(WindowText(d.Button(L"Exit")), L"Exit", "button");
       d.Key(VK_RETURN);
     },
     "shown"},
    {"about in Traditional Chinese", [] { return windlg::ShowAbout(nullptr, 1), std::string("shown"); },
     [](TDriver& d) {
       d.Wait();
       d.Same(WindowText(d.dialog), L"\u95dc\u65bc Quendrel", "caption");
       d.CloseBox();
     },
     "shown"},
    {"port set-up OK applies the edits", [] { return Port(0); },
     [](TDriver& d) {
       EditPort(d);
       d.Same(WindowText(d.dialog), L"Port Setup", "caption");
       d.Click(d.Button(L"OK"));
     },
     "ok COM7 7 3 0 1 3"},
    {"port set-up Cancel changes nothing", [] { return Port(2); },
     [](TDriver& d) {
       EditPort(d);
       d.Same(WindowText(d.dialog), L"\u7aef\u53e3\u8bbe\u7f6e", "caption");
       d.Key(VK_ESCAPE);
     },
     "no COM1 13 3 0 0 3"},
    {"port set-up OK unchanged", [] { return Port(0); },
     [](TDriver& d) { d.Wait(), d.Command(IDOK); }, "ok COM1 13 3 0 0 3"},
    {"plan OK", PlanAnswer, [](TDriver& d) { PlanUp(d), d.Click(d.Button(L"Restore")); }, "true"},
    {"plan Cancel", PlanAnswer, [](TDriver& d) { PlanUp(d), d.Click(d.Button(L"Cancel")); }, "false"},
    {"backup end: Open folder", BackupEnd, [](TDriver& d) { BackupEndUp(d), d.Click(d.Button(L"Open folder")); },
     "open"},
    {"backup end: OK", BackupEnd, [](TDriver& d) { BackupEndUp(d), d.Key(VK_RETURN); }, "no"},
    {"backup end: close box", BackupEnd, [](TDriver& d) { BackupEndUp(d), d.CloseBox(); }, "no"},
    {"folder: a child with a name in two scripts", Folder,
     [](TDriver& d) { PickChild(d, L"M\u00e9lodie \u97f3\u4e50"), d.Click(d.Button(L"OK")); },
     Utf8(Scratch().child)},
    {"folder: OK without a move answers the start", Folder, [](TDriver& d) { d.Wait(), d.Key(VK_RETURN); },
     Utf8(Scratch().base)},
    {"folder: Cancel answers nothing", Folder,
     [](TDriver& d) { PickChild(d, L"M\u00e9lodie \u97f3\u4e50"), d.Click(d.Button(L"Cancel")); }, ""},
    {"folder: close box answers nothing", Folder, [](TDriver& d) { d.Wait(), d.CloseBox(); }, ""},
};

// Without a display (Wine with no X server) no window can be made at all.
bool CanShowWindows() {
  HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
  if (probe) DestroyWindow(probe);
  return probe != nullptr;
}

TEST(WinDialogs, AnsweredLikeAUser) {
  if (!CanShowWindows()) GTEST_SKIP() << "no display to show dialogs on";
  for (const TCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TDriver d;
    std::thread user([&] {
      c.drive(d);
      d.Finish();
    });
    const std::string answer = c.open();
    user.join();
    EXPECT_EQ(answer, c.answer);
    for (const std::string& f : d.faults) ADD_FAILURE() << f;
    EXPECT_EQ(windlg::CurrentDialog(), nullptr);
  }
}

// The plain boxes are the system's: found by their caption.
TEST(WinDialogs, YesNoIsYesOnlyForYes) {
  if (!CanShowWindows()) GTEST_SKIP() << "no display to show dialogs on";
  const std::pair<int, bool> answers[] = {{IDYES, true}, {IDNO, false}};
  for (const auto& [button, want] : answers) {
    std::thread user([button = button] {
      HWND box = nullptr;
      for (int i = 0; i < 500 && !box; ++i, std::this_thread::sleep_for(10ms))
        box = FindWindowW(L"#32770", L"Question box");
      PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(button), 0);
    });
    EXPECT_EQ(windlg::AskYesNo(nullptr, L"Question box", L"Go on?"), want) << button;
    user.join();
  }
}

}  // namespace
