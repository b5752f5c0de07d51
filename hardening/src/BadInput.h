// The bad-input matrix: preferences files a settings pane (or anything else)
// might leave behind. One row per key and hostile value — wrong types, empty
// and very long strings, non-ASCII text, NaN, infinities, negatives, zero and
// huge numbers, arrays, dictionaries, data and dates — and rows for whole
// files: empty, truncated, garbage, deeply nested, huge, self-expanding, and
// things that are not files at all.
//
//   for (const BadInputRow& row : badInputRows()) row.write(prefsHostPath, "Fade");
//
// A key row writes the sane settings for one style with its key's value
// replaced; a whole-file row writes the same thing whatever the style. Pure
// apart from the file written; any thread.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "aurora/PreferencesFile.h"

namespace hardening {

inline constexpr std::string_view kWholeFile = "(whole file)";

struct BadInputRow {
  std::string key;    // a preferences key, or kWholeFile
  std::string value;  // what is written, for people: "real NaN", "string of 100000 'x'"
  // Replaces whatever is at `file` (a host path) with this row's input for a
  // pill of `style`.
  std::function<void(const std::filesystem::path& file, std::string_view style)> write;
};

// Every row: each key AuroraRibbon reads, with each hostile value, then the
// whole-file rows.
std::vector<BadInputRow> badInputRows();

// The sane settings for `style`: every key, each with a value its reader takes.
std::vector<aurora::PreferenceEntry> saneSettings(std::string_view style);

// Removes whatever is at `file` (file, folder, FIFO, link), keeping its folder.
void clearPath(const std::filesystem::path& file);
// Clears `file` and writes `bytes` there atomically.
void replaceFile(const std::filesystem::path& file, std::string_view bytes);

}  // namespace hardening
