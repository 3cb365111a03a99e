# Tests of tessaro-cli pack and the demo resources.
tessaro_test(tools_pack_test
  SOURCES tests/Description_test.cpp tests/Raster_test.cpp tests/PackRoundTrip_test.cpp
  LIBS tessaro_authoring tessaro_model)
if(TARGET tools_pack_test)
  add_dependencies(tools_pack_test tessaro-cli)
endif()
