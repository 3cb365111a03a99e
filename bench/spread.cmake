# spread: a 48 x 32 in spread at 300 ppi with ten photos, composed as JPEG
# and as a layered document; peak memory is the figure.
# Run: build/bench/bench_spread DIR
add_executable(bench_spread ${CMAKE_CURRENT_SOURCE_DIR}/SpreadBench.cpp)
target_link_libraries(bench_spread PRIVATE tessaro_model tessaro_imaging)
target_include_directories(bench_spread PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_spread PRIVATE TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_spread tessaro-cli)
