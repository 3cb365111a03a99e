# Key generation, signing and digest speed of the crypt library (through the
# shared library's exports). Run: build/bench/crypt_bench
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(crypt_bench ${CMAKE_CURRENT_SOURCE_DIR}/CryptBench.cpp)
  target_link_libraries(crypt_bench PRIVATE crypt benchmark::benchmark)
else()
  message(STATUS "Google Benchmark not found: crypt_bench is not built")
endif()
