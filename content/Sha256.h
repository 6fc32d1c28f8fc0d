#pragma once
// SHA-256 (FIPS 180-4), for the sums a backup keeps of its files.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TSha256 {
 public:
  TSha256();
  void Update(const void* data, size_t n);
  void Update(std::string_view bytes) { Update(bytes.data(), bytes.size()); }
  // The digest as 64 lower-case hex digits; the object is spent afterwards.
  std::string HexDigest();

 private:
  void Block(const uint8_t* p);
  std::array<uint32_t, 8> h_;
  std::array<uint8_t, 64> buf_{};
  size_t used_ = 0;
  uint64_t length_ = 0;  // bytes hashed so far
};

std::string Sha256Hex(std::string_view bytes);
// The sum of a file's bytes; "" when it cannot be read to its end.
std::string Sha256File(const std::string& path);
