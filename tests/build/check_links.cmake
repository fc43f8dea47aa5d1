# Every relative link in README.md, docs/ and the bindings' READMEs names a
# file or folder that exists, so that moving a document cannot strand its
# readers. Usage: cmake -DROOT=<source dir> -P check_links.cmake
cmake_minimum_required(VERSION 3.25)

file(GLOB documents "${ROOT}/README.md" "${ROOT}/docs/*.md" "${ROOT}/bindings/*/README.md")
set(broken "")
set(checked 0)
foreach(doc IN LISTS documents)
  file(READ "${doc}" text)
  get_filename_component(dir "${doc}" DIRECTORY)
  # Square brackets and semicolons would split CMake's lists wrongly: mark
  # each link's start and drop them before matching.
  string(REPLACE "](" " LINK@@(" text "${text}")
  string(REGEX REPLACE "[][;]" " " text "${text}")
  string(REGEX MATCHALL "LINK@@\\([^)]+\\)" links "${text}")
  foreach(link IN LISTS links)
    string(REGEX REPLACE "^LINK@@\\(([^)#]*).*$" "\\1" target "${link}")
    if(target STREQUAL "" OR target MATCHES "^[a-z]+:")
      continue()  # an anchor in the same file, or a web address
    endif()
    math(EXPR checked "${checked} + 1")
    if(NOT EXISTS "${dir}/${target}")
      file(RELATIVE_PATH rel "${ROOT}" "${doc}")
      list(APPEND broken "${rel}: ${target}")
    endif()
  endforeach()
endforeach()
if(broken)
  list(JOIN broken "\n  " text)
  message(FATAL_ERROR "links to nothing:\n  ${text}")
endif()
if(checked EQUAL 0)
  message(FATAL_ERROR "no relative link found: the pattern no longer matches the documents")
endif()
message(STATUS "links: ${checked} relative links, all to existing files")
