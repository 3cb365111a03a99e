# The thumbnail list with a long photo list: adding 2,000 rows one decode
# at a time against a batch decoded on every core, repaint while scrolling,
# memory per row, deleting the first row. Needs Qt (offscreen platform).
if(TARGET tessaro_controls)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Svg)  # imported targets are per folder
  add_executable(bench_controls ControlsBench.cpp)
  set_target_properties(bench_controls PROPERTIES AUTOMOC ON)
  target_link_libraries(bench_controls PRIVATE tessaro_controls)
endif()
