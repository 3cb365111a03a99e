# The preview screen: repaint per frame while dragging a 24-megapixel photo,
# switching back to a slot shown before, and the first display of a
# 24-megapixel JPEG against decoding it at screen size. Needs Qt (offscreen
# platform) and the controller's test fakes.
if(TARGET tessaro_preview AND TARGET tessaro_testing)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_executable(bench_preview PreviewBench.cpp)
  set_target_properties(bench_preview PROPERTIES AUTOMOC ON)
  target_link_libraries(bench_preview PRIVATE tessaro_preview tessaro_testing GTest::gtest)
endif()
