# Digests, signatures, RSA and key conversions of the crypt library.
#
# The sources form an object library so that the tests, the fuzz target and
# the benchmark can reach the internal routines (big numbers, primes, the
# random generator, the bounded Cos readers) that the shared library hides.
add_library(crypt_rsa OBJECT
  ${CMAKE_CURRENT_SOURCE_DIR}/BigNum.c
  ${CMAKE_CURRENT_SOURCE_DIR}/CosKeys.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Digest.c
  ${CMAKE_CURRENT_SOURCE_DIR}/KeyGen.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Md2.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Md5.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Prime.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Random.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Rsa.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Sha1.c
  ${CMAKE_CURRENT_SOURCE_DIR}/Wipe.c)
set_target_properties(crypt_rsa PROPERTIES C_STANDARD 11 C_STANDARD_REQUIRED ON POSITION_INDEPENDENT_CODE ON
                                           C_VISIBILITY_PRESET hidden)
target_include_directories(crypt_rsa PUBLIC ${CMAKE_SOURCE_DIR})
target_sources(crypt PRIVATE $<TARGET_OBJECTS:crypt_rsa>)

# Tests of the exports go through the shared library; tests of the internal
# routines link the objects directly.
tessaro_test(crypt_digest_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/Digest_test.cpp LIBS crypt)
tessaro_test(crypt_rsa_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/Rsa_test.cpp
             ${CMAKE_CURRENT_SOURCE_DIR}/tests/KeyTestUtil.cpp LIBS crypt)
tessaro_test(crypt_cos_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/CosKeys_test.cpp
             ${CMAKE_CURRENT_SOURCE_DIR}/tests/KeyTestUtil.cpp LIBS crypt)
tessaro_test(crypt_openssl_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/OpenSsl_test.cpp
             ${CMAKE_CURRENT_SOURCE_DIR}/tests/KeyTestUtil.cpp LIBS crypt)
tessaro_test(crypt_bignum_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/BigNum_test.cpp LIBS crypt_rsa)
tessaro_test(crypt_keygen_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/tests/KeyGen_test.cpp
             ${CMAKE_CURRENT_SOURCE_DIR}/tests/KeyTestUtil.cpp LIBS crypt_rsa)
