// Replacing a file's contents atomically: the bytes go to a temporary file in
// the same folder, are flushed to disk, and the temporary file is renamed over
// the target. A reader sees the old file or the new one, never half of one;
// on failure the target is as it was and the temporary file is gone.
// Any thread.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace aurora {

// The new file has `permissions`; the folder must exist. Throws
// PreferencesError with the reason.
void replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes, mode_t permissions);

}  // namespace aurora
