// Property-list bytes (XML or binary, told apart by content) to NSDictionary's
// value tree, through libplist. The libplist tree lives only inside the call.
// Pure function; any thread.
#pragma once

#include <memory>
#include <string_view>

class NSDictionary;

namespace aurora::plist {

// The dictionary at the root of `bytes`, or nullptr when they are not a
// property list, the root is not a dictionary, or the tree exceeds
// NSDictionary's size limits.
std::shared_ptr<const NSDictionary> parseDictionary(std::string_view bytes);

}  // namespace aurora::plist
