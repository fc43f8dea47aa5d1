# tandrel-<version>-win64.zip: bin/ (tandrel.dll, tandrel.exe,
# tandrel-sim.exe), include/, lib/ (MinGW import library, tandrel.def, the
# CMake package and a tandrel.pc relative to its folder, for MinGW hosts),
# the README with the documents it links, the licence and the bindings'
# sources.
#
# The sources are the files git tracks, so that what a build or an install
# left in the tree (bindings/python/build/, *.egg-info, __pycache__, the
# .NET SDK's bin/ and obj/) stays out; the bindings' tests and build files
# stay out too. Outside a git checkout (a source archive holds tracked files
# only) the folders are taken as they are, minus those leftovers.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .
  COMPONENT docs)
find_package(Git QUIET)
set(tracked_rc 1)
if(GIT_EXECUTABLE)
  execute_process(COMMAND ${GIT_EXECUTABLE} ls-files -- bindings docs
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} OUTPUT_VARIABLE shipped RESULT_VARIABLE tracked_rc
    ERROR_QUIET OUTPUT_STRIP_TRAILING_WHITESPACE)
  string(REPLACE "\n" ";" shipped "${shipped}")
endif()
if(NOT tracked_rc EQUAL 0)
  message(STATUS "not a git checkout: the zip takes bindings/ and docs/ as they are")
  file(GLOB_RECURSE shipped RELATIVE ${PROJECT_SOURCE_DIR}
    ${PROJECT_SOURCE_DIR}/bindings/* ${PROJECT_SOURCE_DIR}/docs/*)
endif()
list(FILTER shipped EXCLUDE REGEX
  "(^|/)(tests|build|bin|obj|__pycache__|[^/]*\\.egg-info)/|(^|/)(CMakeLists\\.txt|\\.gitignore)$|\\.in$")
foreach(file IN LISTS shipped)
  get_filename_component(folder ${file} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${file} DESTINATION ${folder} COMPONENT docs)
endforeach()

# The .NET SDK project, with the project's version, beside the sources it compiles.
set(TANDREL_CSPROJ_SOURCES "")
configure_file(${PROJECT_SOURCE_DIR}/bindings/dotnet/Tandrel.csproj.in
  ${PROJECT_BINARY_DIR}/zip/Tandrel.csproj @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/zip/Tandrel.csproj DESTINATION bindings/dotnet/src COMPONENT docs)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME tandrel-${PROJECT_VERSION}-win64)
set(CPACK_COMPONENTS_ALL runtime development tools docs)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
