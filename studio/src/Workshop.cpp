#include "Workshop.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <csignal>
#include <fstream>
#include <sstream>

#include "SimChild.h"
#include "aurora/DeviceRoot.h"
#include "aurora/TemporaryDirectory.h"
#include "settings/Contract.h"

namespace studio {
namespace {

using namespace std::chrono_literals;

constexpr aurora::Nanoseconds kFixedSpan = 4s;  // Wave and Spectrum have no short cycle; Static none at all
constexpr aurora::Nanoseconds kLongestSpan = 60s;
constexpr aurora::Nanoseconds kDisplayFrame = 16'666'667ns;  // no animation step is shorter
constexpr int kTwoColorSteps = 2;                            // one cycle: there and back

std::string readWhole(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// A child's failure with the end of what it said, for the page.
std::string failureOf(const ChildEnd& end, const std::filesystem::path& err) {
  std::string said = readWhole(err);
  if (said.size() > 400) said = said.substr(said.size() - 400);
  return said.empty() ? end.failure : end.failure + ": " + said;
}

// A job's own folder holding a copy of the studio's device root ("root"), so
// that the simulator it runs changes nothing the studio reads.
struct Scratch {
  explicit Scratch(const std::filesystem::path& deviceRoot) { aurora::copyDeviceRoot(deviceRoot, root); }
  aurora::TemporaryDirectory folder{"auroraribbon-studio-"};
  std::filesystem::path root = folder.path() / "root";
};

}  // namespace

aurora::Nanoseconds recordSpan(const RecordedLook& look) {
  double step = 0;
  if (look.style == settings::kFade)
    step = look.fadeSpeed;
  else if (look.style == settings::kBreathing)
    step = look.breathingSpeed;
  else
    return kFixedSpan;
  const double seconds = kTwoColorSteps * step;
  if (!(seconds < aurora::toSeconds(kLongestSpan))) return kLongestSpan;  // NaN too
  const auto span = std::chrono::duration_cast<aurora::Nanoseconds>(std::chrono::duration<double>(seconds));
  return std::max(span, kTwoColorSteps * kDisplayFrame);
}

std::optional<std::pair<std::size_t, std::size_t>> progressIn(std::string_view bar) {
  const std::size_t slash = bar.rfind('/');
  if (slash == std::string_view::npos) return std::nullopt;
  std::size_t begin = slash;
  while (begin > 0 && std::isdigit(static_cast<unsigned char>(bar[begin - 1]))) --begin;
  std::size_t end = slash + 1;
  while (end < bar.size() && std::isdigit(static_cast<unsigned char>(bar[end]))) ++end;
  if (begin == slash || end == slash + 1) return std::nullopt;
  return std::pair{std::stoul(std::string(bar.substr(begin, slash - begin))),
                   std::stoul(std::string(bar.substr(slash + 1, end - slash - 1)))};
}

Workshop::Workshop(std::filesystem::path root, std::filesystem::path program, std::function<RecordedLook()> look)
    : root_(std::move(root)), program_(std::move(program)), look_(std::move(look)), worker_([this] { work(); }) {}

Workshop::~Workshop() {
  {
    aurora::MutexLock lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (const int child = child_.load(); child > 0) ::kill(child, SIGTERM);  // the one child this workshop started
  worker_.join();
}

void Workshop::work() {
  for (;;) {
    std::function<void()> job;
    {
      aurora::MutexLock lock(mutex_);
      while (!stopping_ && jobs_.empty()) lock.wait(wake_);
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

nlohmann::json Workshop::cost(std::uint64_t version) {
  aurora::MutexLock lock(mutex_);
  if (!measured_.is_null() && measured_["version"] == version) return measured_;
  if (measuring_ != version) {
    measuring_ = version;
    jobs_.emplace_back([this, version] { measure(version); });
    wake_.notify_one();
  }
  return {{"version", version}, {"ready", false}};
}

void Workshop::measure(std::uint64_t version) {
  nlohmann::json result{{"version", version}, {"ready", true}};
  try {
    const Scratch scratch(root_);
    const std::filesystem::path& root = scratch.root;
    const std::filesystem::path figures = scratch.folder.path() / "cost.json";
    const std::filesystem::path err = scratch.folder.path() / "err.txt";
    // The current settings first: each --style below writes the copy's file.
    const auto run = [&](const std::optional<std::string_view>& style) {
      std::vector<std::string> arguments{"--root", root.string(), "--virtual", "--cost", figures.string()};
      if (style) arguments.insert(arguments.end(), {"--style", std::string(*style)});
      const ChildEnd end = runChild(program_, arguments, "/dev/null", err, child_);
      if (!end.ok) throw std::runtime_error(failureOf(end, err));
      return nlohmann::json::parse(readWhole(figures));
    };
    result["current"] = run(std::nullopt);
    result["styles"] = nlohmann::json::array();  // in the order the pane lists them
    for (const std::string_view style : settings::kStyleNames) {
      nlohmann::json figures = run(style);
      figures["style"] = style;
      result["styles"].push_back(std::move(figures));
    }
  } catch (const std::exception& failure) {
    result["error"] = failure.what();
  }
  aurora::MutexLock lock(mutex_);
  measured_ = std::move(result);
  if (measuring_ == version) measuring_.reset();
}

ApiResult Workshop::record(std::string_view view) {
  if (view != "phone" && view != "band") return {400, {{"error", "a recording shows the \"phone\" or the \"band\""}}};
  aurora::MutexLock lock(mutex_);
  if (recordState_ == "running") return {409, {{"error", "a recording is already being made"}}};
  recordState_ = "running";
  recordInfo_ = nlohmann::json::object();
  recordProgress_.clear();
  jobs_.emplace_back([this, view = std::string(view)] { makeRecording(view); });
  wake_.notify_one();
  return {202, {{"state", "running"}}};
}

void Workshop::makeRecording(const std::string& view) {
  const RecordedLook look = look_();
  const aurora::Nanoseconds span = recordSpan(look);
  nlohmann::json info{{"style", look.style}, {"seconds", aurora::toSeconds(span)}, {"view", view}};
  std::string state = "failed";
  std::shared_ptr<const std::string> gif;
  try {
    const Scratch scratch(root_);
    const std::filesystem::path& root = scratch.root;
    const std::filesystem::path file = scratch.folder.path() / "look.gif";
    const std::filesystem::path err = scratch.folder.path() / "progress.txt";
    {
      aurora::MutexLock lock(mutex_);
      recordInfo_ = info;
      recordProgress_ = err;
    }
    const ChildEnd end =
        runChild(program_,
                 {"--root", root.string(), "--virtual", "--duration", fmt::format("{}", aurora::toSeconds(span)),
                  "--gif", file.string(), "--view", view == "band" ? "pills" : "full", "--progress"},
                 "/dev/null", err, child_);
    if (!end.ok) throw std::runtime_error(failureOf(end, err));
    gif = std::make_shared<const std::string>(readWhole(file));
    state = "done";
  } catch (const std::exception& failure) {
    info["error"] = failure.what();
  }
  aurora::MutexLock lock(mutex_);
  recordState_ = state;
  recordInfo_ = std::move(info);
  recordProgress_.clear();
  if (gif) {
    recorded_ = std::move(gif);
    recordedStyle_ = look.style;
  }
}

nlohmann::json Workshop::recording() const {
  aurora::MutexLock lock(mutex_);
  nlohmann::json answer = recordInfo_;
  answer["state"] = recordState_;
  if (!recordProgress_.empty()) {
    const std::string bar = readWhole(recordProgress_);
    if (auto progress = progressIn(bar)) {
      answer["done"] = progress->first;
      answer["total"] = progress->second;
    }
  }
  return answer;
}

std::optional<std::pair<std::string, std::shared_ptr<const std::string>>> Workshop::gif() const {
  aurora::MutexLock lock(mutex_);
  if (!recorded_) return std::nullopt;
  return std::pair{recordedStyle_, recorded_};
}

}  // namespace studio
