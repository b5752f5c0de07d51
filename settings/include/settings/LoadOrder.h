// The order of the extension's load-time work, as constructor priorities
// (lower runs first; 0 to 100 belong to the toolchain). The loader runs a
// library's load-time functions by priority, so these say what is ready when:
//   kBeforeExtension   the settings' two strings (settings/src/Settings.cpp),
//                      and a program that links the extension in readies the
//                      host here (the benchmarks: bench/src/BenchDevice.cpp);
//   kInitialValues     the settings take their initial values;
//   kLibraryConstructor  the extension subscribes to the settings-changed
//                      notification and reads the preferences file;
//   kInstallHooks      the replacements go into the host's pill classes.
// Plain ints, which both [[gnu::constructor(N)]] and [[gnu::init_priority(N)]]
// accept as constant expressions.
#pragma once

namespace settings::load {

inline constexpr int kBeforeExtension = 101;
inline constexpr int kInitialValues = 102;
inline constexpr int kLibraryConstructor = 103;
inline constexpr int kInstallHooks = 104;

}  // namespace settings::load
