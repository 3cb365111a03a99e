// Procedural photo-like pictures: landscapes at different times of day with
// skies, sun, clouds, layered hills or mountains, water reflections, flowers,
// bokeh lights and silhouettes of people, and cut-out subjects on
// transparency. They stand in for customers' photos: as placeholder pictures
// in a template's Sample.jpg and as the demo photos. Everything is drawn from
// a seed, so the same arguments always give the same pixels.
//
// Thread-safety: pure functions; large pictures are painted on the
// process-wide pool.
#pragma once

#include <cstdint>

#include "imaging/Image.h"

namespace tessaro::authoring {

enum class TSceneKind {
  kSunsetHills,    // warm evening sky, sun at the horizon, rolling hills, a walking couple
  kMountainLake,   // morning mountains mirrored in a still lake
  kBeach,          // sea and sand under a blue sky, a child at the water line
  kMeadowFlowers,  // a meadow of flowers below soft hills
  kBokehPortrait,  // a person in front of blurred evening lights
  kCityDusk,       // a skyline with lit windows at dusk over a river
  kSnowForest,     // a snowy slope with pine trees
  kDesertDunes,    // dunes in low sun
  kAurora,         // a starry night with northern lights over a lake
  kForestPath,     // green hills, trees and a path in hazy light
};
inline constexpr int kSceneKindCount = 10;

// A w x h opaque picture of the scene. Fails only when the buffer cannot be
// made.
Image PaintScene(TSceneKind kind, int width, int height, uint32_t seed);

enum class TCutoutKind {
  kChild,     // a child holding a balloon
  kCouple,    // two people side by side
  kBalloons,  // a bunch of balloons on strings
};

// A subject on a transparent background (soft, anti-aliased edges).
Image PaintCutout(TCutoutKind kind, int width, int height, uint32_t seed);

}  // namespace tessaro::authoring
