// The shared library exports exactly the published names: every export is
// reachable by name, the internal routines are not.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include "crypt/CryptRsa.h"

namespace {

class SharedLibrary : public testing::Test {
 protected:
  void SetUp() override {
    FHandle = dlopen(CRYPT_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(FHandle, nullptr) << dlerror();
  }
  void TearDown() override {
    if (FHandle != nullptr) dlclose(FHandle);
  }
  void* FHandle = nullptr;
};

TEST_F(SharedLibrary, ExportsEveryPublishedFunction) {
  for (const char* name : {"Digest", "Sign", "Verify", "RSAPublicEncrypt", "RSAPrivateDecrypt",
                           "R_GenerateRsaKeys", "X_GenerateRsaKeys", "X_Pub2Cos", "X_Pri2Cos", "X_Pri2CosEx",
                           "X_Cos2Pub", "X_Cos2Pri", "DES", "DES3", "TDES"})
    EXPECT_NE(dlsym(FHandle, name), nullptr) << name;
}

TEST_F(SharedLibrary, HidesTheInternalRoutines) {
  for (const char* name : {"BnModExp", "BnDivMod", "IsProbablePrime", "RandomGetBytes", "RsaPrivateBlock",
                           "CosToPublic", "Md5Update", "CryptWipe", "DigestInfoOf"})
    EXPECT_EQ(dlsym(FHandle, name), nullptr) << name;
}

TEST_F(SharedLibrary, ExportedDigestWorksThroughTheLoadedLibrary) {
  using DigestFn = int32_t (*)(int32_t, const uint8_t*, uint32_t, uint8_t*, uint32_t*);
  auto digest = reinterpret_cast<DigestFn>(dlsym(FHandle, "Digest"));
  ASSERT_NE(digest, nullptr);
  uint8_t out[20];
  uint32_t len = 0;
  ASSERT_EQ(digest(kCryptDigestSha1, reinterpret_cast<const uint8_t*>("abc"), 3, out, &len), kCryptOk);
  EXPECT_EQ(len, 20u);
  EXPECT_EQ(out[0], 0xa9);
  EXPECT_EQ(out[19], 0x9d);
}

}  // namespace
