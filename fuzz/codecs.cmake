# Fuzz targets of the photo decoders: our own BMP and TGA readers, the EXIF
# parser, and the library-backed decoders behind DecodeImage. Their corpora
# of malformed inputs (and the shared corpus's damaged files) run as ctests.
tessaro_fuzz_target(fuzz_bmp SOURCES BmpFuzz.cpp LIBS tessaro_imaging
  CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/bmp ${TESSARO_CORPUS_DIR}/bmp)
tessaro_fuzz_target(fuzz_tga SOURCES TgaFuzz.cpp LIBS tessaro_imaging
  CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/tga ${TESSARO_CORPUS_DIR}/tga)
tessaro_fuzz_target(fuzz_exif SOURCES ExifFuzz.cpp LIBS tessaro_imaging
  CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/exif)
tessaro_fuzz_target(fuzz_decode_image SOURCES DecodeImageFuzz.cpp LIBS tessaro_imaging
  CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/decode_image ${TESSARO_CORPUS_DIR}/jpeg/corrupt
  ${TESSARO_CORPUS_DIR}/png/corrupt ${TESSARO_CORPUS_DIR}/gif/corrupt ${TESSARO_CORPUS_DIR}/tiff)
