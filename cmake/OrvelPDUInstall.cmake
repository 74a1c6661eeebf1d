# Installation, in two components that the Debian packages follow: Runtime (the versioned
# shared library and the license) and Development (headers, the liborvelpdu.so link, the
# CMake package and the pkg-config file).
set(ORVELPDU_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/OrvelPDU)

install(TARGETS orvelpdu EXPORT OrvelPDUTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Runtime NAMELINK_COMPONENT Development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Runtime
  FILE_SET HEADERS DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT Development)

install(EXPORT OrvelPDUTargets NAMESPACE OrvelPDU:: DESTINATION ${ORVELPDU_CMAKE_DIR}
  COMPONENT Development)
install(FILES ${PROJECT_BINARY_DIR}/OrvelPDUConfig.cmake
  ${PROJECT_BINARY_DIR}/OrvelPDUConfigVersion.cmake DESTINATION ${ORVELPDU_CMAKE_DIR}
  COMPONENT Development)

# The .pc file finds the prefix from its own place (${pcfiledir}), so that the installed tree
# can be moved or installed under any prefix: the way up from <libdir>/pkgconfig is as many
# steps as libdir has parts (lib/pkgconfig: two; lib/x86_64-linux-gnu/pkgconfig: three). An
# absolute libdir or includedir cannot be reached that way and is written as it is.
if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(ORVELPDU_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(ORVELPDU_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(ORVELPDU_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH up "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
  string(REGEX REPLACE "/$" "" up "${up}")
  set(ORVELPDU_PC_PREFIX "\${pcfiledir}/${up}")
  set(ORVELPDU_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(ORVELPDU_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/orvelpdu.pc.in ${PROJECT_BINARY_DIR}/orvelpdu.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/orvelpdu.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT Development)

# The license travels with the library, in the place Debian gives a package's copyright file.
foreach(package liborvelpdu${PROJECT_VERSION_MAJOR} liborvelpdu-dev)
  if(package STREQUAL "liborvelpdu-dev")
    set(component Development)
  else()
    set(component Runtime)
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package}
    RENAME copyright COMPONENT ${component})
endforeach()
