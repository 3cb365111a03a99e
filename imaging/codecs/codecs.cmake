# Photo decoders and header probes (JPEG, PNG, TIFF, GIF, BMP, TGA, and the
# merged picture of layered documents), EXIF, JPEG and PNG encoders.
target_sources(tessaro_imaging PRIVATE
  codecs/Codecs.cpp
  codecs/Exif.cpp
  codecs/Jpeg.cpp
  codecs/Png.cpp
  codecs/Tiff.cpp
  codecs/Gif.cpp
  codecs/Bmp.cpp
  codecs/Tga.cpp)

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
  LIBS tessaro_imaging)

# tessaro-cli convert and inspect on a checked-in picture (12 x 8, 300 ppi).
# Failing commands print their exit status so that the pattern checks it too.
if(TESSARO_TESTS)
  set(_cli_data ${CMAKE_CURRENT_SOURCE_DIR}/tests/codecs/data/gradient_300ppi.png)
  set(_cli_out ${CMAKE_BINARY_DIR}/cli_codecs_test)
  add_test(NAME cli_inspect_image COMMAND tessaro-cli inspect ${_cli_data})
  set_tests_properties(cli_inspect_image PROPERTIES PASS_REGULAR_EXPRESSION
    "\"format\": \"PNG\".*\"width\": 12,.*\"height\": 8,.*\"xPpi\": 300")
  add_test(NAME cli_convert_to_jpeg COMMAND sh -c
    "mkdir -p '${_cli_out}' && '$<TARGET_FILE:tessaro-cli>' convert '${_cli_data}' '${_cli_out}/g.jpg' --quality 80 && '$<TARGET_FILE:tessaro-cli>' inspect '${_cli_out}/g.jpg'")
  set_tests_properties(cli_convert_to_jpeg PROPERTIES PASS_REGULAR_EXPRESSION
    "\"format\": \"JPEG\".*\"width\": 12,.*\"xPpi\": 300")
  add_test(NAME cli_inspect_missing_file COMMAND sh -c
    "'$<TARGET_FILE:tessaro-cli>' inspect /nonexistent/photo.jpg 2>&1; echo exit=$?")
  set_tests_properties(cli_inspect_missing_file PROPERTIES PASS_REGULAR_EXPRESSION
    "^tessaro-cli: /nonexistent/photo.jpg: no such file\nexit=1\n$")
  add_test(NAME cli_convert_unknown_output COMMAND sh -c
    "'$<TARGET_FILE:tessaro-cli>' convert '${_cli_data}' '${_cli_out}/g.webp' 2>&1; echo exit=$?")
  set_tests_properties(cli_convert_unknown_output PROPERTIES PASS_REGULAR_EXPRESSION "g.webp: unknown output format.*exit=1")
  add_test(NAME cli_convert_damaged_input COMMAND sh -c
    "mkdir -p '${_cli_out}' && head -c 100 '${_cli_data}' > '${_cli_out}/cut.png' && '$<TARGET_FILE:tessaro-cli>' convert '${_cli_out}/cut.png' '${_cli_out}/x.png' 2>&1; echo exit=$?")
  set_tests_properties(cli_convert_damaged_input PROPERTIES PASS_REGULAR_EXPRESSION "cut.png: [^\n]*truncated[^\n]*\nexit=1")
endif()
