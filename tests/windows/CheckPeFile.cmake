# Checks a PE32+ file of the Windows build with objdump:
#   cmake -DOBJDUMP=... -DFILE=... [-DEXPORTS=a,b] [-DRESOURCE_TYPES=a,b] [-DSTRIPPED=ON] -P CheckPeFile.cmake
# It must be a 64-bit PE file that imports only Windows' own DLLs and the host library (never a MinGW
# runtime DLL); with EXPORTS, export exactly those names; with RESOURCE_TYPES, carry resources of exactly
# those types (names, or numbers for the standard ones); with STRIPPED, have no symbols or debug data.
cmake_minimum_required(VERSION 3.22)
set(system_dlls kernel32.dll msvcrt.dll user32.dll advapi32.dll shell32.dll bcrypt.dll crypt32.dll winhttp.dll
                ws2_32.dll ole32.dll oleaut32.dll windowscodecs.dll)
set(host_dlls kavelohost.dll)

string(REPLACE "," ";" EXPORTS "${EXPORTS}")
string(REPLACE "," ";" RESOURCE_TYPES "${RESOURCE_TYPES}")

function(fail message)
  message(FATAL_ERROR "${FILE}: ${message}")
endfunction()

execute_process(COMMAND ${OBJDUMP} -p ${FILE} OUTPUT_VARIABLE dump RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  fail("objdump -p failed")
endif()
if(NOT dump MATCHES "file format pei-x86-64" OR NOT dump MATCHES "Magic[\t ]+020b[\t ]+\\(PE32\\+\\)")
  fail("not a PE32+ file for x86-64")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
foreach(line ${imports})
  string(REGEX REPLACE "DLL Name: " "" dll "${line}")
  string(TOLOWER "${dll}" dll)
  if(NOT dll IN_LIST system_dlls AND NOT dll IN_LIST host_dlls)
    fail("imports ${dll}, which is neither a Windows DLL nor the host library")
  endif()
endforeach()
list(TRANSFORM imports REPLACE "DLL Name: " "")
message(STATUS "imports: ${imports}")

if(EXPORTS)
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)*" table "${dump}")
  string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_0-9@]+" names "${table}")
  list(TRANSFORM names REPLACE "^\\[ *[0-9]+\\] " "")
  if(NOT names STREQUAL EXPORTS)
    fail("exports '${names}', not exactly '${EXPORTS}'")
  endif()
  message(STATUS "exports: ${names}")
endif()

if(RESOURCE_TYPES)
  # The entries of the top level of the resource directory: one per type.
  string(REGEX MATCHALL "\n[0-9a-f]+   Entry: (name: \\[[^]]*\\]: [^,]+|ID: 0x[0-9a-f]+)" entries "${dump}")
  set(types)
  foreach(entry ${entries})
    if(entry MATCHES "ID: 0x([0-9a-f]+)")
      math(EXPR id "0x${CMAKE_MATCH_1}")
      list(APPEND types ${id})
    elseif(entry MATCHES "\\]: ([^,]+)$")
      list(APPEND types ${CMAKE_MATCH_1})
    endif()
  endforeach()
  list(SORT types)
  set(expected ${RESOURCE_TYPES})
  list(SORT expected)
  if(NOT types STREQUAL expected)
    fail("resource types '${types}', not '${expected}'")
  endif()
  message(STATUS "resource types: ${types}")
endif()

if(STRIPPED)
  execute_process(COMMAND ${OBJDUMP} -t -h ${FILE} OUTPUT_VARIABLE symbols)
  if(NOT symbols MATCHES "no symbols" OR symbols MATCHES "\\.debug")
    fail("is not stripped")
  endif()
endif()
