# Benchmark of the layered-document reader and writer.
add_executable(bench_psd PsdBench.cpp)
target_link_libraries(bench_psd PRIVATE tessaro_imaging)
target_include_directories(bench_psd PRIVATE ${CMAKE_SOURCE_DIR})
