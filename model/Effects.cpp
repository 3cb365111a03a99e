#include "model/Effects.h"

#include <array>

namespace tessaro {

namespace {

constexpr double kAny = 1, kNone = 0;  // Min > Max: any value

constexpr TEffectParamSpec kBlendParams[] = {{"blend selector", kAny, kNone, true},
                                             {"opacity", 0, 100, false}};
constexpr TEffectParamSpec kColorFillParams[] = {{"blend selector", 0, 2, true},
                                                 {"red", 0, 255, true},
                                                 {"green", 0, 255, true},
                                                 {"blue", 0, 255, true},
                                                 {"scale", 1, 1000, true}};
constexpr TEffectParamSpec kLevelsParams[] = {{"channel", 0, 3, true},        {"input start", 0, 253, true},
                                              {"gamma", 0.1, 9.99, false},    {"input end", 2, 255, true},
                                              {"output start", 0, 255, true}, {"output end", 0, 255, true},
                                              {"opacity", 0, 100, true}};
constexpr TEffectParamSpec kBrightnessContrastParams[] = {
    {"brightness", -100, 100, true}, {"contrast", -50, 100, true}, {"opacity", 0, 100, true}};
constexpr TEffectParamSpec kHueSaturationParams[] = {{"unused value", kAny, kNone, false},
                                                     {"unused value", kAny, kNone, false},
                                                     {"unused value", kAny, kNone, false},
                                                     {"opacity", 0, 100, false}};
constexpr TEffectParamSpec kMixerParams[] = {
    {"mixer value", -200, 200, true},  {"mixer value", -200, 200, true}, {"mixer value", -200, 200, true},
    {"mixer value", -200, 200, true},  {"mixer value", -200, 200, true}, {"mixer value", -200, 200, true},
    {"mixer value", -200, 200, true},  {"mixer value", -200, 200, true}, {"mixer value", -200, 200, true},
    {"mixer value", -200, 200, true},  {"mixer value", -200, 200, true}, {"mixer value", -200, 200, true},
    {"monochrome switch", 0, 1, true}, {"opacity", 0, 100, false}};

constexpr std::array<TEffectKindSpec, 6> kKinds = {{
    {kEffectBlend, "blend", kBlendParams},
    {kEffectColorFill, "colour fill", kColorFillParams},
    {kEffectLevels, "levels", kLevelsParams},
    {kEffectBrightnessContrast, "brightness/contrast", kBrightnessContrastParams},
    {kEffectHueSaturation, "hue/saturation", kHueSaturationParams},
    {kEffectChannelMixer, "channel mixer", kMixerParams},
}};

}  // namespace

std::span<const TEffectKindSpec> EffectKinds() { return kKinds; }

const TEffectKindSpec* FindEffectKind(int32_t kind) {
  for (const TEffectKindSpec& spec : kKinds)
    if (spec.Kind == kind) return &spec;
  return nullptr;
}

int EffectParamCount(int32_t kind) {
  const TEffectKindSpec* spec = FindEffectKind(kind);
  return spec ? static_cast<int>(spec->Params.size()) : -1;
}

}  // namespace tessaro
