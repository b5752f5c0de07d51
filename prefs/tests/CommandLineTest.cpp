// The settings pane's command line: the three commands, the options on either
// side of them, KEY -TYPE VALUE triples, help, and refusals.
#include "CommandLine.h"

#include <gtest/gtest.h>

#include <sstream>

namespace prefs {
namespace {

struct Parsed {
  std::variant<Invocation, int> result;
  std::string out;
  std::string err;
};

Parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "auroraribbon-prefs");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  std::ostringstream out, err;
  auto result = parseCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  return {std::move(result), out.str(), err.str()};
}

Invocation invocation(const std::vector<std::string>& args) {
  Parsed parsed = parse(args);
  EXPECT_TRUE(std::holds_alternative<Invocation>(parsed.result)) << parsed.err;
  return std::holds_alternative<Invocation>(parsed.result) ? std::get<Invocation>(parsed.result) : Invocation{};
}

std::vector<WriteItem> itemsOf(const Invocation& parsed) {
  const auto* write = std::get_if<WriteCommand>(&parsed.command);
  return write != nullptr ? write->items : std::vector<WriteItem>{};
}

// --- Commands --------------------------------------------------------------

TEST(PrefsCommandLine, ReadsTheWholeFileOrOneKey) {
  EXPECT_EQ(std::get<ReadCommand>(invocation({"read"}).command).key, std::nullopt);
  EXPECT_EQ(std::get<ReadCommand>(invocation({"read", "style"}).command).key, "style");
}

TEST(PrefsCommandLine, DeletesTheWholeFileOrOneKey) {
  EXPECT_EQ(std::get<DeleteCommand>(invocation({"delete"}).command).key, std::nullopt);
  EXPECT_EQ(std::get<DeleteCommand>(invocation({"delete", "enabled"}).command).key, "enabled");
}

TEST(PrefsCommandLine, WritesTriplesInOrder) {
  EXPECT_EQ(itemsOf(invocation({"write", "enabled", "-bool", "true", "homeBarOpacity", "-float", "0.5", "fadeSpeed",
                                "-int", "3", "style", "-string", "Fade"})),
            (std::vector<WriteItem>{{"enabled", ValueType::Bool, "true"},
                                    {"homeBarOpacity", ValueType::Float, "0.5"},
                                    {"fadeSpeed", ValueType::Int, "3"},
                                    {"style", ValueType::String, "Fade"}}));
}

TEST(PrefsCommandLine, ValuesThatLookLikeOptionsAreValues) {
  EXPECT_EQ(itemsOf(invocation({"write", "n", "-int", "-1", "s", "-string", "-h", "t", "-string", "--help"})),
            (std::vector<WriteItem>{{"n", ValueType::Int, "-1"}, {"s", ValueType::String, "-h"}, {"t", ValueType::String, "--help"}}));
}

// --- Options -----------------------------------------------------------------

TEST(PrefsCommandLine, XmlUnderTheCurrentDeviceRootByDefault) {
  ::unsetenv("AURORARIBBON_ROOT");
  EXPECT_EQ(invocation({"read"}).root, "/");
  ::setenv("AURORARIBBON_ROOT", "/some/root", 1);
  const Invocation parsed = invocation({"read"});
  ::unsetenv("AURORARIBBON_ROOT");
  EXPECT_EQ(parsed.root, "/some/root");
  EXPECT_EQ(parsed.format, aurora::PlistFormat::Xml);
}

TEST(PrefsCommandLine, RootAndBinaryGoBeforeOrJustAfterTheCommand) {
  const Invocation before = invocation({"--root", "/r", "--binary", "write", "a", "-bool", "1"});
  EXPECT_EQ(before.root, "/r");
  EXPECT_EQ(before.format, aurora::PlistFormat::Binary);
  const Invocation after = invocation({"delete", "--binary", "--root=/q", "a"});
  EXPECT_EQ(after.root, "/q");
  EXPECT_EQ(after.format, aurora::PlistFormat::Binary);
}

TEST(PrefsCommandLine, HelpListsTheCommandsTypesAndKeys) {
  const Parsed parsed = parse({"--help"});
  ASSERT_EQ(std::get<int>(parsed.result), 0);
  for (const char* text : {"read", "write", "delete", "--binary", "--root", "-float", "fadeColor1", "#RRGGBB",
                           "specturmOpacity", "Exit status"}) {
    EXPECT_NE(parsed.out.find(text), std::string::npos) << text;
  }
  EXPECT_EQ(std::get<int>(parse({"write", "--help"}).result), 0);
}

// --- Refusals ------------------------------------------------------------------

struct Refusal {
  std::vector<std::string> args;
  std::string message;
};

class PrefsCommandLineRefusal : public ::testing::TestWithParam<Refusal> {};

TEST_P(PrefsCommandLineRefusal, IsStatus2WithTheReason) {
  const Parsed parsed = parse(GetParam().args);
  ASSERT_TRUE(std::holds_alternative<int>(parsed.result));
  EXPECT_EQ(std::get<int>(parsed.result), 2);
  EXPECT_NE(parsed.err.find(GetParam().message), std::string::npos) << parsed.err;
  EXPECT_NE(parsed.err.find("Usage"), std::string::npos) << parsed.err;
}

INSTANTIATE_TEST_SUITE_P(
    BadCommandLines, PrefsCommandLineRefusal,
    ::testing::Values(Refusal{{}, "a command is needed: read, write or delete"},
                      Refusal{{"frobnicate"}, "unknown command 'frobnicate' (read, write or delete)"},
                      Refusal{{"read", "a", "b"}, "not expected: b"},
                      Refusal{{"write"}, "ITEMS is required"},
                      Refusal{{"write", "enabled"}, "enabled needs -TYPE VALUE"},
                      Refusal{{"write", "enabled", "-bool"}, "enabled -bool needs a value"},
                      Refusal{{"write", "enabled", "-boolean", "1"}, "expected -bool, -int, -float or -string, got '-boolean'"},
                      Refusal{{"write", "enabled", "true"}, "got 'true'"},
                      Refusal{{"write", "a", "-bool", "1", "--binary"}, "'--binary' is not a key: options go before"},
                      Refusal{{"write", "", "-bool", "1"}, "a key must not be empty"},
                      Refusal{{"--colour", "read"}, "--colour"},
                      Refusal{{"read", "--binary", "x", "y"}, "not expected: y"}),
    [](const auto& info) { return "Case" + std::to_string(info.index); });

}  // namespace
}  // namespace prefs
