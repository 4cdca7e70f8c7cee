# cmake -DOUTPUT=file.cc -DFILES="a;b;..." -P embed_pages.cmake
#
# Writes a C++ source that holds the bytes of each file and a table of them
# by page name: "NAME.htm" is the page NAME, "NAME.formatted.htm" the page
# NAME that takes an address's inserts, any other file its whole name.
# Names are lower case.
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/embedded_bytes.cmake)

set(body "// Generated from the page folder by embed_pages.cmake; do not edit.\n")
string(APPEND body "#include \"page_set.h\"\n\nnamespace lumorel {\nnamespace {\n\n")
set(table "")
set(index 0)
foreach(path IN LISTS FILES)
  get_filename_component(file "${path}" NAME)
  string(TOLOWER "${file}" name)
  set(formatted false)
  if(name MATCHES "^(.+)\\.formatted\\.htm$")
    set(name "${CMAKE_MATCH_1}")
    set(formatted true)
  elseif(name MATCHES "^(.+)\\.htm$")
    set(name "${CMAKE_MATCH_1}")
  endif()
  lumorel_bytes_literal(bytes size "${path}")
  string(APPEND body "// ${file}\nconstexpr unsigned char kPage${index}[] = {\n    ${bytes}};\n\n")
  string(APPEND table "    {\"${name}\", kPage${index}, ${size}, ${formatted}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nconst PageSetEntry kPageSet[] = {\n${table}};\n")
string(APPEND body "const std::size_t kPageSetSize = ${index};\n\n}  // namespace lumorel\n")
lumorel_write_if_changed("${OUTPUT}" "${body}")
