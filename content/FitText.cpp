// The words of "Fit to phone" and of files dropped on the phone list, made
// from the text table in UTF-8 for every front end.
#include "content/ScanReasonText.h"
#include "content/UiTextDecoder.h"
#include "content/PictureFit.h"

std::string Latin1ToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char ch : bytes) {
    if (ch < 0x80) {
      out += static_cast<char>(ch);
    } else {
      out += static_cast<char>(0xc0 | (ch >> 6));
      out += static_cast<char>(0x80 | (ch & 0x3f));
    }
  }
  return out;
}

namespace {

// Well-formed UTF-8: no stray or missing continuation bytes, no overlong
// forms, no surrogates, nothing past U+10FFFF.
bool IsUtf8(const std::string& bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    size_t more = 0;
    unsigned long code = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if (c >= 0xc2 && c <= 0xdf) {
      more = 1, code = c & 0x1f;
    } else if (c >= 0xe0 && c <= 0xef) {
      more = 2, code = c & 0x0f;
    } else if (c >= 0xf0 && c <= 0xf4) {
      more = 3, code = c & 0x07;
    } else {
      return false;
    }
    if (bytes.size() - i <= more) return false;
    for (size_t k = 1; k <= more; ++k) {
      const unsigned char n = static_cast<unsigned char>(bytes[i + k]);
      if ((n >> 6) != 2) return false;
      code = (code << 6) | (n & 0x3f);
    }
    if ((more == 2 && code < 0x800) || (more == 3 && code < 0x10000) || code > 0x10ffff ||
        (code >= 0xd800 && code <= 0xdfff))
      return false;
    i += more + 1;
  }
  return true;
}

}  // namespace

std::string NameUtf8(const std::string& bytes) { return IsUtf8(bytes) ? bytes : Latin1ToUtf8(bytes); }

std::string UiUtf8(const UiText& entry, int languageIndex, const TUiTextDecoder& decoder) {
  return decoder.Utf8(UiBytes(entry, languageIndex), languageIndex);
}

namespace fit {

std::string RefusalText(const TFitOutcome& outcome, int lang, const TUiTextDecoder& decoder) {
  auto t = [&](const UiText& e) { return UiUtf8(e, lang, decoder); };
  switch (outcome.refusal) {
    case TRefusal::None:
      return {};
    case TRefusal::AlreadySuitable:
      return t(uitext::FitNotNeeded);
    case TRefusal::NotFittable:
      return FillArgs(t(uitext::FitNotPossible), {decoder.Utf8(ReasonText(outcome.why, 3, lang), lang)});
    case TRefusal::NotReadable:
      return FillArgs(t(uitext::FitNotPossible), {t(uitext::FitNotReadable)});
    case TRefusal::WriteFailed:
      return FillArgs(t(uitext::FitWriteFailed), {outcome.detail});
    case TRefusal::NoFit:
      return FillArgs(t(uitext::FitNotPossible), {t(uitext::FitNoRoom)});
  }
  return {};
}

}  // namespace fit

std::string ReasonUtf8(const pcscan::TJudgement& why, int folder, const TUiTextDecoder& decoder) {
  const int lang = UiLanguage();
  return decoder.Utf8(ReasonText(why, folder, lang), lang);
}

TWordsByLanguage ReasonWords(const pcscan::TJudgement& why, int folder, const TUiTextDecoder* decoder) {
  const TEnglishDecoder plain;
  TWordsByLanguage words;
  for (int lang = 0; lang < 3; ++lang)
    words[lang] = (decoder ? *decoder : static_cast<const TUiTextDecoder&>(plain)).Utf8(ReasonText(why, folder, lang), lang);
  return words;
}

std::string RefusalUtf8(const fit::TFitOutcome& outcome, const TUiTextDecoder& decoder) {
  return fit::RefusalText(outcome, UiLanguage(), decoder);
}

std::string DropNotSentText(const std::string& name, const std::string& reason, const TUiTextDecoder& decoder) {
  return FillArgs(UiUtf8(uitext::DropNotSent, UiLanguage(), decoder), {name, reason});
}

std::string DropFitQuestionText(const std::string& name, const std::string& reason, const TUiTextDecoder& decoder) {
  return FillArgs(UiUtf8(uitext::DropFitQuestion, UiLanguage(), decoder), {name, reason});
}
