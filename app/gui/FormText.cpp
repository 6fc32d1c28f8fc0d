#include "app/gui/FormText.h"

#include <QStringDecoder>
#include <QTextDocument>

namespace {
QString& TitleStore() {
  static QString title = QStringLiteral("Nomra Sync Tool");
  return title;
}
}  // namespace

void SetApplicationTitle(const QString& title) {
  // Kept for our own boxes; a display name would be appended to every caption.
  TitleStore() = title;
}

QString ApplicationTitle() { return TitleStore(); }

QString PlainTip(const QString& text) {
  return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal) : text;
}

QString BytesToQString(const std::string& bytes) {
  QStringDecoder utf8(QStringDecoder::Utf8);
  QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  if (!utf8.hasError()) return text;
  return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
