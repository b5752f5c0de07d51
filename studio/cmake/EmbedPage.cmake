# Writes OUTPUT, a C++ file that defines studio::pageFile() over the page's
# files as byte arrays. Run with cmake -P, given PAGE_DIR, PAGE_FILES (the
# files' names, separated by commas) and OUTPUT. A file is served at /NAME,
# index.html at /, with the content type its ending gives.
string(REPLACE "," ";" files "${PAGE_FILES}")
set(arrays "")
set(lookups "")
set(i 0)
foreach(file IN LISTS files)
  if(file MATCHES "\\.html$")
    set(type text/html)
  elseif(file MATCHES "\\.js$")
    set(type text/javascript)
  elseif(file MATCHES "\\.css$")
    set(type text/css)
  else()
    message(FATAL_ERROR "EmbedPage: no content type for ${file}")
  endif()
  if(file STREQUAL "index.html")
    set(path "/")
  else()
    set(path "/${file}")
  endif()
  file(READ "${PAGE_DIR}/${file}" hex HEX)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND arrays "constexpr unsigned char kFile${i}[] = {${bytes}};\n")
  string(APPEND lookups "  if (path == \"${path}\") return PageFile{\"${type}; charset=utf-8\", bytes(kFile${i})};\n")
  math(EXPR i "${i} + 1")
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
