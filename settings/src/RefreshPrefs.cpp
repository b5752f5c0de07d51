#include <optional>

#include "Foundation/NSDictionary.h"
#include "libcolorpicker.h"
#include "settings/Settings.h"

namespace settings {
namespace {

// The dictionary of the most recent read, kept until the next one. Nothing
// looks into it but refreshPrefs.
constinit std::shared_ptr<const NSDictionary> lastRead;

// A plain key assigns only when the dictionary holds a value readable as its type.
template <class T, class Value>
void assign(T& setting, const std::optional<Value>& value) {
  if (value) setting = static_cast<T>(*value);
}

void readPlain(const FlagKey& key, bool& setting) {
  if (lastRead) assign(setting, lastRead->boolValue(key.name));
}

void readPlain(const TextKey& key, std::string& setting) {
  if (lastRead) assign(setting, lastRead->stringValue(key.name));
}

// Numbers are read as 32-bit floats and widened: 0.1 is held as 0.10000000149011612.
void readPlain(const NumberKey& key, CGFloat& setting) {
  if (lastRead) assign(setting, lastRead->floatValue(key.name));
}

// A colour key always assigns: the file's colour string, or the fallback.
UIColorRef readColor(const ColorKey& key) {
  std::optional<std::string> text = lastRead ? lastRead->stringValue(key.name) : std::nullopt;
  return LCPParseColorString(text ? *text : key.fallback, key.fallback);
}

}  // namespace

void refreshPrefs() {
  lastRead.reset();
  lastRead = NSDictionary::dictionaryWithContentsOfFile(kPreferencesPath);

  readPlain(key::enabled, enabled);
  readPlain(key::style, style);
  firstColor = readColor(key::fadeColor1);
  secondColor = readColor(key::fadeColor2);
  breathingColor = readColor(key::breathingColor);
  staticColor = readColor(key::staticColor);
  readPlain(key::waveAnimationSpeed, waveSpeed);
  readPlain(key::waveOpacity, waveOpacity);
  readPlain(key::specturmAnimationSpeed, specturmSpeed);
  readPlain(key::specturmOpacity, specturmOpacity);
  readPlain(key::homeBarOpacity, homeBarOpacity);
  readPlain(key::breathingSpeed, breathingSpeed);
  readPlain(key::fadeSpeed, fadeSpeed);
  readPlain(key::waveDirection, waveDirection);
}

}  // namespace settings
