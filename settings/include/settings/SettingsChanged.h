// The settings-changed post, as every writer of the preferences file makes it
// once its change is in place (the settings pane, the studio, the hardening
// programs): the extension reads the file again when it hears it. Header-only,
// so that a writer links nothing of the extension; any thread.
#pragma once

#include "CoreFoundation/CFNotificationCenter.h"
#include "settings/Contract.h"

namespace settings {

inline void postSettingsChanged() {
  CFNotificationCenterPostNotification(CFNotificationCenterGetDarwinNotifyCenter(), kSettingsChangedNotification,
                                       nullptr, nullptr, true);
}

}  // namespace settings
