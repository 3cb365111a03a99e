# Fuzz target of the template authoring description (JSON text and checker).
tessaro_fuzz_target(fuzz_description SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/DescriptionFuzz.cpp LIBS tessaro_authoring
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/description)
