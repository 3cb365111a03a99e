# ops: timing of resampling, affine drawing, compositing and adjustments, and
# the peak memory of reducing a 24-megapixel photo ("tessaro_ops_bench peak").
add_executable(tessaro_ops_bench ${CMAKE_CURRENT_SOURCE_DIR}/OpsBench.cpp)
target_link_libraries(tessaro_ops_bench PRIVATE tessaro_imaging)
