# What `cmake --install` puts in the prefix for a host developer: the library,
# its public headers (staged with their includes in the installed form), the
# CMake package and the pkg-config file. The protocol modules and the command
# line host install themselves (plugins/, tools/).
include(CMakePackageConfigHelpers)
include(cmake/PublicHeaders.cmake)

set(SESSIONDECK_STAGED_INCLUDE_DIR ${CMAKE_CURRENT_BINARY_DIR}/include)
set(staged_headers)
foreach(header IN LISTS SESSIONDECK_PUBLIC_HEADERS)
  set(staged ${SESSIONDECK_STAGED_INCLUDE_DIR}/sessiondeck/${header})
  add_custom_command(OUTPUT ${staged}
    COMMAND ${CMAKE_COMMAND} -DIN=${CMAKE_CURRENT_SOURCE_DIR}/${header} -DOUT=${staged}
            -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/StageHeader.cmake
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${header} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/StageHeader.cmake
    VERBATIM)
  list(APPEND staged_headers ${staged})
endforeach()
foreach(generated sessiondeck_export.h sessiondeck_version.h)
  set(staged ${SESSIONDECK_STAGED_INCLUDE_DIR}/sessiondeck/${generated})
  add_custom_command(OUTPUT ${staged}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_BINARY_DIR}/generated/${generated} ${staged}
    DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/generated/${generated} VERBATIM)
  list(APPEND staged_headers ${staged})
endforeach()
add_custom_target(sd_public_headers ALL DEPENDS ${staged_headers})

install(TARGETS SessionDeck60U EXPORT SessionDeckTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${SESSIONDECK_STAGED_INCLUDE_DIR}/sessiondeck
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

set(SESSIONDECK_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/SessionDeck)
install(EXPORT SessionDeckTargets NAMESPACE SessionDeck:: DESTINATION ${SESSIONDECK_CMAKE_DIR})
configure_package_config_file(cmake/SessionDeckConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/SessionDeckConfig.cmake
  INSTALL_DESTINATION ${SESSIONDECK_CMAKE_DIR}
  PATH_VARS SESSIONDECK_PROTOCOL_INSTALL_DIR)
# A host asking for major version 6 gets any 6.x; 7 would break its build.
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/SessionDeckConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/SessionDeckConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/SessionDeckConfigVersion.cmake
  DESTINATION ${SESSIONDECK_CMAKE_DIR})

# The pkg-config file finds the prefix from its own place, so an install moved
# with `cmake --install --prefix` still describes itself correctly.
file(RELATIVE_PATH SESSIONDECK_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig
     ${CMAKE_INSTALL_PREFIX})
configure_file(cmake/sessiondeck.pc.in ${CMAKE_CURRENT_BINARY_DIR}/sessiondeck.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/sessiondeck.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
