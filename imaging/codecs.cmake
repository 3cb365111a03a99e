# Photo decoders and header probes (JPEG, PNG, TIFF, GIF, BMP, TGA, and the
# merged picture of layered documents), EXIF, colour management, JPEG and PNG
# encoders.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TESSARO_CODEC_LIBS REQUIRED IMPORTED_TARGET libjpeg libpng libtiff-4 lcms2 zlib)
find_package(GIF REQUIRED)

target_sources(tessaro_imaging PRIVATE
  Codecs.cpp
  ColorManagement.cpp
  Exif.cpp
  Jpeg.cpp
  Png.cpp
  Tiff.cpp
  Gif.cpp
  Bmp.cpp
  Tga.cpp)
target_link_libraries(tessaro_imaging PRIVATE PkgConfig::TESSARO_CODEC_LIBS GIF::GIF)

tessaro_test(imaging_codecs_test
  SOURCES
    tests/codecs/TestSupport.cpp
    tests/codecs/Exif_test.cpp
    tests/codecs/Codecs_test.cpp
    tests/codecs/Jpeg_test.cpp
    tests/codecs/Png_test.cpp
    tests/codecs/Bmp_test.cpp
    tests/codecs/Tga_test.cpp
    tests/codecs/TiffGif_test.cpp
    tests/codecs/Corpus_test.cpp
  LIBS tessaro_imaging tessaro_testing)
