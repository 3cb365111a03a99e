# Fuzz targets of the model: the descriptor reader, the set-file reader and
# the INI reader. Each checks a round trip of what it could read.
tessaro_fuzz_target(descriptor SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/descriptor_fuzz.cpp LIBS tessaro_model
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/descriptor)
tessaro_fuzz_target(setfile SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/setfile_fuzz.cpp LIBS tessaro_model
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/setfile)
tessaro_fuzz_target(ini SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/ini_fuzz.cpp LIBS tessaro_model
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/ini)
