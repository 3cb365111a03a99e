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

# Tests. Those that lay out blocks or keys themselves reach the internal
# routines through the objects; the cross-checks with the openssl command and
# the export list go through the shared library itself.
set(_t ${CMAKE_CURRENT_SOURCE_DIR}/tests)
tessaro_test(crypt_digest_test SOURCES ${_t}/Digest_test.cpp ${_t}/KeyTestUtil.cpp LIBS crypt tessaro_testing)
tessaro_test(crypt_core_test SOURCES ${_t}/BigNum_test.cpp ${_t}/Random_test.cpp ${_t}/KeyGen_test.cpp ${_t}/Wipe_test.cpp
             ${_t}/KeyTestUtil.cpp LIBS crypt_rsa tessaro_testing)
tessaro_test(crypt_rsa_test SOURCES ${_t}/Rsa_test.cpp ${_t}/KeyTestUtil.cpp LIBS crypt_rsa tessaro_testing)
tessaro_test(crypt_cos_test SOURCES ${_t}/CosKeys_test.cpp ${_t}/KeyTestUtil.cpp LIBS crypt_rsa tessaro_testing)
tessaro_test(crypt_openssl_test SOURCES ${_t}/OpenSsl_test.cpp ${_t}/KeyTestUtil.cpp LIBS crypt tessaro_testing)
tessaro_test(crypt_exports_test SOURCES ${_t}/Exports_test.cpp LIBS crypt ${CMAKE_DL_LIBS})
if(TARGET crypt_exports_test)
  target_compile_definitions(crypt_exports_test PRIVATE CRYPT_LIBRARY_PATH="$<TARGET_FILE:crypt>")
endif()
