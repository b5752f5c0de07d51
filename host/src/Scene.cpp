#include "host/Scene.h"

#include <fmt/format.h>

#include <stdexcept>

#include "host/HostPillClasses.h"

namespace host {

Scene::Scene() : window_(UIView::make(UIView::objcClass(), kWindowFrame)) {}

void Scene::addPill(const std::string& name, Class cls, CGRect frame) {
  // The name applies to this one making only, however it ends.
  struct NamingScope {
    PillNaming* naming;
    ~NamingScope() {
      if (naming != nullptr) naming->didMakePill();
    }
  };
  if (naming_ != nullptr) naming_->willMakePill(cls, name);
  std::shared_ptr<UIView> pill;
  {
    NamingScope scope{naming_};
    pill = UIView::make(cls, frame);
  }
  if (!pill)
    throw std::runtime_error(fmt::format("-[{} initWithFrame:] gave nil for the pill '{}'", class_getName(cls), name));
  window_->addSubview(pill);
  pills_[name] = std::move(pill);
}

UIView& Scene::pill(const std::string& name) const {
  auto it = pills_.find(name);
  if (it == pills_.end()) throw std::out_of_range(fmt::format("there is no pill '{}'", name));
  return *it->second;
}

const std::string* Scene::nameOf(std::uint64_t viewSerial) const {
  for (const auto& [name, pill] : pills_) {
    if (pill->serial() == viewSerial) return &name;
  }
  return nullptr;
}

void Scene::removePill(const std::string& name) {
  auto it = pills_.find(name);
  if (it == pills_.end()) throw std::out_of_range(fmt::format("there is no pill '{}'", name));
  std::shared_ptr<UIView> pill = std::move(it->second);
  pills_.erase(it);
  pill->removeFromSuperview();
}

void Scene::removeAllPills() {
  auto pills = std::move(pills_);
  pills_.clear();
  for (auto& [name, pill] : pills) pill->removeFromSuperview();
}

void Scene::addDefaultPills() {
  struct DefaultPill {
    const char* name;
    const char* className;
    CGRect frame;
  };
  static constexpr DefaultPill kDefaults[] = {
      {"static", kStaticPillClass, kStaticPillFrame},
      {"luma", kLumaPillClass, kLumaPillFrame},
  };
  for (const DefaultPill& pill : kDefaults) {
    if (Class cls = objc_getClass(pill.className)) addPill(pill.name, cls, pill.frame);
  }
}

}  // namespace host
