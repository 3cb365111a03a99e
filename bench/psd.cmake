# Benchmark of the layered-document reader and writer.
add_executable(bench_psd PsdBench.cpp)
target_link_libraries(bench_psd PRIVATE tessaro_imaging)
