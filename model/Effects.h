// The catalogue of photo effect kinds a template slot may carry: for each
// kind its number, its name, and its parameters in stored order with the
// range the authoring tool accepts. The composition engine applies exactly
// these kinds; any other kind number in a package is passed over. Pure data;
// thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tessaro {

// One parameter of an effect kind.
struct TEffectParamSpec {
  const char* Name;
  // The accepted range, inclusive. Min > Max: any value is accepted (the
  // parameter is not read, or every value has a defined meaning).
  double Min, Max;
  bool Whole;  // passed to the editor as an integer (rounded half to even)
};

struct TEffectKindSpec {
  int32_t Kind;
  const char* Name;
  std::span<const TEffectParamSpec> Params;
};

// Effect kind numbers as stored in package descriptors.
inline constexpr int32_t kEffectBlend = 0;                // blend mode and opacity
inline constexpr int32_t kEffectColorFill = 5;            // colour overlay layer effect
inline constexpr int32_t kEffectLevels = 7;               // levels on one or all colour channels
inline constexpr int32_t kEffectBrightnessContrast = 10;  // legacy brightness/contrast
inline constexpr int32_t kEffectHueSaturation = 11;       // fixed hue/saturation/lightness shift
inline constexpr int32_t kEffectChannelMixer = 12;        // channel mixer, optionally monochrome

// Every known kind in ascending kind order.
std::span<const TEffectKindSpec> EffectKinds();
// The entry of a kind, or null for a kind outside the catalogue.
const TEffectKindSpec* FindEffectKind(int32_t kind);
// Number of parameters of a kind, or -1 for an unknown kind.
int EffectParamCount(int32_t kind);

}  // namespace tessaro
