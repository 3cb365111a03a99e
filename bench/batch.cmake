# batch: thirty templates over three sets with --jobs 1 and 2; wall ratio and
# memory from job to job.
# Run: build/bench/bench_batch DIR
add_executable(bench_batch ${CMAKE_CURRENT_SOURCE_DIR}/BatchBench.cpp)
target_link_libraries(bench_batch PRIVATE tessaro_model tessaro_imaging)
target_include_directories(bench_batch PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_batch PRIVATE TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_batch tessaro-cli)
