#include "SoakScript.h"

#include <fmt/format.h>

#include <algorithm>
#include <tuple>
#include <vector>

namespace hardening {
namespace {

namespace key = settings::key;

using aurora::Nanoseconds;
using std::chrono::seconds;

// The speed key each style takes its pace from, and a range of sane values.
struct Pace {
  const char* key;
  double low;
  double step;
};
constexpr std::array<Pace, kStyleNames.size()> kPaces{{
    {key::waveAnimationSpeed.name, 0.02, 0.01},
    {key::specturmAnimationSpeed.name, 0.05, 0.05},
    {key::fadeSpeed.name, 0.5, 0.5},
    {key::breathingSpeed.name, 0.5, 0.5},
    {key::homeBarOpacity.name, 0.4, 0.1},
}};
constexpr std::array<const char*, 4> kColorKeys{key::fadeColor1.name, key::fadeColor2.name, key::breathingColor.name,
                                                key::staticColor.name};
constexpr std::array<const char*, 5> kColors{"#F62459", "#2ABB9B:0.5", "#abc", "#000000", "not a colour"};

struct Line {
  Nanoseconds at;
  int order;  // within one instant, in the order the lines were added
  std::string text;
};

class Lines {
 public:
  void add(Nanoseconds at, std::string command) {
    lines_.push_back({at, static_cast<int>(lines_.size()), fmt::format("at {} {}", secondsText(at), command)});
  }
  std::string text() {
    std::sort(lines_.begin(), lines_.end(),
              [](const Line& a, const Line& b) { return std::tie(a.at, a.order) < std::tie(b.at, b.order); });
    std::string all;
    for (const Line& line : lines_) all += line.text + "\n";
    return all;
  }

 private:
  std::vector<Line> lines_;
};

// Pill number `g` of the whole run, made at `at`.
void addPill(Lines& lines, const SoakPlan& plan, std::int64_t g, Nanoseconds at, const std::string& name) {
  const std::size_t style = static_cast<std::size_t>(g % static_cast<std::int64_t>(kStyleNames.size()));
  const bool luma = g % 2 == 1;
  const Pace& pace = kPaces[style];
  if (g % 97 == 0) lines.add(at, "prefs delete");
  lines.add(at, g % 4 < 2 ? "prefs format xml" : "prefs format binary");
  lines.add(at, "prefs set enabled bool true");
  lines.add(at, fmt::format("prefs set style string {}", kStyleNames[style]));
  lines.add(at, fmt::format("prefs set {} real {}", pace.key, pace.low + pace.step * static_cast<double>(g % 6)));
  lines.add(at, fmt::format("prefs set {} string \"{}\"", kColorKeys[g % 4], kColors[g % 5]));
  lines.add(at, fmt::format("prefs set waveDirection string {}", g % 3 == 0 ? "r2l" : "l2r"));
  lines.add(at, "notify");
  lines.add(at, fmt::format("pill add {} {}", name,
                            luma ? "MTLumaDodgePillView 216 831 134 5" : "MTStaticColorPillView 40 831 134 5"));
  if (luma) lines.add(at + seconds(1), fmt::format("pill send {} animateView", name));
  lines.add(at + plan.pillLifetime / 2, fmt::format("pill frame {} 100 820 {} {}", name, 100 + g % 50, 4 + g % 3));
  lines.add(at + plan.pillLifetime, fmt::format("pill remove {}", name));
}

}  // namespace

std::int64_t SoakPlan::pillsPerPeriod() const {
  if (samplePeriod <= pillLifetime) return 0;
  return (samplePeriod - pillLifetime - Nanoseconds(1)) / churn + 1;
}

std::string soakPeriodScript(const SoakPlan& plan, std::int64_t index) {
  Lines lines;
  const Nanoseconds start = plan.samplePeriod * index;
  for (Nanoseconds t = start; t < start + plan.samplePeriod; t += seconds(1)) lines.add(t, "notify");
  const std::int64_t count = plan.pillsPerPeriod();
  for (std::int64_t k = 0; k < count; ++k) {
    addPill(lines, plan, index * count + k, start + plan.churn * k, fmt::format("c{}p{}", index, k));
  }
  return lines.text();
}

std::string secondsText(Nanoseconds t) {
  const auto whole = t.count() / 1'000'000'000;
  const auto fraction = t.count() % 1'000'000'000;
  if (fraction == 0) return fmt::format("{}", whole);
  std::string digits = fmt::format("{:09d}", fraction);
  digits.erase(digits.find_last_not_of('0') + 1);
  return fmt::format("{}.{}", whole, digits);
}

}  // namespace hardening
