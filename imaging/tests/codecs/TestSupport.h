// Small hand-made files for the codec tests. Corpus paths, reference
// decodes and pixel comparisons come from the test-support library.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Status.h"
#include "imaging/Image.h"
#include "imaging/codecs/Codecs.h"
#include "testing/Corpus.h"
#include "testing/ImageDiff.h"
#include "testing/Reference.h"
#include "testing/RoundTrip.h"
#include "testing/TempFolder.h"

namespace tessaro::test {

Image MakeGradient(int width, int height, bool withAlpha = false);

// A PNG written with stored (uncompressed) deflate blocks: `rows` holds the
// filtered-type-0 scanline bytes without the filter byte.
std::vector<uint8_t> MakePng(
    int width, int height, int bitDepth, int colorType, const std::vector<std::vector<uint8_t>>& rows,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& extraChunks = {});

// A pixel a decoded picture must hold.
struct PixelAt {
  int x, y;
  Rgba8 color;
};
// Expects every listed pixel of `image`.
void ExpectPixels(const Image& image, std::initializer_list<PixelAt> pixels);

// Expects a failed decode whose message contains `words`; `name` tells the
// case in a failure.
void ExpectRefused(const Result<DecodedImage>& decoded, std::string_view words, std::string_view name);

// Decodes a file holding the one-row picture with red 10 then 200 and the
// orientation 6 (turn a quarter clockwise), and checks that the picture comes
// out upright: one column, 10 above 200.
void ExpectTurnedUpright(std::span<const uint8_t> file);

void PutU16LE(std::vector<uint8_t>& out, uint16_t v);
void PutU32LE(std::vector<uint8_t>& out, uint32_t v);

}  // namespace tessaro::test
