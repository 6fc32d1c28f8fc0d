#pragma once
// The window's and the command line's words for why the phone would not
// take a PC file, in the language of the text table.
#include <QString>

#include "content/PcScan.h"

// folder: 1 melodies, 2 animations, 3 pictures (names the page in a type refusal).
QString ReasonText(const pcscan::TJudgement& why, int folder, int languageIndex);
QString ReasonText(const pcscan::TJudgement& why, int folder);  // start-up language
