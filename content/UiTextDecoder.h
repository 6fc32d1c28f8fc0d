#pragma once
// The text table's column bytes (ASCII, Big5, GB2312) as text. Decoding
// the Chinese columns takes a toolkit's or the system's code pages, so
// each front end supplies its decoder; the texts made from the table for
// every front end alike take it as an argument.
#include <string>

#include "content/UiText.h"

class TUiTextDecoder {
 public:
  virtual ~TUiTextDecoder() = default;
  // Bytes of a language column as UTF-8. Bytes a column's encoding cannot
  // decode come out as they were read, one character each (Latin-1).
  virtual std::string Utf8(const std::string& bytes, int languageIndex) const = 0;
};

// Each byte as the character of the same number (Latin-1) in UTF-8.
std::string Latin1ToUtf8(const std::string& bytes);
// A name from outside (the phone, the PC, a backup) for a text: as it is
// when it is UTF-8, else each byte as Latin-1, as the windows show it.
std::string NameUtf8(const std::string& bytes);

// Decodes the English column only, which is ASCII, and shows anything
// else as Latin-1: enough for a front end that speaks English alone.
class TEnglishDecoder : public TUiTextDecoder {
 public:
  std::string Utf8(const std::string& bytes, int) const override { return Latin1ToUtf8(bytes); }
};

// An entry's text in a language, as UTF-8.
std::string UiUtf8(const UiText& entry, int languageIndex, const TUiTextDecoder& decoder);
