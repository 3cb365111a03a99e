# Fuzz target of the layered-document reader. Its corpus: malformed files
# kept here, plus the damaged files of the shared third-party corpus.
set(_psd_fuzz_corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/psd)
if(EXISTS "${TESSARO_CORPUS_DIR}/psd/corrupt")
  list(APPEND _psd_fuzz_corpus "${TESSARO_CORPUS_DIR}/psd/corrupt")
endif()
tessaro_fuzz_target(fuzz_psd SOURCES PsdFuzz.cpp LIBS tessaro_imaging CORPUS ${_psd_fuzz_corpus})
