# Cross-compiles for 64-bit Windows with Debian's mingw-w64 (posix threads
# flavour, which std::thread and std::mutex need) and runs the results under
# Wine, so that CTest and try_run work as on a native build.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TANDREL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TANDREL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TANDREL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TANDREL_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${TANDREL_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${TANDREL_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Look for headers and libraries in the target's tree only; programs still
# come from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TANDREL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Executables carry their C++ runtime, libgcc and winpthread inside, so that
# Wine (and a Windows machine) runs them without the mingw runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

find_program(TANDREL_WINE wine)
if(TANDREL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TANDREL_WINE})
endif()
