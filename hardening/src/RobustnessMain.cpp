// auroraribbon-robustness: runs the bad-input matrix, the notification storm,
// the torn-write runs and the soak against the real extension, and writes
// every figure to a Markdown page (docs/robustness.md via `make robustness`).
// Exits 1 when any of them found a fault.
#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "DeviceRootCopy.h"
#include "RobustnessReport.h"

#ifndef AURORA_BUILD_TYPE
#error "AURORA_BUILD_TYPE must name the build type"
#endif

namespace {

using namespace hardening;

std::string commandLine(int argc, char** argv) {
  std::string text = std::filesystem::path(argv[0]).filename().string();
  for (int i = 1; i < argc; ++i) text += std::string(" ") + argv[i];
  return text;
}

std::vector<MatrixRow> runMatrix(const RowPlan& plan, const std::filesystem::path& root) {
  std::vector<MatrixRow> rows;
  const std::vector<BadInputRow> all = badInputRows();
  for (const BadInputRow& row : all) {
    RowOutcome outcome = runBadInputRow(row, plan, root);
    std::cerr << fmt::format("matrix {}/{}: {} = {}: {} ({:.2f} s)\n", rows.size() + 1, all.size(), row.key, row.value,
                             outcome.verdict(), outcome.end.wallSeconds);
    rows.push_back({row.key, row.value, std::move(outcome)});
  }
  return rows;
}

SoakReport runSoakInChild(const SoakPlan& plan, const std::filesystem::path& source) {
  DeviceRootCopy root(source);
  const ChildResult end = runInChild(std::chrono::hours(4), [&] {
    return nlohmann::json(runSoak(plan, root.path(),
                                  [](const SoakSample& s) { std::cerr << "soak " << formatSample(s) << std::endl; }))
        .dump();
  });
  if (!end.ok()) throw std::runtime_error("the soak host failed: " + end.describe() + " " + end.output);
  return nlohmann::json::parse(end.output).get<SoakReport>();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Runs AuroraRibbon's hardening checks against the real extension and writes their figures as Markdown"};
  std::filesystem::path out;
  std::filesystem::path source = demoRoot();
  std::filesystem::path fuzzSummary;
  double soakHours = 24;
  double rowSeconds = 10;
  int stormPosts = 10000;
  int tornWrites = 2000;
  app.add_option("--out", out, "Write the page here (default: standard output)");
  app.add_option("--root", source, "Device root to copy for each run (default: the build's demo root)")
      ->check(CLI::ExistingDirectory);
  app.add_option("--soak-hours", soakHours, "Virtual hours of the soak; 0 leaves it out")
      ->capture_default_str()
      ->check(CLI::NonNegativeNumber);
  app.add_option("--row-seconds", rowSeconds, "Virtual seconds each matrix row runs on")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 3600.0));
  app.add_option("--storm-posts", stormPosts, "Posts of the notification storm")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000000));
  app.add_option("--torn-writes", tornWrites, "Rewrites of the torn-write runs")
      ->capture_default_str()
      ->check(CLI::Range(1, 1000000));
  app.add_option("--fuzz-summary", fuzzSummary, "fuzz/run's summary table to include")->check(CLI::ExistingFile);
  CLI11_PARSE(app, argc, argv);

  try {
    RobustnessFigures figures;
    figures.command = commandLine(argc, argv);
    figures.buildType = AURORA_BUILD_TYPE;
    figures.rowPlan.running =
        std::chrono::duration_cast<aurora::Nanoseconds>(std::chrono::duration<double>(rowSeconds));
    figures.matrix = runMatrix(figures.rowPlan, source);

    figures.storm = runNotificationStorm({.posts = stormPosts}, source);
    std::cerr << fmt::format("storm: {} posts, {} re-reads\n", figures.storm->posts, figures.storm->rereads);
    for (auto format : {aurora::PlistFormat::Xml, aurora::PlistFormat::Binary}) {
      const char* name = format == aurora::PlistFormat::Xml ? "XML" : "binary";
      figures.tornWrites.emplace_back(name, runTornWrites({.writes = tornWrites, .format = format}, source));
      std::cerr << fmt::format("torn writes ({}): {} reads, {} torn\n", name,
                               figures.tornWrites.back().second.read.reads, figures.tornWrites.back().second.read.torn);
    }
    if (soakHours > 0) {
      const auto nanoseconds =
          std::chrono::duration_cast<aurora::Nanoseconds>(std::chrono::duration<double>(soakHours * 3600));
      SoakPlan plan{nanoseconds, std::min<aurora::Nanoseconds>(std::chrono::hours(1), nanoseconds)};
      figures.soakPlan = fmt::format(
          "{} h of virtual time: a pill made every {} s and removed {} s later (the two classes and the five styles in "
          "turn), the preferences rewritten before each, the settings-changed notification posted every second and "
          "after each rewrite; a census and the resident memory every {} min; then a {} s settle.",
          soakHours, aurora::toSeconds(plan.churn), aurora::toSeconds(plan.pillLifetime),
          aurora::toSeconds(plan.samplePeriod) / 60, aurora::toSeconds(plan.settle));
      figures.soak = runSoakInChild(plan, source);
    }
    if (!fuzzSummary.empty()) {
      std::ifstream in(fuzzSummary);
      std::ostringstream text;
      text << in.rdbuf();
      figures.fuzzSummary = text.str();
    }

    const std::string page = robustnessMarkdown(figures);
    if (out.empty()) {
      std::cout << page;
    } else {
      std::ofstream file(out, std::ios::binary | std::ios::trunc);
      file << page;
      if (!file) throw std::runtime_error("cannot write " + out.string());
    }
    bool clean = figures.storm->exact();
    for (const MatrixRow& row : figures.matrix) clean = clean && row.outcome.ok();
    for (const auto& [name, torn] : figures.tornWrites) clean = clean && torn.clean();
    if (figures.soak) clean = clean && figures.soak->countsBack();
    return clean ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "auroraribbon-robustness: " << error.what() << '\n';
    return 1;
  }
}
