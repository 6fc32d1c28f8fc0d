#include "link/TransferLog.h"

#include "link/Settings.h"

std::string TTransferLog::Path() { return TransferLogFile(); }

bool TTransferLog::Open() {
  Close();
  file_ = std::fopen(Path().c_str(), "wb");
  return file_ != nullptr;
}

void TTransferLog::Write(const std::string& bytes) {
  if (file_ && !bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file_);
}

void TTransferLog::Close() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
}
