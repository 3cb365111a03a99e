# Fuzz target of the template authoring description (JSON text and checker).
tessaro_fuzz_target(description SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/description_fuzz.cpp LIBS tessaro_authoring
                    CORPUS ${CMAKE_SOURCE_DIR}/fuzz/corpus/description)
