#include "host/ScenarioRunner.h"

#include <fmt/format.h>

#include "CoreFoundation/CFNotificationCenter.h"
#include "Foundation/NSRunLoop.h"
#include "UIKit/UIView.h"
#include "picture/Framing.h"
#include "picture/PngFile.h"
#include "settings/Contract.h"

namespace host {

void ScenarioRunner::schedule() {
  NSRunLoop& loop = NSRunLoop::mainRunLoop();
  for (const ScriptLine& line : script_.lines) {
    loop.performAt(line.at, [this, &line] { execute(line); });
  }
}

void ScenarioRunner::execute(const ScriptLine& line) {
  try {
    std::visit([this](const auto& command) { perform(command); }, line.command);
  } catch (const std::exception& error) {
    throw ScenarioFailure(fmt::format("{}:{}: {}", script_.file, line.number, error.what()));
  }
}

void ScenarioRunner::perform(const command::PrefsSet& c) { prefs_.set({c.entry}); }
void ScenarioRunner::perform(const command::PrefsUnset& c) { prefs_.unset(c.key); }
void ScenarioRunner::perform(const command::PrefsDelete&) { prefs_.remove(); }
void ScenarioRunner::perform(const command::PrefsRaw& c) { prefs_.writeRaw(c.bytes); }
void ScenarioRunner::perform(const command::PrefsFormat& c) { prefs_.setFormat(c.format); }

void ScenarioRunner::perform(const command::Notify& c) {
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(),
                                       c.name ? c.name->c_str() : settings::kSettingsChangedNotification, nullptr,
                                       nullptr, true);
}

void ScenarioRunner::perform(const command::PillAdd& c) {
  // The parser checked the class against those the host registers.
  scene_.addPill(c.name, objc_getClass(c.className.c_str()), c.frame);
}

void ScenarioRunner::perform(const command::PillFrame& c) { scene_.pill(c.name).setFrame(c.frame); }

void ScenarioRunner::perform(const command::PillLayout& c) {
  UIView& pill = scene_.pill(c.name);
  pill.setNeedsLayout();
  pill.layoutIfNeeded();
}

void ScenarioRunner::perform(const command::PillSend& c) {
  objc_msgSend<void>(&scene_.pill(c.name), sel_registerName(c.selector));
}

void ScenarioRunner::perform(const command::PillAddView& c) {
  std::shared_ptr<UIView> view = UIView::make(UIView::objcClass(), CGRectMake(0, 0, 10, 10));
  view->setTag(c.tag);
  scene_.pill(c.name).addSubview(view);
}

void ScenarioRunner::perform(const command::PillRemove& c) { scene_.removePill(c.name); }

void ScenarioRunner::perform(const command::RunLoopMode& c) { NSRunLoop::mainRunLoop().setMode(c.mode); }

void ScenarioRunner::perform(const command::Snapshot& c) {
  picture::writePng(picture::renderWindow(scene_.window(), picture::framePicture(scene_.window(), snapshotLook_)),
                    c.file);
}

void ScenarioRunner::perform(const command::End&) {
  ended_ = true;
  NSRunLoop::mainRunLoop().stop();
}

}  // namespace host
