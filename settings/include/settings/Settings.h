// The process-wide settings of the extension: the master switch, the style,
// the four colours, the speeds, the pill opacity and the wave direction. Their
// keys, initial values and fallbacks are the contract's (settings/Contract.h).
//
// They are written only by assignInitialValues (at load, before anything else)
// and by refreshPrefs, which fills them from the preferences file; every other
// part of the extension reads them directly. Colours are held by strong
// reference; the speeds are 32-bit floats from the file, widened to CGFloat.
//
// Main thread only (the load runs before the host makes its first pill).
#pragma once

#include <string>

#include "CoreGraphics/CGGeometry.h"
#include "UIKit/UIColor.h"
#include "objc/runtime.h"
#include "settings/Contract.h"

namespace settings {

extern bool enabled;
extern std::string style;
extern UIColorRef firstColor;
extern UIColorRef secondColor;
extern UIColorRef breathingColor;
extern UIColorRef staticColor;
extern CGFloat waveSpeed;
extern CGFloat waveOpacity;  // read, not applied by any style
extern CGFloat specturmSpeed;
extern CGFloat specturmOpacity;  // read, not applied by any style
extern CGFloat homeBarOpacity;
extern CGFloat breathingSpeed;
extern CGFloat fadeSpeed;
extern std::string waveDirection;

// The number of colours in a two-colour cycle.
inline constexpr NSUInteger totalColors = 2;

// The values every setting has before the first read.
void assignInitialValues();

// Reads the preferences file anew and updates the settings: a plain setting
// whose key is absent (or unreadable as its type) keeps its value; a colour
// whose key is absent or unparsable takes its fallback colour. Never fails.
void refreshPrefs();

}  // namespace settings
