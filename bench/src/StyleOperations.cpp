// The extension's styles, one step at a time, each at its own instant of the
// virtual clock: a wave update (the timer fires, its block queues the update,
// the update turns the palette and shows 60 hues), a spectrum step and a fade
// step (an animation ends, its completion begins the next one).
#include <algorithm>
#include <stdexcept>

#include "BenchDevice.h"
#include "Foundation/NSRunLoop.h"
#include "Operations.h"
#include "StyledPill.h"
#include "settings/Settings.h"

namespace bench {
namespace {

// The wave's timer was made at time 0, so it fires at whole multiples of its interval.
class WaveUpdate final : public Operation {
 public:
  WaveUpdate() : styled_(makeStyledPill("Wave")), interval_(*aurora::timerIntervalFromSeconds(settings::waveSpeed)) {
    if (styled_.colorView->timer()->fireDate() != interval_)
      throw std::runtime_error("the wave's timer is not due after one interval");
    run();
    if (styled_.colorView->gradientLayer()->colors().size() != 60)
      throw std::runtime_error("the wave shows no 60 hues");
  }
  void run() override { runInstantAt(next_ += interval_); }

 private:
  StyledPill styled_;
  aurora::Nanoseconds interval_;
  aurora::Nanoseconds next_{0};
};

// Each step of an animated style lasts its setting (at least one display frame,
// read once the preferences are applied) and the next begins as it ends.
class AnimatedStep final : public Operation {
 public:
  AnimatedStep(const char* style, const CGFloat& stepSeconds, NSUInteger (ColorPillView::*progress)() const)
      : styled_(makeStyledPill(style)),
        step_(std::max(aurora::timerIntervalFromSeconds(stepSeconds).value(), aurora::kDisplayFrame)) {
    const NSUInteger before = (styled_.colorView->*progress)();
    run();
    if ((styled_.colorView->*progress)() == before) throw std::runtime_error(std::string("no step of ") + style);
  }
  void run() override { runInstantAt(NSRunLoop::mainRunLoop().now() + step_); }

 private:
  StyledPill styled_;
  aurora::Nanoseconds step_;
};

}  // namespace

std::unique_ptr<Operation> makeWaveUpdate() { return std::make_unique<WaveUpdate>(); }

std::unique_ptr<Operation> makeSpectrumStep() {
  return std::make_unique<AnimatedStep>("Spectrum", settings::specturmSpeed, &ColorPillView::currentHueNum);
}

std::unique_ptr<Operation> makeFadeStep() {
  return std::make_unique<AnimatedStep>("Fade", settings::fadeSpeed, &ColorPillView::colorNum);
}

}  // namespace bench
