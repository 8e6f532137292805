# MinGW-w64's Windows and C++ library headers in the place of Microsoft's, for clang in Microsoft mode
# against a real Archicad DevKit: what the kits' headers need of them, shared by the LLVM toolchain file
# (llvm-msvc-x86_64.cmake) and the real-kit check (tools/devkit-check).

# kavelo_mingw_include_dirs(<out-var>)
# Sets <out-var> to MinGW-w64's C++ library and Windows header folders, as its -posix g++ searches them,
# without GCC's own compiler headers (clang brings its own).
function(kavelo_mingw_include_dirs out_var)
  find_program(mingw_gxx NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++ REQUIRED)
  execute_process(COMMAND "${mingw_gxx}" -xc++ -E -v /dev/null OUTPUT_QUIET ERROR_VARIABLE search)
  string(REGEX MATCH "#include <...> search starts here:\n(.*)End of search list" search "${search}")
  string(REGEX MATCHALL "\n [^\n]+" dirs "\n${CMAKE_MATCH_1}")
  set(result)
  foreach(dir ${dirs})
    string(STRIP "${dir}" dir)
    get_filename_component(dir "${dir}" ABSOLUTE)
    if(NOT dir MATCHES "/lib/gcc/[^/]+/[^/]+/include(-fixed)?$")
      list(APPEND result "${dir}")
    endif()
  endforeach()
  set(${out_var} "${result}" PARENT_SCOPE)
endfunction()

# kavelo_mingw_header_links(<work-dir> <support> <fallback supports> <mingw include dirs>)
# Makes two folders of links under <work-dir>:
#   case/      the Windows headers that the kits name in mixed case ("CommCtrl.h"), as Microsoft's
#              case-insensitive file system allows, linked to MinGW-w64's lower-case ones
#   fallback/  the headers that the kit in <support> lacks and a kit of <fallback supports> has (the
#              Windows-only headers of a kit published for macOS), one by one, so that what they include
#              in turn is still the kit's own; for -idirafter
function(kavelo_mingw_header_links work_dir support fallbacks mingw_dirs)
  file(REMOVE_RECURSE "${work_dir}/case" "${work_dir}/fallback")
  file(MAKE_DIRECTORY "${work_dir}/case" "${work_dir}/fallback")
  set(scanned "${support}" ${fallbacks})
  list(REMOVE_DUPLICATES scanned)
  set(kit_headers)
  foreach(kit ${scanned})
    file(GLOB_RECURSE headers "${kit}/Inc/*.h" "${kit}/Inc/*.hpp" "${kit}/Modules/*.h" "${kit}/Modules/*.hpp")
    list(APPEND kit_headers ${headers})
  endforeach()
  set(spellings)
  foreach(header ${kit_headers})
    file(STRINGS "${header}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*<[^>]+>")
    foreach(line ${lines})
      string(REGEX REPLACE ".*<([^>]+)>.*" "\\1" name "${line}")
      list(APPEND spellings "${name}")
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES spellings)
  foreach(name ${spellings})
    string(TOLOWER "${name}" lower)
    if(name STREQUAL lower)
      continue()
    endif()
    foreach(dir ${mingw_dirs})
      if(NOT EXISTS "${dir}/${name}" AND EXISTS "${dir}/${lower}")
        get_filename_component(parent "${work_dir}/case/${name}" DIRECTORY)
        file(MAKE_DIRECTORY "${parent}")
        file(CREATE_LINK "${dir}/${lower}" "${work_dir}/case/${name}" SYMBOLIC)
        break()
      endif()
    endforeach()
  endforeach()

  foreach(fallback ${fallbacks})
    if(fallback STREQUAL support)
      continue()
    endif()
    file(GLOB_RECURSE lent RELATIVE "${fallback}/Modules" "${fallback}/Modules/*.h" "${fallback}/Modules/*.hpp")
    foreach(path ${lent})
      string(REGEX REPLACE "^([^/]+)/(.*)$" "\\1;\\2" parts "${path}")
      list(GET parts 0 module)
      list(GET parts 1 inner)
      if(IS_DIRECTORY "${support}/Modules/${module}" AND NOT EXISTS "${support}/Modules/${path}"
         AND NOT EXISTS "${work_dir}/fallback/${inner}")
        get_filename_component(parent "${work_dir}/fallback/${inner}" DIRECTORY)
        file(MAKE_DIRECTORY "${parent}")
        file(CREATE_LINK "${fallback}/Modules/${path}" "${work_dir}/fallback/${inner}" SYMBOLIC)
      endif()
    endforeach()
  endforeach()
endfunction()

# The options that make MinGW's headers work in Microsoft mode: clang presents itself as GCC as well, asks
# for strict ANSI C++ (their 128-bit integer traits are for GNU mode only), sees __declspec as a macro
# (their import declarations test for it) and finds the SAL annotations that Microsoft's headers bring in
# everywhere. wchar_t stays a type of its own (the kits' builds make it unsigned short, /Zc:wchar_t-):
# MinGW's C++ library cannot do without it, and no host function the add-on calls takes one.
set(KAVELO_MINGW_MS_MODE_OPTIONS -fgnuc-version=12 -D__STRICT_ANSI__ -D__declspec=__declspec -include sal.h)
