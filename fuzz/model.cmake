# Fuzz targets of the model: the descriptor reader, the set-file reader and
# the INI reader. Each checks a round trip of what it could read.
tessaro_fuzz_target(fuzz_descriptor SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/DescriptorFuzz.cpp LIBS tessaro_model
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/descriptor)
tessaro_fuzz_target(fuzz_setfile SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/SetFileFuzz.cpp LIBS tessaro_model
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/setfile)
tessaro_fuzz_target(fuzz_ini SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/IniFuzz.cpp LIBS tessaro_model
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/ini)
