// The layered-document reader over the third-party corpus: every file reads
// or is refused cleanly, the facts measured on the files (sizes, modes, layer
// records and names, alpha-channel names, merged transparency) come out, and
// the merged picture matches ImageMagick's decode within a stated tolerance.
#include <gtest/gtest.h>
#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "base/FileIo.h"
#include "imaging/psd/Psd.h"
#include "imaging/tests/psd/PsdTestUtil.h"

namespace tessaro {
namespace {

// Declares `doc`, the corpus document at `path` as the reader reads it: the
// test is skipped (or fails where the corpus is required) when the file is
// missing, and fails when the reader refuses it.
#define READ_CORPUS_PSD(doc, path)                     \
  auto doc##Bytes = Load(path);                        \
  if (!doc##Bytes.ok()) TESSARO_CORPUS_MISSING("psd"); \
  auto doc = ReadPsd(*doc##Bytes);                     \
  ASSERT_TRUE(doc.ok()) << (path) << ": " << doc.message()

// The layered documents sit in the corpus's psd folder.
std::string CorpusPath(const std::string& relative) { return test::CorpusPath("psd/" + relative); }

struct CorpusFact {
  const char* path;
  bool psb;
  int width, height;
  PsdColorMode mode;
  int depth;
  int layerRecords;
  std::vector<std::string> someLayerNames;
  std::vector<std::string> alphaNames;  // saved selections and spot channels, not the merged transparency
  bool mergedTransparency;
};

// From the corpus manifest (measured there with an independent reader).
const std::vector<CorpusFact>& Facts() {
  static const std::vector<CorpusFact> facts = {
      // clang-format off
      {"alpha/ps8_rgb_1layer_transparency_alpha1_cat.psd", false, 28, 19, PsdColorMode::kRgb, 8, 1, {"frame 17"}, {"Alpha 1"}, true},
      {"alpha/ps8_rgb_1layer_mask_transparency_alpha1.psd", false, 28, 19, PsdColorMode::kRgb, 8, 1, {"frame 17"}, {"Alpha 1"}, true},
      {"alpha/ps8_rgb_nolayers_alpha1.psd", false, 100, 100, PsdColorMode::kRgb, 8, 0, {}, {"Alpha 1"}, false},
      {"alpha/ps8_rgb_background_plus_layer_alpha1.psd", false, 100, 100, PsdColorMode::kRgb, 8, 2, {"Background", "Layer 1"}, {"Alpha 1"}, false},
      {"alpha/ps8_rgb_4x4_alpha1_raw.psd", false, 4, 4, PsdColorMode::kRgb, 8, 2, {"Layer 1", "Gradient Fill 1"}, {"Alpha 1"}, false},
      {"alpha/ps8_rgb_shape_transparency_alpha1_fr.psd", false, 65, 39, PsdColorMode::kRgb, 8, 1, {"Forme 783"}, {"Alpha 1"}, true},
      {"alpha/ps8_cmyk_spot_plus_alpha1_nolayers.psd", false, 3300, 5100, PsdColorMode::kCmyk, 8, 0, {}, {"light teal", "Alpha 1"}, false},
      {"alpha/ps16_multichannel_3alphas_4x4.psd", false, 4, 4, PsdColorMode::kMultichannel, 16, 0, {}, {"Alpha 1", "Alpha 2", "Alpha 3"}, false},
      {"alpha/ps8_gray_69layers_alpha1.psd", false, 400, 188, PsdColorMode::kGrayscale, 8, 69, {"MonzaSP1_DawnShot_V1_v002_ED.effectsResu", "MonzaSP1_DawnShot_V1_v002_ED.VRayCaustic", "MonzaSP1_DawnShot_V1_v002_ED.VRayAO", "MonzaSP1_DawnShot_V1_v002_ED.Glare", "MonzaSP1_DawnShot_V1_v002_ED.BaseAOV"}, {"Alpha 1"}, false},
      {"alpha/ps16_gray_69layers_alpha1.psd", false, 400, 188, PsdColorMode::kGrayscale, 16, 69, {"MonzaSP1_DawnShot_V1_v002_ED.effectsResu", "MonzaSP1_DawnShot_V1_v002_ED.VRayCaustic", "MonzaSP1_DawnShot_V1_v002_ED.VRayAO", "MonzaSP1_DawnShot_V1_v002_ED.Glare", "MonzaSP1_DawnShot_V1_v002_ED.BaseAOV"}, {"Alpha 1"}, false},
      {"alpha/ps8_cmyk_69layers_alpha1.psd", false, 400, 188, PsdColorMode::kCmyk, 8, 69, {"MonzaSP1_DawnShot_V1_v002_ED.effectsResu", "MonzaSP1_DawnShot_V1_v002_ED.VRayCaustic", "MonzaSP1_DawnShot_V1_v002_ED.VRayAO", "MonzaSP1_DawnShot_V1_v002_ED.Glare", "MonzaSP1_DawnShot_V1_v002_ED.BaseAOV"}, {"Alpha 1"}, false},
      {"alpha/ps16_rgb_69layers_transparency_alpha1.psb", true, 400, 188, PsdColorMode::kRgb, 16, 69, {"MonzaSP1_DawnShot_V1_v002_ED.effectsResu", "MonzaSP1_DawnShot_V1_v002_ED.VRayCaustic", "MonzaSP1_DawnShot_V1_v002_ED.VRayAO", "MonzaSP1_DawnShot_V1_v002_ED.Glare", "MonzaSP1_DawnShot_V1_v002_ED.BaseAOV"}, {"Alpha 1"}, true},
      {"alpha/ps8_rgb_zh_transparency_hidden_bg.psd", false, 200, 200, PsdColorMode::kRgb, 8, 2, {"背景", "椭圆 1"}, {}, true},
      {"alpha/ps8_rgb_ja_transparency_1layer.psb", true, 100, 100, PsdColorMode::kRgb, 8, 1, {"test"}, {}, true},
      {"alpha/ps8_rgb_ru_transparency_overlay_1x1.psd", false, 1, 1, PsdColorMode::kRgb, 8, 2, {"Bottom Layer", "Top Layer"}, {}, true},
      {"layers/ps8_rgb_groups_hidden_opacity.psd", false, 300, 200, PsdColorMode::kRgb, 8, 7, {"Layer 0", "Layer 3", "Layer 1"}, {}, true},
      {"layers/ps8_rgb_18layers_nested_groups_masks.psd", false, 64, 64, PsdColorMode::kRgb, 8, 18, {"GroupedLayer", "NestedGroupedLayer", "BlackLayer", "SingleNestedGroupedLayer"}, {}, false},
      {"layers/ps8_rgb_1x1_deeply_nested_groups.psd", false, 1, 1, PsdColorMode::kRgb, 8, 22, {"Layer1 (#ff)", "Layer10 (#00)"}, {}, false},
      {"layers/ps8_rgb_masks_pixel_vector_disabled.psd", false, 64, 64, PsdColorMode::kRgb, 8, 7, {"NoMask", "Pixel(User)Mask", "Pixel(User)MaskDisabled", "Pixel&VectorMask", "VectorMask", "VectorMaskDisabled"}, {}, false},
      {"layers/ps8_rgb_layer_mask.psd", false, 200, 200, PsdColorMode::kRgb, 8, 1, {"Layer 1"}, {}, true},
      {"layers/ps8_rgb_mask_offcanvas_cs5.psd", false, 200, 200, PsdColorMode::kRgb, 8, 2, {"0", "Rectangle 1"}, {}, false},
      {"layers/ps8_rgb_mask_disabled_cs3.psd", false, 100, 150, PsdColorMode::kRgb, 8, 3, {"Background", "Background copy", "Shape 1"}, {}, false},
      {"layers/ps8_rgb_hidden_layer_cs3.psd", false, 100, 150, PsdColorMode::kRgb, 8, 3, {"Background", "Shape 1", "Shape 2"}, {}, false},
      {"layers/ps8_rgb_hidden_groups_cs3.psd", false, 100, 200, PsdColorMode::kRgb, 8, 7, {"Background", "Shape 1", "Shape 2"}, {}, false},
      {"layers/ps8_rgb_clipping_masks.psd", false, 128, 128, PsdColorMode::kRgb, 8, 7, {"Layer 0", "Layer 3", "clipping_nested", "Layer 1", "clipping_toplevel"}, {}, false},
      {"layers/ps8_rgb_layer_larger_than_canvas.psd", false, 48, 58, PsdColorMode::kRgb, 8, 1, {"bg"}, {}, false},
      {"layers/ps8_rgb_negative_top_left_layer_1x1.psd", false, 1, 1, PsdColorMode::kRgb, 8, 1, {"red"}, {}, false},
      {"layers/ps8_rgb_3x3_layer_smaller_than_canvas.psd", false, 3, 3, PsdColorMode::kRgb, 8, 1, {"OpaqueCenter"}, {}, true},
      {"layers/ps8_rgb_rle_3layers_8x8.psd", false, 8, 8, PsdColorMode::kRgb, 8, 3, {"Red Layer", "Green Layer", "Blue Layer"}, {}, false},
      {"layers/ps8_rgb_transparent_top_layer_2x1.psd", false, 2, 1, PsdColorMode::kRgb, 8, 3, {"Red Layer", "Green Layer", "Blue Layer"}, {}, false},
      {"layers/ps8_rgb_text_layers_123_cs51.psd", false, 257, 126, PsdColorMode::kRgb, 8, 3, {"1", "2", "3"}, {}, true},
      {"layers/ps8_rgb_text_layers_123_nomaxcompat_cs51.psd", false, 257, 126, PsdColorMode::kRgb, 8, 3, {"1", "2", "3"}, {}, false},
      {"layers/ps8_rgb_1layer_maxcompat_off.psd", false, 64, 64, PsdColorMode::kRgb, 8, 1, {"Layer 0"}, {}, false},
      {"layers/ps8_rgb_smartobject_layer.psd", false, 32, 32, PsdColorMode::kRgb, 8, 1, {"Smart object"}, {}, false},
      {"layers/ps8_rgb_type_layer.psd", false, 32, 32, PsdColorMode::kRgb, 8, 1, {"A"}, {}, false},
      {"layers/ps8_rgb_adjustment_layer_mask.psd", false, 512, 512, PsdColorMode::kRgb, 8, 2, {"Background", "Brightness/Contrast 1"}, {}, false},
      {"layers/ps8_rgb_ko_16layers_groups_text.psd", false, 400, 800, PsdColorMode::kRgb, 8, 16, {"배경", "Overflow Horizontal", "Overflow Vertical", "Layer 1", "Layer 2", "Layer 3 + shadow"}, {}, false},
      {"blend/ps8_rgb_blend_normal.psd", false, 64, 64, PsdColorMode::kRgb, 8, 3, {"Ellipse 1", "Ellipse 2", "Ellipse 3"}, {}, true},
      {"blend/ps8_rgb_blend_overlay.psd", false, 64, 64, PsdColorMode::kRgb, 8, 3, {"Ellipse 1", "Ellipse 2", "Ellipse 3"}, {}, true},
      {"blend/ps8_rgb_blend_soft_light.psd", false, 64, 64, PsdColorMode::kRgb, 8, 3, {"Ellipse 1", "Ellipse 2", "Ellipse 3"}, {}, true},
      {"blend/ps8_rgb_blend_color.psd", false, 64, 64, PsdColorMode::kRgb, 8, 3, {"Ellipse 1", "Ellipse 2", "Ellipse 3"}, {}, true},
      {"blend/ps8_rgb_blend_multiply.psd", false, 64, 64, PsdColorMode::kRgb, 8, 3, {"Ellipse 1", "Ellipse 2", "Ellipse 3"}, {}, true},
      {"blend/ps8_rgb_all_blend_modes_29layers.psd", false, 600, 500, PsdColorMode::kRgb, 8, 29, {"Background", "base", "normal", "dissolve", "darken", "multiply"}, {}, false},
      {"blend/ps8_rgb_1x1_soft_light_ru.psd", false, 1, 1, PsdColorMode::kRgb, 8, 2, {"Bottom Layer", "Top Layer"}, {}, true},
      {"names/ps8_rgb_zh_gbk_pascal_names.psd", false, 800, 800, PsdColorMode::kRgb, 8, 2, {"背景", "多边形 1"}, {}, false},
      {"names/ps8_rgb_zh_layer_name_1x1.psd", false, 1, 1, PsdColorMode::kRgb, 8, 1, {"圆角矩形"}, {}, false},
      {"names/ps8_rgb_unicode_long_names.psd", false, 32, 32, PsdColorMode::kRgb, 8, 5, {"UnicodeNameäää", "äüöUnicodeNameOverflowPascalString------", "请问可以修改psd 的画板尺寸吗"}, {}, false},
      {"names/ps8_rgb_emoji_layer_name_4x4.psd", false, 4, 4, PsdColorMode::kRgb, 8, 1, {"👽"}, {}, false},
      {"names/ps8_rgb_polish_cjk_layer_name.psd", false, 300, 200, PsdColorMode::kRgb, 8, 1, {"ść猫"}, {}, true},
      {"names/ps8_rgb_ru_name_shiftjis_pascal.psd", false, 101, 55, PsdColorMode::kRgb, 8, 1, {"Фон"}, {}, false},
      {"modes/ps16_rgb_layer_beyond_canvas.psd", false, 500, 500, PsdColorMode::kRgb, 16, 1, {"Layer 1"}, {}, false},
      {"modes/ps16_rgb_18layers_groups.psd", false, 64, 64, PsdColorMode::kRgb, 16, 18, {"GroupedLayer", "NestedGroupedLayer", "BlackLayer", "SingleNestedGroupedLayer"}, {}, false},
      {"modes/ps16_rgb_nolayers_raw.psd", false, 320, 240, PsdColorMode::kRgb, 16, 0, {}, {}, false},
      {"modes/ps16_rgb_5x5_3layers_cs3.psd", false, 5, 5, PsdColorMode::kRgb, 16, 3, {"Background", "Background copy", "Background copy 2"}, {}, false},
      {"modes/ps32_rgb_1layer.psd", false, 64, 64, PsdColorMode::kRgb, 32, 1, {"Layer 0"}, {}, false},
      {"modes/ps8_gray_2layers.psd", false, 300, 200, PsdColorMode::kGrayscale, 8, 2, {"Background", "Layer 1"}, {}, false},
      {"modes/ps8_gray_1layer_transparency.psd", false, 300, 200, PsdColorMode::kGrayscale, 8, 1, {"Layer 0"}, {}, true},
      {"modes/ps8_cmyk_2layers.psd", false, 200, 200, PsdColorMode::kCmyk, 8, 2, {"Background", "Layer 1"}, {}, false},
      {"modes/ps8_rgb_nolayers_100x100.psd", false, 100, 100, PsdColorMode::kRgb, 8, 0, {}, {}, false},
      {"modes/ps8_rgb_nolayers_320x240.psd", false, 320, 240, PsdColorMode::kRgb, 8, 0, {}, {}, false},
      {"modes/ps8_indexed_transparent_nolayers.psd", false, 320, 240, PsdColorMode::kIndexed, 8, 0, {}, {}, false},
      {"modes/ps1_bitmap_nolayers.psd", false, 320, 240, PsdColorMode::kBitmap, 1, 0, {}, {}, false},
      {"modes/ps8_lab_4x4.psd", false, 4, 4, PsdColorMode::kLab, 8, 2, {"Layer 1", "Gradient Fill 1"}, {}, false},
      {"modes/ps8_duotone_4x4.psd", false, 4, 4, PsdColorMode::kDuotone, 8, 2, {"Layer 1", "Gradient Fill 1"}, {}, false},
      {"modes/ps8_rgb_raw_layers_rle_composite.psd", false, 64, 64, PsdColorMode::kRgb, 8, 1, {"Layer 1"}, {}, false},
      {"modes/ps8_rgb_rle_5layers.psd", false, 64, 64, PsdColorMode::kRgb, 8, 5, {"LayerRed", "LayerGreen", "LayerBlue", "LayerFirstRowRed", "Layer_R255_G128_B0"}, {}, false},
      {"modes/ps8_rgb_raw_composite_groups.psd", false, 32, 32, PsdColorMode::kRgb, 8, 11, {"Color Fill 1", "Layer 1", "Layer 1 copy", "Layer 1 copy", "Layer 1 copy"}, {}, true},
      {"modes/ps8_rgb_a4_300dpi_zh_3508x4960.psd", false, 3508, 4960, PsdColorMode::kRgb, 8, 2, {"背景", "颜色填充 1"}, {}, false},
      {"psb/ps8_rgb_rle_5layers.psb", true, 64, 64, PsdColorMode::kRgb, 8, 5, {"LayerRed", "LayerGreen", "LayerBlue", "LayerFirstRowRed", "Layer_R255_G128_B0"}, {}, false},
      {"psb/ps8_rgb_raw_composite.psb", true, 64, 64, PsdColorMode::kRgb, 8, 1, {"Layer 1"}, {}, false},
      {"psb/ps8_rgb_18layers_groups.psb", true, 64, 64, PsdColorMode::kRgb, 8, 18, {"GroupedLayer", "NestedGroupedLayer", "BlackLayer", "SingleNestedGroupedLayer"}, {}, false},
      {"psb/ps8_rgb_2layers.psb", true, 413, 413, PsdColorMode::kRgb, 8, 2, {"Rectangle 1", "Layer 1"}, {}, false},
      {"other_writers/gimp_rgba_1layer_ru.psd", false, 40, 40, PsdColorMode::kRgb, 8, 1, {"Фон"}, {}, true},
      {"other_writers/gimp210_negative_top_left_layer.psd", false, 100, 100, PsdColorMode::kRgb, 8, 1, {"Layer"}, {}, true},
      {"other_writers/sketchbook_pro7_8layers.psd", false, 1600, 900, PsdColorMode::kRgb, 8, 8, {"Background", "shot-generator", "reference", "fill", "tone", "pencil"}, {}, false},
      {"other_writers/sai_1layer.psd", false, 200, 200, PsdColorMode::kRgb, 8, 1, {"Layer1"}, {}, false},
      {"other_writers/unknown_group_clipping.psd", false, 627, 510, PsdColorMode::kRgb, 8, 6, {"bg", "base", "red", "blue"}, {}, false},
      {"other_writers/psdtools_cmyk_3spot_channels.psd", false, 640, 637, PsdColorMode::kCmyk, 8, 0, {}, {"blue", "fluorescent pink", "yellow"}, false},
      {"other_writers/unknown_writer_1layer_ru.psd", false, 101, 55, PsdColorMode::kRgb, 8, 1, {"Фон"}, {}, false},
      {"other_writers/agpsd_written_layer_mask.psd", false, 200, 200, PsdColorMode::kRgb, 8, 1, {"Layer 1"}, {}, true},
      // clang-format on
  };
  return facts;
}

// A test name from a corpus path: its folder and stem ("psb_ps8_rgb_2layers").
std::string TestName(const std::string& path) {
  std::string n =
      std::filesystem::path(path).parent_path().string() + "_" + std::filesystem::path(path).stem().string();
  for (char& c : n)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
}

Result<std::vector<uint8_t>> Load(const std::string& relative) { return ReadWholeFile(CorpusPath(relative)); }

class CorpusFacts : public testing::TestWithParam<CorpusFact> {
 protected:
  void SetUp() override {
    TESSARO_NEED_CORPUS_FILE("psd/" + std::string(GetParam().path));
    auto bytes = Load(GetParam().path);
    ASSERT_TRUE(bytes.ok());
    FBytes = std::move(bytes).value();
  }
  std::vector<uint8_t> FBytes;
};

// The facts a probe and a full read both report.
// (width, height, colour mode, depth, large-document format)
template <typename Facts>
void ExpectSizeAndKind(const Facts& got, const CorpusFact& fact) {
  EXPECT_EQ(std::tuple(got.width, got.height, got.colorMode, got.depth, got.psb),
            std::tuple(fact.width, fact.height, fact.mode, fact.depth, fact.psb));
}

TEST_P(CorpusFacts, ProbeReportsHeaderLayersAndChannelNames) {
  const CorpusFact& fact = GetParam();
  auto info = ProbePsd(FBytes);
  ASSERT_TRUE(info.ok()) << info.message();
  ExpectSizeAndKind(*info, fact);
  EXPECT_EQ(info->layerCount, fact.layerRecords);
  ASSERT_EQ(info->layerNames.size(), size_t(fact.layerRecords));
  // The manifest cuts long names at 40 characters; the full name is read.
  for (const std::string& name : fact.someLayerNames)
    EXPECT_TRUE(std::any_of(info->layerNames.begin(), info->layerNames.end(),
                            [&](const std::string& n) { return n.rfind(name, 0) == 0; }))
        << "missing layer name " << name;
  EXPECT_EQ(info->alphaChannelNames, fact.alphaNames);
  EXPECT_EQ(info->hasMergedTransparency, fact.mergedTransparency);
}

TEST_P(CorpusFacts, ReadDecodesCompositeLayersAndAlphaChannels) {
  const CorpusFact& fact = GetParam();
  auto doc = ReadPsd(FBytes);
  ASSERT_TRUE(doc.ok()) << doc.message();
  ExpectSizeAndKind(*doc, fact);
  ASSERT_EQ(doc->composite.width(), fact.width);
  ASSERT_EQ(doc->composite.height(), fact.height);
  ASSERT_EQ(doc->layers.size(), size_t(fact.layerRecords));
  for (const PsdLayer& l : doc->layers) {
    if (l.pixels.empty()) continue;
    EXPECT_EQ(l.pixels.width(), l.bounds.Width()) << l.name;
    EXPECT_EQ(l.pixels.height(), l.bounds.Height()) << l.name;
  }
  ASSERT_EQ(doc->alphaChannels.size(), fact.alphaNames.size());
  for (size_t i = 0; i < fact.alphaNames.size(); ++i) {
    EXPECT_EQ(doc->alphaChannels[i].name, fact.alphaNames[i]);
    EXPECT_EQ(doc->alphaChannels[i].pixels.width(), fact.width);
    EXPECT_EQ(doc->alphaChannels[i].pixels.height(), fact.height);
  }
  // Without a merged transparency every pixel of a stored composite is opaque.
  if (!fact.mergedTransparency && !doc->compositeFlattened && fact.mode != PsdColorMode::kIndexed) {
    for (int y = 0; y < doc->height; y += 7)
      for (int x = 0; x < doc->width; x += 7) ASSERT_EQ(doc->composite.At(x, y).a, 255);
  }
}

INSTANTIATE_TEST_SUITE_P(Psd, CorpusFacts, testing::ValuesIn(Facts()),
                         [](const auto& info) { return TestName(info.param.path); });

// ---- Pixels against an independent decoder ----------------------------

struct Tolerance {
  const char* path;
  double maxFractionOver2;  // share of pixels whose colour differs by more than 2
  double maxMean;
  int maxColor;
  bool viaProfile = false;  // compare with ImageMagick converting through the embedded profile
};

// 8- and 16-bit RGB and grey agree within rounding (16 to 8 bits; colour
// recovered from the white-matted merged image at partial transparency):
// measured at most 1 everywhere, allowed 2.
// CMYK goes through the embedded profile in both decoders (lcms2 here, its
// own colour management there), Lab through each one's own conversion.
// Not compared: the multichannel file (ImageMagick shows its three channels
// as RGB, this reader shows the first as grey), the grey file with merged
// transparency (ImageMagick drops the stored transparency plane; the
// matching check against its only layer is below), the CS5 shape layer
// whose mask ImageMagick ignores, and the files ImageMagick refuses.
std::vector<Tolerance> Tolerances() {
  std::vector<Tolerance> out;
  const std::set<std::string> skipped = {
      "alpha/ps16_multichannel_3alphas_4x4.psd", "modes/ps8_gray_1layer_transparency.psd",
      "layers/ps8_rgb_mask_offcanvas_cs5.psd", "modes/ps8_indexed_transparent_nolayers.psd",
      "other_writers/unknown_group_clipping.psd"};
  for (const CorpusFact& f : Facts()) {
    if (skipped.count(f.path)) continue;
    if (f.mode == PsdColorMode::kCmyk) {
      out.push_back({f.path, 0.10, 2.0, 24, true});
    } else if (f.mode == PsdColorMode::kLab) {
      out.push_back({f.path, 1.0, 8.0, 24});
    } else if (f.depth == 16) {
      out.push_back({f.path, 0.0, 1.0, 2});  // the two decoders round 16 to 8 bits differently
    } else if (f.path == std::string("other_writers/agpsd_written_layer_mask.psd")) {
      // One pixel (120, 128) is stored darker than its white share (green 0
      // at alpha 254): this reader clamps the recovered colour to 0,
      // ImageMagick wraps it round to 254. Every other pixel within 1.
      out.push_back({f.path, 0.005, 0.6, 255});
    } else {
      out.push_back({f.path, 0.005, 0.6, 2});  // measured at most 1
    }
  }
  return out;
}

class CompositeMatchesImageMagick : public testing::TestWithParam<Tolerance> {};

std::string ProfileFile() {
  static const std::string path = [] {
    const std::string p = psdtest::Scratch().File("srgb.icc");
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    cmsSaveProfileToFile(srgb, p.c_str());
    cmsCloseProfile(srgb);
    return p;
  }();
  return path;
}

TEST_P(CompositeMatchesImageMagick, WithinTolerance) {
  const Tolerance& t = GetParam();
  TESSARO_NEED_IMAGEMAGICK();
  TESSARO_NEED_CORPUS_FILE("psd/" + std::string(t.path));
  const std::string path = CorpusPath(t.path);
  auto bytes = ReadWholeFile(path);
  ASSERT_TRUE(bytes.ok());
  auto doc = ReadPsd(*bytes, PsdReadOptions{false, true, false});
  ASSERT_TRUE(doc.ok()) << doc.message();
  test::ReferenceOptions reference;
  reference.toSrgb = true;
  if (t.viaProfile)
    reference.extraArgs = {"-intent", "relative", "-black-point-compensation", "-profile", ProfileFile()};
  const std::optional<Image> decoded = test::ReferenceDecode(path, reference);
  ASSERT_TRUE(decoded.has_value()) << "ImageMagick could not decode the file";
  test::DiffOptions o;
  o.colorMinAlpha = 16;
  o.threshold = 2;
  const test::ImageDifference d = test::Difference(doc->composite, *decoded, o);
  ASSERT_TRUE(d.sameSize);
  EXPECT_LE(d.FractionOver(), t.maxFractionOver2) << d;
  EXPECT_LE(d.meanColor, t.maxMean) << d;
  EXPECT_LE(d.maxColor, t.maxColor) << d;
  EXPECT_LE(d.maxAlpha, 1);
}

std::string ToleranceName(const testing::TestParamInfo<Tolerance>& info) { return TestName(info.param.path); }

INSTANTIATE_TEST_SUITE_P(Psd, CompositeMatchesImageMagick, testing::ValuesIn(Tolerances()), ToleranceName);

// A Lab document written here byte by byte (header, no colour table,
// resources or layers, a raw merged image of L, a and b planes), spread over
// lightness and over a and b within 20 of neutral: the corpus has only one
// 4 x 4 Lab file.
std::vector<uint8_t> LabDocument(int width, int height) {
  std::vector<uint8_t> out = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3};
  const auto u32 = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
  };
  u32(uint32_t(height));
  u32(uint32_t(width));
  out.insert(out.end(), {0, 8, 0, 9});  // 8 bits, Lab
  u32(0);                               // colour mode data
  u32(0);                               // image resources
  u32(0);                               // layer and mask information
  out.insert(out.end(), {0, 0});        // raw merged image
  for (int plane = 0; plane < 3; ++plane)
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        if (plane == 0) out.push_back(uint8_t(40 + (x * 7 + y * 13) % 200));
        if (plane == 1) out.push_back(uint8_t(108 + x * 40 / width));
        if (plane == 2) out.push_back(uint8_t(108 + y * 40 / height));
      }
  return out;
}

// sRGB of an 8-bit Lab sample by the published formulas, worked out here
// independently of the reader: L* = L / 255 * 100, a* = a - 128,
// b* = b - 128; CIE Lab (D50 white) to XYZ, Bradford adaptation to D65,
// linear sRGB, then the sRGB curve. Nothing for a colour outside sRGB,
// where converters may map the gamut differently.
std::optional<Rgba8> LabToSrgb(uint8_t l8, uint8_t a8, uint8_t b8) {
  const double fy = (l8 / 255.0 * 100 + 16) / 116, fx = fy + (a8 - 128) / 500.0, fz = fy - (b8 - 128) / 200.0;
  const auto finv = [](double t) { return t * t * t > 0.008856 ? t * t * t : (t - 16.0 / 116) / 7.787; };
  const double x50 = 0.9642 * finv(fx), y50 = finv(fy), z50 = 0.8249 * finv(fz);
  const double x = 0.9555766 * x50 - 0.0230393 * y50 + 0.0631636 * z50;
  const double y = -0.0282895 * x50 + 1.0099416 * y50 + 0.0210077 * z50;
  const double z = 0.0122982 * x50 - 0.0204830 * y50 + 1.3299098 * z50;
  const double linear[3] = {3.2404542 * x - 1.5371385 * y - 0.4985314 * z,
                            -0.9692660 * x + 1.8760108 * y + 0.0415560 * z,
                            0.0556434 * x - 0.2040259 * y + 1.0572252 * z};
  uint8_t out[3];
  for (int i = 0; i < 3; ++i) {
    const double c = linear[i];
    if (c < -0.001 || c > 1.001) return std::nullopt;
    const double v = c <= 0.0031308 ? 12.92 * c : 1.055 * std::pow(c, 1 / 2.4) - 0.055;
    out[i] = uint8_t(std::clamp<long>(std::lround(255 * v), 0, 255));
  }
  return Rgba8{out[0], out[1], out[2], 255};
}

TEST(PsdLab, WrittenDocumentMatchesThePublishedConversion) {
  const int width = 64, height = 48;
  const std::vector<uint8_t> bytes = LabDocument(width, height);
  auto doc = ReadPsd(bytes, PsdReadOptions{false, true, false});
  ASSERT_TRUE(doc.ok()) << doc.message();
  EXPECT_EQ(doc->colorMode, PsdColorMode::kLab);
  // Colours outside sRGB are left out of the comparison (transparent on
  // both sides).
  Image expected, read = doc->composite.Clone();
  ASSERT_TRUE(expected.Create(width, height).ok());
  ASSERT_EQ(read.width(), width);
  const size_t plane = size_t(width) * height, at = bytes.size() - 3 * plane;
  int inGamut = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const size_t i = at + size_t(y) * width + x;
      const std::optional<Rgba8> want = LabToSrgb(bytes[i], bytes[i + plane], bytes[i + 2 * plane]);
      if (want) {
        expected.At(x, y) = *want;
        ++inGamut;
      } else {
        read.At(x, y) = Rgba8{};
      }
    }
  ASSERT_GT(inGamut, width * height * 9 / 10);
  const test::ImageDifference d = test::Difference(read, expected);
  ASSERT_TRUE(d.sameSize);
  // Measured: mean 0.55, largest 19 (a channel near black in a saturated
  // colour, where the colour engine and the plain formula part most).
  EXPECT_LE(d.meanColor, 0.8) << d;
  EXPECT_LE(d.maxColor, 22) << d;
}

// ---- Damaged files -----------------------------------------------------

TEST(PsdCorrupt, EveryDamagedFileIsRefusedOrReadWithoutCrashing) {
  const std::string dir = CorpusPath("corrupt");
  if (!DirectoryExists(dir)) TESSARO_CORPUS_MISSING(dir);
  // Files whose damage reaches data the reader needs are refused; the other
  // two (a layer reaching past a 1x1 canvas, an unknown group divider type)
  // are read.
  const std::set<std::string> readable = {"layer_out_of_bounds_x.psd", "layer_section_divider_invalid.psd"};
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    const std::string name = entry.path().filename().string();
    auto bytes = ReadWholeFile(entry.path().string());
    ASSERT_TRUE(bytes.ok());
    auto doc = ReadPsd(*bytes);
    auto info = ProbePsd(*bytes);
    ++files;
    if (readable.count(name)) {
      EXPECT_TRUE(doc.ok()) << name << ": " << doc.message();
    } else {
      EXPECT_FALSE(doc.ok()) << name << " should be refused";
      EXPECT_FALSE(doc.message().empty());
    }
  }
  EXPECT_GE(files, 14);
}

TEST(PsdCorrupt, UnknownDividerTypeBecomesAPlainLayer) {
  READ_CORPUS_PSD(doc, "corrupt/layer_section_divider_invalid.psd");
  ASSERT_EQ(doc->layers.size(), 4u);
  EXPECT_EQ(doc->layers[0].section, PsdSection::kNone);
  EXPECT_EQ(doc->layers[3].section, PsdSection::kOpenFolder);
  EXPECT_EQ(doc->layers[3].name, "my layer group");
}

TEST(PsdCorrupt, SkippedPartsAreNotDecoded) {
  // A broken layer channel does not matter when layers are not wanted, nor
  // a broken merged image when only layers are.
  auto layerBroken = Load("corrupt/layer_channel_compression_invalid.psd");
  auto mergedBroken = Load("corrupt/image_compression_invalid.psd");
  if (!layerBroken.ok() || !mergedBroken.ok()) TESSARO_CORPUS_MISSING("psd");
  EXPECT_FALSE(ReadPsd(*layerBroken).ok());
  auto noLayers = ReadPsd(*layerBroken, PsdReadOptions{false, true, true});
  ASSERT_TRUE(noLayers.ok()) << noLayers.message();
  EXPECT_TRUE(noLayers->layers.empty());
  EXPECT_FALSE(noLayers->composite.empty());

  EXPECT_FALSE(ReadPsd(*mergedBroken).ok());
  auto layersOnly = ReadPsd(*mergedBroken, PsdReadOptions{true, false, false});
  ASSERT_TRUE(layersOnly.ok()) << layersOnly.message();
  EXPECT_EQ(layersOnly->layers.size(), 1u);
  EXPECT_TRUE(layersOnly->composite.empty());
  EXPECT_FALSE(layersOnly->layers[0].pixels.empty());
}

// ---- Particular behaviours ---------------------------------------------

TEST(PsdRead, OptionsLeaveOutWhatIsNotAsked) {
  auto bytes = Load("alpha/ps8_rgb_1layer_transparency_alpha1_cat.psd");
  if (!bytes.ok()) TESSARO_CORPUS_MISSING("psd");
  auto onlyAlpha = ReadPsd(*bytes, PsdReadOptions{false, false, true});
  ASSERT_TRUE(onlyAlpha.ok());
  EXPECT_TRUE(onlyAlpha->layers.empty());
  EXPECT_TRUE(onlyAlpha->composite.empty());
  ASSERT_EQ(onlyAlpha->alphaChannels.size(), 1u);
  auto all = ReadPsd(*bytes);
  ASSERT_TRUE(all.ok());
  const Plane& a = all->alphaChannels[0].pixels;
  const Plane& b = onlyAlpha->alphaChannels[0].pixels;
  EXPECT_TRUE(std::equal(a.data(), a.data() + a.PixelCount(), b.data()));
  auto none = ReadPsd(*bytes, PsdReadOptions{false, false, false});
  ASSERT_TRUE(none.ok());
  EXPECT_TRUE(none->composite.empty() && none->alphaChannels.empty() && none->layers.empty());
}

TEST(PsdRead, MergedTransparencyIsTheCompositeAlphaNotAnAlphaChannel) {
  READ_CORPUS_PSD(doc, "layers/ps8_rgb_3x3_layer_smaller_than_canvas.psd");
  EXPECT_TRUE(doc->hasMergedTransparency);
  EXPECT_TRUE(doc->alphaChannels.empty());
  // The layer covers x 1..2, y 0..1; its one opaque pixel is blue at (2, 0).
  EXPECT_EQ(doc->composite.At(2, 0), (Rgba8{0, 0, 255, 255}));
  EXPECT_EQ(doc->composite.At(0, 0).a, 0);
  EXPECT_EQ(doc->composite.At(0, 2).a, 0);
}

TEST(PsdRead, GreyMergedTransparencyMatchesItsOnlyLayer) {
  READ_CORPUS_PSD(doc, "modes/ps8_gray_1layer_transparency.psd");
  ASSERT_EQ(doc->layers.size(), 1u);
  const PsdLayer& layer = doc->layers[0];
  ASSERT_EQ(layer.bounds, (IntRect{0, 0, 300, 200}));
  int worst = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 300; ++x) {
      const Rgba8 c = doc->composite.At(x, y), l = layer.pixels.At(x, y);
      worst = std::max(worst, std::abs(c.a - l.a));
      if (l.a >= 64) worst = std::max(worst, std::abs(c.r - l.r));
      EXPECT_TRUE(c.r == c.g && c.g == c.b);
    }
  EXPECT_LE(worst, 3);
}

TEST(PsdRead, FlatColourLayersDecodeExactly) {
  for (const char* path : {"modes/ps8_rgb_rle_5layers.psd", "psb/ps8_rgb_rle_5layers.psb"}) {
    auto bytes = Load(path);
    if (!bytes.ok()) TESSARO_CORPUS_MISSING("psd");
    auto doc = ReadPsd(*bytes);
    ASSERT_TRUE(doc.ok()) << path;
    ASSERT_EQ(doc->layers.size(), 5u);
    const Rgba8 expected[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}};
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(doc->layers[i].pixels.At(10, 10), expected[i]) << path << " layer " << i;
    EXPECT_EQ(doc->layers[4].pixels.At(5, 5), (Rgba8{255, 128, 0, 255})) << path;
    EXPECT_EQ(doc->layers[3].pixels.At(3, 0), (Rgba8{255, 0, 0, 255})) << "first row red";
  }
}

TEST(PsdRead, TopLayerHalfTransparentShowsWhatIsBelow) {
  READ_CORPUS_PSD(doc, "layers/ps8_rgb_transparent_top_layer_2x1.psd");
  EXPECT_EQ(doc->composite.At(0, 0), (Rgba8{0, 255, 0, 255}));
  EXPECT_EQ(doc->composite.At(1, 0), (Rgba8{0, 0, 255, 255}));
}

TEST(PsdRead, LayerMasksKeepBoundsDefaultAndFlags) {
  READ_CORPUS_PSD(doc, "layers/ps8_rgb_layer_mask.psd");
  ASSERT_TRUE(doc->layers[0].mask.has_value());
  const PsdLayerMask& m = *doc->layers[0].mask;
  EXPECT_EQ(m.bounds, (IntRect{12, 7, 189, 172}));
  EXPECT_EQ(m.defaultColor, 0);
  EXPECT_TRUE(m.linked) << "the editors' default, flag bit 0 clear";
  EXPECT_FALSE(m.disabled);
  EXPECT_EQ(m.pixels.width(), 177);
  EXPECT_EQ(m.pixels.height(), 165);
  std::set<uint8_t> values(m.pixels.data(), m.pixels.data() + m.pixels.PixelCount());
  EXPECT_GT(values.size(), 2u) << "a soft mask";
}

TEST(PsdRead, PixelMasksBesideVectorMasks) {
  READ_CORPUS_PSD(doc, "layers/ps8_rgb_masks_pixel_vector_disabled.psd");
  std::map<std::string, const PsdLayer*> byName;
  for (const PsdLayer& l : doc->layers) byName[l.name] = &l;
  EXPECT_FALSE(byName["NoMask"]->mask);
  ASSERT_TRUE(byName["Pixel(User)Mask"]->mask);
  EXPECT_TRUE(byName["Pixel(User)Mask"]->mask->bounds.Empty()) << "an all-revealing mask stores no pixels";
  EXPECT_EQ(byName["Pixel(User)Mask"]->mask->defaultColor, 255);
  EXPECT_FALSE(byName["Pixel(User)Mask"]->mask->disabled);
  ASSERT_TRUE(byName["Pixel(User)MaskDisabled"]->mask);
  EXPECT_TRUE(byName["Pixel(User)MaskDisabled"]->mask->disabled);
  EXPECT_FALSE(byName["VectorMask"]->mask) << "a vector mask alone is not a pixel mask";
  const PsdLayer* both = byName["Pixel&VectorMaskWithProperties"];
  ASSERT_TRUE(both->mask);
  EXPECT_EQ(both->mask->bounds, (IntRect{4, 0, 58, 62})) << "the user's mask, not the rendered vector mask";
  EXPECT_FALSE(both->mask->pixels.empty());
}

TEST(PsdRead, DisabledMaskOfAnOlderWriter) {
  READ_CORPUS_PSD(doc, "layers/ps8_rgb_mask_disabled_cs3.psd");
  ASSERT_TRUE(doc->layers[1].mask);
  EXPECT_TRUE(doc->layers[1].mask->disabled);
  EXPECT_EQ(doc->layers[1].mask->bounds, (IntRect{23, 10, 94, 67}));
}

TEST(PsdRead, GroupsVisibilityOpacityAndClipping) {
  auto groups = Load("layers/ps8_rgb_groups_hidden_opacity.psd");
  auto clipping = Load("layers/ps8_rgb_clipping_masks.psd");
  auto hidden = Load("layers/ps8_rgb_hidden_layer_cs3.psd");
  if (!groups.ok() || !clipping.ok() || !hidden.ok()) TESSARO_CORPUS_MISSING("psd");
  auto g = ReadPsd(*groups, PsdReadOptions{true, false, false});
  ASSERT_TRUE(g.ok());
  const std::vector<PsdSection> sections = {
      PsdSection::kNone, PsdSection::kDivider, PsdSection::kDivider,   PsdSection::kOpenFolder,
      PsdSection::kNone, PsdSection::kNone,    PsdSection::kOpenFolder};
  ASSERT_EQ(g->layers.size(), sections.size());
  for (size_t i = 0; i < sections.size(); ++i) EXPECT_EQ(g->layers[i].section, sections[i]) << i;
  EXPECT_EQ(g->layers[3].name, "Group 2");
  EXPECT_FALSE(g->layers[3].visible);
  EXPECT_EQ(g->layers[3].opacity, 128);
  EXPECT_EQ(g->layers[3].blendMode, BlendMode::kPassThrough);
  EXPECT_TRUE(g->layers[6].visible);

  auto c = ReadPsd(*clipping, PsdReadOptions{true, false, false});
  ASSERT_TRUE(c.ok());
  for (const PsdLayer& l : c->layers) EXPECT_EQ(l.clipping, l.name.rfind("clipping_", 0) == 0) << l.name;

  auto h = ReadPsd(*hidden, PsdReadOptions{true, false, false});
  ASSERT_TRUE(h.ok());
  EXPECT_TRUE(h->layers[1].visible);
  EXPECT_FALSE(h->layers[2].visible);
  EXPECT_EQ(h->layers[2].name, "Shape 2");
}

TEST(PsdRead, BlendModesOfEveryLayer) {
  auto bytes = Load("blend/ps8_rgb_all_blend_modes_29layers.psd");
  if (!bytes.ok()) TESSARO_CORPUS_MISSING("psd");
  auto doc = ReadPsd(*bytes, PsdReadOptions{true, false, false});
  ASSERT_TRUE(doc.ok());
  // Layers are named after their mode ("multiply", "soft light", ...).
  int matched = 0;
  for (const PsdLayer& l : doc->layers) {
    for (int m = int(BlendMode::kNormal); m <= int(BlendMode::kLuminosity); ++m)
      if (l.name == BlendModeName(BlendMode(m))) {
        EXPECT_EQ(l.blendMode, BlendMode(m)) << l.name;
        ++matched;
      }
  }
  EXPECT_GE(matched, 20);
}

TEST(PsdRead, ColourOverlayFromTheEffectsDescriptor) {
  auto bytes = Load("names/ps8_rgb_polish_cjk_layer_name.psd");
  if (!bytes.ok()) TESSARO_CORPUS_MISSING("psd");
  auto doc = ReadPsd(*bytes, PsdReadOptions{true, false, false});
  ASSERT_TRUE(doc.ok());
  ASSERT_TRUE(doc->layers[0].colorOverlay);
  const PsdColorOverlay& o = *doc->layers[0].colorOverlay;
  EXPECT_TRUE(o.enabled);
  EXPECT_EQ(o.blendMode, BlendMode::kNormal);
  EXPECT_DOUBLE_EQ(o.opacityPercent, 100);
  EXPECT_EQ(o.red, 255);
  EXPECT_EQ(o.green, 0);
  EXPECT_EQ(o.blue, 0);
}

TEST(PsdRead, ResolutionFromTheResource) {
  const std::pair<const char*, double> cases[] = {{"alpha/ps8_rgb_shape_transparency_alpha1_fr.psd", 150},
                                                  {"alpha/ps8_rgb_ru_transparency_overlay_1x1.psd", 144},
                                                  {"alpha/ps8_rgb_ko_transparency_1layer.psd", 300},
                                                  {"other_writers/agpsd_written_layer_mask.psd", 72}};
  for (auto [path, ppi] : cases) {
    auto bytes = Load(path);
    if (!bytes.ok()) continue;
    auto info = ProbePsd(*bytes);
    ASSERT_TRUE(info.ok());
    EXPECT_DOUBLE_EQ(info->resolution, ppi) << path;
  }
}

TEST(PsdRead, SpotChannelsAreMarked) {
  auto bytes = Load("alpha/ps8_cmyk_spot_plus_alpha1_nolayers.psd");
  if (!bytes.ok()) TESSARO_CORPUS_MISSING("psd");
  auto doc = ReadPsd(*bytes, PsdReadOptions{false, false, true});
  ASSERT_TRUE(doc.ok());
  ASSERT_EQ(doc->alphaChannels.size(), 2u);
  EXPECT_TRUE(doc->alphaChannels[0].spot);
  EXPECT_FALSE(doc->alphaChannels[1].spot);
}

TEST(PsdRead, IndexedColourUsesPaletteAndTransparentIndex) {
  READ_CORPUS_PSD(doc, "modes/ps8_indexed_transparent_nolayers.psd");
  size_t transparent = 0, colourful = 0;
  for (int y = 0; y < doc->height; ++y)
    for (int x = 0; x < doc->width; ++x) {
      const Rgba8 p = doc->composite.At(x, y);
      if (p.a == 0) ++transparent;
      if (p.r != p.g || p.g != p.b) ++colourful;
      EXPECT_TRUE(p.a == 0 || p.a == 255);
    }
  EXPECT_GT(transparent, 0u);
  EXPECT_LT(transparent, doc->composite.PixelCount());
  EXPECT_GT(colourful, 0u) << "palette colours, not indices as grey";
}

TEST(PsdRead, BitmapIsBlackAndWhite) {
  READ_CORPUS_PSD(doc, "modes/ps1_bitmap_nolayers.psd");
  size_t black = 0;
  for (size_t i = 0; i < doc->composite.PixelCount(); ++i) {
    const Rgba8 p = doc->composite.data()[i];
    ASSERT_TRUE((p == Rgba8{0, 0, 0, 255}) || (p == Rgba8{255, 255, 255, 255}));
    black += p.r == 0;
  }
  EXPECT_GT(black, 0u);
  EXPECT_LT(black, doc->composite.PixelCount());
}

TEST(PsdRead, PlaceholderMergedImageIsRebuiltFromLayers) {
  auto bytes = Load("layers/ps8_rgb_text_layers_123_nomaxcompat_cs51.psd");
  if (!bytes.ok()) TESSARO_CORPUS_MISSING("psd");
  // Asked without layers, as the photo decoders do.
  auto doc = ReadPsd(*bytes, PsdReadOptions{false, true, false});
  ASSERT_TRUE(doc.ok());
  EXPECT_TRUE(doc->compositeFlattened);
  EXPECT_TRUE(doc->layers.empty());
  EXPECT_TRUE(doc->hasMergedTransparency) << "text on a transparent canvas";
  auto layers = ReadPsd(*bytes, PsdReadOptions{true, false, false});
  ASSERT_TRUE(layers.ok());
  ASSERT_EQ(layers->layers.size(), 3u);
  // The three text layers do not overlap: inside each one's bounds the
  // picture is that layer, elsewhere it is transparent.
  int outside = 0;
  for (int y = 0; y < doc->height; ++y)
    for (int x = 0; x < doc->width; ++x) {
      const Rgba8 c = doc->composite.At(x, y);
      const PsdLayer* owner = nullptr;
      for (const PsdLayer& l : layers->layers)
        if (x >= l.bounds.left && x < l.bounds.right && y >= l.bounds.top && y < l.bounds.bottom) owner = &l;
      if (!owner) {
        ASSERT_EQ(c.a, 0) << x << "," << y;
        ++outside;
        continue;
      }
      const Rgba8 l = owner->pixels.At(x - owner->bounds.left, y - owner->bounds.top);
      ASSERT_EQ(c.a, l.a) << x << "," << y;
      if (l.a > 0) {
        ASSERT_EQ(c, l) << x << "," << y;
      }
    }
  EXPECT_GT(outside, 0);
}

TEST(PsdRead, PddIsReadLikePsd) {
  const std::string source = CorpusPath("alpha/ps8_rgb_1layer_transparency_alpha1_cat.psd");
  if (!FileExists(source)) TESSARO_CORPUS_MISSING(source);
  const std::string pdd = psdtest::Scratch().File("copy.pdd");
  auto bytes = ReadWholeFile(source);
  ASSERT_TRUE(bytes.ok());
  ASSERT_TRUE(WriteFileAtomic(pdd, *bytes).ok());
  auto fromPdd = ReadWholeFile(pdd);
  ASSERT_TRUE(fromPdd.ok());
  auto a = ReadPsd(*fromPdd);
  auto b = ReadPsd(*bytes);
  ASSERT_TRUE(a.ok() && b.ok());
  EXPECT_EQ(a->layers.size(), b->layers.size());
  EXPECT_EQ(a->alphaChannels.size(), 1u);
  EXPECT_TRUE(
      std::equal(a->composite.data(), a->composite.data() + a->composite.PixelCount(), b->composite.data()));
}

}  // namespace
}  // namespace tessaro
