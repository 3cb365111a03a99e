// Fuzz entry point of the layered-document reader: probe, then read
// everything. Any input must give a value, never a crash or an over-read.
// A small document is read a second time keeping alpha channels cropped and
// one-colour layers as their colour: it must hold the same channels and
// layers as the plain read, and both must be writable again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "imaging/psd/Psd.h"

namespace {

// The channel's value at a document pixel, whether it is stored whole or
// cropped to its non-zero box.
uint8_t ChannelAt(const tessaro::PsdAlphaChannel& channel, int x, int y) {
  const tessaro::IntRect& b = channel.bounds;
  if (b.Empty() && channel.pixels.width() > 0) return channel.pixels.Row(y)[x];
  if (x < b.left || x >= b.right || y < b.top || y >= b.bottom) return 0;
  return channel.pixels.Row(y - b.top)[x - b.left];
}

void CheckCompactReadAgrees(std::span<const uint8_t> bytes, const tessaro::PsdDocument& plain) {
  tessaro::PsdReadOptions options;
  options.cropAlphaChannels = true;
  options.fillLayers = true;
  auto compact = tessaro::ReadPsd(bytes, options);
  if (!compact.ok()) return;  // it may decline what the plain read took, never crash
  if (compact->alphaChannels.size() != plain.alphaChannels.size() ||
      compact->layers.size() != plain.layers.size())
    std::abort();
  for (size_t i = 0; i < plain.alphaChannels.size(); ++i)
    for (int y = 0; y < plain.height; ++y)
      for (int x = 0; x < plain.width; ++x)
        if (ChannelAt(plain.alphaChannels[i], x, y) != ChannelAt(compact->alphaChannels[i], x, y))
          std::abort();
  (void)tessaro::WritePsd(*compact);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  (void)tessaro::ProbePsd(bytes);
  auto doc = tessaro::ReadPsd(bytes);
  if (doc.ok() && doc->width <= 256 && doc->height <= 256) {
    // What was read must be writable again.
    (void)tessaro::WritePsd(*doc);
    CheckCompactReadAgrees(bytes, *doc);
  }
  return 0;
}
