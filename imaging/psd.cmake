# psd: the layered-document (PSD, PSB, PDD) reader and writer, its tests.
find_package(ZLIB REQUIRED)
find_path(TESSARO_PSD_LCMS2_INCLUDE lcms2.h REQUIRED)
find_library(TESSARO_PSD_LCMS2_LIBRARY lcms2 REQUIRED)

target_sources(tessaro_imaging PRIVATE PsdCoding.cpp PsdRead.cpp PsdWrite.cpp)
target_include_directories(tessaro_imaging PRIVATE ${TESSARO_PSD_LCMS2_INCLUDE})
target_link_libraries(tessaro_imaging PRIVATE ZLIB::ZLIB ${TESSARO_PSD_LCMS2_LIBRARY})

tessaro_test(imaging_psd_test
  SOURCES tests/psd/PsdCorpus_test.cpp tests/psd/PsdWrite_test.cpp tests/psd/PsdCoding_test.cpp
          tests/psd/PsdHostile_test.cpp
  LIBS tessaro_imaging tessaro_testing ${TESSARO_PSD_LCMS2_LIBRARY})
if(TARGET imaging_psd_test)
  target_include_directories(imaging_psd_test PRIVATE ${TESSARO_PSD_LCMS2_INCLUDE})
endif()
