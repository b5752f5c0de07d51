#include "aurora/PlatformObserver.h"

#include <atomic>

namespace aurora {
namespace {

std::atomic<PlatformObserver*> gObserver{nullptr};

}  // namespace

PlatformObserver* platformObserver() { return gObserver.load(std::memory_order_acquire); }
void setPlatformObserver(PlatformObserver* observer) { gObserver.store(observer, std::memory_order_release); }

const char* viewPropertyName(ViewProperty property) {
  switch (property) {
    case ViewProperty::Frame: return "frame";
    case ViewProperty::Alpha: return "alpha";
    case ViewProperty::Tag: return "tag";
    case ViewProperty::ClipsToBounds: return "clipsToBounds";
    case ViewProperty::TranslatesAutoresizingMaskIntoConstraints: return "translatesAutoresizingMaskIntoConstraints";
    case ViewProperty::BackgroundColor: return "backgroundColor";
    case ViewProperty::LayerBackgroundColor: return "layer.backgroundColor";
    case ViewProperty::LayerCornerRadius: return "layer.cornerRadius";
    case ViewProperty::LayerColors: return "layer.colors";
    case ViewProperty::LayerStartPoint: return "layer.startPoint";
    case ViewProperty::LayerEndPoint: return "layer.endPoint";
    case ViewProperty::LayerDrawsAsynchronously: return "layer.drawsAsynchronously";
  }
  return "?";
}

}  // namespace aurora
