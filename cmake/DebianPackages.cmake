# Three Debian packages, for a build configured with
# -DCMAKE_INSTALL_PREFIX=/usr: libtandrel1 (the shared library),
# libtandrel-dev (header, .so link, CMake and pkg-config files) and
# tandrel-tools (tandrel and tandrel-sim with their manual pages and the
# tool's bash completion). Each has the licence as its copyright file, a
# changelog.Debian.gz and its lintian overrides; their texts are in
# cmake/debian/. The package version is the project's with Debian revision 1
# (1.3.0-1): packages of an upstream release, not native ones.
# scripts/stage-packages.sh runs lintian on them.
set(TANDREL_DEB_MAINTAINER "The tandrel developers <maintainers@tandrel.org>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(TANDREL_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})

# Debian's copyright file: the licence in the machine-readable format.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX REPLACE "\n$" "" licence "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REGEX REPLACE "\n" "\n " licence "${licence}")
file(WRITE ${PROJECT_BINARY_DIR}/debian/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: tandrel\nSource: ${CPACK_PACKAGE_HOMEPAGE_URL}\n\n"
  "Files: *\nCopyright: 2026 the tandrel developers\nLicense: Expat\n ${licence}\n")

# The changelog: this release's entry, dated from SOURCE_DATE_EPOCH when
# it is set (scripts/package.sh sets it to the last commit's time), so that
# the packages of one commit are the same.
string(TIMESTAMP TANDREL_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog @ONLY)
execute_process(COMMAND gzip -9nc ${PROJECT_BINARY_DIR}/debian/changelog
  OUTPUT_FILE ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz COMMAND_ERROR_IS_FATAL ANY)

foreach(pair runtime:libtandrel1 development:libtandrel-dev tools:tandrel-tools)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${PROJECT_BINARY_DIR}/debian/copyright ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  # The one lintian tag that cannot be fixed, with its reason.
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/lintian-overrides RENAME ${package}
    DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
  string(TOUPPER ${component} upper)
  set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  file(READ ${CMAKE_CURRENT_LIST_DIR}/debian/${package}.description CPACK_DEBIAN_${upper}_DESCRIPTION)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_COMPONENTS_ALL runtime development tools)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${TANDREL_DEB_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SOURCE tandrel)
# dpkg-shlibdeps names the C and C++ runtime packages each binary needs;
# programs linked against the library accept this release or a later one.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtandrel1 (= ${TANDREL_DEB_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libtandrel1 (= ${TANDREL_DEB_VERSION})")
set(CPACK_DEBIAN_TOOLS_PACKAGE_SUGGESTS bash-completion)
# The loader's cache is refreshed by dpkg's ldconfig trigger. CPack writes a
# postinst and postrm calling ldconfig into a package that holds a shared
# library; the script run after the packages are built takes them out.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian/drop_ldconfig_scripts.cmake)
