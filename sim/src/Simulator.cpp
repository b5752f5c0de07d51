#include "Simulator.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>

#include "Foundation/NSRunLoop.h"
#include "LiveSession.h"
#include "Recorder.h"
#include "TerminalColor.h"
#include "Tour.h"
#include "aurora/DeviceRoot.h"
#include "aurora/PreferencesFile.h"
#include "host/CostCounter.h"
#include "host/HostPillClasses.h"
#include "host/HostStart.h"
#include "host/ScenarioRunner.h"
#include "host/Scene.h"
#include "host/ScriptParser.h"
#include "host/TraceWriter.h"
#include "settings/Contract.h"

#ifndef AURORA_TOUR_GIF
#error "AURORA_TOUR_GIF must name where a headless tour writes its GIF"
#endif

namespace sim {
namespace {

constexpr aurora::Nanoseconds kDefaultDuration = std::chrono::seconds(10);
// What --cost measures when no --duration is given: a minute of the look.
constexpr aurora::Nanoseconds kDefaultCostDuration = std::chrono::seconds(60);

host::PillClasses pillClassesFor(const SimOptions& options) {
  host::PillClasses classes{{}, options.withoutClasses};
  for (const char* name : host::kHostPillClassNames) {
    if (std::find(classes.leftOut.begin(), classes.leftOut.end(), name) == classes.leftOut.end())
      classes.available.emplace_back(name);
  }
  return classes;
}

// The trace's stream: standard output for "-", else the file, made afresh.
class TraceOutput {
 public:
  explicit TraceOutput(const std::string& target) {
    if (target == "-") return;
    file_ = std::make_unique<std::ofstream>(target, std::ios::binary | std::ios::trunc);
    if (!*file_) throw std::runtime_error(fmt::format("cannot write the trace to {}", target));
  }
  std::ostream& stream() { return file_ ? *file_ : std::cout; }

 private:
  std::unique_ptr<std::ofstream> file_;
};

// The cost figures, to standard output for "-", else to the file, made afresh.
void writeCost(const std::string& target, const nlohmann::json& figures) {
  const std::string text = figures.dump(2) + "\n";
  if (target == "-") {
    std::cout << text << std::flush;
    return;
  }
  std::ofstream file(target, std::ios::binary | std::ios::trunc);
  file << text;
  if (!file.flush()) throw std::runtime_error(fmt::format("cannot write the cost figures to {}", target));
}

// The trace, from just after the window is made to the end of the run: the
// teardown after it is not part of it.
class Tracing {
 public:
  Tracing(host::Scene& scene, std::ostream& out, host::TraceFlush flush) : scene_(scene) {
    writer_.emplace(out, flush);
    scene_.setPillNaming(&*writer_);
  }

  // Stops the trace; throws when writing it failed.
  void finish() {
    scene_.setPillNaming(nullptr);
    writer_->flush();
    const bool written = writer_->good();
    writer_.reset();
    if (!written) throw std::runtime_error("writing the trace failed");
  }

 private:
  host::Scene& scene_;
  std::optional<host::TraceWriter> writer_;
};

std::unique_ptr<aurora::Clock> makeClock(ClockKind kind) {
  if (kind == ClockKind::Real) return std::make_unique<aurora::RealClock>();
  return std::make_unique<aurora::VirtualClock>();
}

// How the run is shown, settled before anything runs.
struct Presentation {
  bool live;
  ClockKind clock;
  std::optional<aurora::Nanoseconds> duration;  // nothing: live until a key or signal
  std::optional<PngOutput> png;
  std::optional<GifOutput> gif;
};

Presentation settle(const SimOptions& options, const std::optional<host::Script>& script) {
  Presentation how;
  how.live = ::isatty(STDOUT_FILENO) && !options.png && !options.gif && options.trace != "-" && options.cost != "-" &&
             options.clock != ClockKind::Virtual;
  how.clock = options.clock.value_or(how.live ? ClockKind::Real : ClockKind::Virtual);
  if (how.live) {
    if (auto why = liveViewRefusal(currentTerminalEnvironment())) throw std::runtime_error(*why);
    how.duration = options.duration;
    return how;
  }
  const aurora::Nanoseconds lastCommand = script ? script->lastInstant() : aurora::Nanoseconds{};
  const aurora::Nanoseconds usual = options.demo   ? Tour::kLength
                                    : options.cost ? kDefaultCostDuration
                                                   : kDefaultDuration;
  const aurora::Nanoseconds duration = options.duration.value_or(std::max(usual, lastCommand));
  how.duration = duration;
  if (options.png) {
    const aurora::Nanoseconds at = options.at.value_or(duration);
    if (at > duration) {
      throw UsageError(fmt::format("--at {} s is after the end of the run at {} s (give a longer --duration)",
                                   aurora::toSeconds(at), aurora::toSeconds(duration)));
    }
    how.png = PngOutput{*options.png, at, {options.view.value_or(picture::ViewKind::Full), options.scale}};
  }
  if (options.gif || options.demo) {
    how.gif = GifOutput{options.gif.value_or(AURORA_TOUR_GIF),
                        options.fps,
                        {options.view.value_or(picture::ViewKind::Pills), options.scale}};
  }
  return how;
}

}  // namespace

int runSimulator(const SimOptions& options, std::ostream& out, std::ostream& err) {
  std::optional<host::Script> script;
  if (options.script) script = host::readScriptFile(*options.script, pillClassesFor(options));
  const Presentation how = settle(options, script);

  host::HostStart host(options.root, makeClock(how.clock),
                       {options.withoutClasses, {options.bundleIdentifier, options.executableName}});
  std::optional<TraceOutput> traceOutput;
  if (options.trace) traceOutput.emplace(*options.trace);

  aurora::PreferencesFile prefs(aurora::hostPath(settings::kPreferencesPath));
  if (!options.prefsEdits.empty()) prefs.set(options.prefsEdits);

  host::Scene& scene = host.scene();  // the window, made before tracing starts: untraced
  std::optional<Tracing> tracing;
  if (traceOutput)
    tracing.emplace(scene, traceOutput->stream(),
                    how.clock == ClockKind::Real ? host::TraceFlush::EachLine : host::TraceFlush::AtEnd);
  std::optional<host::CostCounter> cost;
  if (options.cost) cost.emplace(scene, NSRunLoop::mainRunLoop().now());
  host.loadExtensions(err);

  std::optional<host::ScenarioRunner> runner;
  std::optional<Tour> tour;
  const auto start = [&] {
    if (options.demo) {
      tour.emplace(scene, prefs);
      tour->start();
    } else if (script) {
      runner.emplace(*script, scene, prefs);
      runner->setSnapshotLook({options.view.value_or(picture::ViewKind::Full), options.scale});
      runner->schedule();
    } else {
      scene.addDefaultPills();
    }
  };
  const auto caption = [&] { return tour ? tour->caption() : std::string(); };

  int status = 0;
  if (how.live) {
    const auto title = [&] { return tour ? "AuroraRibbon tour: " + tour->caption() : std::string("AuroraRibbon"); };
    status = runLiveView(scene, {options.view.value_or(picture::ViewKind::Pills), how.duration, title}, start);
  } else {
    start();
    if (script && script->lastInstant() > *how.duration) {
      err << fmt::format("auroraribbon-sim: note: the run ends at {} s, before the script's last command at {} s\n",
                         aurora::toSeconds(*how.duration), aurora::toSeconds(script->lastInstant()));
    }
    RecordingHooks hooks;
    hooks.ended = [&] { return runner && runner->ended(); };
    hooks.caption = caption;
    if ((options.progress || ::isatty(STDERR_FILENO)) && *how.duration > std::chrono::seconds(1)) hooks.progress = &err;
    record(scene.window(), {how.png, how.gif, *how.duration}, hooks);
    if (options.demo)
      (options.trace == "-" ? err : out) << "auroraribbon-sim: the tour is in " << how.gif->file.string() << "\n";
  }
  if (tracing) tracing->finish();
  if (cost) writeCost(*options.cost, host::costFigures(cost->perPill(), NSRunLoop::mainRunLoop().now()));
  return status;
}

}  // namespace sim
