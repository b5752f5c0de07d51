// Graphics colours: RGBA, a plain colour value in extended range, and CGColor,
// the immutable shared colour that layers take.
//
// A CGColor never changes once made, so one can be shared freely between
// lists, layers and threads; CGColorRef keeps it alive.
#pragma once

#include <memory>

struct RGBA {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 0;
  friend constexpr bool operator==(const RGBA&, const RGBA&) = default;
};

// Component-wise mix: `from` at f = 0, `to` at f = 1.
constexpr RGBA mix(const RGBA& from, const RGBA& to, double f) {
  return {from.red + (to.red - from.red) * f, from.green + (to.green - from.green) * f,
          from.blue + (to.blue - from.blue) * f, from.alpha + (to.alpha - from.alpha) * f};
}

class CGColor {
 public:
  explicit CGColor(const RGBA& components) : components_(components) {}
  const RGBA& components() const { return components_; }

 private:
  const RGBA components_;
};

using CGColorRef = std::shared_ptr<const CGColor>;

inline CGColorRef CGColorCreate(const RGBA& components) { return std::make_shared<const CGColor>(components); }

// The components of a possibly absent colour; absent reads as clear.
inline RGBA CGColorComponentsOrClear(const CGColorRef& color) { return color ? color->components() : RGBA{}; }
