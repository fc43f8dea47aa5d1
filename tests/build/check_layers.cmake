# Includes point down the layers only: api -> session -> logs -> meter -> modbus -> core
# -> platform. The tools and bindings see the library only through its public
# header, the simulator nothing of it but the platform layer.
# Usage: cmake -DROOT=<source dir> -P check_layers.cmake
cmake_minimum_required(VERSION 3.25)

set(LIBRARY_FOLDERS api session logs meter modbus core platform)
# Each folder and the folders it may include from (besides itself).
set(ALLOWED_api session logs meter modbus core platform)
set(ALLOWED_session logs meter modbus core platform)
set(ALLOWED_logs meter modbus core platform)
set(ALLOWED_meter modbus core platform)
set(ALLOWED_modbus core platform)
set(ALLOWED_core platform)
set(ALLOWED_platform)
set(ALLOWED_tools_sim platform)
set(ALLOWED_tools_cli)
set(ALLOWED_bindings)

set(violations "")

# Checks every file below dir: an include of "<folder>/..." where folder is one
# of the library's folders must name a folder in allowed (or own).
function(check_tree dir own allowed)
  file(GLOB_RECURSE files "${dir}/*.h" "${dir}/*.cpp" "${dir}/*.c")
  foreach(f IN LISTS files)
    if(own)
      # Inside the library every include names its folder, so that this
      # check sees each one; only the public header has none.
      file(STRINGS "${f}" bare REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z_.]+\"")
      list(FILTER bare EXCLUDE REGEX "\"tandrel\\.h\"")
      foreach(line IN LISTS bare)
        file(RELATIVE_PATH rel "${ROOT}" "${f}")
        list(APPEND violations "${rel}: ${line} (name the folder)")
      endforeach()
    endif()
    file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"[A-Za-z_]+/")
    foreach(line IN LISTS lines)
      string(REGEX REPLACE "^[^\"]*\"([A-Za-z_]+)/.*$" "\\1" folder "${line}")
      if(NOT folder IN_LIST LIBRARY_FOLDERS OR folder STREQUAL own OR folder IN_LIST allowed)
        continue()
      endif()
      file(RELATIVE_PATH rel "${ROOT}" "${f}")
      list(APPEND violations "${rel}: ${line}")
    endforeach()
  endforeach()
  set(violations "${violations}" PARENT_SCOPE)
endfunction()

foreach(folder IN LISTS LIBRARY_FOLDERS)
  check_tree("${ROOT}/src/${folder}" ${folder} "${ALLOWED_${folder}}")
endforeach()
check_tree("${ROOT}/tools/sim" "" "${ALLOWED_tools_sim}")
check_tree("${ROOT}/tools/cli" "" "${ALLOWED_tools_cli}")
check_tree("${ROOT}/bindings" "" "${ALLOWED_bindings}")

if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes against the layers:\n  ${text}")
endif()
message(STATUS "layers: every include points down")
