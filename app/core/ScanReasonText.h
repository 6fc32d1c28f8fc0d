#pragma once
// The window's and the command line's words for why the phone would not
// take a PC file, in the language of the text table (its column's bytes).
#include <string>

#include "content/PcScan.h"

// folder: 1 melodies, 2 animations, 3 pictures (names the page in a type refusal).
std::string ReasonText(const pcscan::TJudgement& why, int folder, int languageIndex);
std::string ReasonText(const pcscan::TJudgement& why, int folder);  // start-up language

// "%1", "%2" ... of a table entry replaced by the arguments, in order.
std::string FillArgs(const std::string& pattern, const std::initializer_list<std::string>& args);
