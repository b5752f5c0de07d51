#include "Simulator.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <memory>

#include <unistd.h>

#include <fmt/format.h>

#include "DeviceRoot.h"
#include "Foundation/NSRunLoop.h"
#include "HostPillClasses.h"
#include "PrefsFile.h"
#include "ScenarioRunner.h"
#include "Scene.h"
#include "ScriptParser.h"
#include "TraceWriter.h"
#include "aurora/DeviceRoot.h"
#include "aurora/Loader.h"

namespace sim {
namespace {

constexpr aurora::Nanoseconds kDefaultDuration = std::chrono::seconds(10);

PillClasses pillClassesFor(const SimOptions& options) {
  PillClasses classes{{}, options.withoutClasses};
  for (const char* name : kHostPillClassNames) {
    if (std::find(classes.leftOut.begin(), classes.leftOut.end(), name) == classes.leftOut.end()) classes.available.emplace_back(name);
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

// Tracing lasts as long as this: the teardown after the run is not part of it.
class Tracing {
 public:
  explicit Tracing(TraceWriter* writer) : writer_(writer) { aurora::setPlatformObserver(writer); }
  ~Tracing() { aurora::setPlatformObserver(nullptr); }
  Tracing(const Tracing&) = delete;
  Tracing& operator=(const Tracing&) = delete;

  void finish() {
    aurora::setPlatformObserver(nullptr);
    if (writer_ == nullptr) return;
    writer_->flush();
    if (!writer_->good()) throw std::runtime_error("writing the trace failed");
  }

 private:
  TraceWriter* writer_;
};

std::unique_ptr<aurora::Clock> makeClock(ClockKind kind) {
  if (kind == ClockKind::Real) return std::make_unique<aurora::RealClock>();
  return std::make_unique<aurora::VirtualClock>();
}

}  // namespace

void runSimulator(const SimOptions& options, std::ostream& err) {
  std::optional<Script> script;
  if (options.script) script = readScriptFile(*options.script, pillClassesFor(options));

  useDeviceRoot(options.root);
  std::optional<TraceOutput> traceOutput;
  if (options.trace) traceOutput.emplace(*options.trace);

  PrefsFile prefs(aurora::hostPath(kPrefsDevicePath));
  if (!options.prefsEdits.empty()) prefs.set(options.prefsEdits);

  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  loop.reset(makeClock(options.clock));

  Scene scene;  // the window, made before tracing starts: untraced
  std::optional<TraceWriter> writer;
  if (traceOutput) {
    writer.emplace(traceOutput->stream(), options.clock == ClockKind::Real ? TraceFlush::EachLine : TraceFlush::AtEnd);
    scene.setPillNaming(&*writer);
  }
  Tracing tracing(writer ? &*writer : nullptr);

  registerHostPillClasses(options.withoutClasses);
  aurora::loadDynamicLibraries({options.bundleIdentifier, options.executableName}, err);

  std::optional<ScenarioRunner> runner;
  if (script) {
    runner.emplace(*script, scene, prefs);
    runner->schedule();
  } else {
    scene.addDefaultPills();
  }

  const aurora::Nanoseconds duration =
      options.duration.value_or(std::max(kDefaultDuration, script ? script->lastInstant() : aurora::Nanoseconds{}));
  if (script && script->lastInstant() > duration) {
    err << fmt::format("auroraribbon-sim: note: the run ends at {} s, before the script's last command at {} s\n",
                       aurora::toSeconds(duration), aurora::toSeconds(script->lastInstant()));
  }
  if (!options.trace && ::isatty(STDOUT_FILENO)) {
    err << fmt::format("auroraribbon-sim: the live terminal view is not built yet; running headless for {} s "
                       "(--trace - shows what happens)\n", aurora::toSeconds(duration));
  }
  loop.runUntil(loop.now() + duration);
  tracing.finish();
}

}  // namespace sim
