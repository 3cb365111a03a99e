# compose: tessaro-cli compose on a set (default the demo set) with --jobs 1
# and 2, against the single-threaded decode and encode of the same pages.
# Run: build/bench/tessaro_compose_bench [SET.cys]
add_executable(tessaro_compose_bench ${CMAKE_CURRENT_SOURCE_DIR}/ComposeBench.cpp)
target_link_libraries(tessaro_compose_bench PRIVATE tessaro_model tessaro_imaging)
target_compile_definitions(tessaro_compose_bench PRIVATE TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(tessaro_compose_bench tessaro-cli)
