// What a look costs and a GIF of it, made by the simulator as a child process
// (SimChild.h) on the workshop's one worker thread: the server only asks and
// reads what is ready, so it never waits for a child.
//
// Cost: the figures of host/CostCounter.h for a minute of the current
// settings as they are, and for each of the five styles with the current
// colours and speeds, all measured on one private copy of the device root.
// They are kept for the settings version they were asked for; asked about
// another version, the workshop measures again and meanwhile says so.
//
// Recording: one at a time, a GIF of one cycle of the current style (two
// steps of a Fade or a Breathing, a fixed span for the others), of the phone
// or of the band; its progress is read from the child's progress bar and the
// finished file is kept in memory for the page to download.
//
// Any thread; the worker is joined, and a child still running ended, when the
// workshop goes.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "SettingsApi.h"
#include "aurora/ThreadSafety.h"
#include "aurora/Time.h"

namespace studio {

// What a recording's span depends on, as the extension holds it.
struct RecordedLook {
  std::string style;
  double fadeSpeed = 0;
  double breathingSpeed = 0;
};

// One cycle of the look, between one display frame and a minute.
aurora::Nanoseconds recordSpan(const RecordedLook& look);

// "done/total" from the last line of a progress bar ("... 40%  200/500"), if it has one.
std::optional<std::pair<std::size_t, std::size_t>> progressIn(std::string_view bar);

class Workshop {
 public:
  Workshop(std::filesystem::path root, std::filesystem::path program, std::function<RecordedLook()> look);
  ~Workshop();
  Workshop(const Workshop&) = delete;
  Workshop& operator=(const Workshop&) = delete;

  // {"version", "ready", "current": FIGURES, "styles": {NAME: FIGURES}} once
  // measured for `version` ("error" when it failed); else {"ready": false}, measuring.
  nlohmann::json cost(std::uint64_t version) AURORA_EXCLUDES(mutex_);

  // Starts a recording of `view` ("phone" or "band"): 202, or 409 while one runs, 400 for another view.
  ApiResult record(std::string_view view) AURORA_EXCLUDES(mutex_);
  // {"state": "none"|"running"|"done"|"failed", "style", "seconds", "done", "total", "error"}
  nlohmann::json recording() const AURORA_EXCLUDES(mutex_);
  // The last finished recording's GIF and its style, or nothing.
  std::optional<std::pair<std::string, std::shared_ptr<const std::string>>> gif() const AURORA_EXCLUDES(mutex_);

 private:
  void work() AURORA_EXCLUDES(mutex_);
  void measure(std::uint64_t version) AURORA_EXCLUDES(mutex_);
  void makeRecording(const std::string& view) AURORA_EXCLUDES(mutex_);

  const std::filesystem::path root_;
  const std::filesystem::path program_;
  const std::function<RecordedLook()> look_;
  std::atomic<int> child_{0};

  mutable aurora::Mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ AURORA_GUARDED_BY(mutex_) = false;
  std::deque<std::function<void()>> jobs_ AURORA_GUARDED_BY(mutex_);
  std::optional<std::uint64_t> measuring_ AURORA_GUARDED_BY(mutex_);
  nlohmann::json measured_ AURORA_GUARDED_BY(mutex_);  // with its "version"; null before the first
  std::string recordState_ AURORA_GUARDED_BY(mutex_) = "none";
  nlohmann::json recordInfo_ AURORA_GUARDED_BY(mutex_) = nlohmann::json::object();
  std::filesystem::path recordProgress_ AURORA_GUARDED_BY(mutex_);  // the running child's standard error
  std::string recordedStyle_ AURORA_GUARDED_BY(mutex_);
  std::shared_ptr<const std::string> recorded_ AURORA_GUARDED_BY(mutex_);
  // Last: started once the rest is made.
  std::thread worker_;
};

}  // namespace studio
