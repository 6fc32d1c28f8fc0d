#pragma once
// The Java MIDlet page (descriptors on the PC, suites on the phone) and
// the units it runs: the suite list, install, update and uninstall.
#include <cstdint>
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "link/Link.h"
#include "link/PageState.h"
#include "link/PhoneFiles.h"

// One MIDlet suite found on the PC.
struct MIDlet_Info {
  std::string name;
  std::string version;
  std::string jadPath;
  std::string jarPath;
  int32_t jarSize = 0;
  int32_t status = 0;  // 0 not on the phone, 1 same version, 2 phone older, 3 phone newer
  // An archive without a .jad: the descriptor made from its manifest, sent
  // under jadPath's name (which is not on disk). Empty for a .jad suite.
  std::string madeDescriptor;
  std::unique_ptr<MIDlet_Info> next;
};

// One MIDlet suite installed on the phone.
struct Mobile_info {
  std::string name;
  std::string version;
  std::string url;
  int32_t size = 0;
  std::unique_ptr<Mobile_info> next;
};

// Value of an attribute in a descriptor's text; false when no line carries the key.
bool GetJadAttribute(const std::string& text, const std::string& key, std::string* value);
// Leading blanks, optional sign, digits up to the first other character; none gives 0.
int32_t LenientToInt(const std::string& text);
// Opens a suite file for binary reading; null unless it is a regular file
// (links followed). A pipe or device never holds the caller up.
std::FILE* OpenSuiteFile(const std::string& path);
// 1 same, 2 phone older than PC, 3 phone newer. Parts are compared as
// numbers of any length.
int CompareMidletVersions(const std::string& pcVersion, const std::string& phoneVersion);
const char* StatusMark(int status);

// Strict decimal conversion of a number the phone sends: optional sign and
// digits only, within 32 bits. Anything else throws std::invalid_argument
// with the text "'<text>' is not a valid integer value".
int32_t StrictToInt(const std::string& text);
// A suite listing whose SIZE: text is not a number: the phone's fault.
// what() is the conversion's own text, as StrictToInt throws it; Suite()
// names the suite whose field it was.
class TSuiteListError : public std::invalid_argument {
 public:
  TSuiteListError(std::string suite, std::string sizeText);
  const std::string& Suite() const { return suite_; }
  // One line for people: the suite and the text it was listed with.
  std::string Describe() const;

 private:
  std::string suite_, sizeText_;
};
// Removes one packet seam (4 characters, "*FDWN:", 4 characters) from a value.
std::string RemoveListingSeam(const std::string& value);
// Parses the phone's suite listing (URL:/NAME:/SIZE:/VERSION: fields) and
// appends one record per suite to list. Returns false when the text ended
// inside a record (that record stays, its missing fields empty, size 0).
// A SIZE: text that is not a number throws TSuiteListError.
bool ParsePhoneSuiteList(const std::string& text, TInfoList<Mobile_info>& list);

// ---- The operations on the phone's suites, each one unit over the link ----
// The link check, then the phone's Java folder selected; false (its texts
// shown) when either failed. An unanswered check or selection leaves the
// Logo page.
TResult OpenJavaFolder(TLink& link);
// Reads the suites of the selected Java folder into 'suites' and, for the
// page, the phone list view. A listing that cannot be read as numbers
// throws TSuiteListError.
TResult ListPhoneSuites(TLink& link, TInfoList<Mobile_info>& suites, TListShow show = TListShow::Page);
// Removes the phone's suite of that name.
TResult UninstallSuite(TLink& link, const std::string& name);

// How an installation's transfer ended.
struct TInstallEnd {
  TResult result;
  bool packetUnanswered = false;  // an archive packet's wait ran out
  bool refresh = false;           // the lists must show the phone anew
  bool oldRemoved = false;        // an update removed the phone's older suite
};
// Sends a PC suite (descriptor, then archive) after checking its files;
// replaceOld removes the phone's older suite once every check of the PC
// side has passed. The ending (bars, buttons, a failed transfer's port) is
// done here; the refresh it asks for is the page's.
TInstallEnd InstallSuiteFiles(TLink& link, const MIDlet_Info& suite, bool replaceOld);
// The bare name a suite's file is sent under: the phone never sees the PC folder.
std::string SuiteFileName(const std::string& path);
// What a failed update adds to the phone's own message: the old version is gone.
std::string OldSuiteRemovedMessage(const std::string& name, const std::string& version);

class TMidletPage {
 public:
  TMidletPage(TLink& link, TPageState& pages) : link_(link), pages_(pages) {}

  TInfoList<MIDlet_Info> PcSuites;      // PC suite list
  TInfoList<Mobile_info> PhoneSuites;   // phone suite list

  // Descriptor catalogue.
  void LocalAppDL_ViewPcOperation();
  void LocalAppDL_CompareVersions();
  // Both files of the selected PC suite to the trash, through the view;
  // Ok when both went (Declined: nothing selected).
  TResult LAD_PC_Remove_ButtonClick();
  // Phone list and refresh.
  void LocalAppDW_ButtonClick();
  // The page's lists anew: Ok when the phone's suites were listed.
  TResult LocalAppDL_RefreshPage();
  // Uninstalls the selected phone suite (Declined: nothing selected).
  TResult LocalAppDL_REMOVE_ButtonClick();
  // Installs or updates the selected PC suite (Declined: nothing selected).
  TResult LAD_ONE_ButtonClick();
  // Installs a PC suite, or updates the phone's older one after asking;
  // the page is refreshed after a transfer. Ok only when every step went
  // through and the refreshed phone list shows the suite.
  TResult InstallSuite(MIDlet_Info& suite);
  // Removes a phone suite; the page is refreshed when the phone did.
  TResult UninstallSuite(const Mobile_info& suite);

 private:
  TResult RunInstall(MIDlet_Info& suite, bool replaceOld);
  // The refreshed phone list holds the suite in this version.
  bool SuiteOnPhone(const std::string& name, const std::string& version) const;
  // The suite of the first selected PC row; "No MIDlet on PC be selected" and null without one.
  MIDlet_Info* SelectedPcSuite();

  TLink& link_;
  TPageState& pages_;
};
