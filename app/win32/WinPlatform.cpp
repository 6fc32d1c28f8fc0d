#include "app/win32/WinPlatform.h"

#include "link/Settings.h"
#include "link/Text.h"

#include "port/PlainFile.h"
#include "port/win32/WinApi.h"

#include <io.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <iostream>
#include <iterator>
#include <optional>
#include <streambuf>

const wchar_t* const kWinConnectSettingKey = L"SOFTWARE\\Velko\\Velko Sync Tool\\1.0\\ConnectSetting";

namespace {

// Closes a registry key on every exit path.
struct Key {
  HKEY h = nullptr;
  ~Key() {
    if (h) RegCloseKey(h);
  }
};

// Registry text may lack its terminating zero; cut at the first one.
std::wstring RegText(const std::vector<wchar_t>& buf, DWORD bytes) {
  std::wstring s(buf.data(), bytes / sizeof(wchar_t));
  s.erase(std::find(s.begin(), s.end(), L'\0'), s.end());
  return s;
}

// A file can be written there: an existing one opened for writing, or a new
// one created and removed again on close.
bool Writable(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_FILE_NOT_FOUND)
    h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

}  // namespace

std::vector<TPortEntry> WinSerialPortMap() {
  std::vector<TPortEntry> map;
  Key key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                    &key.h) != ERROR_SUCCESS)
    return map;
  DWORD count = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key.h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName,
                       &maxData, nullptr, nullptr) != ERROR_SUCCESS)
    return map;
  std::vector<wchar_t> name(maxName + 1);
  std::vector<wchar_t> data(maxData / sizeof(wchar_t) + 1);
  for (DWORD i = 0; i < count; ++i) {
    DWORD nameLen = static_cast<DWORD>(name.size());
    DWORD bytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    DWORD type = 0;
    if (RegEnumValueW(key.h, i, name.data(), &nameLen, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &bytes) != ERROR_SUCCESS)
      continue;
    if (type != REG_SZ) continue;
    const std::string port = Utf8(RegText(data, bytes));
    if (port.empty()) continue;
    map.push_back({port, "\\\\.\\" + port});
  }
  std::sort(map.begin(), map.end(),
            [](const TPortEntry& a, const TPortEntry& b) { return NaturalLess(a.name, b.name); });
  return map;
}

namespace {

// A REG_SZ value of an open key as UTF-8; false for any other type.
bool ReadTextValue(HKEY key, const std::wstring& name, std::string* text) {
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != REG_SZ)
    return false;
  std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1);
  bytes = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &bytes) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return false;
  *text = Utf8(RegText(buf, bytes));
  return true;
}

}  // namespace

bool WinConnectKeyExists() {
  Key key;
  return RegOpenKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, KEY_QUERY_VALUE, &key.h) ==
         ERROR_SUCCESS;
}

bool WinReadConnectValue(const std::string& name, int* value) {
  Key key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, KEY_QUERY_VALUE, &key.h) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring wname = Wide(name);
  DWORD type = 0, bytes = 0;
  if (RegQueryValueExW(key.h, wname.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
    return false;
  if (type == REG_DWORD) {
    DWORD v = 0;
    bytes = sizeof v;
    if (RegQueryValueExW(key.h, wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&v), &bytes) !=
        ERROR_SUCCESS)
      return false;
    *value = static_cast<int>(v);
    return true;
  }
  std::string text;
  if (!ReadTextValue(key.h, wname, &text)) return false;
  const std::optional<int32_t> v = ParseDecimal(text);
  if (v) *value = *v;
  return v.has_value();
}

bool WinWriteConnectValue(const std::string& name, int value) {
  Key key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key.h, nullptr) != ERROR_SUCCESS)
    return false;
  const DWORD v = static_cast<DWORD>(value);
  return RegSetValueExW(key.h, Wide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                        sizeof v) == ERROR_SUCCESS;
}

bool WinReadConnectText(const std::string& name, std::string* value) {
  Key key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, KEY_QUERY_VALUE, &key.h) !=
      ERROR_SUCCESS)
    return false;
  return ReadTextValue(key.h, Wide(name), value);
}

bool WinWriteConnectText(const std::string& name, const std::string& value) {
  Key key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kWinConnectSettingKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key.h, nullptr) != ERROR_SUCCESS)
    return false;
  const std::wstring data = Wide(value);
  return RegSetValueExW(key.h, Wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

std::vector<std::string> WinDriveRoots() {
  std::vector<std::string> roots;
  const DWORD mask = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (mask & (1u << i)) roots.push_back(std::string(1, static_cast<char>('A' + i)) + ":\\");
  }
  return roots;
}

std::string WinTransferLogPath() {
  static const wchar_t kRootLog[] = L"C:\\LAD.log";
  if (Writable(kRootLog)) return Utf8(kRootLog);
  std::wstring profile;
  if (DWORD n = GetEnvironmentVariableW(L"USERPROFILE", nullptr, 0)) {
    profile.resize(n);
    n = GetEnvironmentVariableW(L"USERPROFILE", profile.data(), n);
    profile.resize(n);
  }
  if (profile.empty()) return Utf8(kRootLog);  // nowhere better to go
  if (profile.back() != L'\\') profile += L'\\';
  return Utf8(profile + L"LAD.log");
}

// The platform's part of link/Settings.h that is the same with Qt or without.

std::string DocumentsFolder() {
  std::string docs;
  PWSTR wide = nullptr;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, 0, nullptr, &wide)) && wide) docs = Utf8(wide);
  CoTaskMemFree(wide);
  return docs.empty() ? PathUtf8(Utf8Path(HomeFolder()) / "Documents") : docs;
}

bool MoveFileToTrash(const std::string& path, std::string* why) {
  if (why) why->clear();
  std::wstring from = Wide(path);
  from.push_back(L'\0');  // the list ends with an empty name
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  return SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
}

std::FILE* OpenRegularFile(const std::string& path) {
  uint64_t size = 0;
  if (!PlainFileSize(path, &size)) return nullptr;
  return OpenFileUtf8(path, "rb");
}

bool CutOpenFile(std::FILE* f, long size) { return size >= 0 && _chsize_s(_fileno(f), size) == 0; }

std::vector<std::string> WinUtf8Arguments() {
  std::vector<std::string> args;
  int n = 0;
  wchar_t** w = CommandLineToArgvW(GetCommandLineW(), &n);
  if (!w) return args;
  for (int i = 0; i < n; ++i) args.push_back(Utf8(w[i]));
  LocalFree(w);
  return args;
}

size_t Utf8CompleteLength(const std::string& text) {
  // Look back over at most three continuation bytes for a lead byte.
  size_t i = text.size();
  for (size_t back = 0; back < 4 && i > 0; ++back) {
    const unsigned char c = static_cast<unsigned char>(text[--i]);
    if ((c & 0xC0) == 0x80) continue;  // continuation byte
    const size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return text.size() - i >= need ? text.size() : i;
  }
  return text.size();  // no lead byte near the end: nothing to wait for
}

namespace {

// Collects UTF-8 output and writes it to a console as wide text at every
// flush, keeping a character cut in two for the next piece.
class ConsoleBuf : public std::streambuf {
 public:
  explicit ConsoleBuf(HANDLE h) : h_(h) {}

 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      pending_ += traits_type::to_char_type(c);
      if (c == '\n') Flush();
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    pending_.append(s, static_cast<size_t>(n));
    if (std::char_traits<char>::find(s, static_cast<size_t>(n), '\n')) Flush();
    return n;
  }
  int sync() override {
    Flush();
    return 0;
  }

 private:
  void Flush() {
    const size_t whole = Utf8CompleteLength(pending_);
    const std::wstring w = Wide(pending_.substr(0, whole));
    pending_.erase(0, whole);
    for (size_t at = 0; at < w.size();) {
      DWORD done = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(w.size() - at, 8192));
      if (!WriteConsoleW(h_, w.data() + at, chunk, &done, nullptr) || done == 0) break;
      at += done;
    }
  }

  HANDLE h_;
  std::string pending_;
};

// Reads a console's typed lines as wide text and hands them on as UTF-8,
// so a name typed at a question arrives whatever the console's code page.
class ConsoleInBuf : public std::streambuf {
 public:
  explicit ConsoleInBuf(HANDLE h) : h_(h) {}

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    wchar_t w[1024];
    DWORD got = 0;
    do {
      if (!ReadConsoleW(h_, w, static_cast<DWORD>(std::size(w)), &got, nullptr) || got == 0) return traits_type::eof();
      std::wstring piece = held_ + std::wstring(w, got);
      held_.clear();
      // A pair of surrogates cut by the buffer's end waits for its second half.
      if (IS_HIGH_SURROGATE(piece.back())) {
        held_ = piece.back();
        piece.pop_back();
      }
      text_.clear();
      for (wchar_t c : piece)
        if (c != L'\r') text_ += c;
    } while (text_.empty());
    line_ = Utf8(text_);
    setg(line_.data(), line_.data(), line_.data() + line_.size());
    return traits_type::to_int_type(*gptr());
  }

 private:
  HANDLE h_;
  std::wstring held_, text_;
  std::string line_;
};

void UseConsoleFor(std::ostream& os, DWORD which) {
  const HANDLE h = GetStdHandle(which);
  DWORD mode = 0;
  if (h == INVALID_HANDLE_VALUE || !h || !GetConsoleMode(h, &mode)) return;  // redirected
  static ConsoleBuf* bufs[2] = {nullptr, nullptr};
  ConsoleBuf*& slot = bufs[which == STD_OUTPUT_HANDLE ? 0 : 1];
  if (slot) return;
  os.flush();
  slot = new ConsoleBuf(h);  // lives as long as the stream
  os.rdbuf(slot);
}

}  // namespace

void WinUseConsoleText() {
  UseConsoleFor(std::cout, STD_OUTPUT_HANDLE);
  UseConsoleFor(std::cerr, STD_ERROR_HANDLE);
  const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (in == INVALID_HANDLE_VALUE || !in || !GetConsoleMode(in, &mode)) return;  // redirected: bytes as they come
  static ConsoleInBuf* buf = nullptr;
  if (buf) return;
  buf = new ConsoleInBuf(in);  // lives as long as the stream
  std::cin.rdbuf(buf);
}
