// The tour (`--demo`): the five styles in turn — Wave, Spectrum, Fade,
// Breathing, Static — four seconds each, then round again for as long as the
// run lasts.
//
// A style reaches only colour views made after it is written, so each segment
// writes the preferences file (master switch on, the style, and speeds that
// move within a few seconds: Spectrum steps of 10 ms, which the platform holds
// to a display frame, so 60 degrees a second; Fade and Breathing 1.5 s per
// step) and then replaces the pills with fresh default ones, whose first
// layout makes their colour views. Segments are host commands on the main run
// loop, so each starts before anything else due at its instant.
//
//   Tour tour(scene, prefs);
//   tour.start();                 // the first segment now
//   loop.runFor(Tour::kLength);   // one round
//
// The tour puts the preferences file back as it found it when it is
// destroyed. The scene and the preferences file must outlive it. Main thread
// only.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "aurora/PreferencesFile.h"
#include "aurora/Time.h"
#include "host/Scene.h"
#include "settings/Contract.h"

namespace sim {

class Tour {
 public:
  static constexpr std::span<const std::string_view> kStyles = settings::kStyleNames;
  static constexpr aurora::Nanoseconds kSegment{4'000'000'000};
  static constexpr aurora::Nanoseconds kLength = kSegment * static_cast<long>(kStyles.size());

  Tour(host::Scene& scene, aurora::PreferencesFile& prefs);
  ~Tour();
  Tour(const Tour&) = delete;
  Tour& operator=(const Tour&) = delete;

  void start();
  // "Spectrum (2/5)" while its segment shows; "" before the start.
  std::string caption() const;

 private:
  // Segment `round` of the tour, counted from the start across rounds.
  void show(std::size_t round);

  host::Scene& scene_;
  aurora::PreferencesFile& prefs_;
  std::optional<std::string> originalPrefs_;  // nothing: there was no file
  std::optional<std::size_t> segment_;
  aurora::Nanoseconds startedAt_{};
  std::shared_ptr<Tour*> self_ = std::make_shared<Tour*>(this);
};

}  // namespace sim
