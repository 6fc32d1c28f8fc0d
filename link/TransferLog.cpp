#include "link/TransferLog.h"

#include "link/Settings.h"
#include "link/Text.h"

std::string TTransferLog::Path() { return TransferLogFile(); }

bool TTransferLog::Open() {
  Close();
  failed_ = false;
  file_ = OpenFileUtf8(Path(), "wb");
  return file_ != nullptr;
}

void TTransferLog::Write(const std::string& bytes) {
  if (!file_ || bytes.empty() || failed_) return;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
}

void TTransferLog::Close() {
  if (file_) {
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
  }
}
