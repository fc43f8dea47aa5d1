# The release packages, made by cpack (scripts/package.sh runs it):
# - on Windows, tandrel-<version>-win64.zip: bin/ (tandrel.dll, tandrel.exe,
#   tandrel-sim.exe), include/, lib/ (MinGW import library and tandrel.def),
#   the README, the licence and the bindings' sources;
# - on Linux, three Debian packages: libtandrel1 (the shared library),
#   libtandrel-dev (header, .so link, CMake and pkg-config files) and
#   tandrel-tools (tandrel and tandrel-sim), each with the licence as its
#   copyright file. Configure with -DCMAKE_INSTALL_PREFIX=/usr for them.
set(CPACK_PACKAGE_NAME tandrel)
set(CPACK_PACKAGE_VENDOR "the tandrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Reads em133 and em235 energy meters over Modbus TCP")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)

if(WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .
    COMPONENT docs)
  foreach(binding python dotnet)
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/bindings/${binding}/ DESTINATION bindings/${binding}
      COMPONENT docs
      PATTERN tests EXCLUDE PATTERN __pycache__ EXCLUDE PATTERN .gitignore EXCLUDE
      PATTERN CMakeLists.txt EXCLUDE PATTERN *.in EXCLUDE)
  endforeach()
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME tandrel-${PROJECT_VERSION}-win64)
  set(CPACK_COMPONENTS_ALL runtime development tools docs)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
else()
  # Debian's copyright file: the licence in the machine-readable format.
  file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
  string(REGEX REPLACE "\n$" "" licence "${licence}")
  string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
  string(REGEX REPLACE "\n" "\n " licence "${licence}")
  file(WRITE ${PROJECT_BINARY_DIR}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: tandrel\n\nFiles: *\nCopyright: 2026 the tandrel developers\n"
    "License: Expat\n ${licence}\n")
  foreach(pair runtime:libtandrel1 development:libtandrel-dev tools:tandrel-tools)
    string(REPLACE ":" ";" pair ${pair})
    list(GET pair 0 component)
    list(GET pair 1 package)
    install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package}
      COMPONENT ${component})
    string(TOUPPER ${component} upper)
    set(CPACK_DEBIAN_${upper}_PACKAGE_NAME ${package})
  endforeach()
  set(CPACK_GENERATOR DEB)
  set(CPACK_COMPONENTS_ALL runtime development tools)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the tandrel developers <tandrel@localhost>")
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://localhost/tandrel")
  # dpkg-shlibdeps names the C and C++ runtime packages each binary needs.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libtandrel1 (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libtandrel1 (= ${PROJECT_VERSION})")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
endif()

set(CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "tandrel reads em133 and em235 energy meters (a pm335 as an em235) over Modbus TCP: identity and setup, measurement points, data logs and the event log as JSON or CSV. This package holds the shared library.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION
  "tandrel reads em133 and em235 energy meters over Modbus TCP. This package holds the C header, the link library, the CMake package (tandrel::tandrel) and the pkg-config file.")
set(CPACK_COMPONENT_TOOLS_DESCRIPTION
  "tandrel reads em133 and em235 energy meters over Modbus TCP. This package holds the command-line tool tandrel and the meter simulator tandrel-sim.")

include(CPack)
