#include "link/Commands.h"

namespace command {

namespace {
const char kHex[] = "0123456789ABCDEF";
}  // namespace

std::string PacketLine(int n, bool last, const unsigned char* data, size_t k) {
  std::string line = "AT*FUPL=";
  line.reserve(8 + 4 + 2 * k + 4 + 2);
  int high = n / 16;
  line += high < 16 ? kHex[high] : 'F';
  line += kHex[n % 16];
  line += '0';
  line += last ? '0' : '1';
  uint32_t sum = 0;
  for (size_t i = 0; i < k; ++i) {
    char hi = kHex[data[i] >> 4], lo = kHex[data[i] & 0x0F];
    line += hi;
    line += lo;
    sum += static_cast<unsigned char>(hi) + static_cast<unsigned char>(lo);
  }
  for (int shift = 12; shift >= 0; shift -= 4) line += kHex[(sum >> shift) & 0x0F];
  line += "\r\n";
  return line;
}

}  // namespace command
