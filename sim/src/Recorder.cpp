#include "Recorder.h"

#include <fmt/format.h>
#include <fmt/std.h>

#include <algorithm>
#include <stdexcept>

#include "Foundation/NSRunLoop.h"
#include "ProgressBar.h"
#include "picture/Framing.h"
#include "picture/GifFile.h"
#include "picture/PngFile.h"

namespace sim {
namespace {

constexpr std::int64_t kNanosecondsPerSecond = 1'000'000'000;

aurora::Nanoseconds frameTime(std::size_t k, int fps) {
  return aurora::Nanoseconds{static_cast<std::int64_t>(k) * kNanosecondsPerSecond / fps};
}

picture::Image picture(const UIView& window, picture::RenderOptions options, const RecordingHooks& hooks) {
  options.caption = hooks.caption();
  return renderWindow(window, options);
}

// The GIF under way: its file, opened at the first frame, when its size is known.
class GifRecording {
 public:
  GifRecording(const GifOutput& output, aurora::Nanoseconds end, const RecordingHooks& hooks)
      : output_(output),
        frames_(picture::gifFrameCount(end, output.fps)),
        bar_(hooks.progress, fmt::format("rendering {}", output.file.filename().string()), frames_) {}

  bool done() const { return next_ == frames_; }
  aurora::Nanoseconds nextInstant() const { return frameTime(next_, output_.fps); }

  void addFrame(const UIView& window, const RecordingHooks& hooks) {
    if (!framing_) {
      framing_ = picture::framePicture(window, output_.look);
      file_.emplace(output_.file, framing_->width, framing_->height, output_.fps);
    }
    file_->addFrame(picture(window, *framing_, hooks));
    bar_.update(++next_);
  }

  void finish() {
    bar_.finish();
    if (file_) file_->finish();
  }

 private:
  const GifOutput& output_;
  const std::size_t frames_;
  std::size_t next_ = 0;
  ProgressBar bar_;
  std::optional<picture::RenderOptions> framing_;
  std::optional<picture::GifFile> file_;
};

}  // namespace

void record(const UIView& window, const RecordingPlan& plan, const RecordingHooks& hooks) {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  if ((plan.png || plan.gif) && !loop.clock().isVirtual())
    throw std::logic_error("pictures for files are taken on the virtual clock");
  std::optional<GifRecording> gif;
  if (plan.gif) gif.emplace(*plan.gif, plan.end, hooks);
  bool pngDue = plan.png.has_value();

  while (pngDue || (gif && !gif->done())) {
    aurora::Nanoseconds instant = aurora::Nanoseconds::max();
    if (pngDue) instant = plan.png->at;
    if (gif && !gif->done()) instant = std::min(instant, gif->nextInstant());
    loop.runUntil(instant);
    if (hooks.ended() || loop.now() < instant) break;
    if (pngDue && plan.png->at == instant) {
      picture::writePng(picture(window, picture::framePicture(window, plan.png->look), hooks), plan.png->file);
      pngDue = false;
    }
    if (gif && !gif->done() && gif->nextInstant() == instant) gif->addFrame(window, hooks);
  }
  if (!hooks.ended()) loop.runUntil(plan.end);
  if (gif) gif->finish();
  if (pngDue) {
    throw std::runtime_error(fmt::format("the run ended at {} s, before the picture for {} at {} s",
                                         aurora::toSeconds(loop.now()), plan.png->file,
                                         aurora::toSeconds(plan.png->at)));
  }
}

}  // namespace sim
