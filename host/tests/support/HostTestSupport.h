// Shared pieces of the host's, the pictures' and the simulator's tests: a
// fresh run loop on a virtual clock, the host's pill classes (registered once
// per process), the HostTest fixture, traces read back as lines, pictures made
// by hand, colours compared with a tolerance, and PNG and GIF files read back.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <cairo.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "CoreGraphics/CGColor.h"
#include "Foundation/NSRunLoop.h"
#include "aurora/PlatformObserver.h"
#include "host/HostPillClasses.h"
#include "host/Scene.h"
#include "host/TraceWriter.h"
#include "picture/Image.h"

namespace host {

inline std::ostream& operator<<(std::ostream& out, const Rgb& c) { return out << "rgb(" << int{c.red} << ", " << int{c.green} << ", " << int{c.blue} << ")"; }

namespace test {

inline void restartRunLoop() { NSRunLoop::mainRunLoop().reset(std::make_unique<aurora::VirtualClock>()); }

inline void registerHostPillClassesOnce() {
  static const bool registered = (registerHostPillClasses({}), true);
  (void)registered;
}

// The events of a trace, the header line left out, their fields in the trace's order.
inline std::vector<nlohmann::ordered_json> traceEvents(const std::string& trace) {
  std::vector<nlohmann::ordered_json> events;
  std::istringstream lines(trace);
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) events.push_back(nlohmann::ordered_json::parse(line));
  return events;
}

// Each event as one line of its values, strings bare: "0.5 set v1 tag 115".
inline std::vector<std::string> traceLines(const std::string& trace) {
  std::vector<std::string> lines;
  for (const auto& event : traceEvents(trace)) {
    std::string line;
    for (const auto& value : event) line += (line.empty() ? "" : " ") + (value.is_string() ? value.get<std::string>() : value.dump());
    lines.push_back(line);
  }
  return lines;
}

// The lines in which `pattern` is found.
inline std::vector<std::string> grep(const std::vector<std::string>& lines, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  std::copy_if(lines.begin(), lines.end(), std::back_inserter(found), [&](const std::string& line) { return std::regex_search(line, re); });
  return found;
}

inline ::testing::AssertionResult near(Rgb actual, Rgb expected, int tolerance) {
  const int worst = std::max({std::abs(actual.red - expected.red), std::abs(actual.green - expected.green), std::abs(actual.blue - expected.blue)});
  if (worst <= tolerance) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << actual << " is not within " << tolerance << " of " << expected;
}

// 0..255 from 0..1 components, as cairo rounds.
inline Rgb rgb(const RGBA& c) {
  const auto byte = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255)); };
  return {byte(c.red), byte(c.green), byte(c.blue)};
}

// A picture whose pixel (x, y) is colour(x, y).
inline Image paintedImage(int width, int height, const std::function<Rgb(int, int)>& colour) {
  Image image(width, height);
  cairo_surface_t* surface = image.surface();
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(cairo_image_surface_get_data(surface) + y * cairo_image_surface_get_stride(surface));
    for (int x = 0; x < width; ++x) row[x] = packRgb(colour(x, y));
  }
  cairo_surface_mark_dirty(surface);
  return image;
}

// A PNG read back with cairo (an unreadable one gives a 0 x 0 size, which Image refuses).
inline Image readPng(const std::filesystem::path& file) {
  cairo_surface_t* png = cairo_image_surface_create_from_png(file.c_str());
  Image image(cairo_image_surface_get_width(png), cairo_image_surface_get_height(png));
  cairo_t* cr = cairo_create(image.surface());
  cairo_set_source_surface(cr, png, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_destroy(png);
  image.flush();
  return image;
}

// A GIF read back with giflib: its frames as stored, and each composed over the ones before.
struct GifFrame {
  PixelRect rect;
  int delay = 0;  // hundredths of a second
  bool localPalette = false;
  std::vector<std::uint32_t> screen;  // the whole picture once this frame is drawn, 0xRRGGBB
};

struct DecodedGif {
  int width = 0;
  int height = 0;
  std::optional<int> loopCount;  // from NETSCAPE2.0; nothing when absent
  std::vector<GifFrame> frames;
};

// Nothing when giflib cannot read it.
std::optional<DecodedGif> readGif(const std::filesystem::path& file);

}  // namespace test

// The host's window on a fresh virtual clock, a trace writer at hand.
class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::restartRunLoop();
    test::registerHostPillClassesOnce();
  }
  void TearDown() override { aurora::setPlatformObserver(nullptr); }

  std::ostringstream trace_;
  TraceWriter writer_{trace_, TraceFlush::AtEnd};
  Scene scene_;
};

}  // namespace host
