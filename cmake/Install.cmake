# Installs the library, its header, a CMake package (tandrel::tandrel) and a
# pkg-config file.
include(CMakePackageConfigHelpers)

install(TARGETS tandrel EXPORT tandrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tandrel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT tandrelTargets NAMESPACE tandrel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tandrel)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tandrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tandrelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tandrel)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tandrelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tandrelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/tandrelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tandrel)

configure_file(${PROJECT_SOURCE_DIR}/cmake/tandrel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tandrel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tandrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
