#include "port/win32/WideText.h"

#include "port/win32/WinApi.h"

#include <algorithm>
#include <vector>

std::wstring Wide(const std::string& s) {
  if (s.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Utf8(const std::wstring& w) {
  if (w.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
  return s;
}

namespace {

const std::wstring kLongPrefix = L"\\\\?\\";
const std::wstring kLongUncPrefix = L"\\\\?\\UNC\\";

bool Separator(wchar_t c) { return c == L'\\' || c == L'/'; }

std::wstring CurrentFolder() {
  std::wstring cwd(GetCurrentDirectoryW(0, nullptr), L'\0');
  cwd.resize(GetCurrentDirectoryW(static_cast<DWORD>(cwd.size()), cwd.data()));
  return cwd;
}

}  // namespace

std::wstring WidePath(const std::string& utf8) {
  std::wstring w = Wide(utf8);
  if (w.size() < kLongPathFrom || (w.size() >= 4 && Separator(w[0]) && Separator(w[1]) &&
                                   (w[2] == L'?' || w[2] == L'.') && Separator(w[3])))
    return w;  // short, or already a device or extended-length path
  auto isDrive = [](const std::wstring& p) { return p.size() >= 3 && p[1] == L':' && Separator(p[2]); };
  auto isUnc = [](const std::wstring& p) { return p.size() >= 2 && Separator(p[0]) && Separator(p[1]); };
  if (!isDrive(w) && !isUnc(w)) {
    if (w.size() >= 2 && w[1] == L':') return w;  // relative to a drive's own folder: left as it is
    const std::wstring cwd = WithoutLongPrefix(CurrentFolder());
    w = Separator(w[0]) && isDrive(cwd) ? cwd.substr(0, 2) + w : cwd + L"\\" + w;
    if (!isDrive(w) && !isUnc(w)) return Wide(utf8);
  }
  // The root ("C:" or "\\server\share") is kept; the rest is resolved.
  const bool unc = isUnc(w);
  size_t at = 2;
  std::wstring root = unc ? kLongUncPrefix : kLongPrefix + w.substr(0, 2);
  for (int part = 0; unc && part < 2 && at < w.size(); ++part) {
    const size_t end = std::min(w.size(), w.find_first_of(L"\\/", at));
    root += (part ? L"\\" : L"") + w.substr(at, end - at);
    at = end + 1;
  }
  std::vector<std::wstring> parts;
  while (at < w.size()) {
    size_t end = w.find_first_of(L"\\/", at);
    if (end == std::wstring::npos) end = w.size();
    const std::wstring part = w.substr(at, end - at);
    if (part == L"..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != L".") {
      parts.push_back(part);
    }
    at = end + 1;
  }
  std::wstring out = root;
  for (const std::wstring& part : parts) out += L"\\" + part;
  if (parts.empty()) out += L"\\";
  return out;
}

std::wstring WithoutLongPrefix(const std::wstring& path) {
  if (path.compare(0, kLongUncPrefix.size(), kLongUncPrefix) == 0)
    return L"\\\\" + path.substr(kLongUncPrefix.size());
  if (path.compare(0, kLongPrefix.size(), kLongPrefix) == 0) return path.substr(kLongPrefix.size());
  return path;
}
