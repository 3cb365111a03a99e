# Reading descriptors with many placements (the stable sort by slot number).
# Run: build/bench/model_bench
find_package(benchmark QUIET)
if(benchmark_FOUND)
  add_executable(model_bench ${CMAKE_CURRENT_SOURCE_DIR}/ModelBench.cpp)
  target_link_libraries(model_bench PRIVATE tessaro_model benchmark::benchmark)
else()
  message(STATUS "Google Benchmark not found: model_bench is not built")
endif()
