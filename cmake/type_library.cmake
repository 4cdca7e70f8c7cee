# The type library and the C++ declarations of its interfaces, compiled from
# resources/lmcntl.idl with widl. The system IDL files come from Wine's
# development package, stdole2.tlb (imported by the library) from Wine.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(widl_target -m64 --win64)
  set(wine_windows_dir /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
  set(widl_name x86_64-w64-mingw32-widl)
else()
  set(widl_target -m32 --win32)
  set(wine_windows_dir /usr/lib/i386-linux-gnu/wine/i386-windows)
  set(widl_name i686-w64-mingw32-widl)
endif()
find_program(LUMOREL_WIDL NAMES ${widl_name} widl REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(wine_idl_dir /usr/include/wine/wine/windows)
if(NOT EXISTS ${wine_idl_dir}/oaidl.idl)
  message(FATAL_ERROR "widl needs the system IDL files in ${wine_idl_dir}: install libwine-dev")
endif()
if(NOT EXISTS ${wine_windows_dir}/stdole2.tlb)
  message(FATAL_ERROR "widl needs ${wine_windows_dir}/stdole2.tlb: install Wine for this architecture")
endif()

set(LUMOREL_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(LUMOREL_TYPELIB_FILE ${LUMOREL_GENERATED_DIR}/lmcntl.tlb)
set(LUMOREL_TYPELIB_HEADER ${LUMOREL_GENERATED_DIR}/lmcntl.h)
set(idl ${CMAKE_SOURCE_DIR}/resources/lmcntl.idl)
add_custom_command(
  OUTPUT ${LUMOREL_TYPELIB_FILE} ${LUMOREL_TYPELIB_HEADER}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${LUMOREL_GENERATED_DIR}
  COMMAND ${LUMOREL_WIDL} ${widl_target} -I${wine_idl_dir} -L${wine_windows_dir}
          -t -T ${LUMOREL_TYPELIB_FILE} -h -H ${LUMOREL_TYPELIB_HEADER} ${idl}
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/set_library_guid.py
          ${LUMOREL_TYPELIB_FILE} {5A3E9D10-2C4B-4E7F-8A61-0D2F4B7C9E01}
  DEPENDS ${idl} ${CMAKE_SOURCE_DIR}/cmake/set_library_guid.py
  COMMENT "Compiling the type library from lmcntl.idl"
  VERBATIM)
add_custom_target(lumorel_type_library DEPENDS ${LUMOREL_TYPELIB_FILE} ${LUMOREL_TYPELIB_HEADER})
