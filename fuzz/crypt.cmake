# The crypt library's readers of outside bytes: Cos keys, signatures and
# ciphertexts. Links the library's objects to reach the length-bounded
# readers behind the exports.
tessaro_fuzz_target(fuzz_crypt_cos SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/CryptCosFuzz.cpp LIBS crypt_rsa
                    CORPUS ${CMAKE_CURRENT_SOURCE_DIR}/corpus/crypt_cos)
