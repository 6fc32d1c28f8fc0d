#pragma once
// Text helpers every part of the core shares: decimal numbers as the phone,
// a descriptor or the settings store write them, and names compared the
// way a file system without letter case does.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The whole text as a decimal number: an optional sign (when allowed) and at
// least one digit, nothing else. Nothing when the text holds anything else
// or the value does not fit in 32 bits.
std::optional<int32_t> ParseDecimal(std::string_view text, bool allowSign = true);

// Leading blanks, an optional sign and the digits that follow, ignoring the
// rest; 0 without digits. Saturates at the 32-bit limits.
int32_t LeadingDecimal(std::string_view text);

// Letter case ignored (ASCII).
bool SameNoCase(std::string_view a, std::string_view b);
std::string UpperCase(std::string text);

#ifdef _WIN32
#include "port/win32/WideText.h"  // Wide and Utf8, the one conversion every Windows piece uses
#endif

// std::fopen for a UTF-8 path: on Windows through the wide name, since the
// narrow one is read in the ANSI code page and cannot hold every name.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Paths are UTF-8 inside the program on every OS; these two meet the file
// system (on Windows a narrow path would be read in the ANSI code page).
std::filesystem::path Utf8Path(const std::string& utf8);
std::string PathUtf8(const std::filesystem::path& path);
