#include <optional>

#include "Foundation/NSDictionary.h"
#include "libcolorpicker.h"
#include "settings/Settings.h"

namespace settings {
namespace {

// The dictionary of the most recent read, kept until the next one. Nothing
// looks into it but refreshPrefs.
constinit std::shared_ptr<const NSDictionary> settings;

// Reads `key` as `setting` when the dictionary holds a readable value for it.
template <class T, class Read>
void readPlain(const char* key, T& setting, Read read) {
  if (!settings) return;
  if (auto value = ((*settings).*read)(key)) setting = static_cast<T>(*value);
}

// A colour key always assigns: the file's colour string, or the fallback.
UIColorRef readColor(const char* key, const char* fallback) {
  std::optional<std::string> text = settings ? settings->stringValue(key) : std::nullopt;
  return LCPParseColorString(text ? *text : fallback, fallback);
}

}  // namespace

void refreshPrefs() {
  settings.reset();
  settings = NSDictionary::dictionaryWithContentsOfFile(kPreferencesPath);

  readPlain("enabled", enabled, &NSDictionary::boolValue);
  readPlain("style", style, &NSDictionary::stringValue);
  firstColor = readColor("fadeColor1", "#F62459");
  secondColor = readColor("fadeColor2", "#BF55EC");
  breathingColor = readColor("breathingColor", "#2ABB9B");
  staticColor = readColor("staticColor", "#F62459");
  // Numbers are read as 32-bit floats and widened: 0.1 is held as 0.10000000149011612.
  readPlain("waveAnimationSpeed", waveSpeed, &NSDictionary::floatValue);
  readPlain("waveOpacity", waveOpacity, &NSDictionary::floatValue);
  readPlain("specturmAnimationSpeed", specturmSpeed, &NSDictionary::floatValue);
  readPlain("specturmOpacity", specturmOpacity, &NSDictionary::floatValue);
  readPlain("homeBarOpacity", homeBarOpacity, &NSDictionary::floatValue);
  readPlain("breathingSpeed", breathingSpeed, &NSDictionary::floatValue);
  readPlain("fadeSpeed", fadeSpeed, &NSDictionary::floatValue);
  readPlain("waveDirection", waveDirection, &NSDictionary::stringValue);
}

}  // namespace settings
