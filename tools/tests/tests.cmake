# Every test of tessaro-cli: pack, inspect, convert and the demo resources.
tessaro_test(tools_pack_test
  SOURCES tests/Description_test.cpp tests/Raster_test.cpp tests/PackRoundTrip_test.cpp
  LIBS tessaro_authoring tessaro_model tessaro_testing)
if(TARGET tools_pack_test)
  add_dependencies(tools_pack_test tessaro-cli)
endif()

# Checks the demo library, photos and set that the normal build makes below
# ${CMAKE_BINARY_DIR}/resources (resources/CMakeLists.txt).
tessaro_test(tools_demo_test SOURCES tests/DemoResources_test.cpp LIBS tessaro_authoring tessaro_model tessaro_testing)
# resources/CMakeLists.txt hands it the list of demo photos.
if(TARGET tools_demo_test)
  add_dependencies(tools_demo_test tessaro-cli)
endif()

# tessaro-cli inspect on packages and set files made by the test.
tessaro_test(tools_inspect_test SOURCES tests/Inspect_test.cpp LIBS tessaro_model tessaro_testing)
if(TARGET tools_inspect_test)
  add_dependencies(tools_inspect_test tessaro-cli)
endif()

# tessaro-cli convert and inspect on a checked-in picture (12 x 8, 300 ppi).
# Failing commands print their exit status so that the pattern checks it too.
if(TESSARO_TESTS)
  set(_cli_data ${CMAKE_CURRENT_SOURCE_DIR}/tests/data/gradient_300ppi.png)
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
