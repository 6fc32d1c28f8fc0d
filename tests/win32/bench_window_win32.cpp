// Figures for the native window, side by side in one run, on the in-memory
// phone paced at 115200 baud:
//  - a send and a fetch of the same melodies through the window, driven by
//    its own messages, against the command line's core path (its view, the
//    link, the folder selection, the listing and the batch) for the same
//    files on a phone of the same kind;
//  - the time from starting quendrel.exe to its window being shown and its
//    message loop waiting, and from making the window in this process to its
//    first connect being done (medians).
// Prints figures only. Run under Wine with an X server:
//   bench_window_win32 [files] [bytes-per-file] [starts] [quendrel.exe]
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>
// <windows.h> renames SetPort to SetPortA; the port's member keeps its name.
#undef SetPort

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/ConsoleView.h"
#include "app/win32gui/MainWindow.h"
#include "app/win32gui/WinVirtualPhone.h"
#include "link/Batch.h"
#include "link/Connection.h"
#include "link/PhoneFiles.h"
#include "link/Text.h"
#include "virtualphone/EnginePort.h"
#include "WindowKit.h"

namespace {

namespace fs = std::filesystem;
using windowrig::ReadAll;
using Clock = std::chrono::steady_clock;
using win32gui::TMainWindow;

double Since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// A melody the page lists: the MIDI mark, then bytes that differ per file.
std::string Melody(size_t size, unsigned seed) {
  std::string s = "MThd";
  s.resize(std::max<size_t>(size, 4));
  for (size_t i = 4; i < s.size(); ++i) s[i] = static_cast<char>((i * 31 + i / 97 + seed * 7) & 0xFF);
  return s;
}

void WriteAll(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

struct TFiles {
  std::vector<std::string> up, down;  // to send from the PC, to fetch from the phone
  std::vector<std::string> bytes;     // the same for both, by index
};

TFiles MakeNames(int count, size_t size) {
  TFiles f;
  for (int i = 0; i < count; ++i) {
    f.up.push_back("bench-up-" + std::to_string(i + 1) + ".mid");
    f.down.push_back("bench-down-" + std::to_string(i + 1) + ".mid");
    f.bytes.push_back(Melody(size, static_cast<unsigned>(i)));
  }
  return f;
}

// A fresh in-memory phone with the files on both sides, pacing its replies.
std::unique_ptr<TWinVirtualPhone> PhoneWith(const TFiles& f) {
  auto phone = std::make_unique<TWinVirtualPhone>();
  std::string error;
  if (!phone->Start(&error)) {
    std::printf("the virtual phone did not start: %s\n", error.c_str());
    return nullptr;
  }
  const fs::path pc(Wide(phone->PcSamples())), melodies = fs::path(Wide(phone->PhoneFolder())) / L"1";
  for (size_t i = 0; i < f.up.size(); ++i) {
    WriteAll(pc / Wide(f.up[i]), f.bytes[i]);
    WriteAll(melodies / Wide(f.down[i]), f.bytes[i]);
  }
  phonesim::Options paced = phone->Engine()->GetOptions();
  paced.pace115200 = true;
  phone->Engine()->SetOptions(paced);
  return phone;
}

// Whether both sides hold every file whole after the run.
bool AllWhole(const TWinVirtualPhone& phone, const TFiles& f) {
  const fs::path pc(Wide(phone.PcSamples())), melodies = fs::path(Wide(phone.PhoneFolder())) / L"1";
  for (size_t i = 0; i < f.up.size(); ++i)
    if (ReadAll(melodies / Wide(f.up[i])) != f.bytes[i] || ReadAll(pc / Wide(f.down[i])) != f.bytes[i]) return false;
  return true;
}

struct TRun {
  double send = 0, fetch = 0;
  double sendBatch = -1, fetchBatch = -1;  // the window: until its total bar went away
  bool whole = false;
  int boxes = 0;
};

// ---- The window ------------------------------------------------------------

// Ten minutes at most, served every 5 ms so the timings stay fine.
template <typename F>
bool PumpUntil(F done) {
  return windowrig::PumpMessagesUntil(done, 600000, 5);
}

// Idle, then a turn more for what the worker posted last.
bool PumpUntilIdle(TMainWindow& w) {
  return PumpUntil([&w] { return w.SessionIdle(); }) && PumpUntil([] { return true; });
}

// Clicks a button and serves the window until it is idle; 'batchEnd' gets
// the moment the total bar went away (the batch over, the page not yet read
// again). Seconds in all.
double ClickAndTime(TMainWindow& w, int id, double* batchEnd) {
  HWND bar = w.Control(win32gui::idTotalBar);
  bool barSeen = false;
  const Clock::time_point t0 = Clock::now();
  SendMessageW(w.Control(id), BM_CLICK, 0, 0);
  PumpUntil([&] {
    if (IsWindowVisible(bar)) barSeen = true;
    else if (barSeen && *batchEnd < 0) *batchEnd = Since(t0);
    return w.SessionIdle();
  });
  PumpUntil([] { return true; });
  return Since(t0);
}

void Select(HWND list, const std::vector<std::string>& names) {
  const int n = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    wchar_t buf[260] = L"";
    LVITEMW get{};
    get.pszText = buf;
    get.cchTextMax = 260;
    SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&get));
    const bool on = std::find(names.begin(), names.end(), Utf8(buf)) != names.end();
    LVITEMW set{};
    set.stateMask = LVIS_SELECTED;
    set.state = on ? LVIS_SELECTED : 0;
    SendMessageW(list, LVM_SETITEMSTATE, i, reinterpret_cast<LPARAM>(&set));
  }
}

struct TShownWindow {
  std::unique_ptr<TMainWindow> window;
  std::vector<std::wstring> boxes;
  double made = 0;  // from the constructor to the first connect done
};

std::unique_ptr<TShownWindow> MakeWindow(TWinVirtualPhone& phone) {
  auto shown = std::make_unique<TShownWindow>();
  const Clock::time_point t0 = Clock::now();
  shown->window = std::make_unique<TMainWindow>(phone.TakeBackend());
  TMainWindow& w = *shown->window;
  const std::string pc = phone.PcSamples();
  w.folderAnswer = [pc](const std::string&) { return pc; };
  std::vector<std::wstring>* boxes = &shown->boxes;
  w.boxSeen = [boxes](const std::wstring& text) { boxes->push_back(text); };
  ShowWindow(w.Handle(), SW_SHOWNOACTIVATE);
  UpdateWindow(w.Handle());
  w.FormCreate();
  if (!PumpUntilIdle(w)) return nullptr;
  shown->made = Since(t0);
  return shown;
}

void CloseWindow(TShownWindow& shown) {
  TMainWindow& w = *shown.window;
  if (w.Handle()) SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
  w.FinishSession(std::chrono::seconds(3));
  shown.window.reset();
}

TRun ThroughWindow(const TFiles& f) {
  TRun run;
  std::unique_ptr<TWinVirtualPhone> phone = PhoneWith(f);
  if (!phone) return run;
  std::unique_ptr<TShownWindow> shown = MakeWindow(*phone);
  if (!shown) return run;
  TMainWindow& w = *shown->window;
  auto click = [&w](int id) { SendMessageW(w.Control(id), BM_CLICK, 0, 0); };
  click(win32gui::idRing);
  PumpUntilIdle(w);

  Select(w.Control(win32gui::idPcList), f.up);
  run.send = ClickAndTime(w, win32gui::idSend, &run.sendBatch);
  Select(w.Control(win32gui::idPhoneList), f.down);
  run.fetch = ClickAndTime(w, win32gui::idFetch, &run.fetchBatch);

  run.boxes = static_cast<int>(shown->boxes.size());
  CloseWindow(*shown);
  run.whole = AllWhole(*phone, f);
  return run;
}

// ---- The command line's core -----------------------------------------------

// What 'put 1 FILES' and 'get 1 FILES --to DIR' do once connected: select
// the folder, list it, run the batch.
TRun ThroughCliCore(const TFiles& f) {
  TRun run;
  std::unique_ptr<TWinVirtualPhone> phone = PhoneWith(f);
  if (!phone) return run;
  const std::string pc = phone->PcSamples();
  ConsoleView view;
  TLink link(view, phone->TakeBackend());
  TConnection connection{link};
  connection.Ports().LoadPortSettings();
  link.Port().SetPort(TWinVirtualPhone::kPortName);
  if (!link.Open() || !CheckLinkResult(link).Ok()) {
    std::printf("the command line's link did not reach the phone\n");
    return run;
  }
  TPageState pages;
  auto batch = [&](TBatchOp op, const std::vector<std::string>& names) {
    pages.FolderNumber = 1;
    if (!SelectPhoneFolder(link, pages, 1).Ok() || !ListPhoneFolder(link, pages).Ok()) return;
    std::vector<TBatchFile> files;
    for (const std::string& name : names) {
      const pic_info* listed = FindPhoneFile(pages.PhoneFileList, name);
      files.push_back({name, pc, op == TBatchOp::Fetch && listed ? listed->Size : 0});
    }
    TBatch(link, pages, op, 1).Run(files);
  };
  Clock::time_point t0 = Clock::now();
  batch(TBatchOp::Send, f.up);
  run.send = Since(t0);
  t0 = Clock::now();
  batch(TBatchOp::Fetch, f.down);
  run.fetch = Since(t0);
  run.boxes = view.messageCount;
  link.Close();
  run.whole = AllWhole(*phone, f);
  return run;
}

// ---- Starting the program ----------------------------------------------------

struct TFound {
  DWORD pid;
  HWND hwnd;
};

HWND VisibleWindowOf(DWORD pid) {
  TFound found{pid, nullptr};
  EnumWindows(
      [](HWND h, LPARAM lp) -> BOOL {
        auto* f = reinterpret_cast<TFound*>(lp);
        DWORD owner = 0;
        GetWindowThreadProcessId(h, &owner);
        wchar_t cls[64] = L"";
        GetClassNameW(h, cls, 64);
        if (owner != f->pid || !IsWindowVisible(h) || lstrcmpW(cls, L"QuendrelMainWindow") != 0) return TRUE;
        f->hwnd = h;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found.hwnd;
}

// quendrel.exe --virtual-phone: seconds to its window shown and to its loop
// waiting for input; negative when it did not get there.
std::pair<double, double> StartProgram(const std::wstring& exe, const fs::path& folder) {
  std::wstring line = L"\"" + exe + L"\" --virtual-phone";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  const Clock::time_point t0 = Clock::now();
  if (!CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
    return {-1, -1};
  double shown = -1, idle = -1;
  HWND window = nullptr;
  while (Since(t0) < 60) {
    if ((window = VisibleWindowOf(pi.dwProcessId))) {
      shown = Since(t0);
      break;
    }
    if (WaitForSingleObject(pi.hProcess, 2) == WAIT_OBJECT_0) break;
  }
  if (window && WaitForInputIdle(pi.hProcess, 60000) == 0) idle = Since(t0);
  if (window) PostMessageW(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi.hProcess, 20000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return {shown, idle};
}

std::wstring ProgramBesideBuild() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  // tests/win32/bench_window_win32.exe -> quendrel.exe at the build's top.
  return (fs::path(self).parent_path().parent_path().parent_path() / L"quendrel.exe").wstring();
}

void PrintRow(const char* what, double seconds, size_t bytes, double batch = -1) {
  std::printf("  %-22s %8.2f s %10.0f B/s", what, seconds, seconds > 0 ? static_cast<double>(bytes) / seconds : 0.0);
  if (batch >= 0) std::printf("   (batch over at %.2f s, then the page read again)", batch);
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
  const size_t size = argc > 2 ? static_cast<size_t>(std::max(8, std::atoi(argv[2]))) : 16000;
  const int starts = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  const std::wstring exe = argc > 4 ? Wide(argv[4]) : ProgramBesideBuild();

  // The window and the program read Velko.ini from the working directory.
  const fs::path home = fs::temp_directory_path() / (L"quendrel-bench-" + std::to_wstring(GetCurrentProcessId()));
  fs::create_directories(home / L"logs");
  std::ofstream(home / L"Velko.ini") << "debugFlag=0\n";
  fs::current_path(home);

  const TFiles files = MakeNames(count, size);
  const size_t total = static_cast<size_t>(count) * size;
  std::printf("%d melodies of %zu bytes (%zu bytes each way), phone paced at 115200 baud\n", count, size, total);
  std::printf("each span: the window: the batch (1 s between files), then its page read again (link check,\n"
              "folder, listing); the command line's core: the folder selected and listed, then the batch\n\n");

  const TRun window = ThroughWindow(files);
  const TRun cli = ThroughCliCore(files);
  std::printf("window (its own messages)%s%s\n", window.whole ? "" : "  FILES NOT WHOLE",
              window.boxes ? "  (boxes shown)" : "");
  PrintRow("send", window.send, total, window.sendBatch);
  PrintRow("fetch", window.fetch, total, window.fetchBatch);
  std::printf("command line core (same calls as put/get)%s%s\n", cli.whole ? "" : "  FILES NOT WHOLE",
              cli.boxes ? "  (messages shown)" : "");
  PrintRow("send", cli.send, total);
  PrintRow("fetch", cli.fetch, total);
  std::printf("window / command line: send %.3f, fetch %.3f (time ratio)\n\n",
              cli.send > 0 ? window.send / cli.send : 0.0, cli.fetch > 0 ? window.fetch / cli.fetch : 0.0);

  std::vector<double> made, shown, idle;
  for (int i = 0; i < starts; ++i) {
    TWinVirtualPhone phone;
    std::string error;
    if (!phone.Start(&error)) break;
    std::unique_ptr<TShownWindow> w = MakeWindow(phone);
    if (!w) break;
    made.push_back(w->made);
    CloseWindow(*w);
  }
  std::printf("window made in this process to its first connect done: median %.3f s of %zu\n", Median(made),
              made.size());
  std::error_code ec;
  if (!exe.empty() && fs::exists(exe, ec)) {
    for (int i = 0; i < starts; ++i) {
      const std::pair<double, double> t = StartProgram(exe, home);
      if (t.first >= 0) shown.push_back(t.first);
      if (t.second >= 0) idle.push_back(t.second);
    }
    std::printf("quendrel.exe --virtual-phone started to its window shown: median %.3f s of %zu\n", Median(shown),
                shown.size());
    std::printf("quendrel.exe --virtual-phone started to its loop waiting for input: median %.3f s of %zu\n",
                Median(idle), idle.size());
  } else {
    std::printf("no quendrel.exe at %s: program starts not measured\n", Utf8(exe).c_str());
  }

  fs::current_path(fs::temp_directory_path());
  fs::remove_all(home, ec);
  return 0;
}
