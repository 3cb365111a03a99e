// Small hand-made files for the codec tests. Corpus paths, reference
// decodes and pixel comparisons come from the test-support library.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/Image.h"
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

void PutU16LE(std::vector<uint8_t>& out, uint16_t v);
void PutU32LE(std::vector<uint8_t>& out, uint32_t v);

}  // namespace tessaro::test
