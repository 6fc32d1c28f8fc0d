#include "port/PlainFile.h"

#include <string>

#include "port/win32/WideText.h"
#include "port/win32/WinApi.h"

TPlainRead ReadPlainFile(const std::string& path, uint64_t limit, std::string* bytes) {
  // The reparse point itself is opened, never what it points at.
  HANDLE h = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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

