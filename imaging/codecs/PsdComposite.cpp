// The layered-document row of the format registry: PSD, PSB and PDD files
// read for their merged picture through imaging/psd, and a picture written
// as a document of one layer. Known by the "8BPS" signature whatever the
// file's name.
#include <algorithm>
#include <new>

#include "base/FileIo.h"
#include "imaging/codecs/Registry.h"
#include "imaging/ops/ColorManagement.h"
#include "imaging/psd/Psd.h"

namespace tessaro::codecs {
namespace {

// Layer records sit near the start; a probe reads a generous head first and
// the whole file only when the head does not hold them.
constexpr uint64_t kProbeHead = 4 << 20;

ImageInfo InfoFromPsd(const PsdInfo& psd) {
  ImageInfo info;
  info.format = ImageFormat::kPsd;
  info.width = psd.width;
  info.height = psd.height;
  info.xPpi = info.yPpi = psd.resolution;
  info.bitsPerChannel = psd.depth;
  info.channels = psd.channels;
  info.colorMode = PsdColorModeName(psd.colorMode);
  // Saved selections are not transparency; only the merged-transparency
  // plane makes the decoded picture non-opaque.
  info.hasAlpha = psd.hasMergedTransparency;
  return info;
}

}  // namespace

bool SniffPsd(const SniffInput& input) { return HeadStartsWith(input.head, {'8', 'B', 'P', 'S'}); }

Result<ImageInfo> ProbePsdComposite(ByteSource& source) {
  if (std::span<const uint8_t> bytes = source.InMemory(); !bytes.empty()) {
    Result<PsdInfo> psd = ProbePsd(bytes);
    if (!psd.ok()) return psd.status();
    return InfoFromPsd(*psd);
  }
  std::vector<uint8_t> bytes;
  try {
    if (!source.Read(0, size_t(std::min(kProbeHead, source.Size())), bytes))
      return Status::Error("cannot read the file");
    Result<PsdInfo> psd = ProbePsd(bytes);
    if (!psd.ok() && source.Size() > kProbeHead) {
      if (source.Size() > kDefaultReadCap) return Status::Error("file too large");
      if (!source.Read(0, size_t(source.Size()), bytes)) return Status::Error("cannot read the file");
      psd = ProbePsd(bytes);
    }
    if (!psd.ok()) return psd.status();
    return InfoFromPsd(*psd);
  } catch (const std::bad_alloc&) {
    return Status::Error("out of memory");
  }
}

Result<DecodedImage> DecodePsdComposite(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  PsdReadOptions read;
  read.layers = false;
  read.alphaChannels = false;
  read.composite = true;
  read.maxPixels = PixelCap(options);
  Result<PsdDocument> doc = ReadPsd(bytes, read);
  if (!doc.ok()) return doc.status();
  DecodedImage out;
  ImageInfo& info = out.info;
  info.format = ImageFormat::kPsd;
  info.width = doc->width;
  info.height = doc->height;
  info.xPpi = info.yPpi = doc->resolution;
  info.bitsPerChannel = doc->depth;
  info.colorMode = PsdColorModeName(doc->colorMode);
  // Multichannel documents have no fixed colour channels: all are extra.
  info.channels = PsdColorChannelCount(doc->colorMode, 0, 0) + (doc->hasMergedTransparency ? 1 : 0);
  info.hasAlpha = doc->hasMergedTransparency;
  info.hasIcc = !doc->iccProfile.empty();
  out.pixels = std::move(doc->composite);
  if (out.pixels.empty()) return Status::Error("layered document has no merged image");
  if (options.convertToSrgb && info.hasIcc &&
      (doc->colorMode == PsdColorMode::kRgb || doc->colorMode == PsdColorMode::kGrayscale)) {
    ColorSource source;
    source.icc = doc->iccProfile;
    ConvertToSrgb(out.pixels, source,
                  doc->colorMode == PsdColorMode::kRgb ? PixelLayout::kRgba : PixelLayout::kGrayInRgba);
  }
  return out;
}

// One layer and the merged image.
Result<std::vector<uint8_t>> EncodePsdOneLayer(const Image& image, const WriteImageOptions& options) {
  PsdDocument doc;
  doc.width = image.width();
  doc.height = image.height();
  doc.resolution = options.ppi > 0 ? options.ppi : 72;
  PsdLayer layer;
  layer.name = options.layerName.empty() ? "Layer 1" : options.layerName;
  layer.bounds = IntRect{0, 0, image.width(), image.height()};
  layer.pixels = image.Clone();
  if (layer.pixels.empty()) return Status::Error("out of memory");
  doc.layers.push_back(std::move(layer));
  doc.composite = image.Clone();
  if (doc.composite.empty()) return Status::Error("out of memory");
  doc.hasMergedTransparency = AnyTransparent(image);
  return WritePsd(doc);
}

Status WritePsdOneLayer(const std::string& path, const Image& image, const WriteImageOptions& options) {
  return WriteSingleLayerPsdFile(path, image, options.layerName, options.ppi);
}

}  // namespace tessaro::codecs
