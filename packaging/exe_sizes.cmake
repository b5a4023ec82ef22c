# Prints the size of each executable in the ZIP package, as shipped
# (stripped), beside its limit; with -DENFORCE=ON fails when one is larger.
#
#   cmake -DZIP=<package.zip> [-DENFORCE=ON] -P exe_sizes.cmake
#
# The limits keep the download small: the program is tables and a little
# Win32 code, the checker a WAV parser.
set(limits "sylspeak.exe=102400" "sylbank-check.exe=307200")

if(NOT ZIP OR NOT EXISTS "${ZIP}")
  message(FATAL_ERROR "exe_sizes: no package at '${ZIP}': build the target sylspeak-zip first")
endif()
string(RANDOM LENGTH 8 tag)
set(dir "${CMAKE_CURRENT_BINARY_DIR}/exe-sizes-${tag}")
# Only the executables: the clip bank is most of the package.
file(ARCHIVE_EXTRACT INPUT "${ZIP}" DESTINATION "${dir}" PATTERNS "*.exe")

set(failed "")
foreach(entry IN LISTS limits)
  string(REPLACE "=" ";" pair "${entry}")
  list(GET pair 0 name)
  list(GET pair 1 limit)
  file(GLOB_RECURSE found "${dir}/*/${name}")
  if(NOT found)
    list(APPEND failed "${name} is not in the package")
    continue()
  endif()
  file(SIZE "${found}" size)
  math(EXPR kib "${limit} / 1024")
  message(STATUS "${name}: ${size} bytes in the package (limit ${limit} bytes, ${kib} KiB)")
  if(size GREATER limit)
    list(APPEND failed "${name} is ${size} bytes, over its limit of ${limit}")
  endif()
endforeach()
file(REMOVE_RECURSE "${dir}")

if(failed AND ENFORCE)
  list(JOIN failed "; " text)
  message(FATAL_ERROR "exe_sizes: ${text}")
endif()
