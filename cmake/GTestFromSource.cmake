# GoogleTest for a cross build: the target's sysroot has no prebuilt gtest, so
# build it from the sources Debian ships in /usr/src/googletest. Provides the
# same imported names as find_package(GTest): GTest::gtest, GTest::gtest_main
# and GTest::gmock.
set(TANDREL_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(_gtest ${TANDREL_GTEST_SOURCE_DIR}/googletest)
set(_gmock ${TANDREL_GTEST_SOURCE_DIR}/googlemock)

if(NOT EXISTS ${_gtest}/src/gtest-all.cc OR NOT EXISTS ${_gmock}/src/gmock-all.cc)
  message(WARNING "GoogleTest sources not found in ${TANDREL_GTEST_SOURCE_DIR}")
  return()
endif()

find_package(Threads REQUIRED)

add_library(tandrel_gtest STATIC ${_gtest}/src/gtest-all.cc)
target_include_directories(tandrel_gtest SYSTEM PUBLIC ${_gtest}/include)
target_include_directories(tandrel_gtest PRIVATE ${_gtest})
target_link_libraries(tandrel_gtest PUBLIC Threads::Threads)

add_library(tandrel_gtest_main STATIC ${_gtest}/src/gtest_main.cc)
target_link_libraries(tandrel_gtest_main PUBLIC tandrel_gtest)

add_library(tandrel_gmock STATIC ${_gmock}/src/gmock-all.cc)
target_include_directories(tandrel_gmock SYSTEM PUBLIC ${_gmock}/include)
target_include_directories(tandrel_gmock PRIVATE ${_gmock})
target_link_libraries(tandrel_gmock PUBLIC tandrel_gtest)

add_library(GTest::gtest ALIAS tandrel_gtest)
add_library(GTest::gtest_main ALIAS tandrel_gtest_main)
add_library(GTest::gmock ALIAS tandrel_gmock)
