// Selecting a phone folder and reading its listing.
#include <string>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/PhoneFiles.h"
#include "link/Text.h"
#include "link/Transfers.h"

std::string ListedSizeText(std::string_view listed, int32_t size) {
  if (size == kUnreadableSize) return "(" + std::string(listed) + ")";
  return std::to_string(size);
}

std::string UnreadableSizeMessage(const std::string& name, const std::string& listed) {
  return "Unreadable size in the phone's listing: " + name + (listed.empty() ? "" : " " + listed);
}

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
      const std::string_view digits = std::string_view(text).substr(open + 1, close - open - 1);
      // A size that cannot be read bounds nothing: never taken as 0, which
      // would be a promise of an empty file.
      e.size = ParseDecimal(digits, false).value_or(kUnreadableSize);
      e.sizeText = ListedSizeText(digits, e.size);
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

TResult SelectPhoneFolder(TLink& link, TPageState& pages, int folder) {
  pages.PhoneListKnown = false;  // the list read before belongs to the folder before
  TExchangeOptions options;
  options.purgeFirst = true;
  TResult result = link.Exchange(TStep::SelectFolder, command::SelectFolder(folder), TWaitRule{StateBit(rsOk), 500, 10, false},
                            options);
  if (result.outcome == TOutcome::TimedOut) ReturnToLogo(link.View());
  return result;
}

TResult ListPhoneFolder(TLink& link, TPageState& pages, TListShow show) {
  pages.PhoneFileList.Clear();
  pages.PhoneListKnown = false;
  link.View().SetStatusLabel("Get Mobile Info...");
  TResult result = link.Exchange(TStep::ListFolder, command::ListFolder(), TWaitRule{StateBit(rsOk), 4000, 10, false});
  if (result.Quiet()) return result;
  if (!result.Ok()) {
    link.View().HideStatusLabel();
    return result;
  }
  link.View().SetStatusLabel("Parse Mobile Info...");
  TListingResult listing = ParseListing(result.reply);
  for (const TListingEntry& e : listing.entries) {
    pic_info* info = pages.PhoneFileList.Append();
    info->Name = e.name;
    info->Size = e.size;
    info->SizeText = e.sizeText;
  }
  if (listing.outcome != TListingOutcome::Ok) {
    if (listing.outcome == TListingOutcome::ParseError) link.View().ShowMessage("ParseError");
    else if (show == TListShow::Page) link.View().ShowMessage("No Files on Mobile");
    link.View().HideStatusLabel();
    // No files is a listing all the same; a half-read one is not.
    pages.PhoneListKnown = listing.outcome == TListingOutcome::NoFiles;
    return pages.PhoneListKnown ? result : TResult::Of(TOutcome::Failed, result.reply);
  }
  if (show == TListShow::Page)
    for (pic_info* e = pages.PhoneFileList.First(); e; e = e->next.get())
      link.View().AddListRow(TListId::PhoneFiles, {e->Name, e->SizeText});
  link.View().HideStatusLabel();
  pages.PhoneListKnown = true;
  return result;
}
