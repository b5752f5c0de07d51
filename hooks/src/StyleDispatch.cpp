#include <string_view>
#include <utility>

#include "PillHooks.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

void startStyle(ColorPillView* colorView) {
  // Compared in this order; the first equal name wins.
  using aurora::objc::selector;
  static constexpr std::pair<std::string_view, SEL (*)()> styles[] = {
      {settings::kWave, &selector<"waveView">},     {settings::kSpectrum, &selector<"specturmView">},
      {settings::kFade, &selector<"fadeView">},     {settings::kBreathing, &selector<"breathingView">},
      {settings::kStatic, &selector<"staticView">},
  };
  for (const auto& [name, method] : styles) {
    if (settings::style == name) {
      objc_msgSend<void>(colorView, method());
      return;
    }
  }
}
