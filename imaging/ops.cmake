# ops: pixel operations — geometry, resampling, affine drawing, blend modes and
# the compositor, adjustments.
target_sources(tessaro_imaging PRIVATE Geometry.cpp Resample.cpp Affine.cpp Blend.cpp Adjust.cpp)

tessaro_test(imaging_ops_test
  SOURCES
    tests/ops/Geometry_test.cpp
    tests/ops/Resample_test.cpp
    tests/ops/Affine_test.cpp
    tests/ops/Blend_test.cpp
    tests/ops/Adjust_test.cpp
  LIBS tessaro_imaging tessaro_testing)
