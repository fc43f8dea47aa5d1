# Manual pages of the two programs, made from their --help by help2man at
# build time, so that they say what the programs say. Installed with the
# tools (the tandrel-tools package); without help2man (scripts/install-deps.sh
# installs it) they are skipped, and in sanitizer builds, whose programs may
# report at exit what help2man would take for a failure.
if(WIN32 OR CMAKE_CROSSCOMPILING OR TANDREL_SANITIZE OR NOT TARGET tandrel_cli
    OR NOT TARGET tandrel-sim)
  return()
endif()
find_program(TANDREL_HELP2MAN help2man)
if(NOT TANDREL_HELP2MAN)
  message(STATUS "help2man not found: the manual pages are not built")
  return()
endif()

set(_man ${PROJECT_BINARY_DIR}/man)
foreach(entry
    "tandrel_cli:tandrel:read em133 and em235 energy meters over Modbus TCP"
    "tandrel-sim:tandrel-sim:simulated em133 or em235 energy meter serving Modbus TCP")
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 target)
  list(GET entry 1 program)
  list(GET entry 2 summary)
  # The version is the package's; gzip -n leaves the time out, so that the
  # page of one release is the same file on every build.
  add_custom_command(OUTPUT ${_man}/${program}.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${_man}
    COMMAND ${TANDREL_HELP2MAN} --no-info --section=1 --name=${summary}
      --version-string=${PROJECT_VERSION} --output=${_man}/${program}.1 $<TARGET_FILE:${target}>
    COMMAND gzip -9nf ${_man}/${program}.1
    DEPENDS ${target}
    COMMENT "Writing the manual page of ${program} with help2man" VERBATIM)
  list(APPEND _pages ${_man}/${program}.1.gz)
endforeach()
add_custom_target(tandrel_man_pages ALL DEPENDS ${_pages})
install(FILES ${_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
