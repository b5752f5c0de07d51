// Writing an animation as a GIF file with giflib: one frame per call, each
// shown for 1/fps s, looping for ever (the NETSCAPE2.0 application extension).
//
//   GifFile gif("run.gif", 1170, 99, 25);
//   gif.addFrame(picture);   // each the same size
//   gif.finish();
//
// GIF delays are whole hundredths of a second, so frame k lasts
// round(100(k+1)/fps) - round(100k/fps) of them: the total stays exact at any
// rate. Each frame has its own palette (MedianCut.h) and, after the first,
// holds only the rectangle that changed (one pixel when nothing did), drawn
// over the frame before: a still wallpaper is stored once.
//
// A GifFile owns its open file; one left unfinished (an error on the way) is
// closed and removed, so no half-written GIF stays behind. Errors throw
// std::runtime_error naming the file. Main thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "aurora/Time.h"
#include "picture/Image.h"

struct GifFileType;

namespace picture {

class GifFile {
 public:
  // Frames per second: 1 to 50 (browsers slow anything faster down).
  static constexpr int kMostFps = 50;

  GifFile(std::filesystem::path file, int width, int height, int fps);
  ~GifFile();
  GifFile(const GifFile&) = delete;
  GifFile& operator=(const GifFile&) = delete;

  void addFrame(const Image& frame);
  void finish();

  std::size_t frameCount() const { return frames_; }

 private:
  void writeHeader();
  // Closes and removes an unfinished file.
  void discard();
  void check(int result, const char* step) const;

  std::filesystem::path path_;
  GifFileType* gif_ = nullptr;
  int width_;
  int height_;
  int fps_;
  std::size_t frames_ = 0;
  std::vector<std::uint32_t> previous_;
};

// The number of frames a GIF of `duration` at `fps` has.
std::size_t gifFrameCount(aurora::Nanoseconds duration, int fps);

}  // namespace picture
