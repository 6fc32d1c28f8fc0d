#pragma once
// Expected wire text, worked out independently of the product's encoder.
#include <string>
#include <vector>

// A packet's data line: number (F as high digit from 256 on), "0", more-data
// mark, upper-case hex, four-digit check value (off by 'checkOffset').
std::string DataLine(int n, bool last, const std::string& bytes, unsigned checkOffset = 0);
// The upload packet lines of a whole file, "AT*FUPL=" + data line, without CR LF.
std::vector<std::string> ExpectedPackets(const std::string& bytes);
