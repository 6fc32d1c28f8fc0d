#pragma once
// The window's and the command line's words for why the phone would not
// take a PC file: ReasonText, declared below for the pages, made here.
#include <initializer_list>
#include <string>

#include "content/ScanReason.h"

// "%1", "%2" ... of a table entry replaced by the arguments, in order.
std::string FillArgs(const std::string& pattern, const std::initializer_list<std::string>& args);
