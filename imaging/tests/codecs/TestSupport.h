// Helpers shared by the codec tests: corpus paths, reference decodes by
// ImageMagick (when installed), pixel comparisons and small hand-made files.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "imaging/Image.h"

namespace tessaro::test {

std::string CorpusPath(const std::string& relative);
bool CorpusAvailable();
std::vector<std::string> CorpusFiles(const std::string& folder);  // recursive, sorted, relative paths
std::vector<uint8_t> ReadBytes(const std::string& path);

// /usr/bin/convert when it is installed, else empty.
std::string ImageMagick();
// The first frame of `path` as 8-bit RGBA decoded by ImageMagick, with no
// orientation or colour profile applied; nullopt when ImageMagick is missing
// or refuses the file. `cmyk`: convert CMYK to RGB by the plain formula;
// `wholeCanvas`: draw the frame on its logical screen (GIF).
std::optional<Image> ReferenceDecode(const std::string& path, bool cmyk = false, bool wholeCanvas = false);

struct Difference {
  int maxChannel = 0;  // largest difference of any channel (alpha included)
  double psnr = 0;     // over R, G, B, A; infinity when equal
  bool sameSize = false;
};
// Colour of fully transparent pixels is ignored (it has no meaning).
Difference Compare(const Image& a, const Image& b);

Image MakeGradient(int width, int height, bool withAlpha = false);

// A PNG written with stored (uncompressed) deflate blocks: `rows` holds the
// filtered-type-0 scanline bytes without the filter byte.
std::vector<uint8_t> MakePng(
    int width, int height, int bitDepth, int colorType, const std::vector<std::vector<uint8_t>>& rows,
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& extraChunks = {});

void PutU16LE(std::vector<uint8_t>& out, uint16_t v);
void PutU32LE(std::vector<uint8_t>& out, uint32_t v);

}  // namespace tessaro::test
