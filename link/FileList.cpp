// Phone folder commands: select, list, remove.
#include <string>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/Text.h"
#include "link/Transfers.h"

TListingResult ParseListing(const std::string& text) {
  TListingResult r;
  const size_t len = text.size();
  size_t p = 0;
  while (p < len) {
    size_t lt = text.find('<', p);
    if (lt == std::string::npos) {
      if (r.entries.empty()) r.outcome = TListingOutcome::NoFiles;
      return r;
    }
    p = lt;
    char mark = lt + 1 < len ? text[lt + 1] : '\0';
    if (mark == 'F') {
      size_t gt = text.find('>', lt + 2);
      if (gt == std::string::npos) {
        r.outcome = TListingOutcome::ParseError;
        return r;
      }
      size_t start = gt + 1;
      while (start < len && text[start] == ' ') ++start;
      // The size is the last bracket of the entry's line, so a name may
      // hold brackets itself ("ERROR (2).gif (17)").
      size_t eol = text.find_first_of("\r\n", start);
      size_t open = text.rfind('(', eol == std::string::npos ? std::string::npos : eol - 1);
      if (open == std::string::npos || open < start || (eol != std::string::npos && open > eol))
        open = text.find('(', start);
      if (open == std::string::npos) {
        r.outcome = TListingOutcome::ParseError;
        return r;
      }
      size_t close = text.find(')', open + 1);
      if (close == std::string::npos) {
        r.outcome = TListingOutcome::ParseError;
        return r;
      }
      TListingEntry e;
      // The character before "(" is the separator, not part of the name.
      if (open > start) e.name = text.substr(start, open - 1 - start);
      e.size = ParseDecimal(std::string_view(text).substr(open + 1, close - open - 1), false).value_or(0);
      r.entries.push_back(std::move(e));
      p = open + 1;
    } else {
      // "<D" and unknown marks: step past the "<" so the search moves on.
      p = lt + 1;
    }
  }
  // Ran off the end of the text (empty, or ending in "<"): whatever was read.
  return r;
}

void TLink::SelectPhoneFolder(int folder) {
  BeginExchange(rsWaiting);
  bool sent = true;
  try {
    ComPort1.ClearBuffer(true, true);
  } catch (const EComPort&) {
    sent = false;
  }
  if (sent) sent = SendLine(command::SelectFolder(folder));
  if (!sent) {
    FailWrite("COM port exception while send change folder cmd");
    return;
  }
  switch (WaitReply(TWaitRule{StateBit(rsOk), 500, 10, false})) {
    case TWaitEnd::Aborted:
    case TWaitEnd::Awaited:
      return;
    case TWaitEnd::Error:
      View().ShowMessage("Change Folder on Mobile failed");
      return;
    case TWaitEnd::Timeout:
      View().ShowMessage("Change Folder Timeout");
      View().ShowMessage(Reply.Text());
      View().ShowPage(TPage::Logo);
      View().SetTitleBar(TTitle::Product);
      return;
  }
}

void TLink::ListPhoneFolder() {
  PhoneFileList.Clear();
  BeginExchange(rsWaiting);
  View().SetStatusLabel("Get Mobile Info...");
  if (!SendLine(command::ListFolder())) {
    FailWrite("COM port exception while query dir");
    return;
  }
  switch (WaitReply(TWaitRule{StateBit(rsOk), 4000, 10, false})) {
    case TWaitEnd::Aborted:
      return;
    case TWaitEnd::Error:
      View().ShowMessage("Get_List_Error");
      View().HideStatusLabel();
      return;
    case TWaitEnd::Timeout:
      View().ShowMessage("Get_List_Timeout");
      View().ShowMessage(Reply.Text());
      View().HideStatusLabel();
      return;
    case TWaitEnd::Awaited:
      break;
  }
  View().SetStatusLabel("Parse Mobile Info...");
  TListingResult listing = ParseListing(Reply.Text());
  for (const TListingEntry& e : listing.entries) {
    pic_info* info = PhoneFileList.Append();
    info->Name = e.name;
    info->Size = e.size;
  }
  if (listing.outcome == TListingOutcome::ParseError) {
    View().ShowMessage("ParseError");
    View().HideStatusLabel();
    return;
  }
  if (listing.outcome == TListingOutcome::NoFiles) {
    View().ShowMessage("No Files on Mobile");
    View().HideStatusLabel();
    return;
  }
  for (pic_info* e = PhoneFileList.First(); e; e = e->next.get())
    View().AddListRow(TListId::PhoneFiles, {e->Name, std::to_string(e->Size)});
  View().HideStatusLabel();
}

void TLink::RemovePhoneFile(const std::string& name) {
  if (!IsSafeCommandName(name)) {
    View().ShowMessage("Invalid file name");
    return;
  }
  BeginExchange(rsWaiting);
  if (!SendLine(command::Remove(name))) {
    FailWrite("COM port exception while send FRMV");
    return;
  }
  View().SetStatusLabel("Remove " + name);
  switch (WaitReply(TWaitRule{StateBit(rsOk), 5000, 10, false})) {
    case TWaitEnd::Aborted:
      return;
    case TWaitEnd::Awaited:
      break;
    case TWaitEnd::Error:
      View().ShowMessage("File_Remove_ERR");
      break;
    case TWaitEnd::Timeout:
      View().ShowMessage("File_Remove_timeout");
      break;
  }
  View().HideStatusLabel();
}
