#pragma once
// The three-language text table of the main window and the About box.
// Each entry holds English (ASCII), Traditional Chinese (Big5) and
// Simplified Chinese (GB2312) as zero-terminated byte strings; they stay
// bytes until the moment they are put on a window.
#include <string>

struct UiText {
  const char* text[3];  // [language]
};

// Bytes of an entry in the given language (0..2); out of range -> English.
const char* UiBytes(const UiText& entry, int languageIndex);
// Bytes of an entry in the language chosen now.
const char* UiBytes(const UiText& entry);

// The language the texts are shown in now: 0 English, 1 Traditional
// Chinese, 2 Simplified Chinese.
int& UiLanguage();
// Language code of the settings store -> UiLanguage(). A missing key means
// a first start: the system's language when it is one of the three, else
// English, for this run, and the key is created with its code.
void LoadLanguage();
// Language index of a locale name ("zh_TW.UTF-8", "zh-Hant", "en_US"):
// Chinese by its script or region, anything else English.
int LanguageIndexOfLocale(const std::string& name);
// Language index of a Windows language identifier (0x0404, 0x0804, ...).
int LanguageIndexOfLangId(unsigned langId);
// Settings code of a language (9, 1028, 2052); out of range -> English.
int LanguageCode(int languageIndex);
// The user's choice: stored in the settings store and used from now on.
void ChooseLanguage(int languageIndex);
// The byte encoding used by a language column: "US-ASCII", "Big5", "GB2312".
const char* UiEncodingName(int languageIndex);

namespace uitext {
// application title and main window caption
extern const UiText ProductName;
// title bar on the logo page
extern const UiText LogoTitle;
extern const UiText mExit;
extern const UiText mConnection1;
extern const UiText Connect1;
extern const UiText Disconnect1;
extern const UiText mConnSetting;
// also the port part of status panel 0 for the automatic choice
extern const UiText mAuto;
extern const UiText mHelp;
extern const UiText mAbout;
// title of the language menu (its entries are not in the table)
extern const UiText mLanguage;
// hint and title bar text
extern const UiText Ring_Button;
extern const UiText Animation_Button;
extern const UiText DC_PIC_ToolButton;
extern const UiText LocalAppDW_Button;
// status panel 0, before ": "
extern const UiText StatusPortCaption;
// status panel 1, before ": "
extern const UiText StatusLinkCaption;
extern const UiText StatusConnected;
extern const UiText StatusDisconnected;
// status panel 2
extern const UiText StatusMaker;
extern const UiText AboutCaption;
extern const UiText AboutProductName;
extern const UiText AboutVersion;
extern const UiText AboutNotice;
extern const UiText AboutOKButton;
// "Show all files" on the content page and the reasons it shows
// the progress panel's button that ends a running batch or install
extern const UiText StopButton;
extern const UiText ShowAllFiles;
extern const UiText ReasonColumn;
extern const UiText ReasonEmpty;
extern const UiText ReasonTooLarge;
extern const UiText ReasonTooManyPixels;
extern const UiText ReasonNotMelody;
extern const UiText ReasonNotAnimation;
extern const UiText ReasonNotPicture;
extern const UiText ReasonUnknownType;
extern const UiText ReasonStillGif;
extern const UiText ReasonAnimatedGif;
extern const UiText ReasonGreyJpeg;
extern const UiText ReasonJpegLayout;
extern const UiText ReasonTruncated;
extern const UiText ReasonUnreadable;
extern const UiText ReasonDamaged;
// "Fit to phone" and its refusals
extern const UiText FitToPhone;
extern const UiText FitNotNeeded;
extern const UiText FitNotPossible;
extern const UiText FitNotReadable;
extern const UiText FitNoRoom;
extern const UiText FitWriteFailed;
// Files dropped on the phone list
extern const UiText DropNotSent;
extern const UiText DropFitQuestion;
// The PC side's REMOVE: no trash folder could be made
extern const UiText TrashNotMade;
extern const UiText TrashInTheWay;
// A batch ended by Stop or a Disconnect: done, of all, not done
extern const UiText StoppedSend;
extern const UiText StoppedFetch;
extern const UiText StoppedRemove;
// The port set-up entry of the menu and its dialog; None serves the
// parity and the flow control lists alike.
extern const UiText mPortSetup;
extern const UiText PortSetupCaption;
extern const UiText PortSetupPort;
extern const UiText PortSetupBaudRate;
extern const UiText PortSetupDataBits;
extern const UiText PortSetupStopBits;
extern const UiText PortSetupParity;
extern const UiText PortSetupFlow;
extern const UiText PortSetupNone;
extern const UiText ParityOdd;
extern const UiText ParityEven;
extern const UiText ParityMark;
extern const UiText ParitySpace;
extern const UiText FlowHardware;
extern const UiText FlowSoftware;
extern const UiText FlowDtrHandshake;
extern const UiText PortSetupOK;
extern const UiText PortSetupCancel;
// Backing the phone up and restoring it (Connection menu)
extern const UiText BackupEntry;
extern const UiText RestoreEntry;
extern const UiText BackupFolderCaption;
extern const UiText RestoreFolderCaption;
extern const UiText OperationRunning;
extern const UiText BackupDone;
extern const UiText OpenFolder;
extern const UiText BackupNotComplete;
extern const UiText BackupStopped;
extern const UiText BackupLeft;
extern const UiText BackupEmptyFolders;
extern const UiText BackupNoSuites;
extern const UiText RestoreRefused;
extern const UiText PlanTitle;
extern const UiText PlanCounts;
extern const UiText PlanActionColumn;
extern const UiText PlanFolderColumn;
extern const UiText PlanNameColumn;
extern const UiText PlanSend;
extern const UiText PlanSame;
extern const UiText PlanClash;
extern const UiText PlanRefuse;
extern const UiText PlanOK;
extern const UiText PlanCancel;
extern const UiText RestoreDone;
extern const UiText RestoreNotComplete;
extern const UiText RestoreStopped;
extern const UiText SuitesToInstall;
// Every entry, for checks over the whole table.
struct TNamedEntry {
  const char* name;
  const UiText* entry;
};
extern const TNamedEntry kAllEntries[];
extern const int kEntryCount;
}  // namespace uitext
