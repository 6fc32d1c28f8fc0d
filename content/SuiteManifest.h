#pragma once
// A suite archive's manifest as the source of a descriptor, for a suite
// whose folder holds the archive alone.
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace suite {

using TAttributes = std::vector<std::pair<std::string, std::string>>;

// The main section's attributes in order. Lines end in CR LF, LF or CR; a
// line starting with one space continues the one before; the main section
// ends at the first empty line. A line without a colon is passed over.
TAttributes ParseManifest(std::string_view text);

// Value of the first attribute with this name; false when there is none.
bool FindAttribute(const TAttributes& attributes, std::string_view name, std::string* value);

// Descriptor text: every main attribute of the manifest except a
// MIDlet-Jar-URL or MIDlet-Jar-Size of its own, then those two for this
// archive. One "Name: value" line each, ended by CR LF.
std::string DescriptorFromManifest(const TAttributes& attributes, const std::string& jarName, int64_t jarSize);

}  // namespace suite
