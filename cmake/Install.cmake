# Installs the library, its header, a CMake package (tandrel::tandrel) and a
# pkg-config file, in components that become the release packages:
# runtime (the shared library), development (header, link library, CMake and
# pkg-config files) and tools (the two programs); see cmake/Packaging.cmake.
include(CMakePackageConfigHelpers)

install(TARGETS tandrel EXPORT tandrelTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/tandrel.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  COMPONENT development)
if(MINGW)
  # For MSVC hosts: lib /def:tandrel.def /machine:x64 /out:tandrel.lib
  install(FILES ${PROJECT_BINARY_DIR}/src/tandrel.def DESTINATION ${CMAKE_INSTALL_LIBDIR}
    COMPONENT development)
endif()

install(EXPORT tandrelTargets NAMESPACE tandrel::
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tandrel COMPONENT development)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/tandrelConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/tandrelConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tandrel)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/tandrelConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tandrelConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/tandrelConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/tandrel COMPONENT development)

# The pkg-config file finds the prefix from where it lies (${pcfiledir}), as
# the CMake package above does, so that it is right wherever the files land
# (cmake --install --prefix, DESTDIR, the Windows zip). An install into the
# system's folders names them (/usr/include, /usr/lib/<triplet>), so that
# pkg-config recognises and drops them as every system package's file lets
# it; folders given as absolute paths stay as given.
set(TANDREL_PC_PREFIX ${CMAKE_INSTALL_PREFIX})
if(NOT TANDREL_SYSTEM_INSTALL AND NOT IS_ABSOLUTE ${CMAKE_INSTALL_LIBDIR})
  file(RELATIVE_PATH up /root/${CMAKE_INSTALL_LIBDIR}/pkgconfig /root)
  string(REGEX REPLACE "/$" "" up "${up}")
  set(TANDREL_PC_PREFIX "\${pcfiledir}/${up}")
endif()
foreach(dir LIBDIR INCLUDEDIR)
  set(TANDREL_PC_${dir} "\${prefix}/${CMAKE_INSTALL_${dir}}")
  if(IS_ABSOLUTE ${CMAKE_INSTALL_${dir}})
    set(TANDREL_PC_${dir} ${CMAKE_INSTALL_${dir}})
  endif()
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/cmake/tandrel.pc.in ${CMAKE_CURRENT_BINARY_DIR}/tandrel.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tandrel.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
  COMPONENT development)
