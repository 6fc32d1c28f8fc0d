#pragma once
// UTF-8 text to and from the wide text of the Windows calls: the one
// conversion every Windows piece uses, from the port layer up.
#include <string>

std::wstring Wide(const std::string& s);
std::string Utf8(const std::wstring& w);
