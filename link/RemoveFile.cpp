// Removing a file from the selected phone folder.
#include <string>

#include "link/Commands.h"
#include "link/Link.h"
#include "link/PhoneFiles.h"
#include "link/Transfers.h"

TResult RemovePhoneFile(TLink& link, const std::string& name) {
  if (!IsSafeCommandName(name)) {
    link.View().ShowMessage(InvalidNameMessage(name));
    return TResult::Of(TOutcome::Failed);
  }
  link.View().SetStatusLabel("Remove " + name);
  TResult result = link.Exchange(TStep::RemoveFile, command::Remove(name), TWaitRule{StateBit(rsOk), 5000, 10, false});
  if (!result.Quiet()) link.View().HideStatusLabel();
  return result;
}
