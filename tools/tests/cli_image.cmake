# Tests of tessaro-cli convert and inspect on a checked-in picture (12 x 8, 300 ppi).
# Failing commands print their exit status so that the pattern checks it too.
if(TESSARO_TESTS)
  set(_cli_data ${CMAKE_CURRENT_SOURCE_DIR}/tests/data/gradient_300ppi.png)
  set(_cli_out ${CMAKE_BINARY_DIR}/cli_image_test)
  set(_cli "'$<TARGET_FILE:tessaro-cli>'")

  # A test that runs a shell script and passes when its output matches `pattern`.
  function(_tessaro_cli_test name script pattern)
    add_test(NAME ${name} COMMAND sh -c "${script}")
    set_tests_properties(${name} PROPERTIES PASS_REGULAR_EXPRESSION "${pattern}")
  endfunction()

  add_test(NAME cli_inspect_image COMMAND tessaro-cli inspect ${_cli_data})
  set_tests_properties(cli_inspect_image PROPERTIES PASS_REGULAR_EXPRESSION
    "\"format\": \"PNG\".*\"width\": 12,.*\"height\": 8,.*\"xPpi\": 300")
  _tessaro_cli_test(cli_convert_to_jpeg
    "mkdir -p '${_cli_out}' && ${_cli} convert '${_cli_data}' '${_cli_out}/g.jpg' --quality 80 && ${_cli} inspect '${_cli_out}/g.jpg'"
    "\"format\": \"JPEG\".*\"width\": 12,.*\"xPpi\": 300")
  _tessaro_cli_test(cli_inspect_missing_file
    "${_cli} inspect /nonexistent/photo.jpg 2>&1; echo exit=$?"
    "^tessaro-cli: /nonexistent/photo.jpg: no such file\nexit=1\n$")
  _tessaro_cli_test(cli_convert_unknown_output
    "${_cli} convert '${_cli_data}' '${_cli_out}/g.webp' 2>&1; echo exit=$?"
    "g.webp: unknown output format.*exit=1")
  _tessaro_cli_test(cli_convert_damaged_input
    "mkdir -p '${_cli_out}' && head -c 100 '${_cli_data}' > '${_cli_out}/cut.png' && ${_cli} convert '${_cli_out}/cut.png' '${_cli_out}/x.png' 2>&1; echo exit=$?"
    "cut.png: [^\n]*truncated[^\n]*\nexit=1")
  # A few hundred bytes claiming 30000 x 30000 pixels: refused from the header,
  # nothing written.
  set(_cli_bomb ${CMAKE_SOURCE_DIR}/fuzz/corpus/decode_image/bomb_30000x30000.png)
  _tessaro_cli_test(cli_convert_refuses_bomb
    "mkdir -p '${_cli_out}' && rm -f '${_cli_out}/bomb.png' && ${_cli} convert '${_cli_bomb}' '${_cli_out}/bomb.png' 2>&1; echo exit=$?; ls '${_cli_out}/bomb.png' 2>&1 | grep -c 'No such'"
    "bomb_30000x30000.png: image too large: 30000 x 30000 pixels is more than the 250-megapixel limit\nexit=1\n1\n$")
  _tessaro_cli_test(cli_convert_to_psd
    "mkdir -p '${_cli_out}' && ${_cli} convert '${_cli_data}' '${_cli_out}/g.psd' && ${_cli} inspect '${_cli_out}/g.psd'"
    "\"format\": \"PSD\".*\"width\": 12,.*\"xPpi\": 300")
endif()
