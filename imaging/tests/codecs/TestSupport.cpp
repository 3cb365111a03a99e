#include "imaging/tests/codecs/TestSupport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "imaging/codecs/Codecs.h"

namespace tessaro::test {

void ExpectPixels(const Image& image, std::initializer_list<PixelAt> pixels) {
  for (const PixelAt& p : pixels) EXPECT_EQ(image.At(p.x, p.y), p.color) << "at " << p.x << ", " << p.y;
}

void ExpectRefused(const Result<DecodedImage>& decoded, std::string_view words, std::string_view name) {
  ASSERT_FALSE(decoded.ok()) << name;
  EXPECT_NE(decoded.message().find(words), std::string::npos) << name << ": " << decoded.message();
}

void ExpectTurnedUpright(std::span<const uint8_t> file) {
  Result<DecodedImage> d = DecodeImage(file);
  ASSERT_TRUE(d.ok()) << d.message();
  EXPECT_EQ(d->info.orientation, 6);
  ASSERT_EQ(d->pixels.width(), 1);
  ASSERT_EQ(d->pixels.height(), 2);
  EXPECT_EQ(d->pixels.At(0, 0).r, 10);
  EXPECT_EQ(d->pixels.At(0, 1).r, 200);
}

Image MakeGradient(int width, int height, bool withAlpha) {
  Image image;
  image.Create(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.At(x, y) =
          Rgba8{uint8_t(x * 255 / std::max(1, width - 1)), uint8_t(y * 255 / std::max(1, height - 1)),
                uint8_t((x + y) * 127 / std::max(1, width + height - 2) + 64),
                withAlpha ? uint8_t((x * 7 + y * 13) % 256) : uint8_t(255)};
  return image;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutU32BE(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

void Chunk(std::vector<uint8_t>& out, const std::string& type, const std::vector<uint8_t>& data) {
  PutU32BE(out, uint32_t(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  PutU32BE(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<uint8_t> MakePng(int width, int height, int bitDepth, int colorType,
                             const std::vector<std::vector<uint8_t>>& rows,
                             const std::vector<std::pair<std::string, std::vector<uint8_t>>>& extraChunks) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  PutU32BE(ihdr, uint32_t(width));
  PutU32BE(ihdr, uint32_t(height));
  ihdr.insert(ihdr.end(), {uint8_t(bitDepth), uint8_t(colorType), 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  for (auto& [type, data] : extraChunks) Chunk(out, type, data);
  std::vector<uint8_t> raw;
  for (auto& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  // zlib stream of stored blocks.
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(uint8_t(n));
    z.push_back(uint8_t(n >> 8));
    z.push_back(uint8_t(~n));
    z.push_back(uint8_t(~n >> 8));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutU32BE(z, b << 16 | a);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return out;
}

void PutU16LE(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void PutU32LE(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace tessaro::test
