#include "support/WireText.h"

namespace {
const char kHex[] = "0123456789ABCDEF";
}

std::string DataLine(int n, bool last, const std::string& bytes, unsigned checkOffset) {
  std::string line;
  line += n / 16 < 16 ? kHex[n / 16] : 'F';
  line += kHex[n % 16];
  line += '0';
  line += last ? '0' : '1';
  unsigned sum = checkOffset;
  for (unsigned char b : bytes) {
    line += kHex[b >> 4];
    line += kHex[b & 15];
    sum += static_cast<unsigned char>(kHex[b >> 4]) + static_cast<unsigned char>(kHex[b & 15]);
  }
  for (int s = 12; s >= 0; s -= 4) line += kHex[(sum >> s) & 15];
  return line;
}

std::vector<std::string> ExpectedPackets(const std::string& bytes) {
  std::vector<std::string> out;
  size_t count = (bytes.size() + 89) / 90;
  for (size_t n = 1; n <= count; ++n)
    out.push_back("AT*FUPL=" + DataLine(static_cast<int>(n), n == count, bytes.substr((n - 1) * 90, 90)));
  return out;
}
