# Applied to every target of the build, so that the library, the simulator
# and the tests are instrumented alike.
if(TANDREL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
  # GCC's flow analysis misreads the instrumented code: it reports maybe-
  # uninitialized members inside libstdc++'s <regex>. The plain build keeps
  # the warning for our own code.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    add_compile_options(-Wno-maybe-uninitialized)
  endif()
elseif(TANDREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TANDREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TANDREL_SANITIZE must be '', 'address' or 'thread'")
endif()
