# psd: the layered-document (PSD, PSB, PDD) reader and writer, its tests.
# The tests read lcms2 and zlib themselves (reference conversions).
target_sources(tessaro_imaging PRIVATE psd/PsdCoding.cpp psd/PsdRead.cpp psd/PsdWrite.cpp)

tessaro_test(imaging_psd_test
  SOURCES tests/psd/PsdCorpus_test.cpp tests/psd/PsdWrite_test.cpp tests/psd/PsdCoding_test.cpp
          tests/psd/PsdHostile_test.cpp tests/psd/PsdWriteFile_test.cpp tests/psd/PsdCrop_test.cpp
  LIBS tessaro_imaging tessaro_testing PkgConfig::TESSARO_IMAGING_LIBS)
