# Every library the project builds on, found once; the folders link the
# targets found here. Debian's packages for them are in packages.txt.
find_package(PkgConfig REQUIRED)
pkg_check_modules(PLIST REQUIRED IMPORTED_TARGET libplist-2.0)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(FONTCONFIG REQUIRED IMPORTED_TARGET fontconfig)
find_package(GIF 5 REQUIRED)
find_package(fmt REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(CLI11 CONFIG REQUIRED)
find_package(Boost 1.74 REQUIRED)  # Beast and Asio, header-only
find_package(GTest REQUIRED)
# Optional: without it the benchmarks are not built.
find_package(benchmark QUIET)
