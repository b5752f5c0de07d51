// Runs a program to its end, with standard input empty and its standard output
// and error captured, in a given working directory.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace host::test {

struct ProgramResult {
  int status;  // the exit status, or 128 + the signal that ended it
  std::string out;
  std::string err;
};

ProgramResult runProgram(const std::vector<std::string>& args, const std::filesystem::path& workingDirectory);

}  // namespace host::test
