# page: the reference page (2400 x 3600 at 300 ppi, four 24-megapixel
# photos, one turned, masked slots, an overlay, JPEG quality 12). This
# program prepares its inputs; the compose benchmark measures them.
# Run: build/bench/tessaro_page_bench DIR && build/bench/tessaro_compose_bench DIR/page.cys
add_executable(tessaro_page_bench ${CMAKE_CURRENT_SOURCE_DIR}/PageBench.cpp)
target_link_libraries(tessaro_page_bench PRIVATE tessaro_model tessaro_imaging)
target_compile_definitions(tessaro_page_bench PRIVATE TESSARO_BINARY_DIR="${CMAKE_BINARY_DIR}")
add_dependencies(tessaro_page_bench tessaro-cli)
