// A fresh directory of one's own, removed with everything in it when the
// object goes: for tests, benchmarks, the hardening programs and the fuzzers,
// which each need a device root or a folder of files nobody else touches.
//
//   aurora::TemporaryDirectory dir("aurora-test-");
//   const std::filesystem::path file = dir.write("a/b.txt", "text");
//
// The object owns the directory. Any thread; not shared between threads.
#pragma once

#include <filesystem>
#include <string_view>

namespace aurora {

class TemporaryDirectory {
 public:
  // `prefix` and six random characters, under `parent` (the system's
  // temporary folder when empty). Throws std::runtime_error, naming the
  // folder and the reason, when it cannot be made.
  explicit TemporaryDirectory(std::string_view prefix = "aurora-", const std::filesystem::path& parent = {});
  ~TemporaryDirectory();
  TemporaryDirectory(const TemporaryDirectory&) = delete;
  TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

  // Writes `bytes` to `name` under the directory (folders made as needed);
  // returns its path.
  std::filesystem::path write(std::string_view name, std::string_view bytes) const;

 private:
  std::filesystem::path path_;
};

}  // namespace aurora
