# Applied to every target of the build, so that the library, the simulator
# and the tests are instrumented alike.
if(TANDREL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
elseif(TANDREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT TANDREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "TANDREL_SANITIZE must be '', 'address' or 'thread'")
endif()
