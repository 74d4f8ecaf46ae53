# Compiles every installed header on its own, as a host with strict warnings
# would, and fails when one does not compile, warns, or reaches a header of a
# library the host never asked for (SQLite, nettle, libsodium, ICU).
# cmake -DCXX=... -DINCLUDE=<dir holding sessiondeck/> -DWORK=<scratch dir> -P
file(GLOB_RECURSE headers RELATIVE "${INCLUDE}" "${INCLUDE}/sessiondeck/*.h")
if(NOT headers)
  message(FATAL_ERROR "no headers below ${INCLUDE}/sessiondeck")
endif()
file(MAKE_DIRECTORY "${WORK}")
set(failures 0)
foreach(header IN LISTS headers)
  string(MAKE_C_IDENTIFIER "${header}" stem)
  set(source "${WORK}/${stem}.cpp")
  file(WRITE "${source}" "#include <${header}>\n")
  execute_process(
    COMMAND "${CXX}" -std=c++20 -Wall -Wextra -Wshadow -Wpedantic -Werror -fsyntax-only
            -I "${INCLUDE}" -MD -MF "${WORK}/${stem}.d" "${source}"
    RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT result EQUAL 0)
    message("FAIL ${header}:\n${out}")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  file(READ "${WORK}/${stem}.d" deps)
  if(deps MATCHES "(sqlite3\\.h|/sodium|/nettle/|/unicode/)")
    message("FAIL ${header} reaches ${CMAKE_MATCH_1}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
list(LENGTH headers count)
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${count} installed headers fail to stand alone")
endif()
message("${count} installed headers compile alone")
