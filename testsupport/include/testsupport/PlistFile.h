// Test support: preferences files written the way a settings pane writes
// them, as XML or binary property lists, from a list of typed values.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace aurora::testing {

enum class PlistFormat { Xml, Binary };

using PlistScalar = std::variant<bool, std::int64_t, double, std::string, std::vector<std::string>>;
using PlistEntries = std::vector<std::pair<std::string, PlistScalar>>;

// The bytes of a property list whose root is a dictionary of `entries`.
std::string plistBytes(const PlistEntries& entries, PlistFormat format);

// Writes the file (directories made as needed), replacing it atomically.
void writePlist(const std::filesystem::path& hostPath, const PlistEntries& entries, PlistFormat format);

}  // namespace aurora::testing
