# Photo decoders and header probes (JPEG, PNG, TIFF, GIF, BMP, TGA, and the
# merged picture of layered documents), EXIF, JPEG and PNG encoders.
target_sources(tessaro_imaging PRIVATE
  codecs/Codecs.cpp  # the entry points and the registry (Formats.inc)
  codecs/Exif.cpp
  codecs/Jpeg.cpp
  codecs/Png.cpp
  codecs/Tiff.cpp
  codecs/Gif.cpp
  codecs/Bmp.cpp
  codecs/Tga.cpp
  codecs/PsdComposite.cpp)

tessaro_test(imaging_codecs_test
  SOURCES
    tests/codecs/TestSupport.cpp
    tests/codecs/Exif_test.cpp
    tests/codecs/Codecs_test.cpp
    tests/codecs/Jpeg_test.cpp
    tests/codecs/DecodeCrop_test.cpp
    tests/codecs/Png_test.cpp
    tests/codecs/Bmp_test.cpp
    tests/codecs/Tga_test.cpp
    tests/codecs/TiffGif_test.cpp
    tests/codecs/Corpus_test.cpp
    tests/codecs/Registry_test.cpp
    tests/codecs/PixelLimit_test.cpp
  LIBS tessaro_imaging tessaro_testing)
