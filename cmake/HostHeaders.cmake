# Header-only libraries of the build machine for the Windows cross build:
# Debian's CLI11 and nlohmann-json are plain C++ headers, so the tools can use
# them for Windows too. Each is copied alone into the build tree and used
# from there, so that nothing else of /usr/include (the build machine's own C
# library headers above all) reaches the cross compiler.
function(tandrel_host_headers target folder)
  if(TARGET ${target})
    return()
  endif()
  set(source /usr/include/${folder})
  if(NOT EXISTS ${source})
    message(STATUS "${source} not found: ${target} is not available to the cross build")
    return()
  endif()
  set(copy ${CMAKE_BINARY_DIR}/host-headers/${folder})
  file(COPY ${source} DESTINATION ${copy}/..)
  add_library(${target} INTERFACE IMPORTED GLOBAL)
  target_include_directories(${target} SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/host-headers)
endfunction()
