#include "SimChild.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#ifndef AURORA_SIM_PROGRAM
#error "AURORA_SIM_PROGRAM must name the simulator the build makes"
#endif

extern char** environ;

namespace studio {
namespace {

constexpr const char* kSimulatorName = "auroraribbon-sim";

}  // namespace

std::filesystem::path simulatorProgram() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  if (!error) {
    std::filesystem::path beside = self.parent_path() / kSimulatorName;
    if (::access(beside.c_str(), X_OK) == 0) return beside;
  }
  return AURORA_SIM_PROGRAM;
}

ChildEnd runChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                  const std::filesystem::path& out, const std::filesystem::path& err, std::atomic<int>& running) {
  std::vector<char*> argv;
  std::string name = program.string();
  argv.push_back(name.data());
  std::vector<std::string> copies = arguments;
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t child = 0;
  const int spawned = ::posix_spawn(&child, name.c_str(), &files, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&files);
  if (spawned != 0) return {false, fmt::format("cannot start {}: {}", name, std::strerror(spawned))};
  running = child;

  int status = 0;
  int waited = 0;
  while ((waited = ::waitpid(child, &status, 0)) < 0 && errno == EINTR) {
  }
  running = 0;
  if (waited < 0) return {false, fmt::format("cannot wait for {}: {}", name, std::strerror(errno))};
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {true, {}};
  if (WIFSIGNALED(status)) return {false, fmt::format("{} was ended by signal {}", name, WTERMSIG(status))};
  return {false, fmt::format("{} exited with status {}", name, WEXITSTATUS(status))};
}

}  // namespace studio
