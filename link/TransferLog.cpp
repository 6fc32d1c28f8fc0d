#include "link/TransferLog.h"

#include "link/Settings.h"
#include "link/Text.h"

std::string TTransferLog::Path() { return TransferLogFile(); }

bool TTransferLog::Open(uint64_t limit) {
  Close();
  failed_ = false;
  room_ = limit;
  file_ = OpenFileUtf8(Path(), "wb");
  return file_ != nullptr;
}

void TTransferLog::Write(const std::string& bytes) {
  if (!file_ || bytes.empty() || failed_ || room_ == 0) return;
  const size_t n = bytes.size() < room_ ? bytes.size() : static_cast<size_t>(room_);
  room_ -= n;
  if (std::fwrite(bytes.data(), 1, n, file_) != n) failed_ = true;
}

void TTransferLog::Close() {
  if (file_) {
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
  }
}
