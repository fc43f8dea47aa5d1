# Run by cpack after it built the Debian packages (CPACK_POST_BUILD_SCRIPTS):
# takes out of each package the postinst and postrm CPack wrote to call
# ldconfig, which dpkg's ldconfig trigger does on Debian (the library's
# package activates it in its triggers file). A package is written again
# only when it had such a script.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree ${CPACK_TOPLEVEL_DIRECTORY}/without-ldconfig)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${deb} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  set(scripts "")
  foreach(name postinst postrm)
    if(EXISTS ${tree}/DEBIAN/${name})
      file(READ ${tree}/DEBIAN/${name} text)
      string(REGEX REPLACE "#![^\n]*\n|set -e\n|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then\n|\tldconfig\n|fi\n|\n" "" rest "${text}")
      if(NOT rest STREQUAL "")
        message(FATAL_ERROR "${deb}: ${name} does more than call ldconfig:\n${text}")
      endif()
      list(APPEND scripts ${tree}/DEBIAN/${name})
    endif()
  endforeach()
  if(scripts)
    file(REMOVE ${scripts})
    execute_process(COMMAND dpkg-deb --root-owner-group --build ${tree} ${deb}
      OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  endif()
  file(REMOVE_RECURSE ${tree})
endforeach()
