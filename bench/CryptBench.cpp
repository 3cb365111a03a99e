// Timing of the crypt library's RSA and digest exports. Key generation
// time varies with the distance to the next prime, so it is repeated and
// reported as median (and mean, spread) over the repetitions.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

#include "crypt/CryptRsa.h"

namespace {

struct Pair {
  RSAPublicKey pub{};
  RSAPrivateKey priv{};
  Pair() {
    if (R_GenerateRsaKeys(&pub, &priv) != kCryptOk) std::abort();
  }
};

const Pair& SharedPair() {
  static const Pair pair;
  return pair;
}

void BM_GenerateRsaKeys1024(benchmark::State& state) {
  RSAPublicKey pub;
  RSAPrivateKey priv;
  for (auto _ : state) {
    if (R_GenerateRsaKeys(&pub, &priv) != kCryptOk) state.SkipWithError("generation failed");
    benchmark::DoNotOptimize(priv);
  }
}
BENCHMARK(BM_GenerateRsaKeys1024)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->Repetitions(41)
    ->ReportAggregatesOnly(true);

void BM_Sign1024(benchmark::State& state) {
  const Pair& pair = SharedPair();
  const int32_t algorithm = static_cast<int32_t>(state.range(0));
  std::vector<uint8_t> message(256, 0x5A);
  uint8_t sig[128];
  uint32_t len = 0;
  for (auto _ : state) {
    if (Sign(algorithm, message.data(), message.size(), sig, &len, &pair.priv) != kCryptOk)
      state.SkipWithError("sign failed");
    benchmark::DoNotOptimize(sig);
  }
}
BENCHMARK(BM_Sign1024)
    ->Arg(kCryptDigestMd5)
    ->Arg(kCryptDigestSha1)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

void BM_Verify1024(benchmark::State& state) {
  const Pair& pair = SharedPair();
  std::vector<uint8_t> message(256, 0x5A);
  uint8_t sig[128];
  uint32_t len = 0;
  if (Sign(kCryptDigestSha1, message.data(), message.size(), sig, &len, &pair.priv) != kCryptOk) std::abort();
  for (auto _ : state) {
    if (Verify(kCryptDigestSha1, message.data(), message.size(), sig, len, &pair.pub) != kCryptOk)
      state.SkipWithError("verify failed");
  }
}
BENCHMARK(BM_Verify1024)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_PublicEncrypt1024(benchmark::State& state) {
  const Pair& pair = SharedPair();
  std::vector<uint8_t> message(100, 0x33);
  uint8_t out[128];
  uint32_t len = 0;
  for (auto _ : state) {
    if (RSAPublicEncrypt(out, &len, message.data(), message.size(), &pair.pub) != kCryptOk)
      state.SkipWithError("encrypt failed");
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_PublicEncrypt1024)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_PrivateDecrypt1024(benchmark::State& state) {
  const Pair& pair = SharedPair();
  std::vector<uint8_t> message(100, 0x33);
  uint8_t cipher[128], out[128];
  uint32_t cipherLen = 0, len = 0;
  if (RSAPublicEncrypt(cipher, &cipherLen, message.data(), message.size(), &pair.pub) != kCryptOk)
    std::abort();
  for (auto _ : state) {
    if (RSAPrivateDecrypt(out, &len, cipher, cipherLen, &pair.priv) != kCryptOk)
      state.SkipWithError("decrypt failed");
    benchmark::DoNotOptimize(out);
  }
}
BENCHMARK(BM_PrivateDecrypt1024)->Unit(benchmark::kMicrosecond)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_Digest(benchmark::State& state) {
  const int32_t algorithm = static_cast<int32_t>(state.range(0));
  std::vector<uint8_t> data(1 << 20, 0xA7);
  uint8_t digest[20];
  uint32_t len = 0;
  for (auto _ : state) {
    Digest(algorithm, data.data(), data.size(), digest, &len);
    benchmark::DoNotOptimize(digest);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(data.size()));
}
BENCHMARK(BM_Digest)
    ->Arg(kCryptDigestMd2)
    ->Arg(kCryptDigestMd5)
    ->Arg(kCryptDigestSha1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

}  // namespace

BENCHMARK_MAIN();
