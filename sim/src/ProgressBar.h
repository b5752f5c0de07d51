// A progress bar for long renders, redrawn in place on one line of a
// terminal (stderr): "rendering tour.gif [########------------]  40%  200/500".
//
//   ProgressBar bar(&std::cerr, "rendering tour.gif", frames);
//   for (...) bar.update(++done);
//   bar.finish();
//
// It draws only when the whole percentage changes, and nothing at all without
// a stream (the caller decides when a bar is worth showing). It does not own
// the stream. Main thread only.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

namespace sim {

class ProgressBar {
 public:
  ProgressBar(std::ostream* out, std::string label, std::size_t total);

  void update(std::size_t done);
  // Ends the line the bar stands on.
  void finish();

 private:
  std::ostream* out_;
  std::string label_;
  std::size_t total_;
  int lastPercent_ = -1;
};

}  // namespace sim
