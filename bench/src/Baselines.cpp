// The least work each of the extension's operations needs, written directly
// against plain containers and the platform's objects, with no runtime, queue
// or timer in between.
#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <vector>

#include "Operations.h"
#include "StyledPill.h"
#include "UIKit/UIColor.h"
#include "aurora/Time.h"

namespace bench {
namespace {

constexpr std::size_t kHues = 361;
constexpr std::size_t kShownHues = 60;

CGColorRef hueColor(std::size_t degrees) {
  return CGColorCreate(UIColor::rgbFromHSB(static_cast<double>(degrees) / 360.0, 1.0, 1.0, 1.0));
}

// A wave update's least work: turn a 361-entry ring by one and copy the first
// 60 references into a new list that replaces the one shown (a gradient layer
// keeps its own copy of the list it is given).
class RingTurn final : public Operation {
 public:
  RingTurn() {
    for (std::size_t i = 0; i < kHues; ++i) ring_.push_back(hueColor(i));
  }
  void run() override {
    head_ = head_ == 0 ? kHues - 1 : head_ - 1;
    const auto start = ring_.begin() + static_cast<std::ptrdiff_t>(head_);
    const auto first = static_cast<std::ptrdiff_t>(std::min(kShownHues, kHues - head_));
    std::vector<CGColorRef> shown;
    shown.reserve(kShownHues);
    shown.insert(shown.end(), start, start + first);
    shown.insert(shown.end(), ring_.begin(), ring_.begin() + (static_cast<std::ptrdiff_t>(kShownHues) - first));
    shown_ = std::move(shown);
  }

 private:
  std::vector<CGColorRef> ring_;
  std::size_t head_ = 0;
  std::vector<CGColorRef> shown_;
};

// An animated colour step's least work: the next colour, the transition to it
// recorded, and one completion put in a time-ordered queue, then taken out and
// run when due.
class ColorStep final : public Operation {
 public:
  explicit ColorStep(std::function<CGColorRef()> next) : next_(std::move(next)) {}
  void run() override {
    CGColorRef color = next_();
    transition_ = {CGColorComponentsOrClear(shown_), color->components(), now_};
    shown_ = std::move(color);
    due_.emplace(now_ + kStep, [this] { ++steps_; });
    now_ += kStep;
    auto first = due_.begin();
    std::function<void()> completion = std::move(first->second);
    due_.erase(first);
    completion();
  }

 private:
  static constexpr aurora::Nanoseconds kStep{100'000'000};
  struct Transition {
    RGBA from;
    RGBA to;
    aurora::Nanoseconds start;
  };
  std::function<CGColorRef()> next_;
  CGColorRef shown_;
  Transition transition_{};
  std::multimap<aurora::Nanoseconds, std::function<void()>> due_;
  aurora::Nanoseconds now_{0};
  std::size_t steps_ = 0;
};

// A layout pass's least work: one tag lookup, the frame reads, a radius write
// and a frame write, on the same pill and colour view.
class FitColorView final : public Operation {
 public:
  FitColorView() : styled_(makeStyledPill("Static")) {}
  void run() override {
    UIView* colorView = styled_.pill->viewWithTag(colorViewTag);
    const CGRect pillFrame = styled_.pill->frame();
    CGRect frame = colorView->frame();
    frame.size = pillFrame.size;
    colorView->layer()->setCornerRadius(pillFrame.size.height / 2);
    colorView->setFrame(frame);
  }

 private:
  StyledPill styled_;
};

// A colour view's least work: its 361 hues as graphics colours.
class Palette final : public Operation {
 public:
  void run() override {
    std::vector<CGColorRef> palette;
    palette.reserve(kHues);
    for (std::size_t i = 0; i < kHues; ++i) palette.push_back(hueColor(i));
  }
};

}  // namespace

std::unique_ptr<Operation> makeRingTurnBaseline() { return std::make_unique<RingTurn>(); }

std::unique_ptr<Operation> makeSpectrumStepBaseline() {
  return std::make_unique<ColorStep>([hue = std::size_t{0}]() mutable {
    hue = (hue + 1) % kHues;
    return hueColor(hue);
  });
}

std::unique_ptr<Operation> makeFadeStepBaseline() {
  return std::make_unique<ColorStep>([colors = std::array{hueColor(0), hueColor(240)}, index = 0]() mutable {
    index ^= 1;
    return colors[static_cast<std::size_t>(index)];
  });
}

std::unique_ptr<Operation> makeLayoutBaseline() { return std::make_unique<FitColorView>(); }
std::unique_ptr<Operation> makePaletteBaseline() { return std::make_unique<Palette>(); }

}  // namespace bench
