# cmake -DOUTPUT=file.cc -DFILES="a;b;..." -P embed_pages.cmake
#
# Writes a C++ source that holds the bytes of each file and a table of them
# by page name: "NAME.htm" is the page NAME, "NAME.formatted.htm" the page
# NAME that takes an address's inserts, any other file its whole name.
# Names are lower case.
set(body "// Generated from the page folder by embed_pages.cmake; do not edit.\n")
string(APPEND body "#include \"page_set.h\"\n\nnamespace lumorel {\nnamespace {\n\n")
set(table "")
set(index 0)
string(REPEAT "0x[0-9a-f][0-9a-f]," 16 sixteen)
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
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # One byte as 0xNN, sixteen to a line; a trailing 0 keeps an empty file legal.
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
  string(APPEND body "// ${file}\nconstexpr unsigned char kPage${index}[] = {\n    ${bytes}0};\n\n")
  string(APPEND table "    {\"${name}\", kPage${index}, ${size}, ${formatted}},\n")
  math(EXPR index "${index} + 1")
endforeach()
string(APPEND body "}  // namespace\n\nconst PageSetEntry kPageSet[] = {\n${table}};\n")
string(APPEND body "const std::size_t kPageSetSize = ${index};\n\n}  // namespace lumorel\n")
# Rewritten only when it changes, so an unchanged page set compiles nothing.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL body)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${body}")
