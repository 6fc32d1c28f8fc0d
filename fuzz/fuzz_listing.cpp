// Phone folder listing: "<F> name (size)" entries among anything else.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzSupport.h"
#include "link/Transfers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const TListingResult r = ParseListing(text);

  size_t fileMarks = 0;
  for (size_t at = text.find("<F"); at != std::string::npos; at = text.find("<F", at + 1)) ++fileMarks;
  FUZZ_CHECK(r.entries.size() <= fileMarks);
  if (r.outcome == TListingOutcome::NoFiles) FUZZ_CHECK(r.entries.empty());

  for (const TListingEntry& e : r.entries) {
    // A size comes from digits only; a sign or an overflow is marked
    // unreadable, never a negative file length.
    FUZZ_CHECK(e.size >= 0 || e.size == kUnreadableSize);
    FUZZ_CHECK(e.name.size() < size);
    // The name is a piece of the reply, never invented.
    FUZZ_CHECK(e.name.empty() || text.find(e.name) != std::string::npos);
  }
  return 0;
}
