#include "content/UiText.h"

#include "link/Settings.h"

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
// The PC side's REMOVE when the account has no trash that can be made.
const UiText TrashNotMade = {{"No trash folder can be made at %1: %2",
    "\xb5L\xaak\xa6" "b %1 \xab\xd8\xa5\xdf\xb8\xea\xb7\xbd\xa6^\xa6\xac\xb5\xa9\xa1G%2",
    "\xce\xde\xb7\xa8\xd4\xda %1 \xb4\xb4\xbd\xa8\xbb\xd8\xca\xd5\xd5\xbe\xa3\xba%2"}};
const UiText TrashInTheWay = {{"a file of that name is in the way",
    "\xa6\xb3\xa6P\xa6W\xaa\xba\xc0\xc9\xae\xd7\xa6\xfb\xa5\xce",
    "\xd3\xd0\xcd\xac\xc3\xfb\xce\xc4\xbc\xfe\xd5\xbc\xd3\xc3"}};
// The end of a batch that Stop or a Disconnect ended: done, of all, not done.
const UiText StoppedSend = {{"Stopped: %1 of %2 sent; not sent: %3",
    "\xa4w\xb0\xb1\xa4\xee\xa1G\xa4w\xb6\xc7\xb0" "e %2 \xad\xd3\xa4\xa4\xaa\xba %1 \xad\xd3\xa1" "F\xa5\xbc\xb6\xc7\xb0" "e\xa1G%3",
    "\xd2\xd1\xcd\xa3\xd6\xb9\xa3\xba\xd2\xd1\xb7\xa2\xcb\xcd %2 \xb8\xf6\xd6\xd0\xb5\xc4 %1 \xb8\xf6\xa3\xbb\xce\xb4\xb7\xa2\xcb\xcd\xa3\xba%3"}};
const UiText StoppedFetch = {{"Stopped: %1 of %2 fetched; not fetched: %3",
    "\xa4w\xb0\xb1\xa4\xee\xa1G\xa4w\xa4U\xb8\xfc %2 \xad\xd3\xa4\xa4\xaa\xba %1 \xad\xd3\xa1" "F\xa5\xbc\xa4U\xb8\xfc\xa1G%3",
    "\xd2\xd1\xcd\xa3\xd6\xb9\xa3\xba\xd2\xd1\xcf\xc2\xd4\xd8 %2 \xb8\xf6\xd6\xd0\xb5\xc4 %1 \xb8\xf6\xa3\xbb\xce\xb4\xcf\xc2\xd4\xd8\xa3\xba%3"}};
const UiText StoppedRemove = {{"Stopped: %1 of %2 removed; not removed: %3",
    "\xa4w\xb0\xb1\xa4\xee\xa1G\xa4w\xa7R\xb0\xa3 %2 \xad\xd3\xa4\xa4\xaa\xba %1 \xad\xd3\xa1" "F\xa5\xbc\xa7R\xb0\xa3\xa1G%3",
    "\xd2\xd1\xcd\xa3\xd6\xb9\xa3\xba\xd2\xd1\xc9\xbe\xb3\xfd %2 \xb8\xf6\xd6\xd0\xb5\xc4 %1 \xb8\xf6\xa3\xbb\xce\xb4\xc9\xbe\xb3\xfd\xa3\xba%3"}};
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
const UiText BackupEntry = {{"Back up phone...",
    "\xb3\xc6\xa5\xf7\xa4\xe2\xbe\xf7...",
    "\xb1\xb8\xb7\xdd\xca\xd6\xbb\xfa..."}};
const UiText RestoreEntry = {{"Restore from backup...",
    "\xb1q\xb3\xc6\xa5\xf7\xc1\xd9\xad\xec...",
    "\xb4\xd3\xb1\xb8\xb7\xdd\xbb\xb9\xd4\xad..."}};
const UiText BackupFolderCaption = {{"Backup Folder",
    "\xb3\xc6\xa5\xf7\xb8\xea\xae\xc6\xa7\xa8",
    "\xb1\xb8\xb7\xdd\xce\xc4\xbc\xfe\xbc\xd0"}};
const UiText RestoreFolderCaption = {{"Backup to Restore",
    "\xadn\xc1\xd9\xad\xec\xaa\xba\xb3\xc6\xa5\xf7",
    "\xd2\xaa\xbb\xb9\xd4\xad\xb5\xc4\xb1\xb8\xb7\xdd"}};
const UiText OperationRunning = {{"Another operation is running; try again when it has ended.",
    "\xa5t\xa4@\xb6\xb5\xa7@\xb7~\xa5\xbf\xa6" "b\xb6i\xa6\xe6\xa1" "A\xbd\xd0\xa6" "b\xb5\xb2\xa7\xf4\xab\xe1\xa6" "A\xb8\xd5\xa1" "C",
    "\xc1\xed\xd2\xbb\xcf\xee\xb2\xd9\xd7\xf7\xd5\xfd\xd4\xda\xbd\xf8\xd0\xd0\xa3\xac\xc7\xeb\xd4\xda\xbd\xe1\xca\xf8\xba\xf3\xd4\xd9\xca\xd4\xa1\xa3"}};
const UiText BackupDone = {{"The phone is backed up in\n%1",
    "\xa4\xe2\xbe\xf7\xa4w\xb3\xc6\xa5\xf7\xa8\xec\n%1",
    "\xca\xd6\xbb\xfa\xd2\xd1\xb1\xb8\xb7\xdd\xb5\xbd\n%1"}};
const UiText OpenFolder = {{"Open folder",
    "\xb6}\xb1\xd2\xb8\xea\xae\xc6\xa7\xa8",
    "\xb4\xf2\xbf\xaa\xce\xc4\xbc\xfe\xbc\xd0"}};
const UiText BackupNotComplete = {{"The backup is not complete. What arrived is in\n%1",
    "\xb3\xc6\xa5\xf7\xa5\xbc\xa7\xb9\xa6\xa8\xa1" "C\xa4w\xa6\xac\xa8\xec\xaa\xba\xc0\xc9\xae\xd7\xa6" "b\n%1",
    "\xb1\xb8\xb7\xdd\xce\xb4\xcd\xea\xb3\xc9\xa1\xa3\xd2\xd1\xca\xd5\xb5\xbd\xb5\xc4\xce\xc4\xbc\xfe\xd4\xda\n%1"}};
const UiText BackupStopped = {{"The backup was stopped. What arrived is in\n%1",
    "\xb3\xc6\xa5\xf7\xa4w\xb0\xb1\xa4\xee\xa1" "C\xa4w\xa6\xac\xa8\xec\xaa\xba\xc0\xc9\xae\xd7\xa6" "b\n%1",
    "\xb1\xb8\xb7\xdd\xd2\xd1\xcd\xa3\xd6\xb9\xa1\xa3\xd2\xd1\xca\xd5\xb5\xbd\xb5\xc4\xce\xc4\xbc\xfe\xd4\xda\n%1"}};
const UiText BackupLeft = {{"Not in the backup:\n%1",
    "\xa5\xbc\xb3\xc6\xa5\xf7\xa1G\n%1",
    "\xce\xb4\xb1\xb8\xb7\xdd\xa3\xba\n%1"}};
const UiText BackupEmptyFolders = {{"Empty on the phone: %1",
    "\xa4\xe2\xbe\xf7\xa4W\xac\xb0\xaa\xc5\xa1G%1",
    "\xca\xd6\xbb\xfa\xc9\xcf\xce\xaa\xbf\xd5\xa3\xba%1"}};
const UiText BackupNoSuites = {{"The phone's suites could not be listed; the backup has no suites.tsv",
    "\xb5L\xaak\xa6" "C\xa5X\xa4\xe2\xbe\xf7\xaa\xba\xaeM\xa5\xf3\xa1" "F\xb3\xc6\xa5\xf7\xa4\xa4\xa8S\xa6\xb3 suites.tsv",
    "\xce\xde\xb7\xa8\xc1\xd0\xb3\xf6\xca\xd6\xbb\xfa\xb5\xc4\xcc\xd7\xbc\xfe\xa3\xbb\xb1\xb8\xb7\xdd\xd6\xd0\xc3\xbb\xd3\xd0 suites.tsv"}};
const UiText RestoreRefused = {{"The backup is not whole; nothing was sent.\nMissing or damaged:\n%1",
    "\xb3\xc6\xa5\xf7\xa4\xa3\xa7\xb9\xbe\xe3\xa1" "A\xa5\xbc\xb6\xc7\xb0" "e\xa5\xf4\xa6\xf3\xc0\xc9\xae\xd7\xa1" "C\n\xbf\xf2\xa5\xa2\xa9\xce\xb7l\xc3" "a\xa1G\n%1",
    "\xb1\xb8\xb7\xdd\xb2\xbb\xcd\xea\xd5\xfb\xa3\xac\xce\xb4\xb7\xa2\xcb\xcd\xc8\xce\xba\xce\xce\xc4\xbc\xfe\xa1\xa3\n\xb6\xaa\xca\xa7\xbb\xf2\xcb\xf0\xbb\xb5\xa3\xba\n%1"}};
const UiText PlanTitle = {{"Restore from backup",
    "\xb1q\xb3\xc6\xa5\xf7\xc1\xd9\xad\xec",
    "\xb4\xd3\xb1\xb8\xb7\xdd\xbb\xb9\xd4\xad"}};
const UiText PlanCounts = {{"Send: %1   Same (name and size, not compared): %2   Clash: %3   Refused: %4",
    "\xb6\xc7\xb0" "e\xa1G%1   \xac\xdb\xa6P\xa1]\xa6W\xba\xd9\xbbP\xa4j\xa4p\xac\xdb\xa6P\xa1" "A\xa5\xbc\xa4\xf1\xb9\xef\xa4\xba\xae" "e\xa1^\xa1G%2   \xbd\xc4\xac\xf0\xa1G%3   \xa9\xda\xb5\xb4\xa1G%4",
    "\xb7\xa2\xcb\xcd\xa3\xba%1   \xcf\xe0\xcd\xac\xa3\xa8\xc3\xfb\xb3\xc6\xd3\xeb\xb4\xf3\xd0\xa1\xcf\xe0\xcd\xac\xa3\xac\xce\xb4\xb1\xc8\xb6\xd4\xc4\xda\xc8\xdd\xa3\xa9\xa3\xba%2   \xb3\xe5\xcd\xbb\xa3\xba%3   \xbe\xdc\xbe\xf8\xa3\xba%4"}};
const UiText PlanActionColumn = {{"Action",
    "\xb0\xca\xa7@",
    "\xb6\xaf\xd7\xf7"}};
const UiText PlanFolderColumn = {{"Folder",
    "\xb8\xea\xae\xc6\xa7\xa8",
    "\xce\xc4\xbc\xfe\xbc\xd0"}};
const UiText PlanNameColumn = {{"Name",
    "\xa6W\xba\xd9",
    "\xc3\xfb\xb3\xc6"}};
const UiText PlanSend = {{"send",
    "\xb6\xc7\xb0" "e",
    "\xb7\xa2\xcb\xcd"}};
const UiText PlanSame = {{"same",
    "\xac\xdb\xa6P",
    "\xcf\xe0\xcd\xac"}};
const UiText PlanClash = {{"clash",
    "\xbd\xc4\xac\xf0",
    "\xb3\xe5\xcd\xbb"}};
const UiText PlanRefuse = {{"refused",
    "\xa9\xda\xb5\xb4",
    "\xbe\xdc\xbe\xf8"}};
const UiText PlanOK = {{"Restore",
    "\xc1\xd9\xad\xec",
    "\xbb\xb9\xd4\xad"}};
const UiText PlanCancel = {{"Cancel",
    "\xa8\xfa\xae\xf8",
    "\xc8\xa1\xcf\xfb"}};
const UiText RestoreDone = {{"The restore is done: %1 sent, %2 left as they were.",
    "\xc1\xd9\xad\xec\xa7\xb9\xa6\xa8\xa1G\xa4w\xb6\xc7\xb0" "e %1 \xad\xd3\xa1" "A%2 \xad\xd3\xabO\xab\xf9\xad\xec\xbc\xcb\xa1" "C",
    "\xbb\xb9\xd4\xad\xcd\xea\xb3\xc9\xa3\xba\xd2\xd1\xb7\xa2\xcb\xcd %1 \xb8\xf6\xa3\xac%2 \xb8\xf6\xb1\xa3\xb3\xd6\xd4\xad\xd1\xf9\xa1\xa3"}};
const UiText RestoreNotComplete = {{"The restore is not complete: %1 sent.",
    "\xc1\xd9\xad\xec\xa5\xbc\xa7\xb9\xa6\xa8\xa1G\xa4w\xb6\xc7\xb0" "e %1 \xad\xd3\xa1" "C",
    "\xbb\xb9\xd4\xad\xce\xb4\xcd\xea\xb3\xc9\xa3\xba\xd2\xd1\xb7\xa2\xcb\xcd %1 \xb8\xf6\xa1\xa3"}};
const UiText RestoreStopped = {{"The restore was stopped: %1 sent.",
    "\xc1\xd9\xad\xec\xa4w\xb0\xb1\xa4\xee\xa1G\xa4w\xb6\xc7\xb0" "e %1 \xad\xd3\xa1" "C",
    "\xbb\xb9\xd4\xad\xd2\xd1\xcd\xa3\xd6\xb9\xa3\xba\xd2\xd1\xb7\xa2\xcb\xcd %1 \xb8\xf6\xa1\xa3"}};
const UiText SuitesToInstall = {{"The phone lacks these suites; install them from the PC:\n%1",
    "\xa4\xe2\xbe\xf7\xaf\xca\xa4\xd6\xa5H\xa4U\xb5{\xa6\xa1\xb2\xd5\xa1" "A\xbd\xd0\xb1q\xb9q\xb8\xa3\xa6w\xb8\xcb\xa1G\n%1",
    "\xca\xd6\xbb\xfa\xc8\xb1\xc9\xd9\xd2\xd4\xcf\xc2\xb3\xcc\xd0\xf2\xd7\xe9\xa3\xac\xc7\xeb\xb4\xd3\xb5\xe7\xc4\xd4\xb0\xb2\xd7\xb0\xa3\xba\n%1"}};
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
    {"TrashNotMade", &TrashNotMade},
    {"TrashInTheWay", &TrashInTheWay},
    {"StoppedSend", &StoppedSend},
    {"StoppedFetch", &StoppedFetch},
    {"StoppedRemove", &StoppedRemove},
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
    {"BackupEntry", &BackupEntry},
    {"RestoreEntry", &RestoreEntry},
    {"BackupFolderCaption", &BackupFolderCaption},
    {"RestoreFolderCaption", &RestoreFolderCaption},
    {"OperationRunning", &OperationRunning},
    {"BackupDone", &BackupDone},
    {"OpenFolder", &OpenFolder},
    {"BackupNotComplete", &BackupNotComplete},
    {"BackupStopped", &BackupStopped},
    {"BackupLeft", &BackupLeft},
    {"BackupEmptyFolders", &BackupEmptyFolders},
    {"BackupNoSuites", &BackupNoSuites},
    {"RestoreRefused", &RestoreRefused},
    {"PlanTitle", &PlanTitle},
    {"PlanCounts", &PlanCounts},
    {"PlanActionColumn", &PlanActionColumn},
    {"PlanFolderColumn", &PlanFolderColumn},
    {"PlanNameColumn", &PlanNameColumn},
    {"PlanSend", &PlanSend},
    {"PlanSame", &PlanSame},
    {"PlanClash", &PlanClash},
    {"PlanRefuse", &PlanRefuse},
    {"PlanOK", &PlanOK},
    {"PlanCancel", &PlanCancel},
    {"RestoreDone", &RestoreDone},
    {"RestoreNotComplete", &RestoreNotComplete},
    {"RestoreStopped", &RestoreStopped},
    {"SuitesToInstall", &SuitesToInstall},
};
const int kEntryCount = static_cast<int>(sizeof kAllEntries / sizeof kAllEntries[0]);
}  // namespace uitext

const char* UiBytes(const UiText& entry, int languageIndex) {
  if (languageIndex < 0 || languageIndex > 2) languageIndex = 0;
  return entry.text[languageIndex];
}

const char* UiBytes(const UiText& entry) { return UiBytes(entry, UiLanguage()); }

int& UiLanguage() {
  static int language = 0;
  return language;
}

void LoadLanguage() {
  UiLanguage() = 0;
  if (!ConnectKeyExists()) {
    UiLanguage() = SystemLanguageIndex();
    WriteConnectValue("Language", LanguageCode(UiLanguage()));
    return;
  }
  int code = 0;
  if (!ReadConnectValue("Language", &code)) return;  // key without the value: English
  switch (code) {
    case 9: UiLanguage() = 0; break;
    case 1028: UiLanguage() = 1; break;
    case 2052: UiLanguage() = 2; break;
    default: break;
  }
}

int LanguageIndexOfLocale(const std::string& name) {
  std::string n;
  for (char c : name) {
    if (c == '.' || c == '@') break;  // encoding and modifier say nothing here
    n += c == '-' ? '_' : static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  if (n != "zh" && n.rfind("zh_", 0) != 0) return 0;
  const std::string rest = n.size() > 2 ? n.substr(2) + "_" : "";
  for (const char* traditional : {"_hant_", "_tw_", "_hk_", "_mo_"})
    if (rest.find(traditional) != std::string::npos) return 1;
  return 2;
}

int LanguageIndexOfLangId(unsigned langId) {
  if ((langId & 0x3ff) != 0x04) return 0;  // not Chinese
  switch (langId >> 10) {
    case 0x01:  // Taiwan
    case 0x03:  // Hong Kong
    case 0x05:  // Macao
    case 0x1f:  // Traditional, no region
      return 1;
    default:
      return 2;
  }
}

int LanguageCode(int languageIndex) {
  switch (languageIndex) {
    case 1: return 1028;
    case 2: return 2052;
    default: return 9;
  }
}

void ChooseLanguage(int languageIndex) {
  if (languageIndex < 0 || languageIndex > 2) languageIndex = 0;
  WriteConnectValue("Language", LanguageCode(languageIndex));
  UiLanguage() = languageIndex;
}


const char* UiEncodingName(int languageIndex) {
  switch (languageIndex) {
    case 1: return "Big5";
    case 2: return "GB2312";
    default: return "US-ASCII";
  }
}

