# Photo decoding: full-size and reduced JPEG decodes against djpeg, EXIF
# thumbnails, peak memory, several photos on every core.
add_executable(bench_codecs CodecsBench.cpp)
target_link_libraries(bench_codecs PRIVATE tessaro_imaging)
