// Content page header filter: the first bytes of a PC file judged for each
// folder number (including ones out of range). The reader fills the whole
// buffer it is handed before copying, so a caller that asks for more than
// its buffer holds is caught by the address checker.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "content/GifFrames.h"
#include "content/PcScan.h"

namespace {

const char* const kNames[] = {"tune.mid", "anim.gif", "photo.jpg", "icon.bmp", "logo.wbmp", "LOGO.WBMP", "x", ""};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view name = kNames[data[0] % (sizeof kNames / sizeof kNames[0])];
  // Bit 3 of the first byte: the size the directory reported is stale
  // (the file shrank or grew after stat).
  const bool stale = data[0] & 0x08;
  const std::string_view file(reinterpret_cast<const char*>(data) + 1, size - 1);
  const int64_t reported = stale ? static_cast<int64_t>(file.size()) / 2 + 7 : static_cast<int64_t>(file.size());

  size_t reads = 0;
  const pcscan::TByteReader read = [&](uint64_t offset, unsigned char* buf, size_t n) -> size_t {
    ++reads;
    FUZZ_CHECK(buf != nullptr);
    std::memset(buf, 0xA5, n);
    if (offset >= file.size()) return 0;
    const size_t got = std::min<uint64_t>(n, file.size() - offset);
    std::memcpy(buf, file.data() + offset, got);
    return got;
  };

  for (int folder = 0; folder <= 4; ++folder) {
    reads = 0;
    const pcscan::TVerdict v = pcscan::JudgeHeader(folder, name, reported, read);
    // The JPEG search reads the file once in pieces; nothing else rereads
    // it, but for the walk over at most 64 segment headers (and the frame's
    // component count) that explains a refused JPEG.
    FUZZ_CHECK(reads <= file.size() / (pcscan::kJpegChunk - 2) + 4 + 65);
    if (folder < 1 || folder > 3) FUZZ_CHECK(v == pcscan::TVerdict::NotListed);
    if (v == pcscan::TVerdict::NeedAnimatedGif) FUZZ_CHECK(folder == 2);
    if (v == pcscan::TVerdict::NeedStillGif) FUZZ_CHECK(folder == 3);
    if (v == pcscan::TVerdict::OperationError) FUZZ_CHECK(reported < 18);
    if (v == pcscan::TVerdict::NeedAnimatedGif || v == pcscan::TVerdict::NeedStillGif) {
      try {
        const int frames = gif::CountFrames(file);
        static_cast<void>(pcscan::FramesAccepted(v, frames));
      } catch (const std::runtime_error& e) {
        FUZZ_CHECK(std::string_view(e.what()).substr(0, 18) == "GIF decode error: ");
      }
    }
  }
  return 0;
}
