# Fuzz target of the layered-document reader. Its corpus: malformed files
# kept here, plus the damaged files of the shared third-party corpus.
set(_psd_fuzz_corpus ${CMAKE_CURRENT_SOURCE_DIR}/corpus/psd)
# Sound documents with saved selections and layers too: the target reads
# each small one twice (plain, and with cropped channels and colour layers)
# and the two reads must agree.
foreach(_dir corrupt alpha layers)
  if(EXISTS "${TESSARO_CORPUS_DIR}/psd/${_dir}")
    list(APPEND _psd_fuzz_corpus "${TESSARO_CORPUS_DIR}/psd/${_dir}")
  endif()
endforeach()
tessaro_fuzz_target(fuzz_psd SOURCES PsdFuzz.cpp LIBS tessaro_imaging CORPUS ${_psd_fuzz_corpus})
