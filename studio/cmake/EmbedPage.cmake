# Writes OUTPUT, a C++ file that defines studio::pageFile() over the page's
# files as byte arrays. Run with cmake -P, given PAGE_DIR and OUTPUT.
set(files index.html studio.js studio.css)
set(types text/html text/javascript text/css)  # each with "; charset=utf-8", added below: a list cannot hold ";"
set(paths "/" "/studio.js" "/studio.css")
set(arrays "")
set(lookups "")
foreach(i RANGE 2)
  list(GET files ${i} file)
  list(GET types ${i} type)
  list(GET paths ${i} path)
  file(READ "${PAGE_DIR}/${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "constexpr unsigned char kFile${i}[] = {${bytes}};\n")
  string(APPEND lookups "  if (path == \"${path}\") return PageFile{\"${type}; charset=utf-8\", bytes(kFile${i})};\n")
endforeach()
file(WRITE "${OUTPUT}.new" "// Generated from studio/page/ by studio/cmake/EmbedPage.cmake.
#include \"Page.h\"

namespace studio {
namespace {

${arrays}
template <std::size_t N>
std::string_view bytes(const unsigned char (&array)[N]) { return {reinterpret_cast<const char*>(array), N}; }

}  // namespace

std::optional<PageFile> pageFile(std::string_view path) {
${lookups}  return std::nullopt;
}

}  // namespace studio
")
file(COPY_FILE "${OUTPUT}.new" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.new")
