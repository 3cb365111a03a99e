# Reading descriptors with many placements (the stable sort by slot number).
# Run: build/bench/bench_model
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(bench_model ${CMAKE_CURRENT_SOURCE_DIR}/ModelBench.cpp)
  target_link_libraries(bench_model PRIVATE tessaro_model benchmark::benchmark)
else()
  message(STATUS "Google Benchmark not found: bench_model is not built")
endif()
