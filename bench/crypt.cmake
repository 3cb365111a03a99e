# Key generation, signing and digest speed of the crypt library (through the
# shared library's exports). Run: build/bench/bench_crypt
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(bench_crypt CryptBench.cpp)
  target_link_libraries(bench_crypt PRIVATE crypt benchmark::benchmark)
else()
  message(STATUS "Google Benchmark not found: bench_crypt is not built")
endif()
