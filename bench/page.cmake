# page: the reference page (2400 x 3600 at 300 ppi, four 24-megapixel
# photos, one turned, masked slots, an overlay, JPEG quality 12). This
# program prepares its inputs; the compose benchmark measures them.
# Run: build/bench/bench_page DIR && build/bench/bench_compose DIR/page.cys
add_executable(bench_page ${CMAKE_CURRENT_SOURCE_DIR}/PageBench.cpp)
target_link_libraries(bench_page PRIVATE tessaro_model tessaro_imaging)
target_include_directories(bench_page PRIVATE ${CMAKE_SOURCE_DIR})
target_compile_definitions(bench_page PRIVATE TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(bench_page tessaro-cli)
