// Layout constraints: the subset that pins a view's edges to its superview's.
//
//   auto views = _NSDictionaryOfVariableBindings("colorView", colorView.get());
//   pill->addConstraints(NSLayoutConstraint::constraintsWithVisualFormat("H:|-0-[colorView]-0-|", 0, nullptr, views));
//
// Visual formats of the forms `H:|-N-[name]-N-|` and `V:|-N-[name]-N-|` (the
// orientation prefix may be left out for H; `|[name]|` means gaps of 0) give
// two edge equalities with constants. Anything else is refused with
// std::invalid_argument naming the format, never laid out silently wrong.
//
// A constraint refers to its view weakly; the view it was added to owns it.
// Added constraints hold from the next layout pass of that view on: the base
// layoutSubviews sets each constrained subview's frame through setFrame.
// Main thread only.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "CoreGraphics/CGGeometry.h"

class UIView;

enum class NSLayoutAttribute { Left, Right, Top, Bottom };

// Names to views, as the variable-bindings helper builds them.
using NSLayoutViewBindings = std::map<std::string, std::shared_ptr<UIView>, std::less<>>;

class NSLayoutConstraint;
using NSLayoutConstraintList = std::vector<std::shared_ptr<NSLayoutConstraint>>;

class NSLayoutConstraint {
 public:
  // `options` must be 0 and `metrics` absent: the subset has neither.
  static NSLayoutConstraintList constraintsWithVisualFormat(std::string_view format, unsigned options,
                                                            const void* metrics, const NSLayoutViewBindings& views);

  // item.attribute is kept `constant` points inside the superview's matching edge.
  NSLayoutConstraint(const std::shared_ptr<UIView>& item, NSLayoutAttribute attribute, CGFloat constant,
                     std::string format);

  std::shared_ptr<UIView> item() const { return item_.lock(); }
  NSLayoutAttribute attribute() const { return attribute_; }
  CGFloat constant() const { return constant_; }
  // The visual format this constraint came from.
  const std::string& format() const { return format_; }

 private:
  std::weak_ptr<UIView> item_;
  NSLayoutAttribute attribute_;
  CGFloat constant_;
  std::string format_;
};

// "a, b" and the views a and b, in that order, as a bindings map. Throws
// std::invalid_argument when the counts differ.
// The platform's own name, which NSDictionaryOfVariableBindings expands to.
// NOLINTNEXTLINE(bugprone-reserved-identifier)
NSLayoutViewBindings _NSDictionaryOfVariableBindings(std::string_view commaSeparatedNames,
                                                     std::initializer_list<UIView*> views);

// The frame of `view` inside a superview of `bounds` once `constraints` hold;
// edges no constraint names keep the view's current frame.
CGRect NSLayoutFrameForConstraints(const UIView& view, const NSLayoutConstraintList& constraints, CGRect bounds);
