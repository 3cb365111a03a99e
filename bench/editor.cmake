# editor: the in-process editor driven through its automation interface —
# template resize, placing a 24-megapixel photo (as a ratio to its plain
# decode), flattening and saving a page, a 48 x 32-inch spread with its peak
# memory, and cancellation latency. Run: build/bench/tessaro_editor_bench
add_executable(tessaro_editor_bench ${CMAKE_CURRENT_SOURCE_DIR}/EditorBench.cpp)
target_link_libraries(tessaro_editor_bench PRIVATE tessaro_editor)
