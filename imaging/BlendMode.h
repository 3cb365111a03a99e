// The blend modes a layer may carry, with their four-character keys in
// layered documents. The compositor (Blend.h) implements each of them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessaro {

enum class BlendMode {
  kPassThrough,  // groups only
  kNormal,
  kDissolve,
  kDarken,
  kMultiply,
  kColorBurn,
  kLinearBurn,
  kDarkerColor,
  kLighten,
  kScreen,
  kColorDodge,
  kLinearDodge,
  kLighterColor,
  kOverlay,
  kSoftLight,
  kHardLight,
  kVividLight,
  kLinearLight,
  kPinLight,
  kHardMix,
  kDifference,
  kExclusion,
  kSubtract,
  kDivide,
  kHue,
  kSaturation,
  kColor,
  kLuminosity,
};

// "norm", "mul ", ... as stored in a layer record; nothing for an unknown key.
std::optional<BlendMode> BlendModeFromKey(std::string_view key);
// The four-character key of a mode.
std::string_view BlendModeKey(BlendMode mode);
// A readable name ("normal", "soft light", ...).
std::string_view BlendModeName(BlendMode mode);

}  // namespace tessaro
