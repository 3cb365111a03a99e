# editor: the in-process editor driven through its automation interface —
# template resize, placing a 24-megapixel photo (as a ratio to its plain
# decode), flattening and saving a page, a 48 x 32-inch spread with its peak
# memory, and cancellation latency. Run: build/bench/bench_editor
add_executable(bench_editor EditorBench.cpp)
target_link_libraries(bench_editor PRIVATE tessaro_editor)
