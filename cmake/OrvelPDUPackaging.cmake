# Debian packages, built by `cpack -G DEB` in a configured build tree, named and split the way
# Debian names shared libraries: liborvelpdu<SONAME major> holds the shared library alone, so
# that programs built against different major versions can be installed side by side, and
# liborvelpdu-dev holds what building against it needs and depends on exactly its version.
# Configure with CMAKE_INSTALL_PREFIX=/usr (GNUInstallDirs then picks Debian's multiarch
# libdir, e.g. lib/x86_64-linux-gnu) so that the .pc file and CMake package match.
set(ORVELPDU_RUNTIME_PACKAGE liborvelpdu${PROJECT_VERSION_MAJOR})

set(CPACK_PACKAGE_NAME orvelpdu)
set(CPACK_PACKAGE_VENDOR "The OrvelPDU authors")
set(CPACK_PACKAGE_CONTACT "The OrvelPDU authors <orvelpdu@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "building blocks for encoding and parsing binary protocol data units")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL Runtime Development)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${ORVELPDU_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# Dependencies on the C++ and C runtimes come from dpkg-shlibdeps; the shlibs file lets
# packages built against this one depend on it the same way; CPack adds the ldconfig calls
# on install and removal.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "OrvelPDU shared library: byte buffer, TLVs, lists and PDUs of a binary protocol")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME liborvelpdu-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS
  "${ORVELPDU_RUNTIME_PACKAGE} (= ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "OrvelPDU development files: headers, CMake package and pkg-config file")

include(CPack)
