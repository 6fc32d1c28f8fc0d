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
  try {
    std::string error;
    if (!EnterProgramFolder(&error)) {
      windlg::ShowError(nullptr, L"Quendrel", Wide(error));
      return 0;
    }
    std::unique_ptr<TWinVirtualPhone> phone;
    std::unique_ptr<IComBackend> backend = MakeDefaultComBackend();
    if (HasOption(args, L"--virtual-phone")) {
      phone = std::make_unique<TWinVirtualPhone>();
      if (!phone->Start(&error)) {
        windlg::ShowError(nullptr, L"Quendrel", L"virtual phone: " + Wide(error));
        return 0;
      }
      backend = phone->TakeBackend();
    }
    win32gui::TMainWindow window(std::move(backend));
    // With the virtual phone, the chooser opens on its PC sample folder.
    if (phone) window.SetChooserStart(phone->PcSamples());
    ShowWindow(window.Handle(), show);
    UpdateWindow(window.Handle());
    window.FormCreate();
    window.Run();
  } catch (const std::exception& e) {
    windlg::ShowError(nullptr, L"Quendrel", Wide(e.what()));
  }
  return 0;
}
