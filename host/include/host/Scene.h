// What the host shows: its 390 x 844 window and the pills in it, each under a
// name (the default pills are `static` and `luma`; a script names its own).
//
// The scene holds the window and one strong reference per pill; a removed
// pill is let go, and lives on only if something else keeps it. Pills are made
// the platform's way (alloc, then initWithFrame: sent through the runtime), so
// an extension's replacement of initWithFrame: runs for them.
//
// Main thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "UIKit/UIView.h"
#include "host/PillNaming.h"

namespace host {

inline constexpr CGRect kWindowFrame = CGRectMake(0, 0, 390, 844);
// Where the default pills sit: side by side at the window's bottom edge.
inline constexpr CGRect kStaticPillFrame = CGRectMake(40, 831, 134, 5);
inline constexpr CGRect kLumaPillFrame = CGRectMake(216, 831, 134, 5);

class Scene {
 public:
  // Makes the window.
  Scene();

  void setPillNaming(PillNaming* naming) { naming_ = naming; }

  // Makes a pill of `cls` with `frame` and adds it to the window. Throws
  // std::runtime_error when the class's initialiser gives nothing.
  void addPill(const std::string& name, Class cls, CGRect frame);
  // The pill of that name; throws std::out_of_range for a name not in the scene.
  UIView& pill(const std::string& name) const;
  // The name of the pill whose view has this serial, or nullptr when none in the scene has it.
  const std::string* nameOf(std::uint64_t viewSerial) const;
  // Takes it out of the window and lets it go.
  void removePill(const std::string& name);
  // Takes every pill out of the window and lets them go.
  void removeAllPills();
  // The default pills: `static` and `luma`, for each class this process has.
  void addDefaultPills();

  UIView& window() const { return *window_; }

 private:
  std::shared_ptr<UIView> window_;
  std::map<std::string, std::shared_ptr<UIView>, std::less<>> pills_;
  PillNaming* naming_ = nullptr;
};

}  // namespace host
