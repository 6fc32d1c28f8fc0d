// The end step shared by upload and download.
#include "link/Link.h"
#include "link/PhoneFiles.h"

void FinishTransfer(TLink& link) {
  link.View().HideStatusLabel();
  link.TransferLog().Close();
  // A trace that could not be written is told; the transfer stands.
  if (link.TransferLog().TakeFailed()) link.View().ShowMessage("Write log Err");
  if (link.Reply().State() != rsOk) link.CloseAfterFailedTransfer(2000);
}
