#include "imaging/BlendMode.h"

#include <array>

namespace tessaro {

namespace {
struct Entry {
  BlendMode mode;
  std::string_view key;
  std::string_view name;
};
constexpr std::array<Entry, 28> kModes{{
    {BlendMode::kPassThrough, "pass", "pass through"},
    {BlendMode::kNormal, "norm", "normal"},
    {BlendMode::kDissolve, "diss", "dissolve"},
    {BlendMode::kDarken, "dark", "darken"},
    {BlendMode::kMultiply, "mul ", "multiply"},
    {BlendMode::kColorBurn, "idiv", "color burn"},
    {BlendMode::kLinearBurn, "lbrn", "linear burn"},
    {BlendMode::kDarkerColor, "dkCl", "darker color"},
    {BlendMode::kLighten, "lite", "lighten"},
    {BlendMode::kScreen, "scrn", "screen"},
    {BlendMode::kColorDodge, "div ", "color dodge"},
    {BlendMode::kLinearDodge, "lddg", "linear dodge"},
    {BlendMode::kLighterColor, "lgCl", "lighter color"},
    {BlendMode::kOverlay, "over", "overlay"},
    {BlendMode::kSoftLight, "sLit", "soft light"},
    {BlendMode::kHardLight, "hLit", "hard light"},
    {BlendMode::kVividLight, "vLit", "vivid light"},
    {BlendMode::kLinearLight, "lLit", "linear light"},
    {BlendMode::kPinLight, "pLit", "pin light"},
    {BlendMode::kHardMix, "hMix", "hard mix"},
    {BlendMode::kDifference, "diff", "difference"},
    {BlendMode::kExclusion, "smud", "exclusion"},
    {BlendMode::kSubtract, "fsub", "subtract"},
    {BlendMode::kDivide, "fdiv", "divide"},
    {BlendMode::kHue, "hue ", "hue"},
    {BlendMode::kSaturation, "sat ", "saturation"},
    {BlendMode::kColor, "colr", "color"},
    {BlendMode::kLuminosity, "lum ", "luminosity"},
}};
}  // namespace

std::optional<BlendMode> BlendModeFromKey(std::string_view key) {
  for (const Entry& e : kModes)
    if (e.key == key) return e.mode;
  return std::nullopt;
}

std::string_view BlendModeKey(BlendMode mode) {
  for (const Entry& e : kModes)
    if (e.mode == mode) return e.key;
  return "norm";
}

std::string_view BlendModeName(BlendMode mode) {
  for (const Entry& e : kModes)
    if (e.mode == mode) return e.name;
  return "normal";
}

}  // namespace tessaro
