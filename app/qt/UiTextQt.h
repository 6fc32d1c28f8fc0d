#pragma once
// The text table's bytes as window text: Big5 and GB2312 decoded by Qt.
#include <QString>
#include <string>

#include "content/UiText.h"
#include "content/UiTextDecoder.h"

// Decodes bytes of a language column (Big5 / GB2312 / ASCII).
QString DecodeUiBytes(const std::string& bytes, int languageIndex);
// Decodes an entry's bytes for the window.
QString UiTextToQString(const UiText& entry, int languageIndex);
QString UiTr(const UiText& entry);
// Re-encodes window text into a column's encoding (round trips).
std::string EncodeForLanguage(const QString& text, int languageIndex, bool* ok = nullptr);

// The column decoder of every Qt front end (the window and the command line).
class TQtUiTextDecoder : public TUiTextDecoder {
 public:
  std::string Utf8(const std::string& bytes, int languageIndex) const override {
    return DecodeUiBytes(bytes, languageIndex).toStdString();
  }
};
const TUiTextDecoder& QtUiTextDecoder();
