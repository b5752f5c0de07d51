// Runs the main run loop to the end of the run, stopping at each instant a
// file needs a picture of: the PNG at its instant, and GIF frame k at k/fps s
// for k = 0 .. duration x fps - 1 (at least one frame). Everything due at an
// instant has run when its picture is taken. With no file asked for, it just
// runs the loop to the end (the headless run).
//
//   record(scene.window(), plan, hooks);
//
// The GIF's band of the pills is taken at its first frame and kept, so every
// frame has one size. A scenario that ends early (`end`) ends the GIF there; a
// PNG whose instant it never reaches is an error. Failures throw
// std::runtime_error; a GIF left unfinished is removed.
//
// Main thread only; the run loop must be on a virtual clock when a file is
// asked for (a headless run without files may be on either).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "UIKit/UIView.h"
#include "aurora/Time.h"
#include "picture/PictureLook.h"

namespace sim {

struct PngOutput {
  std::filesystem::path file;
  aurora::Nanoseconds at;
  picture::PictureLook look;
};

struct GifOutput {
  std::filesystem::path file;
  int fps;
  picture::PictureLook look;
};

struct RecordingPlan {
  std::optional<PngOutput> png;
  std::optional<GifOutput> gif;
  aurora::Nanoseconds end;  // since the run loop's start
};

struct RecordingHooks {
  // True once the run was ended from inside (a scenario's `end`).
  std::function<bool()> ended = [] { return false; };
  // Drawn in each picture's corner; nothing when it gives "".
  std::function<std::string()> caption = [] { return std::string(); };
  // Where a GIF's progress bar goes; none when null.
  std::ostream* progress = nullptr;
};

void record(const UIView& window, const RecordingPlan& plan, const RecordingHooks& hooks);

}  // namespace sim
