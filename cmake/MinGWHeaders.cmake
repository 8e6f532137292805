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

# kavelo_mingw_gnu_wrappers(<work-dir> <compiler> <mingw include dirs>)
# MinGW-w64's headers are written for GCC and need the compiler to say it is GCC (__GNUC__ and the rest of
# GCC's predefined macros); the kits' headers must not see that, or they take their GCC branches, which
# Microsoft's compiler never compiles. So the compiler runs without GCC's macros, and <work-dir>/gnu holds,
# for every header of <mingw include dirs>, one of the same name that defines GCC's macros (those that
# clang defines when it presents itself as GCC 12: <compiler>'s own list, in C++20 mode for the widest
# one), includes MinGW's header by #include_next and restores the macros as they were. <work-dir>/gnu
# must come first on the include path, after clang's own headers.
function(kavelo_mingw_gnu_wrappers work_dir compiler mingw_dirs)
  file(REMOVE_RECURSE "${work_dir}/gnu")
  file(WRITE "${work_dir}/empty.cpp" "")
  foreach(mode plain gnu)
    set(option)
    if(mode STREQUAL "gnu")
      set(option /clang:-fgnuc-version=12)
    endif()
    execute_process(COMMAND "${compiler}" --target=x86_64-pc-windows-msvc -std:c++20 ${option} /clang:-dM /E
                            "/Tp${work_dir}/empty.cpp" OUTPUT_VARIABLE ${mode} COMMAND_ERROR_IS_FATAL ANY)
    string(REGEX REPLACE "\n" ";" ${mode} "${${mode}}")
  endforeach()
  set(push "/* GCC's predefined macros, for MinGW-w64's headers only (MinGWHeaders.cmake). */\n")
  set(pop "")
  foreach(line ${gnu})
    if(line IN_LIST plain OR NOT line MATCHES "^#define ([A-Za-z0-9_]+) (.*)$")
      continue()
    endif()
    string(APPEND push "#pragma push_macro(\"${CMAKE_MATCH_1}\")\n#undef ${CMAKE_MATCH_1}\n#define ${CMAKE_MATCH_1} ${CMAKE_MATCH_2}\n")
    string(APPEND pop "#pragma pop_macro(\"${CMAKE_MATCH_1}\")\n")
  endforeach()
  if(NOT push MATCHES "__GNUC__")
    message(FATAL_ERROR "${compiler} defines no __GNUC__ when it presents itself as GCC 12: no macros for MinGW's headers")
  endif()
  file(WRITE "${work_dir}/gnu-begin.h" "${push}")
  file(WRITE "${work_dir}/gnu-end.h" "${pop}")
  foreach(dir ${mingw_dirs})
    file(GLOB_RECURSE headers RELATIVE "${dir}" "${dir}/*")
    foreach(header ${headers})
      if(NOT EXISTS "${work_dir}/gnu/${header}")
        file(WRITE "${work_dir}/gnu/${header}"
             "#include \"${work_dir}/gnu-begin.h\"\n#include_next <${header}>\n#include \"${work_dir}/gnu-end.h\"\n")
      endif()
    endforeach()
  endforeach()
endfunction()

# kavelo_mingw_header_links(<work-dir> <support> <fallback supports> <mingw include dirs>)
# Makes two folders under <work-dir>:
#   case/      the Windows headers that the kits name in mixed case ("CommCtrl.h"), as Microsoft's
#              case-insensitive file system allows, each including MinGW-w64's lower-case one (through
#              the wrappers of kavelo_mingw_gnu_wrappers)
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
        file(WRITE "${work_dir}/case/${name}" "#include <${lower}>\n")
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
