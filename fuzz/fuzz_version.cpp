// Version comparison between the PC's descriptor and the phone's listing.
// The input holds both texts, split at the first NUL or in the middle.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "FuzzSupport.h"
#include "content/MidletPage.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* nul = std::memchr(bytes, '\0', size);
  const size_t cut = nul ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : size / 2;
  const std::string pc(bytes, cut);
  const std::string phone = nul ? std::string(bytes + cut + 1, size - cut - 1) : std::string(bytes + cut, size - cut);

  const int forward = CompareMidletVersions(pc, phone);
  FUZZ_CHECK(forward >= 1 && forward <= 3);
  // "Phone older" one way is "phone newer" the other way round.
  const int backward = CompareMidletVersions(phone, pc);
  FUZZ_CHECK(forward == 1 ? backward == 1 : backward == 5 - forward);
  FUZZ_CHECK(CompareMidletVersions(pc, pc) == 1);
  FUZZ_CHECK(CompareMidletVersions(phone, phone) == 1);
  // Only the first line counts.
  FUZZ_CHECK(CompareMidletVersions(pc + "\n" + phone, phone) == forward);
  // The numeric helper never overflows, whatever the digits.
  static_cast<void>(LenientToInt(pc));
  static_cast<void>(LenientToInt(phone));
  return 0;
}
