# tessaro_test(NAME [WIDGET] SOURCES... LIBS ...) adds one GoogleTest executable registered with ctest.
# WIDGET: a Qt widget test that brings its own main (an application object)
# and runs on Qt's offscreen platform.
# Tests find the shared third-party corpus through TESSARO_CORPUS_DIR and the
# source tree through TESSARO_SOURCE_DIR.
get_filename_component(_corpus "${CMAKE_SOURCE_DIR}/../shared/corpus" ABSOLUTE)
if(NOT EXISTS "${_corpus}" AND EXISTS "/work/shared/corpus")
  set(_corpus "/work/shared/corpus")
endif()
set(TESSARO_CORPUS_DIR "${_corpus}" CACHE PATH "Third-party image corpus (tests skip what is absent)")

function(tessaro_test name)
  if(NOT TESSARO_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "WIDGET" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest Threads::Threads)
  if(T_WIDGET)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    set_target_properties(${name} PROPERTIES AUTOMOC ON)
    target_link_libraries(${name} PRIVATE Qt6::Test)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  target_compile_definitions(${name} PRIVATE
    TESSARO_CORPUS_DIR="${TESSARO_CORPUS_DIR}"
    TESSARO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  if(T_WIDGET)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()

# tessaro_fuzz_target(NAME SOURCE LIBS ... CORPUS dir...) builds a fuzz entry point.
# In a normal build it links a small driver that feeds every file of the corpus
# folders to the entry point once, and registers that run with ctest; in a
# TESSARO_FUZZ build it links libFuzzer instead.
function(tessaro_fuzz_target name)
  cmake_parse_arguments(F "" "" "SOURCES;LIBS;CORPUS" ${ARGN})
  add_executable(${name} ${F_SOURCES})
  target_link_libraries(${name} PRIVATE ${F_LIBS})
  if(TESSARO_FUZZ)
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  else()
    target_link_libraries(${name} PRIVATE tessaro_fuzz_driver)
    if(TESSARO_TESTS)
      add_test(NAME ${name}_corpus COMMAND ${name} ${F_CORPUS})
    endif()
  endif()
endfunction()
