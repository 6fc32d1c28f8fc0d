#pragma once
// Reading one entry of a MIDlet suite's archive (a zip file). The
// implementation lives in its own file so another platform may bring its
// own reader. A damaged or hostile archive gives an error text, never more
// than maxBytes of data.
#include <cstddef>
#include <string>

namespace suite {

inline constexpr size_t kManifestCap = 1 << 20;
inline constexpr const char* kManifestEntry = "META-INF/MANIFEST.MF";

// Reads the entry named entryName (letter case ignored) into data. False
// with a short English error text when the archive cannot be read, the
// entry is missing, damaged or larger than maxBytes.
bool ReadArchiveEntry(const std::string& archivePath, const std::string& entryName, size_t maxBytes,
                      std::string* data, std::string* error);

}  // namespace suite
