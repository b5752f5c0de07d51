#include "TraceForm.h"

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace sim::test {
namespace {

using Json = nlohmann::ordered_json;

// Each event's fields after "t" and "ev", in the order they are written.
const std::map<std::string, std::vector<std::string>> kFields = {
    {"load", {"path"}}, {"read", {"path", "ok"}}, {"post", {"name"}}, {"deliver", {"name"}}, {"new", {"id", "class", "frame"}},
    {"add", {"parent", "id"}}, {"remove", {"id"}}, {"destroy", {"id"}}, {"set", {"id", "prop", "value"}}, {"animate", {"anim", "duration"}},
    {"complete", {"anim", "finished"}}, {"timer", {"timer", "interval", "repeats"}}, {"schedule", {"timer", "mode"}}, {"fire", {"timer"}},
    {"invalidate", {"timer"}}, {"constraints", {"id", "format", "count"}}};

bool isNumber(const Json& v) { return v.is_null() || v.is_number(); }  // null: not finite
bool numbers(const Json& v, std::size_t count) { return v.is_array() && v.size() == count && std::all_of(v.begin(), v.end(), isNumber); }

// Whether a set's value has its property's shape.
bool valueFits(const std::string& prop, const Json& v) {
  if (prop == "frame" || prop == "backgroundColor" || prop == "layer.backgroundColor") return numbers(v, 4);
  if (prop == "alpha" || prop == "layer.cornerRadius") return isNumber(v);
  if (prop == "tag") return v.is_number_integer();
  if (prop == "clipsToBounds" || prop == "translatesAutoresizingMaskIntoConstraints" || prop == "layer.drawsAsynchronously") return v.is_boolean();
  if (prop == "layer.startPoint" || prop == "layer.endPoint") return numbers(v, 2);
  return prop == "layer.colors" && v.is_array() && std::all_of(v.begin(), v.end(), [](const Json& c) { return numbers(c, 4); });
}

}  // namespace

std::vector<std::string> traceFormProblems(std::string_view trace) {
  std::vector<std::string> problems;
  std::map<char, std::set<std::string>> made;  // ids by their kind: 'v'iews, 't'imers, 'a'nimations
  double lastT = 0;
  std::istringstream lines{std::string(trace)};
  std::string line;
  int n = 0;
  const auto bad = [&](const std::string& why) { problems.push_back("line " + std::to_string(n) + ": " + why); };
  const auto text = [](const Json& e, const char* key) { return e.contains(key) && e[key].is_string() ? e[key].get<std::string>() : std::string(); };
  // An id is made once in its kind's shape (a pill has its name instead), and used only after.
  const auto make = [&](char kind, const std::string& id, bool named) {
    if (!named && !std::regex_match(id, std::regex(std::string(1, kind) + "[0-9]+"))) bad("'" + id + "' is not of the form " + kind + "1, " + kind + "2, ...");
    made[kind].insert(id);
  };
  const auto use = [&](char kind, const std::string& id) { if (!made[kind].contains(id)) bad("'" + id + "' is used before it is made"); };

  while (std::getline(lines, line)) {
    ++n;
    const Json e = Json::parse(line, nullptr, false);
    if (e.is_discarded() || !e.is_object()) {
      bad("not a JSON object");
      continue;
    }
    if (n == 1) {
      if (line != "{\"ev\":\"trace\",\"version\":1}") bad("the first line must be {\"ev\":\"trace\",\"version\":1}");
      continue;
    }
    const std::string ev = text(e, "ev");
    const auto fields = kFields.find(ev);
    if (fields == kFields.end()) {
      bad("unknown event '" + ev + "'");
      continue;
    }
    std::vector<std::string> keys, wanted = {"t", "ev"};
    for (const auto& [key, value] : e.items()) keys.push_back(key);
    wanted.insert(wanted.end(), fields->second.begin(), fields->second.end());
    if (ev == "set" && e.contains("anim")) wanted.push_back("anim");
    if (keys != wanted) bad(ev + ": the fields are not " + Json(wanted).dump());
    if (!e.contains("t") || !e["t"].is_number() || e["t"].get<double>() < lastT) bad("'t' must be a number that never decreases");
    else lastT = e["t"].get<double>();

    const std::string id = text(e, "id");
    if (ev == "new") make('v', id, text(e, "class") != "ColorPillView" && text(e, "class") != "UIView");
    if (ev == "add") use('v', text(e, "parent"));
    if (ev == "add" || ev == "remove" || ev == "destroy" || ev == "set" || ev == "constraints") use('v', id);
    if (ev == "timer") make('t', text(e, "timer"), false);
    if (ev == "schedule" || ev == "fire" || ev == "invalidate") use('t', text(e, "timer"));
    if (ev == "animate") make('a', text(e, "anim"), false);
    if (ev == "complete" || (ev == "set" && e.contains("anim"))) use('a', text(e, "anim"));
    if (ev == "new" && !numbers(e.value("frame", Json()), 4)) bad("new: frame must be [x, y, w, h]");
    if (ev == "set" && !valueFits(text(e, "prop"), e.value("value", Json()))) bad("set " + text(e, "prop") + ": an unknown prop or a value of the wrong shape");
    if (ev == "set" && e.contains("anim") && text(e, "prop") != "backgroundColor" && text(e, "prop") != "layer.backgroundColor") {
      bad("set: only background colours carry 'anim'");
    }
    if ((ev == "timer" && !(isNumber(e.value("interval", Json(""))) && e.value("repeats", Json()).is_boolean())) ||
        (ev == "animate" && !isNumber(e.value("duration", Json(""))))) {
      bad(ev + ": intervals and durations are numbers or null, repeats a flag");
    }
    if ((ev == "load" || ev == "read") && text(e, "path").rfind('/', 0) != 0) bad(ev + ": paths are device paths");
  }
  if (n == 0) problems.push_back("the trace is empty");
  return problems;
}

}  // namespace sim::test
