#include "app/qt/UiTextQt.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include "app/core/Config.h"

QString DecodeUiBytes(const std::string& bytes, int languageIndex) {
  const QByteArray raw = QByteArray::fromStdString(bytes);
  if (languageIndex != 1 && languageIndex != 2) return QString::fromLatin1(raw);
  QStringDecoder decoder(UiEncodingName(languageIndex));
  if (!decoder.isValid()) return QString::fromLatin1(raw);  // no codec: show the bytes as they are
  return decoder.decode(raw);
}

const TUiTextDecoder& QtUiTextDecoder() {
  static const TQtUiTextDecoder decoder;
  return decoder;
}

QString UiTextToQString(const UiText& entry, int languageIndex) {
  return DecodeUiBytes(UiBytes(entry, languageIndex), languageIndex);
}

QString UiTr(const UiText& entry) { return UiTextToQString(entry, UiLanguage()); }

std::string EncodeForLanguage(const QString& text, int languageIndex, bool* ok) {
  if (languageIndex != 1 && languageIndex != 2) {
    bool ascii = true;
    for (QChar ch : text) ascii = ascii && ch.unicode() < 0x80;
    if (ok) *ok = ascii;
    return text.toLatin1().toStdString();
  }
  QStringEncoder encoder(UiEncodingName(languageIndex));
  if (!encoder.isValid()) {
    if (ok) *ok = false;
    return {};
  }
  QByteArray bytes = encoder.encode(text);
  if (ok) *ok = !encoder.hasError();
  return bytes.toStdString();
}
