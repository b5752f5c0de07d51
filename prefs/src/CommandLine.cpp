#include "CommandLine.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <array>
#include <stdexcept>
#include <utility>

#include "aurora/DeviceRoot.h"

namespace prefs {
namespace {

constexpr const char* kValueTypes = R"(Value types:
  -bool    true, false, yes, no (any case), 1 or 0
  -int     a decimal integer that fits in 64 bits
  -float   a finite decimal number, such as 0.5 or 1e-3
  -string  any text)";

constexpr const char* kOutput = R"(`read` prints the dictionary as { KEY = VALUE; ... }, one key a line, with
booleans as 1 and 0, numbers as they read back exactly, strings in double
quotes unless they are plain words, arrays as ( ... ) and dates and data as
the `defaults` tool shows them; `read KEY` prints that value alone (a string
without quotes). Every change is followed by the settings-changed
notification, so a running simulator shows it at once.

Exit status: 0 done; 1 no such file or key, or the file could not be read or
written (it is left as it was); 2 a bad command line or a refused value
(nothing is written).
)";

constexpr const char* kUsage = R"(Usage: auroraribbon-prefs [--root DIR] [--binary] read [KEY]
       auroraribbon-prefs [--root DIR] [--binary] write KEY -bool|-int|-float|-string VALUE [KEY -TYPE VALUE ...]
       auroraribbon-prefs [--root DIR] [--binary] delete [KEY]
Run with --help for the value types, the keys and the exit statuses.
)";

std::string footer() {
  std::string text =
      std::string(kValueTypes) + "\n\nKeys AuroraRibbon reads (any other key is written with a warning):\n";
  for (const KnownKey& key : knownKeys()) text += fmt::format("  {:<24}{}\n", key.name(), usageOf(key));
  return text + "\n" + kOutput;
}

ValueType valueType(const std::string& flag) {
  for (const ValueType type : {ValueType::Bool, ValueType::Int, ValueType::Float, ValueType::String}) {
    if (typeFlag(type) == flag) return type;
  }
  throw std::invalid_argument(fmt::format("expected -bool, -int, -float or -string, got '{}'", flag));
}

// KEY -TYPE VALUE, as often as given.
std::vector<WriteItem> writeItems(const std::vector<std::string>& words) {
  std::vector<WriteItem> items;
  for (std::size_t i = 0; i < words.size(); i += 3) {
    const std::string& key = words[i];
    if (key.starts_with("--")) {
      throw std::invalid_argument(fmt::format("'{}' is not a key: options go before KEY -TYPE VALUE", key));
    }
    if (key.empty()) throw std::invalid_argument("a key must not be empty");
    if (i + 1 == words.size()) throw std::invalid_argument(fmt::format("{} needs -TYPE VALUE", key));
    const ValueType type = valueType(words[i + 1]);
    if (i + 2 == words.size()) throw std::invalid_argument(fmt::format("{} {} needs a value", key, words[i + 1]));
    items.push_back({key, type, words[i + 2]});
  }
  return items;
}

}  // namespace

std::variant<Invocation, int> parseCommandLine(int argc, const char* const* argv, std::ostream& out,
                                               std::ostream& err) {
  CLI::App app{
      "Reads and writes AuroraRibbon's preferences file on a simulated device, and tells running "
      "processes that it changed.",
      "auroraribbon-prefs"};
  app.footer(footer());
  app.require_subcommand(1);
  app.fallthrough();  // --root and --binary may also follow the command

  std::string root = aurora::deviceRoot().string();
  bool binary = false;
  app.add_option("--root", root, "The simulated device root (default: $AURORARIBBON_ROOT, else /)")
      ->type_name("DIR")
      ->capture_default_str();
  app.add_flag("--binary", binary, "Write the file as a binary property list (default: XML)");

  std::optional<std::string> readKey;
  CLI::App* read = app.add_subcommand("read", "Print the whole dictionary, or the value of KEY");
  read->add_option("KEY", readKey, "The key to print");

  std::vector<std::string> words;
  CLI::App* write = app.add_subcommand("write", "Write one or more keys, keeping every other key");
  write->add_option("ITEMS", words, "A key, its type and its value, as often as needed")
      ->type_name("KEY -TYPE VALUE")
      ->required();
  write->positionals_at_end();  // after the first key, "-bool" and "-1" are words, not options

  std::optional<std::string> deleteKey;
  CLI::App* remove = app.add_subcommand("delete", "Remove KEY, or the whole file");
  remove->add_option("KEY", deleteKey, "The key to remove");

  Invocation invocation;
  try {
    app.parse(argc, argv);
    if (read->parsed()) invocation.command = ReadCommand{readKey};
    if (write->parsed()) invocation.command = WriteCommand{writeItems(words)};
    if (remove->parsed()) invocation.command = DeleteCommand{deleteKey};
  } catch (const CLI::Success& done) {
    return app.exit(done, out, err);
  } catch (const CLI::ParseError& error) {
    // A word that names no command is left over rather than reported by CLI11.
    const std::vector<std::string> unknown = app.remaining();
    std::string reason = error.what();
    if (app.get_subcommands().empty()) {
      reason = unknown.empty() ? "a command is needed: read, write or delete"
                               : fmt::format("unknown command '{}' (read, write or delete)", unknown.front());
    }
    err << "auroraribbon-prefs: " << reason << '\n' << kUsage;
    return 2;
  } catch (const std::invalid_argument& error) {
    err << "auroraribbon-prefs: write: " << error.what() << '\n' << kUsage;
    return 2;
  }
  invocation.root = root;
  invocation.format = binary ? aurora::PlistFormat::Binary : aurora::PlistFormat::Xml;
  return invocation;
}

}  // namespace prefs
