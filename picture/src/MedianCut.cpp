#include "MedianCut.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace picture {
namespace {

struct Color {
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

Box measure(const std::vector<Color>& colors, std::size_t begin, std::size_t end) {
  std::array<int, 3> low{255, 255, 255}, high{0, 0, 0};
  for (std::size_t i = begin; i < end; ++i) {
    for (int c = 0; c < 3; ++c) {
      low[c] = std::min(low[c], channel(colors[i].value, c));
      high[c] = std::max(high[c], channel(colors[i].value, c));
    }
  }
  Box box{begin, end};
  for (int c = 0; c < 3; ++c) {
    if (high[c] - low[c] > box.spread) box = {begin, end, c, high[c] - low[c]};
  }
  return box;
}

// Splits `box` at the weighted median of its widest channel; both halves keep a colour.
std::pair<Box, Box> split(std::vector<Color>& colors, const Box& box) {
  const auto first = colors.begin() + static_cast<std::ptrdiff_t>(box.begin);
  const auto last = colors.begin() + static_cast<std::ptrdiff_t>(box.end);
  std::sort(first, last,
            [c = box.widest](const Color& a, const Color& b) { return channel(a.value, c) < channel(b.value, c); });
  std::uint64_t total = 0;
  for (auto it = first; it != last; ++it) total += it->count;
  std::uint64_t seen = 0;
  std::size_t cut = box.begin + 1;
  for (std::size_t i = box.begin; i + 1 < box.end; ++i) {
    seen += colors[i].count;
    cut = i + 1;
    if (2 * seen >= total) break;
  }
  return {measure(colors, box.begin, cut), measure(colors, cut, box.end)};
}

Rgb meanColor(const std::vector<Color>& colors, const Box& box) {
  std::array<std::uint64_t, 3> sum{};
  std::uint64_t count = 0;
  for (std::size_t i = box.begin; i < box.end; ++i) {
    for (int c = 0; c < 3; ++c) sum[c] += static_cast<std::uint64_t>(channel(colors[i].value, c)) * colors[i].count;
    count += colors[i].count;
  }
  auto mean = [&](int c) { return static_cast<std::uint8_t>((sum[c] + count / 2) / count); };
  return {mean(0), mean(1), mean(2)};
}

}  // namespace

IndexedPixels quantise(std::span<const std::uint32_t> pixels, int imageWidth, PixelRect rect) {
  auto at = [&](int x, int y) {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(imageWidth) + static_cast<std::size_t>(x)];
  };

  std::unordered_map<std::uint32_t, std::uint32_t> counts;
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) ++counts[at(x, y)];
  }
  std::vector<Color> colors;
  colors.reserve(counts.size());
  for (const auto& [value, count] : counts) colors.push_back({value, count});
  if (colors.empty()) return {};

  std::vector<Box> boxes{measure(colors, 0, colors.size())};
  while (boxes.size() < kMostGifColors) {
    auto widest =
        std::max_element(boxes.begin(), boxes.end(), [](const Box& a, const Box& b) { return a.spread < b.spread; });
    if (widest->spread == 0) break;  // every box holds one colour
    auto [low, high] = split(colors, *widest);
    *widest = low;
    boxes.push_back(high);
  }

  IndexedPixels result;
  std::unordered_map<std::uint32_t, std::uint8_t> indexOf;
  for (const Box& box : boxes) {
    const auto index = static_cast<std::uint8_t>(result.palette.size());
    result.palette.push_back(meanColor(colors, box));
    for (std::size_t i = box.begin; i < box.end; ++i) indexOf[colors[i].value] = index;
  }
  result.indices.reserve(static_cast<std::size_t>(rect.width) * static_cast<std::size_t>(rect.height));
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) result.indices.push_back(indexOf[at(x, y)]);
  }
  return result;
}

}  // namespace picture
