# Helpers of the scripts that compile files into generated sources.

# Sets `out` to the bytes of the file `path` as the body of a C++ array of
# unsigned char (0xNN, sixteen to a line, and a trailing 0 that keeps an
# empty file legal), and `size_out` to its size in bytes.
function(lumorel_bytes_literal out size_out path)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  string(REPEAT "0x[0-9a-f][0-9a-f]," 16 sixteen)
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(${sixteen})" "\\1\n    " bytes "${bytes}")
  set(${out} "${bytes}0" PARENT_SCOPE)
  set(${size_out} ${size} PARENT_SCOPE)
endfunction()

# Writes `content` to `file` only when it differs from what is there, so
# that an unchanged input compiles nothing.
function(lumorel_write_if_changed file content)
  if(EXISTS "${file}")
    file(READ "${file}" old)
    if(old STREQUAL content)
      return()
    endif()
  endif()
  file(WRITE "${file}" "${content}")
endfunction()
