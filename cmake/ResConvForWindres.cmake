# Rewrites one rc script that ResConv wrote so that windres reads it (cmake -DFROM=<folder> -DTO=<folder>
# -DSCRIPT=<name>.grc.rc2 -P ResConvForWindres.cmake). windres takes neither a bare resource name with "&"
# nor such a file name: the line I32101&96<TAB>ICON "I32101&96.ico" becomes "I32101&96" ICON I32101_96.ico
# (the name quoted, the file name not, as windres would otherwise glue two quoted texts into one), with the
# .ico file copied to that name. Every other line stays as it is.
foreach(variable FROM TO SCRIPT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "ResConvForWindres.cmake needs -D${variable}=...")
  endif()
endforeach()
file(READ "${FROM}/${SCRIPT}" text)
string(REGEX MATCHALL "[A-Za-z0-9_]+&[0-9]+[ \t]+ICON[ \t]+\"[^\"\n]+\"" icon_lines "${text}")
foreach(line IN LISTS icon_lines)
  string(REGEX MATCH "^([A-Za-z0-9_]+)&([0-9]+)[ \t]+ICON[ \t]+\"([^\"]+)\"$" parts "${line}")
  set(file "${CMAKE_MATCH_1}_${CMAKE_MATCH_2}.ico")
  file(COPY_FILE "${FROM}/${CMAKE_MATCH_3}" "${TO}/${file}")
  string(REPLACE "${line}" "\"${CMAKE_MATCH_1}&${CMAKE_MATCH_2}\" ICON ${file}" text "${text}")
endforeach()
file(WRITE "${TO}/${SCRIPT}" "${text}")
