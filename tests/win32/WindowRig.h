#pragma once
// The native main window in this process on the in-memory virtual phone,
// for the window tests: the fixture makes it, pumps its messages, reads its
// list views and status bar, presses its buttons and menu entries, answers
// its boxes and dialogs, and shows the folders on both sides.
#include <gtest/gtest.h>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/core/Config.h"
#include "content/UiText.h"
#include "app/win32/WinTextDecoder.h"
#include "app/win32gui/MainWindow.h"
#include "app/win32gui/WinDialogs.h"
#include "app/win32gui/WinVirtualPhone.h"
#include "link/Text.h"
#include "WindowKit.h"
#include "virtualphone/EnginePort.h"

namespace windowrig {

class WindowRig : public ::testing::Test {
 protected:
  void SetUp() override {
    // The window reads its ini from the working directory.
    home_ = fs::temp_directory_path() / (L"quendrel-window-test-" + std::to_wstring(GetCurrentProcessId()));
    fs::create_directories(home_ / L"logs");
    std::ofstream(home_ / L"Velko.ini") << "debugFlag=0\n";
    fs::current_path(home_);
    phone_ = std::make_unique<TWinVirtualPhone>();
    std::string error;
    ASSERT_TRUE(phone_->Start(&error)) << error;
    engine_ = phone_->Engine();
    BeforeWindow();
    window_ = std::make_unique<win32gui::TMainWindow>(phone_->TakeBackend());
    answer_ = phone_->PcSamples();
    window_->folderAnswer = [this](const std::string&) { return answer_; };
    window_->boxSeen = [this](const std::wstring& text) { boxes_.push_back(text); };
    ShowWindow(window_->Handle(), SW_SHOWNOACTIVATE);
    window_->FormCreate();
    ASSERT_TRUE(PumpUntilIdle());
  }

  // What a case sets up before the window reads its settings.
  virtual void BeforeWindow() {}

  void TearDown() override {
    AnswerDialogs(nullptr);
    if (window_) {
      if (window_->Handle()) SendMessageW(window_->Handle(), WM_CLOSE, 0, 0);
      window_->FinishSession(std::chrono::seconds(3));
    }
    window_.reset();
    phone_.reset();
    fs::current_path(fs::temp_directory_path());
    std::error_code ec;
    fs::remove_all(home_, ec);
  }

  // Serves the window's messages until 'done' holds; false at the limit.
  template <typename F>
  bool PumpUntil(F done, int limitMs = 20000) {
    return PumpMessagesUntil(done, limitMs);
  }
  bool PumpUntilIdle() {
    // Idle once, then a turn more for what the worker posted last.
    if (!PumpUntil([this] { return window_->SessionIdle(); })) return false;
    return PumpUntil([] { return true; });
  }

  HWND C(int id) const { return window_->Control(id); }
  void Click(int id) { SendMessageW(C(id), BM_CLICK, 0, 0); }
  void Command(int id) { SendMessageW(window_->Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

  std::vector<std::wstring> Rows(int id) const { return Column(C(id)); }
  void Select(int id, const std::vector<std::wstring>& names) {
    const std::vector<std::wstring> rows = Rows(id);
    for (size_t i = 0; i < rows.size(); ++i) {
      const bool on = std::find(names.begin(), names.end(), rows[i]) != names.end();
      LVITEMW item{};
      item.stateMask = LVIS_SELECTED;
      item.state = on ? LVIS_SELECTED : 0;
      SendMessageW(C(id), LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&item));
    }
  }
  // Opens a content page, as its tool button does.
  void OpenPage(int button) {
    Click(button);
    ASSERT_TRUE(PumpUntilIdle());
  }
  // Every reply comes in two bursts: a batch takes long enough to interrupt.
  void SlowPhone(int pauseMs = 40) {
    phonesim::Options slow = engine_->GetOptions();
    slow.splitPauseMs = pauseMs;
    engine_->SetOptions(slow);
  }
  fs::path PhoneFolder(int n) const { return fs::path(Wide(phone_->PhoneFolder())) / std::to_wstring(n); }
  fs::path PcFolder() const { return fs::path(Wide(phone_->PcSamples())); }

  // The dialogs run their own loops on this thread: while set, a timer
  // hands each one that is up to 'answer', which presses its buttons and
  // returns true when it has dealt with it.
  void AnswerDialogs(std::function<bool(HWND)> answer) {
    if (timer_) KillTimer(nullptr, timer_);
    timer_ = 0;
    Answerer() = std::move(answer);
    if (!Answerer()) return;
    timer_ = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
      static bool inside = false;  // an answer may run a dialog's loop itself
      static HWND answered = nullptr;  // its click is posted: once per dialog
      HWND dialog = windlg::CurrentDialog();
      if (!dialog) dialog = SystemBox();
      if (inside || !dialog || dialog == answered || !Answerer()) return;
      inside = true;
      if (Answerer()(dialog)) answered = dialog;
      inside = false;
    });
  }
  // A system message box of this thread, for a box shown when no test hook takes it.
  static HWND SystemBox() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND h, LPARAM lp) -> BOOL {
          wchar_t c[16] = L"";
          GetClassNameW(h, c, 16);
          if (!IsWindowVisible(h) || lstrcmpW(c, L"#32770") != 0) return TRUE;
          *reinterpret_cast<HWND*>(lp) = h;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
  }
  // The texts a dialog shows, its labels in order.
  static std::wstring DialogText(HWND dialog) {
    std::wstring all;
    for (HWND h = GetWindow(dialog, GW_CHILD); h; h = GetWindow(h, GW_HWNDNEXT)) {
      wchar_t c[16] = L"";
      GetClassNameW(h, c, 16);
      if (lstrcmpiW(c, L"Static") == 0) all += Text(h);
    }
    return all;
  }
  static std::function<bool(HWND)>& Answerer() {
    static std::function<bool(HWND)> answer;
    return answer;
  }
  // A backup through the Connection menu into a new folder of home_/backups:
  // the folder it made, empty when none.
  fs::path BackUpThroughTheMenu() {
    const fs::path root = home_ / L"backups";
    fs::create_directories(root);
    answer_ = Utf8(root.wstring());
    Command(win32gui::idBackup);
    if (!PumpUntilIdle()) return {};
    fs::path made;
    for (const auto& e : fs::directory_iterator(root)) made = e.path();
    return made;
  }
  static void Press(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
  static void Press(HWND dialog, const std::wstring& caption) {
    if (HWND b = ChildOf(dialog, L"Button", caption)) PostMessageW(b, BM_CLICK, 0, 0);
  }

  fs::path home_;
  std::unique_ptr<TWinVirtualPhone> phone_;
  phonesim::EngineBackend* engine_ = nullptr;
  std::unique_ptr<win32gui::TMainWindow> window_;
  std::vector<std::wstring> boxes_;
  std::string answer_;  // what the folder chooser answers
  UINT_PTR timer_ = 0;
};

}  // namespace windowrig
