# Tests of tessaro-cli (pack, inspect of packages and set files) and the demo
# resources.
tessaro_test(tools_pack_test
  SOURCES tests/Description_test.cpp tests/Raster_test.cpp tests/PackRoundTrip_test.cpp
          tests/PackSafety_test.cpp
  LIBS tessaro_authoring tessaro_model)
if(TARGET tools_pack_test)
  add_dependencies(tools_pack_test tessaro-cli)
endif()

# Checks the demo library, photos and set that the normal build makes below
# ${CMAKE_BINARY_DIR}/resources (resources/CMakeLists.txt).
tessaro_test(tools_demo_test SOURCES tests/DemoResources_test.cpp LIBS tessaro_authoring tessaro_model)
# resources/CMakeLists.txt hands it the list of demo photos.
if(TARGET tools_demo_test)
  add_dependencies(tools_demo_test tessaro-cli)
endif()

# Runs the tessaro-cli binary on packages and set files made by the test.
tessaro_test(tools_inspect_test SOURCES tests/InspectModel_test.cpp LIBS tessaro_model)
if(TARGET tools_inspect_test)
  add_dependencies(tools_inspect_test tessaro-cli)
endif()
