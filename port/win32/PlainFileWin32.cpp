#include "port/PlainFile.h"

#include <string>
#include <utility>
#include <vector>

#include "port/win32/WideText.h"
#include "port/win32/WinApi.h"

TPlainRead ReadPlainFile(const std::string& path, uint64_t limit, std::string* bytes) {
  // The reparse point itself is opened, never what it points at.
  HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (h == INVALID_HANDLE_VALUE) return TPlainRead::Missing;
  TPlainRead result = TPlainRead::NotPlain;
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
      !(info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE))) {
    const uint64_t size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    result = ReadAllWithin(size, limit, bytes, [h](char* buf, size_t n) -> long long {
      DWORD got = 0;
      if (!ReadFile(h, buf, static_cast<DWORD>(n), &got, nullptr)) return -1;
      return got;
    });
  }
  CloseHandle(h);
  return result;
}


bool PlainFileSize(const std::string& path, uint64_t* size) {
  // Opened for its attributes only: links are followed, a folder does not open.
  HANDLE h = CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool plain = GetFileType(h) == FILE_TYPE_DISK && GetFileInformationByHandle(h, &info) &&
                     !(info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE));
  CloseHandle(h);
  if (plain) *size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  return plain;
}

bool ReadFolder(const std::string& path, std::vector<TFolderEntry>* entries) {
  entries->clear();
  std::string pattern = path;
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  WIN32_FIND_DATAW found{};
  HANDLE h = FindFirstFileExW(WidePath(pattern + "*").c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                              nullptr, 0);
  // An empty drive root has not even "." to list.
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    TFolderEntry e;
    e.name = Utf8(name);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      // a folder, or a link to one: no file
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      e.regular = PlainFileSize(pattern + e.name, &e.size);
      e.dangling = !e.regular;  // a link to a file that cannot be opened
    } else {
      e.regular = true;
      e.size = (static_cast<uint64_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    }
    entries->push_back(std::move(e));
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return true;
}
