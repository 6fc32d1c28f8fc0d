#pragma once
// The transfer trace, LAD.log: raw bytes of the lines sent and the replies
// handled during the latest upload, download or installation.
#include <cstdint>
#include <cstdio>
#include <string>

class TTransferLog {
 public:
  TTransferLog() = default;
  ~TTransferLog() { Close(); }
  TTransferLog(const TTransferLog&) = delete;
  TTransferLog& operator=(const TTransferLog&) = delete;

  // "C:\LAD.log" on Windows, LAD.log in the home directory elsewhere.
  static std::string Path();
  // Starts the trace anew; false when the file cannot be written. It
  // takes at most 'limit' bytes: the rest is left out, so a phone that
  // talks for ever cannot fill the disk through it.
  bool Open(uint64_t limit = UINT64_MAX);
  // A write that fails stops the trace: what it holds is a true prefix.
  void Write(const std::string& bytes);
  void Close();
  // Some of the trace since Open() was lost (a write or the close failed);
  // stays so after Close() until the next Open().
  bool Failed() const { return failed_; }
  // Failed(), once: the end of a transfer tells it and forgets it.
  bool TakeFailed() {
    const bool failed = failed_;
    failed_ = false;
    return failed;
  }

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
  uint64_t room_ = 0;  // bytes the trace may still take
};
