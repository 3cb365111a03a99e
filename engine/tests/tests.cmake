# Engine tests: the version table, effects and the composition procedure
# against a recording fake; golden tests on the real editor with the demo
# library (skipped when it is not built); the compose command end to end.
tessaro_test(engine_test
  SOURCES tests/Versions_test.cpp tests/Effects_test.cpp tests/Compose_test.cpp tests/Geometry_test.cpp
  LIBS tessaro_engine)
tessaro_test(engine_golden_test SOURCES tests/Golden_test.cpp tests/ComposeCli_test.cpp LIBS tessaro_engine)
if(TARGET engine_golden_test)
  add_dependencies(engine_golden_test tessaro-cli)
endif()
# Composed pages against an independent reference compositor, and the
# layered result as ImageMagick and ag-psd read it.
tessaro_test(engine_page_test SOURCES tests/PageGolden_test.cpp tests/ReferencePage.cpp tests/CropDecode_test.cpp
  LIBS tessaro_engine tessaro_testing)
if(TARGET engine_page_test)
  add_dependencies(engine_page_test tessaro-cli)
endif()
