# The release packages, made by cpack (scripts/package.sh runs it): on
# Windows the zip (cmake/WindowsZip.cmake), on Linux the three Debian
# packages (cmake/DebianPackages.cmake). Their version is the project's, so
# that a release changes one line: project(... VERSION ...).
set(CPACK_PACKAGE_NAME tandrel)
set(CPACK_PACKAGE_VENDOR "The tandrel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://github.com/tandrel/tandrel")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${PROJECT_SOURCE_DIR}/dist)

if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsZip.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/DebianPackages.cmake)
endif()
include(CPack)
