// auroraribbon-soak: a long run of virtual time in a host that loaded the real
// extension (Soak.h). Prints a census and the resident memory per sample
// period, then what is left after the run; exits 1 when the counts are not
// back to what the live pills need.
#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>
#include <optional>

#include "DeviceRootCopy.h"
#include "Soak.h"

int main(int argc, char** argv) {
  CLI::App app{
      "Runs AuroraRibbon in a simulated home-screen host for hours of virtual time, making and destroying "
      "pills all along, and checks that nothing is left behind"};
  double hours = 24;
  double sampleMinutes = 60;
  std::filesystem::path source = hardening::demoRoot();
  app.add_option("--hours", hours, "Virtual hours of churn")->capture_default_str()->check(CLI::PositiveNumber);
  app.add_option("--sample-minutes", sampleMinutes, "Virtual minutes between census samples")
      ->capture_default_str()
      ->check(CLI::Range(1.0, 1440.0));
  app.add_option("--root", source, "Device root to copy and run on (default: the build's demo root)")
      ->check(CLI::ExistingDirectory);
  CLI11_PARSE(app, argc, argv);

  try {
    const auto toNanoseconds = [](double seconds) {
      return std::chrono::duration_cast<aurora::Nanoseconds>(std::chrono::duration<double>(seconds));
    };
    hardening::SoakPlan plan{toNanoseconds(hours * 3600), toNanoseconds(sampleMinutes * 60)};
    hardening::DeviceRootCopy root(source);
    std::cout << "soak: " << hours << " h of virtual time, a pill made every " << aurora::toSeconds(plan.churn)
              << " s, a sample every " << sampleMinutes << " min\n";
    const hardening::SoakReport report = hardening::runSoak(plan, root.path(), [](const hardening::SoakSample& sample) {
      std::cout << hardening::formatSample(sample) << std::endl;
    });
    std::cout << hardening::formatSoakSummary(report);
    return report.countsBack() ? 0 : 1;
  } catch (const std::exception& error) {
    std::cerr << "auroraribbon-soak: " << error.what() << '\n';
    return 1;
  }
}
