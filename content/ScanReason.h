#pragma once
// Words for why the phone would not take a PC file, in the language of the
// text table (its column's bytes). The pages only ask for them; the text
// table's owner in app/core makes them, as link/Settings.h does for the
// platform.
#include <string>

#include "content/PcScan.h"

// folder: 1 melodies, 2 animations, 3 pictures (names the page in a type refusal).
std::string ReasonText(const pcscan::TJudgement& why, int folder, int languageIndex);
std::string ReasonText(const pcscan::TJudgement& why, int folder);  // start-up language
