# Importing camera-size JPEGs into the photo list through the controller's
# import command while the window repaints: time per photo with and without
# EXIF thumbnails and the longest GUI-thread stall. Needs Qt (offscreen).
if(TARGET tessaro_controls)
  find_package(Qt6 REQUIRED COMPONENTS Widgets)
  add_executable(bench_import ImportBench.cpp)
  target_link_libraries(bench_import PRIVATE tessaro_controls tessaro_model tessaro_imaging)
endif()
