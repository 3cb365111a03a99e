# ops: timing of resampling, affine drawing, compositing and adjustments, and
# the peak memory of reducing a 24-megapixel photo ("bench_ops peak").
add_executable(bench_ops OpsBench.cpp)
target_link_libraries(bench_ops PRIVATE tessaro_imaging)
