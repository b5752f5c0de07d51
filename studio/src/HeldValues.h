// What the extension holds for each key it reads, as JSON for the page.
//
// The extension reads its preferences file at load and on each
// settings-changed notification; a read of a missing or unreadable file is a
// read of no dictionary. What one read leaves it holding is `readsFor`: a
// plain key takes the file's value when it is one of its type and otherwise
// keeps what it had; a colour always takes one, the file's or the fallback.
// HeldValues applies that rule to every read the platform reports, with the
// file's contents at that moment, so the page can show what a key absent from
// the file stands at: its initial value, or the last value read.
//
// It listens to the platform for as long as it lives, so it must be made
// before the extension loads to see its first read. Reads are reported on the
// main thread; `held` is asked from the server's thread.
#pragma once

#include <map>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "Foundation/NSDictionary.h"
#include "aurora/PlatformObserver.h"
#include "aurora/ThreadSafety.h"
#include "prefs/PreferenceKeys.h"

namespace studio {

// A number as JSON; NaN and the infinities, which JSON has no word for, as "nan", "inf", "-inf".
nlohmann::json jsonNumber(double value);

// What one read of `dictionary` (null: no file, or one the device cannot read)
// has the extension take for `key`: null where it keeps what it had.
nlohmann::json readsFor(const prefs::KnownKey& key, const NSDictionary* dictionary);

// The value the extension starts with: null for a colour, which holds a
// system colour until the first read replaces it.
nlohmann::json initialOf(const prefs::KnownKey& key);

class HeldValues final : public aurora::PlatformObserver {
 public:
  struct Held {
    nlohmann::json value;
    bool read;  // set by a read since the host started; else the initial value
  };

  void dictionaryRead(std::string_view devicePath, const NSDictionary* contents) override;
  // Every key the extension reads is held; a name it does not read throws std::out_of_range.
  Held held(std::string_view key) const;

 private:
  using HeldMap = std::map<std::string, Held, std::less<>>;
  static HeldMap initialHeld();

  mutable aurora::Mutex mutex_;
  HeldMap held_ AURORA_GUARDED_BY(mutex_) = initialHeld();
  // Last: reads are heard once every key holds its initial value.
  aurora::ObserverRegistration listening_{*this};
};

}  // namespace studio
