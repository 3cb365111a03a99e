# Tests of tessaro-cli convert and inspect on a checked-in picture (12 x 8, 300 ppi).
# Failing commands print their exit status so that the pattern checks it too.
if(TESSARO_TESTS)
  set(_cli_data ${CMAKE_CURRENT_SOURCE_DIR}/tests/data/gradient_300ppi.png)
  set(_cli_out ${CMAKE_BINARY_DIR}/cli_image_test)
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
  # A few hundred bytes claiming 30000 x 30000 pixels: refused from the header,
  # nothing written.
  set(_cli_bomb ${CMAKE_SOURCE_DIR}/fuzz/corpus/decode_image/bomb_30000x30000.png)
  add_test(NAME cli_convert_refuses_bomb COMMAND sh -c
    "mkdir -p '${_cli_out}' && rm -f '${_cli_out}/bomb.png' && '$<TARGET_FILE:tessaro-cli>' convert '${_cli_bomb}' '${_cli_out}/bomb.png' 2>&1; echo exit=$?; ls '${_cli_out}/bomb.png' 2>&1 | grep -c 'No such'")
  set_tests_properties(cli_convert_refuses_bomb PROPERTIES PASS_REGULAR_EXPRESSION
    "bomb_30000x30000.png: image too large: 30000 x 30000 pixels is more than the 250-megapixel limit\nexit=1\n1\n$")
  add_test(NAME cli_convert_to_psd COMMAND sh -c
    "mkdir -p '${_cli_out}' && '$<TARGET_FILE:tessaro-cli>' convert '${_cli_data}' '${_cli_out}/g.psd' && '$<TARGET_FILE:tessaro-cli>' inspect '${_cli_out}/g.psd'")
  set_tests_properties(cli_convert_to_psd PROPERTIES PASS_REGULAR_EXPRESSION
    "\"format\": \"PSD\".*\"width\": 12,.*\"xPpi\": 300")
endif()
