#pragma once
// The command side of the virtual phone: one received line in, the reply
// text out. No I/O on the line here, so the transport decides about echo,
// pacing and bursts.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "PhoneSim.h"

namespace phonesim {

// Helpers shared with the tests of the wire format.
std::string PacketNumber(int n);          // "01".."FF", then "F0", "F1", ...
std::string HexUpper(const std::string& bytes);
uint32_t CharSum(const std::string& text);
std::string Hex4(uint32_t value);         // four upper-case digits
// Attribute of a descriptor text ("Key: value" lines), or nullopt.
std::optional<std::string> JadAttribute(const std::string& jad, const std::string& key);

struct Reply {
  std::string text;            // empty: no reply at all
  // Where a reply may be cut in two bursts without changing how the PC
  // classifies the first one; 0 = anywhere (the middle is used).
  size_t safeSplit = 0;
};

class PhoneEngine {
 public:
  static constexpr size_t kPacketBytes = 90;
  static constexpr size_t kMaxFileSize = 64u << 20;

  explicit PhoneEngine(std::string root);

  Reply Handle(const std::string& line, const Options& options);
  // Drop any transfer in progress (a forced error or a hang-up).
  void AbortTransfers();
  int SelectedFolder() const { return folder_; }

 private:
  enum class UploadKind { File, Descriptor, Archive };
  struct Upload {
    UploadKind kind = UploadKind::File;
    std::string name;
    int folder = 1;
    size_t size = 0;
    std::string data;
    int next = 1;        // packet number expected next
    int rejected = 0;    // injected rejections so far
  };
  struct Download {
    std::string data;
    int count = 0;       // packets in the file
    int sent = 0;        // packet number sent last in turn
    int corrupted = 0;   // injected corruptions so far
    bool repeated = false;
    bool swapped = false;
    int swapBack = 0;    // the packet skipped by the swap, sent next
    bool rang = false;   // the stray line inside a packet went out
  };
  struct Descriptor {
    std::string name;
    std::string text;
  };

  Reply List(const Options& options) const;
  Reply Select(const std::string& arg);
  Reply Remove(const std::string& args, const Options& options);
  Reply UploadRequest(const std::string& args, const Options& options);
  Reply UploadPacket(const std::string& body, const Options& options);
  Reply FinishUpload(const Options& options);
  Reply DownloadRequest(const std::string& args, const Options& options);
  Reply NextPacket(const Options& options);
  Reply Resend(const Options& options);
  // The packet due in turn (or the one after it, for the swap fault).
  Reply DuePacket(int n, const Options& options);
  Reply PacketReply(int n, const Options& options);
  Reply SuiteList(const Options& options) const;
  Reply Install(const std::string& archiveName, const std::string& archive, const Options& options);
  Reply Uninstall(const std::string& name);

  std::string FolderPath(int folder) const;
  // The stored name a PC name stands for: itself, or on a phone that ignores
  // case, the name already there that differs only in case.
  std::string StoredName(int folder, const std::string& name, const Options& options) const;

  std::string root_;
  int folder_ = 1;
  std::optional<Upload> upload_;
  std::optional<Download> download_;
  Reply lastPacket_;                    // for AT*D_ERR
  std::optional<Descriptor> descriptor_;  // waiting for its archive
};

}  // namespace phonesim
