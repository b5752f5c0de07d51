#include "host/ScriptParser.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <set>

#include "ScriptTokenizer.h"
#include "aurora/StrictNumbers.h"
#include "host/Seconds.h"

namespace host {
namespace {

// Why one line is refused; the parser adds the file and line.
struct LineError {
  std::string why;
};

[[noreturn]] void refuse(std::string why) { throw LineError{std::move(why)}; }

bool contains(const std::vector<std::string>& list, std::string_view item) {
  return std::find(list.begin(), list.end(), item) != list.end();
}

bool isWordStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool isWordChar(char c) { return isWordStart(c) || (c >= '0' && c <= '9'); }

// v12, t3, a7: the trace's own ids for views, timers and animations.
bool looksGenerated(std::string_view name) {
  return name.size() >= 2 && (name[0] == 'v' || name[0] == 't' || name[0] == 'a') &&
         std::all_of(name.begin() + 1, name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The tokens of one command after `at SECONDS`, read left to right.
class Args {
 public:
  Args(const std::vector<std::string>& tokens, std::string usage) : tokens_(tokens), usage_(std::move(usage)) {}

  const std::string& next() {
    if (index_ == tokens_.size()) refuse(fmt::format("missing arguments; usage: {}", usage_));
    return tokens_[index_++];
  }
  bool more() const { return index_ < tokens_.size(); }
  void finish() const {
    if (more()) refuse(fmt::format("unexpected '{}'; usage: {}", tokens_[index_], usage_));
  }

  std::int64_t integer(std::string_view what) {
    const std::string& token = next();
    if (auto value = aurora::readInteger(token)) return *value;
    refuse(fmt::format("bad number '{}' for {}: not a decimal integer", token, what));
  }
  // A decimal real, or a non-finite one by name: a script writes those into
  // the preferences file on purpose, never by overflow.
  double real(std::string_view what) {
    const std::string& token = next();
    if (auto value = aurora::readReal(token)) return *value;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    if (token == "inf") return kInfinity;
    if (token == "-inf") return -kInfinity;
    if (token == "nan") return std::numeric_limits<double>::quiet_NaN();
    refuse(fmt::format("bad number '{}' for {}", token, what));
  }
  double finite(std::string_view what) {
    const double value = real(what);
    if (!std::isfinite(value)) refuse(fmt::format("bad number for {}: it must be finite", what));
    return value;
  }
  CGRect rect() {
    const double x = finite("X"), y = finite("Y"), w = finite("W"), h = finite("H");
    return CGRectMake(x, y, w, h);
  }
  template <class T>
  T oneOf(std::string_view what, const std::map<std::string, T, std::less<>>& choices) {
    const std::string& token = next();
    if (auto it = choices.find(token); it != choices.end()) return it->second;
    std::vector<std::string> names;
    names.reserve(choices.size());
    for (const auto& [name, value] : choices) names.push_back(name);
    refuse(fmt::format("{} must be one of {}, not '{}'", what, fmt::join(names, ", "), token));
  }
  std::string text(std::string_view what) {
    const std::string& token = next();
    if (token.find('\0') != std::string::npos) refuse(fmt::format("{} contains a NUL byte", what));
    return token;
  }

 private:
  const std::vector<std::string>& tokens_;
  std::string usage_;
  std::size_t index_ = 0;
};

class Parser {
 public:
  explicit Parser(const PillClasses& classes) : classes_(classes) {}

  // The command on one line; nothing for a blank line or a comment.
  std::optional<ScriptLine> line(int number, std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos || text[first] == '#') return std::nullopt;
    std::vector<std::string> tokens;
    try {
      tokens = tokenizeLine(text);
    } catch (const TokenError& error) {
      refuse(error.what());
    }
    if (tokens.size() < 2 || tokens[0] != "at") refuse("a line starts with `at SECONDS`");
    if (ended_) refuse("nothing can follow `end`");
    const auto at = parseSeconds(tokens[1]);
    if (!at) refuse(fmt::format("bad number '{}' for SECONDS: a plain decimal number of seconds", tokens[1]));
    if (*at < previous_) {
      refuse(
          fmt::format("time {} goes backwards (an earlier line is at {} s)", tokens[1], aurora::toSeconds(previous_)));
    }
    previous_ = *at;
    if (tokens.size() == 2) refuse("a command must follow `at SECONDS`");
    const std::vector<std::string> rest(tokens.begin() + 2, tokens.end());
    return ScriptLine{number, *at, command(rest)};
  }

 private:
  Command command(const std::vector<std::string>& tokens) {
    const std::string& verb = tokens[0];
    const std::string object = tokens.size() > 1 ? tokens[1] : "";
    const std::vector<std::string> args(tokens.begin() + std::min<std::size_t>(2, tokens.size()), tokens.end());
    if (verb == "prefs") return prefs(object, args);
    if (verb == "pill") return pill(object, args);
    const std::vector<std::string> after(tokens.begin() + 1, tokens.end());
    if (verb == "notify") {
      Args a(after, "notify [NAME]");
      command::Notify notify;
      if (a.more()) {
        notify.name = a.text("NAME");
        if (notify.name->empty()) refuse("a notification name cannot be empty");
      }
      a.finish();
      return notify;
    }
    if (verb == "runloop" && object == "mode") {
      Args a(args, "runloop mode default|tracking");
      const auto mode =
          a.oneOf<NSRunLoopMode>("the mode", {{"default", NSDefaultRunLoopMode}, {"tracking", UITrackingRunLoopMode}});
      a.finish();
      return command::RunLoopMode{mode};
    }
    if (verb == "snapshot") {
      Args a(after, "snapshot FILE.png");
      std::string file = a.text("FILE");
      a.finish();
      if (file.size() <= 4 || file.substr(file.size() - 4) != ".png") refuse("a snapshot is written to a FILE.png");
      return command::Snapshot{std::move(file)};
    }
    if (verb == "end") {
      Args(after, "end").finish();
      ended_ = true;
      return command::End{};
    }
    refuse(fmt::format("unknown command '{}'", verb == "runloop" ? verb + " " + object : verb));
  }

  Command prefs(const std::string& what, const std::vector<std::string>& args) {
    if (what == "set") {
      Args a(args, "prefs set KEY bool|int|real|string VALUE");
      std::string key = a.text("KEY");
      enum class Type { Bool, Int, Real, String };
      const Type type = a.oneOf<Type>(
          "the type", {{"bool", Type::Bool}, {"int", Type::Int}, {"real", Type::Real}, {"string", Type::String}});
      aurora::PreferenceValue value;
      switch (type) {
        case Type::Bool:
          value = a.oneOf<bool>("a bool", {{"true", true}, {"false", false}});
          break;
        case Type::Int:
          value = a.integer("an int");
          break;
        case Type::Real:
          value = a.real("a real");
          break;
        case Type::String:
          value = a.text("VALUE");
          break;
      }
      a.finish();
      return command::PrefsSet{{std::move(key), std::move(value)}};
    }
    if (what == "unset") {
      Args a(args, "prefs unset KEY");
      std::string key = a.text("KEY");
      a.finish();
      return command::PrefsUnset{std::move(key)};
    }
    if (what == "delete") {
      Args(args, "prefs delete").finish();
      return command::PrefsDelete{};
    }
    if (what == "raw") {
      Args a(args, "prefs raw \"TEXT\"");
      std::string bytes = a.next();
      a.finish();
      return command::PrefsRaw{std::move(bytes)};
    }
    if (what == "format") {
      Args a(args, "prefs format xml|binary");
      const auto format = a.oneOf<aurora::PlistFormat>(
          "the format", {{"xml", aurora::PlistFormat::Xml}, {"binary", aurora::PlistFormat::Binary}});
      a.finish();
      return command::PrefsFormat{format};
    }
    refuse(fmt::format("unknown command 'prefs {}'", what));
  }

  Command pill(const std::string& what, const std::vector<std::string>& args) {
    if (what == "add") {
      Args a(args, "pill add NAME CLASS X Y W H");
      std::string name = a.next();
      std::string className = a.next();
      const CGRect frame = a.rect();
      a.finish();
      checkNewName(name);
      checkClass(className);
      live_.insert(name);
      used_.insert(name);
      return command::PillAdd{std::move(name), std::move(className), frame};
    }
    if (what == "frame") {
      Args a(args, "pill frame NAME X Y W H");
      std::string name = livePill(a.next());
      const CGRect frame = a.rect();
      a.finish();
      return command::PillFrame{std::move(name), frame};
    }
    if (what == "layout") {
      Args a(args, "pill layout NAME");
      std::string name = livePill(a.next());
      a.finish();
      return command::PillLayout{std::move(name)};
    }
    if (what == "send") {
      Args a(args, "pill send NAME SELECTOR");
      std::string name = livePill(a.next());
      std::string selector = a.next();
      a.finish();
      if (selector.find(':') != std::string::npos)
        refuse(fmt::format("{} takes arguments; `pill send` sends messages without any", selector));
      if (selector.empty() || !isWordStart(selector[0]) || !std::all_of(selector.begin(), selector.end(), isWordChar)) {
        refuse(fmt::format("'{}' is not a selector", selector));
      }
      return command::PillSend{std::move(name), std::move(selector)};
    }
    if (what == "addview") {
      Args a(args, "pill addview NAME TAG");
      std::string name = livePill(a.next());
      const NSInteger tag = a.integer("TAG");
      a.finish();
      return command::PillAddView{std::move(name), tag};
    }
    if (what == "remove") {
      Args a(args, "pill remove NAME");
      std::string name = livePill(a.next());
      a.finish();
      live_.erase(name);
      return command::PillRemove{std::move(name)};
    }
    refuse(fmt::format("unknown command 'pill {}'", what));
  }

  void checkNewName(const std::string& name) {
    if (name.empty() || !isWordStart(name[0]) ||
        !std::all_of(name.begin(), name.end(), [](char c) { return isWordChar(c) || c == '-'; })) {
      refuse(fmt::format("'{}' is not a pill name: a word of letters, digits, _ and -", name));
    }
    if (looksGenerated(name))
      refuse(fmt::format("the pill name '{}' looks like a generated trace id (v12, t3, a7)", name));
    if (used_.contains(name))
      refuse(fmt::format("the pill name '{}' is already taken (names are not reused, so trace ids stay unique)", name));
  }

  void checkClass(const std::string& className) {
    if (contains(classes_.available, className)) return;
    if (contains(classes_.leftOut, className))
      refuse(fmt::format("this process lacks the class {} (left out by --without-class)", className));
    refuse(fmt::format("this process has no pill class {} (it has: {})", className,
                       classes_.available.empty() ? "none" : fmt::format("{}", fmt::join(classes_.available, ", "))));
  }

  const std::string& livePill(const std::string& name) {
    if (live_.contains(name)) return name;
    if (used_.contains(name)) refuse(fmt::format("the pill '{}' was removed earlier", name));
    refuse(fmt::format("the pill '{}' is used before it is added", name));
  }

  const PillClasses& classes_;
  aurora::Nanoseconds previous_{0};
  std::set<std::string, std::less<>> live_;
  std::set<std::string, std::less<>> used_;
  bool ended_ = false;
};

}  // namespace

Script parseScript(std::string file, std::string_view text, const PillClasses& classes) {
  Script script{std::move(file), {}};
  Parser parser(classes);
  int number = 0;
  while (!text.empty()) {
    const std::size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    try {
      if (auto parsed = parser.line(number, line)) script.lines.push_back(std::move(*parsed));
    } catch (const LineError& error) {
      throw ScriptError(fmt::format("{}:{}: {}", script.file, number, error.why));
    }
  }
  return script;
}

Script readScriptFile(const std::filesystem::path& file, const PillClasses& classes) {
  std::error_code error;
  std::ifstream in;
  if (std::filesystem::is_regular_file(file, error)) in.open(file, std::ios::binary);
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in.is_open() || in.bad()) throw ScriptError(fmt::format("{}: cannot read the script", file.string()));
  return parseScript(file.string(), text, classes);
}

}  // namespace host
