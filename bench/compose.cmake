# compose: tessaro-cli compose on a set (default the demo set) as it runs by
# default and with --jobs 1, against the single-threaded decode and encode of
# the same pages.
# Run: build/bench/bench_compose [SET.cys]
add_executable(bench_compose ${CMAKE_CURRENT_SOURCE_DIR}/ComposeBench.cpp)
target_link_libraries(bench_compose PRIVATE tessaro_model tessaro_imaging)
target_include_directories(bench_compose PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_compose PRIVATE TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_compose tessaro-cli)
