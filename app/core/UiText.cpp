#include "app/core/UiText.h"

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
    "\xc1\xac\xbd\xd3"}};
const UiText Connect1 = {{"Connect",
    "\xab\xd8\xa5\xdf\xb3s\xbdu",
    "\xbd\xa8\xc1\xa2\xc1\xac\xbd\xd3"}};
const UiText Disconnect1 = {{"Disonnect",
    "\xa4\xa4\xc2_\xb3s\xbdu",
    "\xb6\xcf\xbf\xaa\xc1\xac\xbd\xd3"}};
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
    "\xcd\xbc\xc6\xac"}};
const UiText LocalAppDW_Button = {{"JAVA",
    "Java \xb5{\xa6\xa1",
    "Java \xb3\xcc\xd0\xf2"}};
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
    "Nomra"}};
const UiText AboutCaption = {{"About Quendrel",
    "\xc3\xf6\xa9\xf3 Quendrel",
    "\xb9\xd8\xd3\xda Quendrel"}};
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
const UiText StopButton = {{"Stop",
    "\xb0\xb1\xa4\xee",
    "\xcd\xa3\xd6\xb9"}};
const UiText ShowAllFiles = {{"Show all files",
    "\xc5\xe3\xa5\xdc\xa9\xd2\xa6\xb3\xc0\xc9\xae\xd7",
    "\xcf\xd4\xca\xbe\xcb\xf9\xd3\xd0\xce\xc4\xbc\xfe"}};
const UiText ReasonColumn = {{"Reason",
    "\xad\xec\xa6]",
    "\xd4\xad\xd2\xf2"}};
const UiText ReasonEmpty = {{"empty file",
    "\xaa\xc5\xa5\xd5\xc0\xc9\xae\xd7",
    "\xbf\xd5\xce\xc4\xbc\xfe"}};
const UiText ReasonTooLarge = {{"too large: %1 bytes, the limit is %2",
    "\xc0\xc9\xae\xd7\xb9L\xa4j\xa1G%1 \xa6\xec\xa4\xb8\xb2\xd5\xa1" "A\xa4W\xad\xad\xac\xb0 %2",
    "\xce\xc4\xbc\xfe\xb9\xfd\xb4\xf3\xa3\xba%1 \xd7\xd6\xbd\xda\xa3\xac\xc9\xcf\xcf\xde\xce\xaa %2"}};
const UiText ReasonTooManyPixels = {{"over 640 x 640: %1 x %2",
    "\xb6W\xb9L 640 x 640\xa1G%1 x %2",
    "\xb3\xac\xb9\xfd 640 x 640\xa3\xba%1 x %2"}};
const UiText ReasonNotMelody = {{"not a melody this phone takes (%1)",
    "\xa4\xa3\xacO\xa5\xbb\xa4\xe2\xbe\xf7\xa5i\xa5\xce\xaa\xba\xb9" "a\xc1n\xa1]%1\xa1^",
    "\xb2\xbb\xca\xc7\xb1\xbe\xca\xd6\xbb\xfa\xbf\xc9\xd3\xc3\xb5\xc4\xc1\xe5\xc9\xf9\xa3\xa8%1\xa3\xa9"}};
const UiText ReasonNotAnimation = {{"not an animation this phone takes (%1)",
    "\xa4\xa3\xacO\xa5\xbb\xa4\xe2\xbe\xf7\xa5i\xa5\xce\xaa\xba\xb0\xca\xb5" "e\xa1]%1\xa1^",
    "\xb2\xbb\xca\xc7\xb1\xbe\xca\xd6\xbb\xfa\xbf\xc9\xd3\xc3\xb5\xc4\xb6\xaf\xbb\xad\xa3\xa8%1\xa3\xa9"}};
const UiText ReasonNotPicture = {{"not a picture this phone takes (%1)",
    "\xa4\xa3\xacO\xa5\xbb\xa4\xe2\xbe\xf7\xa5i\xa5\xce\xaa\xba\xb9\xcf\xa4\xf9\xa1]%1\xa1^",
    "\xb2\xbb\xca\xc7\xb1\xbe\xca\xd6\xbb\xfa\xbf\xc9\xd3\xc3\xb5\xc4\xcd\xbc\xc6\xac\xa3\xa8%1\xa3\xa9"}};
const UiText ReasonUnknownType = {{"unknown type",
    "\xa5\xbc\xaa\xbe\xae\xe6\xa6\xa1",
    "\xce\xb4\xd6\xaa\xb8\xf1\xca\xbd"}};
const UiText ReasonStillGif = {{"a one-frame GIF: a picture, not an animation",
    "\xb3\xe6\xae\xe6 GIF\xa1G\xacO\xb9\xcf\xa4\xf9\xa1" "A\xa4\xa3\xacO\xb0\xca\xb5" "e",
    "\xb5\xa5\xd6\xa1 GIF\xa3\xba\xca\xc7\xcd\xbc\xc6\xac\xa3\xac\xb2\xbb\xca\xc7\xb6\xaf\xbb\xad"}};
const UiText ReasonAnimatedGif = {{"an animated GIF (%1 frames): an animation, not a picture",
    "\xb0\xca\xb5" "e GIF\xa1]%1 \xae\xe6\xa1^\xa1G\xacO\xb0\xca\xb5" "e\xa1" "A\xa4\xa3\xacO\xb9\xcf\xa4\xf9",
    "\xb6\xaf\xbb\xad GIF\xa3\xa8%1 \xd6\xa1\xa3\xa9\xa3\xba\xca\xc7\xb6\xaf\xbb\xad\xa3\xac\xb2\xbb\xca\xc7\xcd\xbc\xc6\xac"}};
const UiText ReasonGreyJpeg = {{"a greyscale JPEG the phone cannot show",
    "\xa4\xe2\xbe\xf7\xb5L\xaak\xc5\xe3\xa5\xdc\xaa\xba\xa6\xc7\xb6\xa5 JPEG",
    "\xca\xd6\xbb\xfa\xce\xde\xb7\xa8\xcf\xd4\xca\xbe\xb5\xc4\xbb\xd2\xb6\xc8 JPEG"}};
const UiText ReasonJpegLayout = {{"a JPEG layout the phone cannot show",
    "\xa4\xe2\xbe\xf7\xb5L\xaak\xc5\xe3\xa5\xdc\xaa\xba JPEG \xae\xe6\xa6\xa1",
    "\xca\xd6\xbb\xfa\xce\xde\xb7\xa8\xcf\xd4\xca\xbe\xb5\xc4 JPEG \xb8\xf1\xca\xbd"}};
const UiText ReasonTruncated = {{"file cut short",
    "\xc0\xc9\xae\xd7\xa4\xa3\xa7\xb9\xbe\xe3",
    "\xce\xc4\xbc\xfe\xb2\xbb\xcd\xea\xd5\xfb"}};
const UiText ReasonUnreadable = {{"cannot be read",
    "\xb5L\xaak\xc5\xaa\xa8\xfa",
    "\xce\xde\xb7\xa8\xb6\xc1\xc8\xa1"}};
const UiText ReasonDamaged = {{"damaged GIF",
    "\xb7l\xc3" "a\xaa\xba GIF",
    "\xcb\xf0\xbb\xb5\xb5\xc4 GIF"}};
const UiText FitToPhone = {{"Fit to phone",
    "\xbd\xd5\xbe\xe3\xb5\xb9\xa4\xe2\xbe\xf7",
    "\xb5\xf7\xd5\xfb\xb8\xf8\xca\xd6\xbb\xfa"}};
const UiText FitNotNeeded = {{"the phone takes this picture as it is",
    "\xa4\xe2\xbe\xf7\xa5i\xaa\xbd\xb1\xb5\xa8\xcf\xa5\xce\xb3o\xb1i\xb9\xcf\xa4\xf9",
    "\xca\xd6\xbb\xfa\xbf\xc9\xd6\xb1\xbd\xd3\xca\xb9\xd3\xc3\xd5\xe2\xd5\xc5\xcd\xbc\xc6\xac"}};
const UiText FitNotPossible = {{"cannot be fitted: %1",
    "\xb5L\xaak\xbd\xd5\xbe\xe3\xa1G%1",
    "\xce\xde\xb7\xa8\xb5\xf7\xd5\xfb\xa3\xba%1"}};
const UiText FitNotReadable = {{"not a picture that can be read",
    "\xb5L\xaak\xc5\xaa\xa8\xfa\xac\xb0\xb9\xcf\xa4\xf9",
    "\xce\xde\xb7\xa8\xb6\xc1\xc8\xa1\xce\xaa\xcd\xbc\xc6\xac"}};
const UiText FitNoRoom = {{"not even a small copy fits in 63000 bytes",
    "\xa7Y\xa8\xcf\xc1Y\xa4p\xa4]\xb5L\xaak\xa4p\xa9\xf3 63000 \xa6\xec\xa4\xb8\xb2\xd5",
    "\xbc\xb4\xca\xb9\xcb\xf5\xd0\xa1\xd2\xb2\xce\xde\xb7\xa8\xd0\xa1\xd3\xda 63000 \xd7\xd6\xbd\xda"}};
const UiText FitWriteFailed = {{"the copy cannot be written: %1",
    "\xb5L\xaak\xbcg\xa4J\xb0\xc6\xa5\xbb\xa1G%1",
    "\xce\xde\xb7\xa8\xd0\xb4\xc8\xeb\xb8\xb1\xb1\xbe\xa3\xba%1"}};
const UiText DropNotSent = {{"%1 is not sent: %2",
    "%1 \xa5\xbc\xb6\xc7\xb0" "e\xa1G%2",
    "%1 \xce\xb4\xb7\xa2\xcb\xcd\xa3\xba%2"}};
const UiText DropFitQuestion = {{"%1: %2.\nMake a copy that fits the phone and send it?",
    "%1\xa1G%2\xa1" "C\n\xadn\xbbs\xa7@\xbe" "A\xa6X\xa4\xe2\xbe\xf7\xaa\xba\xb0\xc6\xa5\xbb\xa8\xc3\xb6\xc7\xb0" "e\xb6\xdc\xa1H",
    "%1\xa3\xba%2\xa1\xa3\n\xd2\xaa\xd6\xc6\xd7\xf7\xca\xca\xba\xcf\xca\xd6\xbb\xfa\xb5\xc4\xb8\xb1\xb1\xbe\xb2\xa2\xb7\xa2\xcb\xcd\xc2\xf0\xa3\xbf"}};
// The port set-up entry of the menu and its dialog.
const UiText mPortSetup = {{"Port Setup...",
    "\xb3s\xb1\xb5\xb0\xf0\xb3]\xa9w...",
    "\xb6\xcb\xbf\xda\xc9\xe8\xd6\xc3..."}};
const UiText PortSetupCaption = {{"Port Setup",
    "\xb3s\xb1\xb5\xb0\xf0\xb3]\xa9w",
    "\xb6\xcb\xbf\xda\xc9\xe8\xd6\xc3"}};
const UiText PortSetupPort = {{"Port",
    "\xb3s\xb1\xb5\xb0\xf0",
    "\xb6\xcb\xbf\xda"}};
const UiText PortSetupBaudRate = {{"Baud rate",
    "\xc0j\xb2v",
    "\xb2\xa8\xcc\xd8\xc2\xca"}};
const UiText PortSetupDataBits = {{"Data bits",
    "\xb8\xea\xae\xc6\xa6\xec\xa4\xb8",
    "\xca\xfd\xbe\xdd\xce\xbb"}};
const UiText PortSetupStopBits = {{"Stop bits",
    "\xb0\xb1\xa4\xee\xa6\xec\xa4\xb8",
    "\xcd\xa3\xd6\xb9\xce\xbb"}};
const UiText PortSetupParity = {{"Parity",
    "\xa6P\xa6\xec\xc0\xcb\xac" "d",
    "\xd0\xa3\xd1\xe9"}};
const UiText PortSetupFlow = {{"Flow control",
    "\xacy\xb6q\xb1\xb1\xa8\xee",
    "\xc1\xf7\xbf\xd8\xd6\xc6"}};
const UiText PortSetupNone = {{"None",
    "\xb5L",
    "\xce\xde"}};
const UiText ParityOdd = {{"Odd",
    "\xa9_",
    "\xc6\xe6"}};
const UiText ParityEven = {{"Even",
    "\xb0\xb8",
    "\xc5\xbc"}};
const UiText ParityMark = {{"Mark",
    "\xbc\xd0\xb0O",
    "\xb1\xea\xbc\xc7"}};
const UiText ParitySpace = {{"Space",
    "\xaa\xc5\xa5\xd5",
    "\xbf\xd5\xb8\xf1"}};
const UiText FlowHardware = {{"Hardware (RTS/CTS)",
    "\xb5w\xc5\xe9 (RTS/CTS)",
    "\xd3\xb2\xbc\xfe (RTS/CTS)"}};
const UiText FlowSoftware = {{"Software (XON/XOFF)",
    "\xb3n\xc5\xe9 (XON/XOFF)",
    "\xc8\xed\xbc\xfe (XON/XOFF)"}};
const UiText FlowDtrHandshake = {{"DTR handshake",
    "DTR \xa5\xe6\xb4\xa4",
    "DTR \xce\xd5\xca\xd6"}};
const UiText PortSetupOK = {{"OK",
    "\xbdT\xa9w",
    "\xc8\xb7\xb6\xa8"}};
const UiText PortSetupCancel = {{"Cancel",
    "\xa8\xfa\xae\xf8",
    "\xc8\xa1\xcf\xfb"}};
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
    {"StopButton", &StopButton},
    {"ShowAllFiles", &ShowAllFiles},
    {"ReasonColumn", &ReasonColumn},
    {"ReasonEmpty", &ReasonEmpty},
    {"ReasonTooLarge", &ReasonTooLarge},
    {"ReasonTooManyPixels", &ReasonTooManyPixels},
    {"ReasonNotMelody", &ReasonNotMelody},
    {"ReasonNotAnimation", &ReasonNotAnimation},
    {"ReasonNotPicture", &ReasonNotPicture},
    {"ReasonUnknownType", &ReasonUnknownType},
    {"ReasonStillGif", &ReasonStillGif},
    {"ReasonAnimatedGif", &ReasonAnimatedGif},
    {"ReasonGreyJpeg", &ReasonGreyJpeg},
    {"ReasonJpegLayout", &ReasonJpegLayout},
    {"ReasonTruncated", &ReasonTruncated},
    {"ReasonUnreadable", &ReasonUnreadable},
    {"ReasonDamaged", &ReasonDamaged},
    {"FitToPhone", &FitToPhone},
    {"FitNotNeeded", &FitNotNeeded},
    {"FitNotPossible", &FitNotPossible},
    {"FitNotReadable", &FitNotReadable},
    {"FitNoRoom", &FitNoRoom},
    {"FitWriteFailed", &FitWriteFailed},
    {"DropNotSent", &DropNotSent},
    {"DropFitQuestion", &DropFitQuestion},
    {"mPortSetup", &mPortSetup},
    {"PortSetupCaption", &PortSetupCaption},
    {"PortSetupPort", &PortSetupPort},
    {"PortSetupBaudRate", &PortSetupBaudRate},
    {"PortSetupDataBits", &PortSetupDataBits},
    {"PortSetupStopBits", &PortSetupStopBits},
    {"PortSetupParity", &PortSetupParity},
    {"PortSetupFlow", &PortSetupFlow},
    {"PortSetupNone", &PortSetupNone},
    {"ParityOdd", &ParityOdd},
    {"ParityEven", &ParityEven},
    {"ParityMark", &ParityMark},
    {"ParitySpace", &ParitySpace},
    {"FlowHardware", &FlowHardware},
    {"FlowSoftware", &FlowSoftware},
    {"FlowDtrHandshake", &FlowDtrHandshake},
    {"PortSetupOK", &PortSetupOK},
    {"PortSetupCancel", &PortSetupCancel},
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

