// A bound on binary property lists, checked before libplist expands one.
//
// libplist 2.2 follows object references recursively with no depth bound (a
// deeply nested file of well under 1 MiB overflows the stack) and copies a
// shared object once per reference (a few hundred bytes can expand to
// gigabytes); it also asserts, aborting the process, when a key holds a NUL
// character. This walks the file's object graph iteratively, without
// expanding it, and says whether the expanded tree stays within the limits and
// holds no string with NUL. Anything it cannot follow (an offset or reference
// out of range, a cycle) fails the check. Pure function; any thread.
#pragma once

#include <cstddef>
#include <string_view>

namespace aurora::plist {

// `bytes` starts with the binary header. Depth counts the root as 1.
bool binaryPlistSafeToParse(std::string_view bytes, std::size_t maxDepth, std::size_t maxValues);

}  // namespace aurora::plist
