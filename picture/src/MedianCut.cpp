#include "MedianCut.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace picture {
namespace {

struct Colour {
  std::uint32_t value;
  std::uint32_t count;
};

int channel(std::uint32_t value, int which) { return static_cast<int>((value >> (16 - 8 * which)) & 0xFFu); }

// A run of colours in the working list, with its widest channel and that channel's spread.
struct Box {
  std::size_t begin;
  std::size_t end;
  int widest = 0;
  int spread = 0;
};

Box measure(const std::vector<Colour>& colours, std::size_t begin, std::size_t end) {
  std::array<int, 3> low{255, 255, 255}, high{0, 0, 0};
  for (std::size_t i = begin; i < end; ++i) {
    for (int c = 0; c < 3; ++c) {
      low[c] = std::min(low[c], channel(colours[i].value, c));
      high[c] = std::max(high[c], channel(colours[i].value, c));
    }
  }
  Box box{begin, end};
  for (int c = 0; c < 3; ++c) {
    if (high[c] - low[c] > box.spread) box = {begin, end, c, high[c] - low[c]};
  }
  return box;
}

// Splits `box` at the weighted median of its widest channel; both halves keep a colour.
std::pair<Box, Box> split(std::vector<Colour>& colours, const Box& box) {
  const auto first = colours.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto last = colours.begin() + static_cast<std::ptrdiff_t>(box.end);
  std::sort(first, last, [c = box.widest](const Colour& a, const Colour& b) { return channel(a.value, c) < channel(b.value, c); });
  std::uint64_t total = 0;
  for (auto it = first; it != last; ++it) total += it->count;
  std::uint64_t seen = 0;
  std::size_t cut = box.begin + 1;
  for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
    seen += colours[i].count;
    cut = i + 1;
    if (2 * seen >= total) break;
  }
  return {measure(colours, box.begin, cut), measure(colours, cut, box.end)};
}

Rgb meanColour(const std::vector<Colour>& colours, const Box& box) {
  std::array<std::uint64_t, 3> sum{};
  std::uint64_t count = 0;
  for (std::size_t i = box.begin; i < box.end; ++i) {
    for (int c = 0; c < 3; ++c) sum[c] += static_cast<std::uint64_t>(channel(colours[i].value, c)) * colours[i].count;
    count += colours[i].count;
  }
  auto mean = [&](int c) { return static_cast<std::uint8_t>((sum[c] + count / 2) / count); };
  return {mean(0), mean(1), mean(2)};
}

}  // namespace

IndexedPixels quantise(std::span<const std::uint32_t> pixels, int imageWidth, PixelRect rect) {
  auto at = [&](int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(imageWidth) + static_cast<std::size_t>(x)]; };

  std::unordered_map<std::uint32_t, std::uint32_t> counts;
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) ++counts[at(x, y)];
  }
  std::vector<Colour> colours;
  colours.reserve(counts.size());
  for (const auto& [value, count] : counts) colours.push_back({value, count});
  if (colours.empty()) return {};

  std::vector<Box> boxes{measure(colours, 0, colours.size())};
  while (boxes.size() < kMostGifColours) {
    auto widest = std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.spread < b.spread; });
    if (widest->spread == 0) break;  // every box holds one colour
    auto [low, high] = split(colours, *widest);
    *widest = low;
    boxes.push_back(high);
  }

  IndexedPixels result;
  std::unordered_map<std::uint32_t, std::uint8_t> indexOf;
  for (const Box& box : boxes) {
    const auto index = static_cast<std::uint8_t>(result.palette.size());
    result.palette.push_back(meanColour(colours, box));
    for (std::size_t i = box.begin; i < box.end; ++i) indexOf[colours[i].value] = index;
  }
  result.indices.reserve(static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height));
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) result.indices.push_back(indexOf[at(x, y)]);
  }
  return result;
}

}  // namespace picture
