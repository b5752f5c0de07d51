#include "UIKit/NSLayoutConstraint.h"

#include <charconv>
#include <stdexcept>

#include "UIKit/UIView.h"

namespace {

[[noreturn]] void refuse(std::string_view format, std::string_view why) {
  throw std::invalid_argument("Unable to parse constraint format \"" + std::string(format) + "\": " + std::string(why));
}

// A small cursor over the format string.
struct Reader {
  std::string_view format;
  std::size_t pos = 0;

  bool take(std::string_view token) {
    if (format.substr(pos).starts_with(token)) {
      pos += token.size();
      return true;
    }
    return false;
  }
  void expect(std::string_view token) {
    if (!take(token)) refuse(format, "expected '" + std::string(token) + "' at position " + std::to_string(pos));
  }
  // "-N-" or nothing (a gap of 0).
  CGFloat gap() {
    if (!take("-")) return 0;
    double value = 0;
    const char* begin = format.data() + pos;
    auto [end, error] = std::from_chars(begin, format.data() + format.size(), value);
    if (error != std::errc() || !(value >= 0) || value > 1e9)
      refuse(format, "expected a gap in points at position " + std::to_string(pos));
    pos += static_cast<std::size_t>(end - begin);
    expect("-");
    return value;
  }
  std::string_view name() {
    const std::size_t close = format.find(']', pos);
    if (close == std::string_view::npos || close == pos) refuse(format, "expected a view name in brackets");
    std::string_view result = format.substr(pos, close - pos);
    pos = close;
    return result;
  }
};

}  // namespace

NSLayoutConstraint::NSLayoutConstraint(const std::shared_ptr<UIView>& item, NSLayoutAttribute attribute,
                                       CGFloat constant, std::string format)
    : item_(item), attribute_(attribute), constant_(constant), format_(std::move(format)) {}

NSLayoutConstraintList NSLayoutConstraint::constraintsWithVisualFormat(std::string_view format, unsigned options,
                                                                       const void* metrics,
                                                                       const NSLayoutViewBindings& views) {
  if (options != 0) refuse(format, "layout options are not supported");
  if (metrics != nullptr) refuse(format, "metrics are not supported");
  Reader in{format};
  const bool vertical = in.take("V:");
  if (!vertical) in.take("H:");
  in.expect("|");
  const CGFloat leading = in.gap();
  in.expect("[");
  const std::string_view name = in.name();
  in.expect("]");
  const CGFloat trailing = in.gap();
  in.expect("|");
  if (in.pos != format.size()) refuse(format, "unexpected text at position " + std::to_string(in.pos));
  auto found = views.find(name);
  if (found == views.end() || !found->second) refuse(format, "no view named '" + std::string(name) + "'");

  const auto first = vertical ? NSLayoutAttribute::Top : NSLayoutAttribute::Left;
  const auto second = vertical ? NSLayoutAttribute::Bottom : NSLayoutAttribute::Right;
  return {std::make_shared<NSLayoutConstraint>(found->second, first, leading, std::string(format)),
          std::make_shared<NSLayoutConstraint>(found->second, second, trailing, std::string(format))};
}

NSLayoutViewBindings _NSDictionaryOfVariableBindings(std::string_view commaSeparatedNames,
                                                     std::initializer_list<UIView*> views) {
  NSLayoutViewBindings bindings;
  auto view = views.begin();
  std::string_view rest = commaSeparatedNames;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    std::string_view name = rest.substr(0, comma);
    while (name.starts_with(' ')) name.remove_prefix(1);
    while (name.ends_with(' ')) name.remove_suffix(1);
    if (view == views.end()) throw std::invalid_argument("_NSDictionaryOfVariableBindings: more names than views");
    bindings.emplace(std::string(name), objc_retain(*view++));
    rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
  }
  if (view != views.end()) throw std::invalid_argument("_NSDictionaryOfVariableBindings: more views than names");
  return bindings;
}

CGRect NSLayoutFrameForConstraints(const UIView& view, const NSLayoutConstraintList& constraints, CGRect bounds) {
  CGRect frame = view.frame();
  CGFloat left = frame.origin.x, right = frame.origin.x + frame.size.width;
  CGFloat top = frame.origin.y, bottom = frame.origin.y + frame.size.height;
  for (const auto& constraint : constraints) {
    if (constraint->item().get() != &view) continue;
    switch (constraint->attribute()) {
      case NSLayoutAttribute::Left:
        left = bounds.origin.x + constraint->constant();
        break;
      case NSLayoutAttribute::Right:
        right = bounds.origin.x + bounds.size.width - constraint->constant();
        break;
      case NSLayoutAttribute::Top:
        top = bounds.origin.y + constraint->constant();
        break;
      case NSLayoutAttribute::Bottom:
        bottom = bounds.origin.y + bounds.size.height - constraint->constant();
        break;
    }
  }
  return CGRectMake(left, top, right - left, bottom - top);
}
