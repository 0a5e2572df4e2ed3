# Small build helpers shared by every folder.

# tarvel_add_test(NAME name SOURCES ... LIBS ...)
# One GoogleTest executable per folder; CTest runs it as one test so that a
# whole tree runs in seconds rather than one process per test case.
function(tarvel_add_test)
  if(TARVEL_FUZZ)
    return()  # the fuzz tree builds fuzz targets only
  endif()
  cmake_parse_arguments(T "" "NAME" "SOURCES;LIBS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main Threads::Threads)
  # The shared test fixtures (a fresh machine folder per test).
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/platform/testing/include)
  add_test(NAME ${T_NAME} COMMAND ${T_NAME} --gtest_brief=1)
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "TARVEL_DRIVER_DIR=${TARVEL_DRIVER_DIR};TARVEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# GoogleTest built from the sources in /usr/src/googletest (Debian's
# googletest package), for trees whose flags differ from the distribution's
# prebuilt libraries (the -m32 tree).
macro(tarvel_gtest_from_source)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
    message(FATAL_ERROR "googletest sources missing: run scripts/setup")
  endif()
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  if(NOT TARGET GTest::gtest)
    add_library(GTest::gtest ALIAS gtest)
    add_library(GTest::gtest_main ALIAS gtest_main)
  endif()
endmacro()

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)

# tarvel_add_fuzzer(NAME name SOURCES ... LIBS ... CORPUS dir)
# A libFuzzer target, built only in the clang fuzz tree (TARVEL_FUZZ).  Its
# seed corpus folder is copied beside the binary; scripts/fuzz-smoke runs
# every target for a fixed time.
function(tarvel_add_fuzzer)
  if(NOT TARVEL_FUZZ)
    return()
  endif()
  cmake_parse_arguments(F "" "NAME;CORPUS" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${F_NAME} ${F_SOURCES})
  target_compile_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS})
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz)
  if(F_DEPENDS)
    add_dependencies(${F_NAME} ${F_DEPENDS})
  endif()
  if(F_CORPUS)
    file(WRITE ${CMAKE_BINARY_DIR}/fuzz/${F_NAME}.corpus "${F_CORPUS}\n")
  endif()
endfunction()
