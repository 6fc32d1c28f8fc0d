// The transfer trace: raw bytes of the lines sent and the replies handled
// during the latest upload, download or installation.
#include <cstdlib>
#include <string>

#include "link/Link.h"
#include "link/Settings.h"

std::string TLink::TransferLogPath() { return TransferLogFile(); }

bool TLink::OpenTransferLog() {
  CloseTransferLog();
  log_ = std::fopen(TransferLogPath().c_str(), "wb");
  return log_ != nullptr;
}

void TLink::LogBytes(const std::string& bytes) {
  if (log_ && !bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), log_);
}

void TLink::CloseTransferLog() {
  if (log_) {
    std::fclose(log_);
    log_ = nullptr;
  }
}
