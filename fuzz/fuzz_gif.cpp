// GIF frame counter on any bytes. A decode error is the intended answer to
// a bad file; any other exception or a sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "FuzzSupport.h"
#include "content/GifFrames.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  try {
    const int frames = gif::CountFrames(bytes);
    FUZZ_CHECK(frames >= 0);
    // A frame needs at least a 10-byte image descriptor and its data.
    FUZZ_CHECK(static_cast<size_t>(frames) <= size / 10 + 1);
    // Counting is over the block structure alone: the same bytes with the
    // trailer added after a clean end give the same count.
    const std::string closed = std::string(bytes) + "\x3B";
    FUZZ_CHECK(gif::CountFrames(closed) == frames);
  } catch (const std::runtime_error& e) {
    FUZZ_CHECK(std::string_view(e.what()).substr(0, 18) == "GIF decode error: ");
  }
  return 0;
}
