// Scenario scripts: the simulator's parser either refuses a script with
// ScriptError ("FILE:LINE: why") or gives lines in file order whose instants
// never go backwards, with nothing after `end`.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "FuzzCheck.h"
#include "host/ScriptParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  static const host::PillClasses classes{{"MTStaticColorPillView"}, {"MTLumaDodgePillView"}};
  host::Script script;
  try {
    script = host::parseScript("fuzz.aurora", text, classes);
  } catch (const host::ScriptError& error) {
    FUZZ_CHECK(std::string_view(error.what()).starts_with("fuzz.aurora:"));
    return 0;
  }
  for (std::size_t i = 0; i < script.lines.size(); ++i) {
    const host::ScriptLine& line = script.lines[i];
    FUZZ_CHECK(line.number >= 1 && line.at.count() >= 0);
    if (i > 0) FUZZ_CHECK(line.number > script.lines[i - 1].number && line.at >= script.lines[i - 1].at);
    if (std::holds_alternative<host::command::End>(line.command)) FUZZ_CHECK(i + 1 == script.lines.size());
  }
  return 0;
}
