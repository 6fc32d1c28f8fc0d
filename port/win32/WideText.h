#pragma once
// UTF-8 text to and from the wide text of the Windows calls: the one
// conversion every Windows piece uses, from the port layer up.
#include <cstddef>
#include <string>

std::wstring Wide(const std::string& s);
std::string Utf8(const std::wstring& w);

// A UTF-8 path for the wide file calls. From kLongPathFrom characters on it
// is made absolute and given in the extended-length form (\\?\C:\... or
// \\?\UNC\server\share\...), which the system does not cut at MAX_PATH;
// that form takes no "/", "." or "..", so they are resolved here. Shorter
// paths go as given.
inline constexpr size_t kLongPathFrom = 200;
std::wstring WidePath(const std::string& utf8);
// The same path without the extended-length prefix, as the user writes it.
std::wstring WithoutLongPrefix(const std::wstring& path);
