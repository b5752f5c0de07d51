#include "TraceForm.h"

#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

namespace sim::test {
namespace {

using Json = nlohmann::json;

const std::map<std::string, std::set<std::string>> kFields = {
    {"load", {"path"}}, {"read", {"path", "ok"}}, {"post", {"name"}}, {"deliver", {"name"}},
    {"new", {"id", "class", "frame"}}, {"add", {"parent", "id"}}, {"remove", {"id"}},
    {"set", {"id", "prop", "value"}}, {"animate", {"anim", "duration"}}, {"complete", {"anim", "finished"}},
    {"timer", {"timer", "interval", "repeats"}}, {"schedule", {"timer", "mode"}}, {"fire", {"timer"}},
    {"invalidate", {"timer"}}, {"constraints", {"id", "format", "count"}}, {"destroy", {"id"}},
};

enum class Shape { Number, Int, Bool, Rect, Colour, Point, Colours };

const std::map<std::string, Shape> kProps = {
    {"frame", Shape::Rect}, {"alpha", Shape::Number}, {"tag", Shape::Int}, {"clipsToBounds", Shape::Bool},
    {"translatesAutoresizingMaskIntoConstraints", Shape::Bool}, {"backgroundColor", Shape::Colour},
    {"layer.backgroundColor", Shape::Colour}, {"layer.cornerRadius", Shape::Number}, {"layer.colors", Shape::Colours},
    {"layer.startPoint", Shape::Point}, {"layer.endPoint", Shape::Point}, {"layer.drawsAsynchronously", Shape::Bool},
};

bool isNumber(const Json& v) { return v.is_null() || v.is_number(); }

bool numbers(const Json& v, std::size_t count) {
  if (!v.is_array() || v.size() != count) return false;
  for (const Json& x : v) if (!isNumber(x)) return false;
  return true;
}

bool hasShape(const Json& v, Shape shape) {
  switch (shape) {
    case Shape::Number: return isNumber(v);
    case Shape::Int: return v.is_number_integer();
    case Shape::Bool: return v.is_boolean();
    case Shape::Rect:
    case Shape::Colour: return numbers(v, 4);
    case Shape::Point: return numbers(v, 2);
    case Shape::Colours:
      if (!v.is_array()) return false;
      for (const Json& c : v) if (!numbers(c, 4)) return false;
      return true;
  }
  return false;
}

// The text under `key`, or "" when there is none.
std::string text(const Json& e, const char* key) {
  auto it = e.find(key);
  return it != e.end() && it->is_string() ? it->get<std::string>() : std::string();
}

bool matches(const Json& v, const std::regex& pattern) { return v.is_string() && std::regex_match(v.get<std::string>(), pattern); }

}  // namespace

std::vector<std::string> traceFormProblems(std::string_view trace) {
  static const std::regex viewId("v[0-9]+"), timerId("t[0-9]+"), animId("a[0-9]+");
  std::vector<std::string> problems;
  std::set<std::string> views, timers, anims;
  double lastT = 0;
  std::istringstream lines{std::string(trace)};
  std::string line;
  int n = 0;
  auto bad = [&](const std::string& why) { problems.push_back("line " + std::to_string(n) + ": " + why); };
  auto known = [&](const std::set<std::string>& ids, const Json& id) { return id.is_string() && ids.contains(id.get<std::string>()); };

  while (std::getline(lines, line)) {
    ++n;
    const Json e = Json::parse(line, nullptr, false);
    if (e.is_discarded() || !e.is_object()) {
      bad("not a JSON object");
      continue;
    }
    if (n == 1) {
      if (e != Json{{"ev", "trace"}, {"version", 1}}) bad("the first line must be {\"ev\":\"trace\",\"version\":1}");
      continue;
    }
    const std::string ev = text(e, "ev");
    auto fields = kFields.find(ev);
    if (fields == kFields.end()) {
      bad("unknown event '" + ev + "'");
      continue;
    }
    if (!e.contains("t") || !e["t"].is_number() || e["t"].get<double>() < lastT) bad("'t' must be a number that never decreases");
    else lastT = e["t"].get<double>();
    std::set<std::string> keys;
    for (const auto& [key, value] : e.items()) if (key != "t" && key != "ev") keys.insert(key);
    std::set<std::string> allowed = fields->second;
    if (ev == "set") allowed.insert("anim");
    for (const std::string& want : fields->second) if (!keys.contains(want)) bad(ev + ": missing '" + want + "'");
    for (const std::string& have : keys) if (!allowed.contains(have)) bad(ev + ": unexpected '" + have + "'");

    if (ev == "new") {
      if (e.contains("id") && e["id"].is_string()) views.insert(e["id"].get<std::string>());
      if (!hasShape(e.value("frame", Json()), Shape::Rect)) bad("new: frame must be [x, y, w, h]");
      const std::string cls = text(e, "class");
      if ((cls == "ColorPillView" || cls == "UIView") && !matches(e.value("id", Json()), viewId)) bad("views other than pills are v1, v2, ...");
    } else if (ev == "add") {
      if (!known(views, e.value("parent", Json())) || !known(views, e.value("id", Json()))) bad("add: a view that was never made");
    } else if (ev == "set" || ev == "remove" || ev == "destroy" || ev == "constraints") {
      if (!known(views, e.value("id", Json()))) bad(ev + ": a view that was never made");
    }
    if (ev == "set") {
      auto prop = kProps.find(text(e, "prop"));
      if (prop == kProps.end()) bad("set: unknown prop");
      else if (!hasShape(e.value("value", Json()), prop->second)) bad("set " + prop->first + ": value of the wrong shape");
      if (e.contains("anim")) {
        if (prop == kProps.end() || (prop->first != "backgroundColor" && prop->first != "layer.backgroundColor")) bad("set: only background colours carry 'anim'");
        if (!known(anims, e["anim"])) bad("set: an animation that was never begun");
      }
    }
    if (ev == "timer") {
      if (!matches(e.value("timer", Json()), timerId)) bad("timer ids are t1, t2, ...");
      else timers.insert(e["timer"].get<std::string>());
      if (!isNumber(e.value("interval", Json(""))) || !e.value("repeats", Json()).is_boolean()) bad("timer: interval a number, repeats a flag");
    } else if ((ev == "schedule" || ev == "fire" || ev == "invalidate") && !known(timers, e.value("timer", Json()))) {
      bad(ev + ": a timer that was never made");
    }
    if (ev == "animate") {
      if (!matches(e.value("anim", Json()), animId)) bad("animation ids are a1, a2, ...");
      else anims.insert(e["anim"].get<std::string>());
      if (!isNumber(e.value("duration", Json("")))) bad("animate: duration must be a number or null");
    } else if (ev == "complete" && !known(anims, e.value("anim", Json()))) {
      bad("complete: an animation that was never begun");
    }
    if ((ev == "load" || ev == "read") && text(e, "path").rfind('/', 0) != 0) bad(ev + ": paths are device paths");
  }
  if (n == 0) problems.push_back("the trace is empty");
  return problems;
}

}  // namespace sim::test
