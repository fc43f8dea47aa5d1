#----------------------------------------------------------------
# Generated CMake target import file for configuration "RelWithDebInfo".
#----------------------------------------------------------------

# Commands may need to know the format version.
set(CMAKE_IMPORT_FILE_VERSION 1)

# Import target "tandrel::tandrel" for configuration "RelWithDebInfo"
set_property(TARGET tandrel::tandrel APPEND PROPERTY IMPORTED_CONFIGURATIONS RELWITHDEBINFO)
set_target_properties(tandrel::tandrel PROPERTIES
  IMPORTED_LOCATION_RELWITHDEBINFO "${_IMPORT_PREFIX}/lib/libtandrel.so.1.2.1"
  IMPORTED_SONAME_RELWITHDEBINFO "libtandrel.so.1"
  )

list(APPEND _cmake_import_check_targets tandrel::tandrel )
list(APPEND _cmake_import_check_files_for_tandrel::tandrel "${_IMPORT_PREFIX}/lib/libtandrel.so.1.2.1" )

# Commands beyond this point should not need to know the version.
set(CMAKE_IMPORT_FILE_VERSION)
