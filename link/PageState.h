#pragma once
// What the pages of a session share, apart from the link: the phone folder
// chosen, the PC folder and whether it was asked for, and what the selected
// phone folder holds. The window, the command line and the tests each keep
// one beside their link; the link itself is only the way to the phone.
#include <atomic>
#include <string>

#include "link/InfoList.h"

struct TPageState {
  std::atomic<int> FolderNumber{1};  // the window reads it for its pictures
  bool FolderAsked = false;
  std::string PcFolder;
  // What the selected phone folder holds: set only by a listing that
  // succeeded; any other end of a listing, and a new folder selection,
  // leave it unknown. An upload never decides on an unknown list.
  TPicList PhoneFileList;
  bool PhoneListKnown = false;
};
