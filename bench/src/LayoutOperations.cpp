// A layout pass over a pill whose colour view exists (layoutSubviews sent
// through the runtime, as the layout machinery sends it), and the making of a
// colour view.
#include <stdexcept>

#include "BenchDevice.h"
#include "Foundation/NSRunLoop.h"
#include "Operations.h"
#include "StyledPill.h"

namespace bench {
namespace {

class LayoutPass final : public Operation {
 public:
  LayoutPass() : styled_(makeStyledPill("Static")), layoutSubviews_(sel_registerName("layoutSubviews")) {
    styled_.colorView->layer()->setCornerRadius(0);
    run();
    if (styled_.colorView->layer()->cornerRadius() != 2.5) throw std::runtime_error("the layout pass left the radius");
  }
  void run() override { objc_msgSend<void>(styled_.pill.get(), layoutSubviews_); }

 private:
  StyledPill styled_;
  SEL layoutSubviews_;
};

// The view goes at once; the mark its construction left is cleared by the
// run loop's next layout round, as in the host.
class ColorViewConstruction final : public Operation {
 public:
  ColorViewConstruction() {
    applyPreferences({{settings::key::style.name, std::string(settings::kWave)}});
    resetRunLoop();
  }
  void run() override {
    UIView::make<ColorPillView>(CGRectMake(0, 0, 134, 5));
    runInstantAt(NSRunLoop::mainRunLoop().now());
  }
};

}  // namespace

std::unique_ptr<Operation> makeLayoutPass() { return std::make_unique<LayoutPass>(); }
std::unique_ptr<Operation> makeColorViewConstruction() { return std::make_unique<ColorViewConstruction>(); }

}  // namespace bench
