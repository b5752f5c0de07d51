#include "BinaryPlistGuard.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace aurora::plist {
namespace {

constexpr std::uint64_t kHeaderSize = 8;
constexpr std::uint64_t kTrailerSize = 32;

std::optional<std::uint64_t> readBigEndian(std::string_view bytes, std::uint64_t offset, std::uint64_t width) {
  if (width == 0 || width > 8 || offset > bytes.size() || width > bytes.size() - offset) return std::nullopt;
  std::uint64_t value = 0;
  for (std::uint64_t i = 0; i < width; ++i) value = (value << 8) | static_cast<std::uint8_t>(bytes[offset + i]);
  return value;
}

// The file's trailer, checked against the file's size.
struct Layout {
  std::string_view bytes;
  std::uint64_t offsetSize = 0;
  std::uint64_t refSize = 0;
  std::uint64_t objectCount = 0;
  std::uint64_t top = 0;
  std::uint64_t offsetTable = 0;
};

std::optional<Layout> readLayout(std::string_view bytes) {
  if (bytes.size() < kHeaderSize + kTrailerSize) return std::nullopt;
  const std::uint64_t trailer = bytes.size() - kTrailerSize;
  Layout layout{bytes,
                static_cast<std::uint8_t>(bytes[trailer + 6]),
                static_cast<std::uint8_t>(bytes[trailer + 7]),
                *readBigEndian(bytes, trailer + 8, 8),
                *readBigEndian(bytes, trailer + 16, 8),
                *readBigEndian(bytes, trailer + 24, 8)};
  if (layout.offsetSize < 1 || layout.offsetSize > 8 || layout.refSize < 1 || layout.refSize > 8) return std::nullopt;
  if (layout.objectCount == 0 || layout.top >= layout.objectCount) return std::nullopt;
  if (layout.offsetTable < kHeaderSize || layout.offsetTable > trailer) return std::nullopt;
  if (layout.objectCount > (trailer - layout.offsetTable) / layout.offsetSize) return std::nullopt;
  return layout;
}

// Where an object's references start and how many it has (none for a leaf).
struct References {
  std::uint64_t start = 0;
  std::uint64_t count = 0;
};

// Whether `count` units of `width` (1 or 2) bytes from `start` hold an all-zero unit.
bool holdsNul(std::string_view bytes, std::uint64_t start, std::uint64_t count, std::uint64_t width) {
  const std::string_view units = bytes.substr(start, count * width);
  if (width == 1) return units.find('\0') != std::string_view::npos;
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    if (units[i] == '\0' && units[i + 1] == '\0') return true;
  }
  return false;
}

// An object's references, checked against the file. Strings holding NUL fail
// too: libplist asserts (and so aborts) when such a key is read.
std::optional<References> referencesOf(const Layout& layout, std::uint64_t object) {
  const std::string_view bytes = layout.bytes;
  const auto offset = readBigEndian(bytes, layout.offsetTable + object * layout.offsetSize, layout.offsetSize);
  if (!offset || *offset < kHeaderSize || *offset >= layout.offsetTable) return std::nullopt;
  const auto marker = static_cast<std::uint8_t>(bytes[*offset]);
  const unsigned type = marker >> 4;
  const bool isString = type == 0x5 || type == 0x6;
  const bool isArrayOrSet = type == 0xA || type == 0xC;
  const bool isDictionary = type == 0xD;
  if (!isString && !isArrayOrSet && !isDictionary) return References{};
  std::uint64_t count = marker & 0xF;
  std::uint64_t start = *offset + 1;
  if (count == 0xF) {
    // The count follows as an integer object: marker 0x1n, then 2^n bytes.
    const auto countMarker = readBigEndian(bytes, start, 1);
    if (!countMarker || (*countMarker >> 4) != 0x1 || (*countMarker & 0xF) > 3) return std::nullopt;
    const std::uint64_t width = std::uint64_t{1} << (*countMarker & 0xF);
    const auto longCount = readBigEndian(bytes, start + 1, width);
    if (!longCount) return std::nullopt;
    count = *longCount;
    start += 1 + width;
  }
  if (count > bytes.size() || start > bytes.size()) return std::nullopt;
  if (isString) {
    const std::uint64_t unit = type == 0x5 ? 1 : 2;  // ASCII bytes or UTF-16 code units
    if (count > (bytes.size() - start) / unit || holdsNul(bytes, start, count, unit)) return std::nullopt;
    return References{};
  }
  if (isDictionary) count *= 2;  // keys, then values
  if (count > (bytes.size() - start) / layout.refSize) return std::nullopt;
  return References{start, count};
}

}  // namespace

bool binaryPlistSafeToParse(std::string_view bytes, std::size_t maxDepth, std::size_t maxValues) {
  const std::optional<Layout> layout = readLayout(bytes);
  if (!layout || maxDepth == 0) return false;

  // Per object, once walked: the size and height of its expanded tree.
  std::vector<std::uint32_t> size(layout->objectCount, 0);
  std::vector<std::uint32_t> height(layout->objectCount, 0);
  std::vector<bool> onPath(layout->objectCount, false);
  struct Frame {
    std::uint64_t object;
    References references;
    std::uint64_t next = 0;
    std::uint64_t size = 1;
    std::uint64_t height = 1;
  };
  std::vector<Frame> path;

  auto enter = [&](std::uint64_t object) {
    const std::optional<References> references = referencesOf(*layout, object);
    if (!references) return false;
    onPath[object] = true;
    path.push_back({object, *references});
    return true;
  };
  if (!enter(layout->top)) return false;

  while (!path.empty()) {
    Frame& frame = path.back();
    if (frame.next == frame.references.count) {
      const Frame done = frame;
      path.pop_back();
      onPath[done.object] = false;
      size[done.object] = static_cast<std::uint32_t>(done.size);
      height[done.object] = static_cast<std::uint32_t>(done.height);
      if (!path.empty()) {
        path.back().size += done.size;
        path.back().height = std::max(path.back().height, done.height + 1);
        if (path.back().size > maxValues) return false;
      }
      continue;
    }
    const auto child = readBigEndian(bytes, frame.references.start + frame.next * layout->refSize, layout->refSize);
    ++frame.next;
    if (!child || *child >= layout->objectCount || onPath[*child]) return false;
    if (size[*child] != 0) {
      // Walked before: a shared object, expanded again at this depth.
      frame.size += size[*child];
      frame.height = std::max<std::uint64_t>(frame.height, height[*child] + 1);
      if (frame.size > maxValues || path.size() + height[*child] > maxDepth) return false;
      continue;
    }
    if (path.size() + 1 > maxDepth || !enter(*child)) return false;
  }
  return size[layout->top] <= maxValues;
}

}  // namespace aurora::plist
