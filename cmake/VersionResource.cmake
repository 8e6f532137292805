# What the module's version resource (resources/RFIX.win/KAVELO.rc2) says of a build: the add-on's version
# (project(VERSION)), the Archicad version it is built for, a build number, and whether it is made for
# distribution. Every build writes it as a header beside the domain's, on the resource compiler's include
# path, so that our resource compiler and the host vendor's tools read the same values.

set(KAVELO_BUILD_NUMBER 0 CACHE STRING "The build's number (the release's run number): the ProductVersion text's last field, and modulo 65536 PRODUCTVERSION's")

# kavelo_version_header(<file> <Archicad version> <for distribution: ON/OFF>)
# Writes <file> from resources/AddOnVersion.h.in. A build not for distribution carries the private and
# prerelease flags and PrivateBuild "Not for distribution". The numeric PRODUCTVERSION holds 16 bits per
# field, so its last field is the build number modulo 65536; the ProductVersion text holds it whole.
function(kavelo_version_header file ac_version for_distribution)
  if(NOT ac_version MATCHES "^[0-9]+$")
    message(FATAL_ERROR "kavelo_version_header: the Archicad version is a number, not '${ac_version}'")
  endif()
  if(NOT KAVELO_BUILD_NUMBER MATCHES "^[0-9]+$" OR KAVELO_BUILD_NUMBER GREATER 4294967295)
    message(FATAL_ERROR "KAVELO_BUILD_NUMBER is a number from 0 to 4294967295, not '${KAVELO_BUILD_NUMBER}'")
  endif()
  math(EXPR KAVELO_BUILD_NUMBER_16 "${KAVELO_BUILD_NUMBER} % 65536")
  set(KAVELO_AC_VERSION ${ac_version})
  if(for_distribution)
    set(KAVELO_FOR_DISTRIBUTION ON)
    set(KAVELO_FILE_FLAGS 0x0)
  else()
    set(KAVELO_FOR_DISTRIBUTION OFF)
    # VS_FF_PRIVATEBUILD | VS_FF_PRERELEASE
    set(KAVELO_FILE_FLAGS 0xA)
  endif()
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../resources/AddOnVersion.h.in" "${file}" @ONLY)
endfunction()
