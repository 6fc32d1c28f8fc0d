#include "app/win32/WinTextDecoder.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "link/Text.h"

namespace {

std::wstring Latin1Wide(const std::string& bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (unsigned char ch : bytes) out += static_cast<wchar_t>(ch);
  return out;
}

}  // namespace

std::wstring TWinUiTextDecoder::Wide(const std::string& bytes, int languageIndex) const {
  const UINT page = languageIndex == 1 ? 950 : languageIndex == 2 ? 936 : 0;
  if (page == 0 || bytes.empty()) return Latin1Wide(bytes);
  const int size = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(page, 0, bytes.data(), size, nullptr, 0);
  if (n <= 0) return Latin1Wide(bytes);
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (MultiByteToWideChar(page, 0, bytes.data(), size, out.data(), n) != n) return Latin1Wide(bytes);
  return out;
}

std::string TWinUiTextDecoder::Utf8(const std::string& bytes, int languageIndex) const {
  return ::Utf8(Wide(bytes, languageIndex));
}

const TWinUiTextDecoder& WinUiTextDecoder() {
  static const TWinUiTextDecoder decoder;
  return decoder;
}
