#pragma once
// The text table's columns decoded by the system's own code pages, for a
// Windows front end without Qt: Big5 as code page 950, GB2312 as 936.
#include <string>

#include "content/UiTextDecoder.h"

class TWinUiTextDecoder : public TUiTextDecoder {
 public:
  // Bytes of a language column as UTF-16, for the wide Windows calls.
  // Bytes a code page cannot map come out as the system's replacement;
  // without the code page at all, each byte as it is (Latin-1).
  std::wstring Wide(const std::string& bytes, int languageIndex) const;
  std::string Utf8(const std::string& bytes, int languageIndex) const override;
};

const TWinUiTextDecoder& WinUiTextDecoder();
