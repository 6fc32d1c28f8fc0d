// quendrel.exe: the native main window over the same session as the
// command line, on a COM port or, with --virtual-phone, on the in-memory
// virtual phone.
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/core/Config.h"
#include "app/win32gui/MainWindow.h"
#include "app/win32gui/WinDialogs.h"
#include "app/win32gui/WinVirtualPhone.h"
#include "link/Text.h"

namespace {

bool HasOption(const std::vector<std::wstring>& args, const wchar_t* option) {
  for (size_t i = 1; i < args.size(); ++i)
    if (args[i] == option) return true;
  return false;
}

std::vector<std::wstring> Arguments() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> args(argv, argv + (argv ? argc : 0));
  if (argv) LocalFree(argv);
  return args;
}

const wchar_t kHelp[] =
    L"Usage: quendrel [options]\n"
    L"Moves melodies, animations, pictures and Java MIDlets between this PC and a phone on a serial line.\n"
    L"Reads Velko.ini from the working directory; without one there, runs in\n"
    L"%LOCALAPPDATA%\\Quendrel\\Program, created on first use with a default Velko.ini.\n\n"
    L"Options:\n"
    L"  --virtual-phone  use a simulated phone instead of a serial port\n"
    L"  --help           show this text\n"
    L"  --version        show the version";

// The per-user program folder when the working directory has no ini.
bool EnterProgramFolder(std::string* error) {
  std::error_code ec;
  if (std::filesystem::exists(kIniFileName, ec)) return true;
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (!local || !*local) {
    *error = "No local application data folder";
    return false;
  }
  return EnterUserProgramFolder(Utf8(local) + "\\Quendrel\\Program", error);
}

// --quit-after-start (tests of what the installer installed): boxes go to
// standard error instead, and once the first connect has ended the status
// bar's panels are written to standard output and the window closes.
bool quitAfterStart = false;

void WriteStd(DWORD which, const std::string& text) {
  HANDLE h = GetStdHandle(which);
  DWORD written = 0;
  if (h && h != INVALID_HANDLE_VALUE) WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

void ShowStartError(const std::wstring& text) {
  if (quitAfterStart) WriteStd(STD_ERROR_HANDLE, "message box: " + Utf8(text) + "\n");
  else windlg::ShowError(nullptr, L"Quendrel", text);
}

void ReportStartAndClose(win32gui::TMainWindow& window) {
  window.boxSeen = [](const std::wstring& text) { WriteStd(STD_ERROR_HANDLE, "message box: " + Utf8(text) + "\n"); };
  const DWORD until = GetTickCount() + 15000;
  MSG msg;
  while ((!window.SessionIdle() || window.PanelText(0).find(L": ") == std::wstring::npos) &&
         GetTickCount() < until) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    Sleep(20);
  }
  // What the connect told the window may still wait in its queue.
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  WriteStd(STD_OUTPUT_HANDLE, "started\n" + Utf8(window.PanelText(0)) + "\n" + Utf8(window.PanelText(1)) + "\n");
  PostMessageW(window.Handle(), WM_CLOSE, 0, 0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  const std::vector<std::wstring> args = Arguments();
  if (HasOption(args, L"--help")) {
    MessageBoxW(nullptr, kHelp, L"Quendrel", MB_OK);
    return 0;
  }
  if (HasOption(args, L"--version")) {
    MessageBoxW(nullptr, L"Quendrel V2.03b", L"Quendrel", MB_OK);
    return 0;
  }
  quitAfterStart = HasOption(args, L"--quit-after-start");
  try {
    std::string error;
    if (!EnterProgramFolder(&error)) {
      ShowStartError(Wide(error));
      return quitAfterStart ? 1 : 0;
    }
    std::unique_ptr<TWinVirtualPhone> phone;
    std::unique_ptr<IComBackend> backend = MakeDefaultComBackend();
    if (HasOption(args, L"--virtual-phone")) {
      phone = std::make_unique<TWinVirtualPhone>();
      if (!phone->Start(&error)) {
        ShowStartError(L"virtual phone: " + Wide(error));
        return quitAfterStart ? 1 : 0;
      }
      backend = phone->TakeBackend();
    }
    win32gui::TMainWindow window(std::move(backend));
    // With the virtual phone, the chooser opens on its PC sample folder.
    if (phone) window.SetChooserStart(phone->PcSamples());
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    window.FormCreate();
    if (quitAfterStart) ReportStartAndClose(window);
    window.Run();
  } catch (const std::exception& e) {
    ShowStartError(Wide(e.what()));
    if (quitAfterStart) return 1;
  }
  return 0;
}
