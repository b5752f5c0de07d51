#include "BadInputRun.h"

#include <fmt/format.h>

#include "CensusJson.h"
#include "DeviceRootCopy.h"
#include "Foundation/NSRunLoop.h"
#include "Host.h"
#include "SoakScript.h"
#include "aurora/DeviceRoot.h"
#include "host/DeviceRoot.h"
#include "settings/SettingsChanged.h"

namespace hardening {
namespace {

using std::chrono::seconds;

aurora::Census beyond(const aurora::Census& now, const aurora::Census& base) {
  const auto over = [](std::size_t a, std::size_t b) { return a > b ? a - b : 0; };
  return {over(now.views, base.views), over(now.layers, base.layers), over(now.timers, base.timers),
          over(now.pendingTasks, base.pendingTasks), over(now.animations, base.animations)};
}

// The host's side of a row; returns its findings as JSON text.
std::string hostRow(const BadInputRow& row, const RowPlan& plan, const std::filesystem::path& root) {
  host::useDeviceRoot(root);
  const std::filesystem::path prefs = aurora::hostPath(settings::kPreferencesPath);
  replaceFile(prefs, aurora::preferencesBytes(saneSettings("Wave"), aurora::PlistFormat::Xml));
  Host host(root, std::make_unique<aurora::VirtualClock>());
  ActivityCounter counter;
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  const aurora::Census bare = aurora::takeCensus();

  int index = 0;
  for (std::string_view style : kStyleNames) {
    row.write(prefs, style);
    settings::postSettingsChanged();
    const std::string lumaName = fmt::format("l{}", index);
    host.scene().addPill(fmt::format("s{}", index), objc_getClass(kStaticPillClass), kStaticPillFrame);
    host.scene().addPill(lumaName, objc_getClass(kLumaPillClass), kLumaPillFrame);
    loop.runFor(aurora::Nanoseconds::zero());
    objc_msgSend<void>(&host.scene().pill(lumaName), sel_registerName("animateView"));
    loop.runFor(plan.perStyle);
    ++index;
  }
  for (aurora::Nanoseconds t{}; t < plan.running; t += seconds(1)) {
    settings::postSettingsChanged();
    loop.runFor(seconds(1));
  }
  host.scene().removeAllPills();
  replaceFile(prefs, aurora::preferencesBytes(saneSettings("Wave"), aurora::PlistFormat::Xml));
  settings::postSettingsChanged();
  loop.runFor(plan.settle);

  return nlohmann::json(RowFindings{counter.counts(), beyond(aurora::takeCensus(), bare), counter.alphas()}).dump();
}

}  // namespace

std::string RowOutcome::verdict() const {
  if (end.end == ChildResult::End::Exited && end.code == 1) return "threw: " + error;
  if (!end.ok()) return end.describe();
  if (!(found.leftBehind == aurora::Census{})) return "left behind: " + describe(found.leftBehind);
  return "ok";
}

RowOutcome runBadInputRow(const BadInputRow& row, const RowPlan& plan, const std::filesystem::path& sourceRoot) {
  DeviceRootCopy root(sourceRoot);
  RowOutcome outcome;
  outcome.end = runInChild(plan.wallLimit, [&] { return hostRow(row, plan, root.path()); });
  if (outcome.end.ok()) {
    nlohmann::json::parse(outcome.end.output).get_to(outcome.found);
  } else {
    outcome.error = outcome.end.output;
  }
  return outcome;
}

}  // namespace hardening
