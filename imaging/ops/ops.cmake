# ops: pixel operations — geometry, resampling, affine drawing, blend modes and
# the compositor, adjustments, colour conversion to sRGB.
target_sources(tessaro_imaging PRIVATE
  ops/Geometry.cpp
  ops/Resample.cpp
  ops/Affine.cpp
  ops/Blend.cpp
  ops/Adjust.cpp
  ops/ColorManagement.cpp)

tessaro_test(imaging_ops_test
  SOURCES
    tests/ops/Geometry_test.cpp
    tests/ops/Resample_test.cpp
    tests/ops/Affine_test.cpp
    tests/ops/Blend_test.cpp
    tests/ops/Adjust_test.cpp
  LIBS tessaro_imaging)
