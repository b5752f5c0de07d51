#include "TornWrites.h"

#include <nlohmann/json.hpp>

#include "DeviceRootCopy.h"
#include "Foundation/NSDictionary.h"
#include "aurora/PreferencesFile.h"
#include "host/DeviceRoot.h"
#include "settings/Contract.h"

namespace hardening {
namespace {

using Clock = std::chrono::steady_clock;

char letterOf(std::int64_t version) { return static_cast<char>('a' + version % 26); }

std::vector<aurora::PreferenceEntry> versionEntries(std::int64_t version, std::size_t padding) {
  return {{"version", version}, {"padding", std::string(padding, letterOf(version))}, {"check", version * 7 + 3}};
}

std::string writer(Gate& go, const TornPlan& plan, const std::filesystem::path& file) {
  if (!go.waitOpen()) return "{}";
  aurora::PreferencesFile prefs(file, plan.format);
  const Clock::time_point start = Clock::now();
  for (std::int64_t version = 1; version <= plan.writes; ++version)
    prefs.set(versionEntries(version, plan.paddingBytes));
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return nlohmann::json(WriterFigures{static_cast<std::uint64_t>(plan.writes), seconds}).dump();
}

// The version a read saw whole, or nothing when it was torn.
std::optional<std::int64_t> wholeVersion(const NSDictionary* read, const TornPlan& plan) {
  if (read == nullptr) return std::nullopt;
  const auto version = read->integerValue("version");
  const auto padding = read->stringValue("padding");
  const auto check = read->integerValue("check");
  if (!version || !padding || !check || *check != *version * 7 + 3 || padding->size() != plan.paddingBytes)
    return std::nullopt;
  if (padding->find_first_not_of(letterOf(*version)) != std::string::npos) return std::nullopt;
  return version;
}

std::string reader(Gate& go, const TornPlan& plan, const std::filesystem::path& root) {
  host::useDeviceRoot(root);
  if (!go.waitOpen()) return "{}";
  const Clock::time_point deadline = Clock::now() + plan.wallLimit;
  ReaderFigures figures;
  std::int64_t last = -1;
  while (last < plan.writes && Clock::now() < deadline) {
    const std::shared_ptr<const NSDictionary> read =
        NSDictionary::dictionaryWithContentsOfFile(settings::kPreferencesPath);
    ++figures.reads;
    const std::optional<std::int64_t> version = wholeVersion(read.get(), plan);
    if (!version) {
      ++figures.torn;
      continue;
    }
    ++figures.whole;
    if (*version < last) ++figures.wentBack;
    if (*version > last) ++figures.versionsSeen;
    last = std::max(last, *version);
  }
  return nlohmann::json(figures).dump();
}

}  // namespace

TornReport runTornWrites(const TornPlan& plan, const std::filesystem::path& sourceRoot) {
  DeviceRootCopy root(sourceRoot);
  const std::filesystem::path file = root.path() / std::filesystem::path(settings::kPreferencesPath).relative_path();
  aurora::PreferencesFile(file, plan.format).set(versionEntries(0, plan.paddingBytes));

  Gate go;
  ChildProcess writing([&] { return writer(go, plan, file); });
  ChildProcess reading([&] { return reader(go, plan, root.path()); });
  go.open();
  go.open();
  TornReport report;
  report.writer = writing.wait(plan.wallLimit);
  report.reader = reading.wait(plan.wallLimit);
  if (report.writer.ok()) nlohmann::json::parse(report.writer.output).get_to(report.written);
  if (report.reader.ok()) nlohmann::json::parse(report.reader.output).get_to(report.read);
  return report;
}

}  // namespace hardening
