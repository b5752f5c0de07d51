#include <string_view>
#include <utility>

#include "PillHooks.h"
#include "pillview/ColorPillView.h"
#include "settings/Settings.h"

void startStyle(ColorPillView* colorView) {
  // Compared in this order; the first equal name wins.
  static constexpr std::pair<std::string_view, const char*> styles[] = {
      {"Wave", "waveView"}, {"Spectrum", "specturmView"}, {"Fade", "fadeView"},
      {"Breathing", "breathingView"}, {"Static", "staticView"},
  };
  for (const auto& [name, method] : styles) {
    if (settings::style == name) {
      objc_msgSend<void>(colorView, sel_registerName(method));
      return;
    }
  }
}
