#include "SettingsPane.h"

#include <fmt/format.h>

#include <cstdlib>
#include <stdexcept>

#include "aurora/DeviceRoot.h"
#include "aurora/PreferencesFile.h"
#include "prefs/Describe.h"
#include "prefs/PreferenceKeys.h"
#include "settings/SettingsChanged.h"

namespace prefs {
namespace {

class PaneFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

void useRoot(const std::filesystem::path& root) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(root, error);
  if (error || !std::filesystem::is_directory(absolute, error)) {
    throw PaneFailure(fmt::format("the device root '{}' is not a directory", root.string()));
  }
  ::setenv(aurora::kDeviceRootVariable, absolute.c_str(), 1);
}

PaneFailure noSuchKey(const std::string& key) {
  return PaneFailure(fmt::format("the preferences file has no key '{}'", key));
}

std::shared_ptr<const NSDictionary> existingContents(const aurora::PreferencesFile& file) {
  std::shared_ptr<const NSDictionary> contents = file.contents();
  if (!contents) throw PaneFailure(fmt::format("there is no preferences file at {}", settings::kPreferencesPath));
  return contents;
}

class Pane {
 public:
  Pane(aurora::PreferencesFile& file, std::ostream& out, std::ostream& err) : file_(file), out_(out), err_(err) {}

  void operator()(const ReadCommand& command) {
    const std::shared_ptr<const NSDictionary> contents = existingContents(file_);
    if (!command.key) {
      out_ << describe(*contents) << '\n';
      return;
    }
    const PropertyListValue* value = contents->objectForKey(*command.key);
    if (value == nullptr) throw noSuchKey(*command.key);
    // Alone, a string is shown as it is, so that scripts can use it.
    const auto* text = std::get_if<std::string>(&value->storage);
    out_ << (text != nullptr ? *text : describe(*value)) << '\n';
  }

  void operator()(const WriteCommand& command) {
    std::vector<aurora::PreferenceEntry> entries;
    for (const WriteItem& item : command.items) entries.push_back(checkedEntry(item));
    for (const WriteItem& item : command.items) {
      if (!isKnownKey(item.key)) {
        err_ << fmt::format("auroraribbon-prefs: warning: '{}' is not a key AuroraRibbon reads; writing it anyway\n",
                            item.key);
      }
    }
    file_.set(entries);
    settings::postSettingsChanged();
  }

  void operator()(const DeleteCommand& command) {
    if (!command.key) {
      if (!file_.remove())
        throw PaneFailure(fmt::format("there is no preferences file at {}", settings::kPreferencesPath));
    } else {
      existingContents(file_);  // a missing file gets its own message, not "no key"
      if (!file_.unset(*command.key)) throw noSuchKey(*command.key);
    }
    settings::postSettingsChanged();
  }

 private:
  aurora::PreferencesFile& file_;
  std::ostream& out_;
  std::ostream& err_;
};

}  // namespace

int runSettingsPane(const Invocation& invocation, std::ostream& out, std::ostream& err) {
  try {
    useRoot(invocation.root);
    aurora::PreferencesFile file(aurora::hostPath(settings::kPreferencesPath), invocation.format);
    Pane pane(file, out, err);
    std::visit(pane, invocation.command);
    return 0;
  } catch (const RefusedValue& refused) {
    err << "auroraribbon-prefs: " << refused.what() << "; nothing was written\n";
    return 2;
  } catch (const std::exception& failure) {
    err << "auroraribbon-prefs: " << failure.what() << '\n';
    return 1;
  }
}

}  // namespace prefs
