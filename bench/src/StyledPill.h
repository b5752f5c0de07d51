// A pill of the host whose colour view the extension has made, in a given
// style: the preferences name the style, a static-colour pill is made, and its
// first layout pass (run at virtual time 0) makes the colour view and starts
// the style. Main thread only.
#pragma once

#include <memory>
#include <string>

#include "UIKit/UIView.h"
#include "pillview/ColorPillView.h"

namespace bench {

struct StyledPill {
  std::shared_ptr<UIView> pill;
  ColorPillView* colorView;  // owned by the pill
};

// Starts the run loop over first. Throws std::runtime_error when the extension
// made no colour view.
StyledPill makeStyledPill(const std::string& style);

}  // namespace bench
