#include "app/core/UiText.h"

#include <QStringDecoder>
#include <QStringEncoder>

#include "app/core/Config.h"

namespace uitext {
// Columns: English, Traditional Chinese (Big5), Simplified Chinese (GB2312).
const UiText ProductName = {{" Quendrel",
    " Quendrel \xa4\xe2\xbe\xf7\xa7U\xb2z",
    " Quendrel \xca\xd6\xbb\xfa\xd6\xfa\xc0\xed"}};
const UiText LogoTitle = {{" Quendrel",
    " Quendrel \xa4\xe2\xbe\xf7\xa7U\xb2z",
    " Quendrel \xca\xd6\xbb\xfa\xd6\xfa\xc0\xed"}};
const UiText mExit = {{"Exit(&X)",
    "\xb5\xb2\xa7\xf4(&X)",
    "\xcd\xcb\xb3\xf6(&X)"}};
const UiText mConnection1 = {{"Connection",
    "\xb3s\xbdu",
    "N/A"}};
const UiText Connect1 = {{"Connect",
    "\xab\xd8\xa5\xdf\xb3s\xbdu",
    "N/A"}};
const UiText Disconnect1 = {{"Disonnect",
    "\xa4\xa4\xc2_\xb3s\xbdu",
    "N/A"}};
const UiText mConnSetting = {{"Connection Setting(&C)",
    "\xb3s\xbdu\xb3]\xa9w(&C)",
    "\xc1\xac\xbd\xd3\xc9\xe8\xd6\xc3(&C)"}};
const UiText mAuto = {{"Auto",
    "\xa6\xdb\xb0\xca",
    "\xd7\xd4\xb6\xaf"}};
const UiText mHelp = {{"Help(&H)",
    "\xbb\xa1\xa9\xfa(&H)",
    "\xb0\xef\xd6\xfa(&H)"}};
const UiText mAbout = {{"About(&A)",
    "\xc3\xf6\xa9\xf3(&A)",
    "\xb9\xd8\xd3\xda(&A)"}};
const UiText mLanguage = {{"Language",
    "\xbby\xa8\xa5",
    "\xd3\xef\xd1\xd4"}};
const UiText Ring_Button = {{" Melody",
    " \xb9" "a\xc1n",
    " \xc1\xe5\xc9\xf9"}};
const UiText Animation_Button = {{" Animation",
    " \xb0\xca\xb5" "e",
    " \xb6\xaf\xbb\xad"}};
const UiText DC_PIC_ToolButton = {{"PICTURE",
    "\xb9\xcf\xa4\xf9",
    "N/A"}};
const UiText LocalAppDW_Button = {{"JAVA",
    "Java \xb5{\xa6\xa1",
    "N/A"}};
const UiText StatusPortCaption = {{"Connection",
    "\xb3s\xb1\xb5\xb0\xf0",
    "\xb6\xcb\xbf\xda"}};
const UiText StatusLinkCaption = {{"Status",
    "\xaa\xac\xba" "A",
    "\xd7\xb4\xcc\xac"}};
const UiText StatusConnected = {{"Connection",
    "\xa4w\xb3s\xbdu",
    "\xd2\xd1\xc1\xac\xbd\xd3"}};
const UiText StatusDisconnected = {{"Disconnect",
    "\xa5\xbc\xb3s\xbdu",
    "\xce\xb4\xc1\xac\xbd\xd3"}};
const UiText StatusMaker = {{"Nomra",
    "Nomra",
    ""}};
const UiText AboutCaption = {{"About Quendrel",
    "\xc3\xf6\xa9\xf3 Quendrel",
    ""}};
const UiText AboutProductName = {{" Quendrel",
    " Quendrel \xa4\xe2\xbe\xf7\xa7U\xb2z",
    " Quendrel \xca\xd6\xbb\xfa\xd6\xfa\xc0\xed"}};
const UiText AboutVersion = {{"[ Version V2.03b ]",
    "[ \xaa\xa9\xa5\xbb V2.03b ]",
    "[ \xb0\xe6\xb1\xbe V2.03b ]"}};
const UiText AboutNotice = {{"Copyright (C) Nomra. All rights reserved.",
    "Nomra \xaa\xa9\xc5v\xa9\xd2\xa6\xb3\xa1" "A\xabO\xaf" "d\xa4@\xa4\xc1\xc5v\xa7Q\xa1" "C",
    "Nomra \xb0\xe6\xc8\xa8\xcb\xf9\xd3\xd0\xa3\xac\xb1\xa3\xc1\xf4\xd2\xbb\xc7\xd0\xc8\xa8\xc0\xfb\xa1\xa3"}};
const UiText AboutOKButton = {{"Exit",
    "\xb5\xb2\xa7\xf4",
    "\xcd\xcb\xb3\xf6"}};
const TNamedEntry kAllEntries[] = {
    {"ProductName", &ProductName},
    {"LogoTitle", &LogoTitle},
    {"mExit", &mExit},
    {"mConnection1", &mConnection1},
    {"Connect1", &Connect1},
    {"Disconnect1", &Disconnect1},
    {"mConnSetting", &mConnSetting},
    {"mAuto", &mAuto},
    {"mHelp", &mHelp},
    {"mAbout", &mAbout},
    {"mLanguage", &mLanguage},
    {"Ring_Button", &Ring_Button},
    {"Animation_Button", &Animation_Button},
    {"DC_PIC_ToolButton", &DC_PIC_ToolButton},
    {"LocalAppDW_Button", &LocalAppDW_Button},
    {"StatusPortCaption", &StatusPortCaption},
    {"StatusLinkCaption", &StatusLinkCaption},
    {"StatusConnected", &StatusConnected},
    {"StatusDisconnected", &StatusDisconnected},
    {"StatusMaker", &StatusMaker},
    {"AboutCaption", &AboutCaption},
    {"AboutProductName", &AboutProductName},
    {"AboutVersion", &AboutVersion},
    {"AboutNotice", &AboutNotice},
    {"AboutOKButton", &AboutOKButton},
};
const int kEntryCount = static_cast<int>(sizeof kAllEntries / sizeof kAllEntries[0]);
}  // namespace uitext

const char* UiBytes(const UiText& entry, int languageIndex) {
  if (languageIndex < 0 || languageIndex > 2) languageIndex = 0;
  return entry.text[languageIndex];
}

const char* UiBytes(const UiText& entry) { return UiBytes(entry, AppConfig().LanguageIndex); }

const char* UiEncodingName(int languageIndex) {
  switch (languageIndex) {
    case 1: return "Big5";
    case 2: return "GB2312";
    default: return "US-ASCII";
  }
}

QString UiTextToQString(const UiText& entry, int languageIndex) {
  const char* bytes = UiBytes(entry, languageIndex);
  if (languageIndex != 1 && languageIndex != 2) return QString::fromLatin1(bytes);
  QStringDecoder decoder(UiEncodingName(languageIndex));
  if (!decoder.isValid()) return QString::fromLatin1(bytes);  // no codec: show the bytes as they are
  QString text = decoder.decode(QByteArrayView(bytes));
  return text;
}

QString UiTr(const UiText& entry) { return UiTextToQString(entry, AppConfig().LanguageIndex); }

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
