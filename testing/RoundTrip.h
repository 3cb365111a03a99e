// A generic encode-then-decode round trip: a picture written by one codec
// and read back must come back the same size and within a tolerance.
#pragma once

#include <gtest/gtest.h>

#include <type_traits>
#include <utility>

#include "testing/ImageDiff.h"

namespace tessaro::test {

struct RoundTripTolerance {
  int maxDiff = 0;      // largest channel difference allowed
  double minPsnr = 0;   // dB; 0 asks nothing
  DiffOptions compare;  // which pixels count
};

// `encode(image)` gives a Result of bytes; `decode(bytes)` gives a Result of
// an Image or of anything with an Image `pixels` member.
template <class Encode, class Decode>
::testing::AssertionResult RoundTrips(const Image& original, Encode&& encode, Decode&& decode,
                                      const RoundTripTolerance& tolerance = {}) {
  auto bytes = encode(original);
  if (!bytes.ok()) return ::testing::AssertionFailure() << "encoding failed: " << bytes.message();
  auto decoded = decode(*bytes);
  if (!decoded.ok()) return ::testing::AssertionFailure() << "decoding failed: " << decoded.message();
  const Image* pixels = nullptr;
  if constexpr (std::is_same_v<std::decay_t<decltype(*decoded)>, Image>) {
    pixels = &*decoded;
  } else {
    pixels = &decoded->pixels;
  }
  const ImageDifference d = Difference(original, *pixels, tolerance.compare);
  if (!d.sameSize)
    return ::testing::AssertionFailure() << "came back " << pixels->width() << "x" << pixels->height()
                                         << ", not " << original.width() << "x" << original.height();
  if (d.maxDiff > tolerance.maxDiff || d.psnr < tolerance.minPsnr)
    return ::testing::AssertionFailure() << "differs by " << d << ", allowed max " << tolerance.maxDiff
                                         << " and psnr " << tolerance.minPsnr;
  return ::testing::AssertionSuccess() << d;
}

}  // namespace tessaro::test
