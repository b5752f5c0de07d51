// Reading a file that must be a regular one: opened non-blocking and checked
// by fstat on what was opened, so a FIFO, a device, a socket or a folder put
// at the path is never read (and cannot hang the caller), and no check can be
// raced by a rename between it and the open. Any thread.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <string>

namespace aurora {

struct RegularFileRead {
  enum class Outcome {
    Read,
    Missing,     // nothing at the path
    NotRegular,  // `type` says what is there instead
    TooLarge,    // larger than the limit, or grew past it while read
    Failed,      // `error` says why
  };
  Outcome outcome = Outcome::Failed;
  std::string bytes;  // the whole file when Read
  mode_t type = 0;    // S_IFMT bits of what was opened
  mode_t permissions = 0;
  int error = 0;
};

RegularFileRead readRegularFile(const std::filesystem::path& path, std::size_t limit);

// "a folder", "a FIFO", "a socket", "a device" for the S_IFMT bits of what is not a regular file.
const char* fileTypeName(mode_t type);

}  // namespace aurora
