// Real-world layered documents of the shared corpus (written by image
// editors and other programs) load with their layers and channels, and the
// editor's flattening matches the merged picture stored in them.
#include <filesystem>

#include "editor/tests/EditorTestUtil.h"

namespace tessaro::editortest {
namespace {

const std::string kCorpus = test::CorpusPath("psd") + "/";

// Mean and largest colour difference where both pictures are visibly
// painted (alpha 16 and up).
test::ImageDifference Compare(const Image& a, const Image& b, const IntRect& area) {
  test::DiffOptions o;
  o.colorMinAlpha = 16;
  o.area = area;
  return test::Difference(a, b, o);
}

Image StoredComposite(const std::string& path) {
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes.ok()) return Image{};
  PsdReadOptions o;
  o.layers = false;
  o.alphaChannels = false;
  Result<PsdDocument> psd = ReadPsd(*bytes, o);
  return psd.ok() ? std::move(psd->composite) : Image{};
}

using CorpusTest = EditorFixture;

TEST_F(CorpusTest, EveryReadableDocumentLoads) {
  TESSARO_NEED_CORPUS_FILE("psd");
  int loaded = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(kCorpus)) {
    const std::string path = entry.path().string();
    if (!entry.is_regular_file() || path.find("/corrupt/") != std::string::npos) continue;
    auto application = CreateEditorApplication();
    Result<DocumentRef> doc = application->Load(path);
    ASSERT_TRUE(doc.ok()) << path << ": " << doc.message();
    EXPECT_GE(LayerCount(*doc), 1) << path;
    EXPECT_GT(*(*doc)->Width(), 0) << path;
    ++loaded;
  }
  EXPECT_GT(loaded, 60);
}

TEST_F(CorpusTest, DamagedDocumentsAreRefusedCleanly) {
  TESSARO_NEED_CORPUS_FILE("psd");
  for (const auto& entry : std::filesystem::directory_iterator(kCorpus + "corrupt")) {
    Result<DocumentRef> doc = app->Load(entry.path().string());
    if (doc.ok()) {
      // A damaged file read partially must still be a usable document.
      EXPECT_TRUE(FlattenDocument(**doc).ok()) << entry.path();
    }
  }
  Result<DocumentRef> empty = app->Load(kCorpus + "corrupt/empty_0_bytes.psd");
  EXPECT_FALSE(empty.ok());
}

struct Expected {
  const char* file;
  std::vector<std::string> layers;    // top first
  std::vector<std::string> channels;  // alpha channels in order
};

TEST_F(CorpusTest, LayersAndChannelsAsStored) {
  TESSARO_NEED_CORPUS_FILE("psd");
  const Expected cases[] = {
      {"alpha/ps8_rgb_1layer_transparency_alpha1_cat.psd", {"frame 17"}, {"Alpha 1"}},
      {"alpha/ps8_rgb_nolayers_alpha1.psd", {"Background"}, {"Alpha 1"}},
      {"alpha/ps8_rgb_background_plus_layer_alpha1.psd", {"Layer 1", "Background"}, {"Alpha 1"}},
      {"alpha/ps8_rgb_zh_transparency_hidden_bg.psd", {"椭圆 1", "背景"}, {}},
      {"alpha/ps8_cmyk_spot_plus_alpha1_nolayers.psd", {"Background"}, {"light teal", "Alpha 1"}},
      {"alpha/ps16_multichannel_3alphas_4x4.psd", {"Background"}, {"Alpha 1", "Alpha 2", "Alpha 3"}},
      {"layers/ps8_rgb_rle_3layers_8x8.psd", {"Blue Layer", "Green Layer", "Red Layer"}, {}},
      {"layers/ps8_rgb_text_layers_123_cs51.psd", {"3", "2", "1"}, {}},
      {"other_writers/psdtools_cmyk_3spot_channels.psd",
       {"Background"},
       {"blue", "fluorescent pink", "yellow"}},
  };
  for (const Expected& c : cases) {
    ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(kCorpus + c.file));
    ASSERT_EQ(LayerCount(doc), int(c.layers.size())) << c.file;
    for (size_t i = 0; i < c.layers.size(); ++i) EXPECT_EQ(LayerName(doc, int(i) + 1), c.layers[i]) << c.file;
    auto channels = *doc->Channels();
    ASSERT_EQ(*channels->Count(), 3 + int(c.channels.size())) << c.file;
    for (size_t i = 0; i < c.channels.size(); ++i) {
      EXPECT_EQ(*(*channels->Item(4 + int(i)))->Name(), c.channels[i]) << c.file;
      EXPECT_TRUE(channels->Item(c.channels[i]).ok()) << c.file;
    }
    EXPECT_EQ(*(*doc->ActiveLayer())->Name(), c.layers[0]) << c.file;
  }
}

TEST_F(CorpusTest, DocumentFactsAsStored) {
  TESSARO_NEED_CORPUS_FILE("psd");
  ASSERT_OK_AND_ASSIGN(DocumentRef spot, app->Load(kCorpus + "alpha/ps8_cmyk_spot_plus_alpha1_nolayers.psd"));
  EXPECT_EQ(*spot->Width(), 3300);
  EXPECT_EQ(*spot->Height(), 5100);
  EXPECT_EQ(*spot->Resolution(), 300);
  ASSERT_OK_AND_ASSIGN(DocumentRef hidden,
                       app->Load(kCorpus + "alpha/ps8_rgb_zh_transparency_hidden_bg.psd"));
  EXPECT_FALSE(*Layer(hidden, 2)->Visible());
  ASSERT_OK_AND_ASSIGN(DocumentRef off, app->Load(kCorpus + "layers/ps8_rgb_layer_larger_than_canvas.psd"));
  const LayerBounds b = BoundsOf(Layer(off, 1));
  EXPECT_TRUE(b.left < 0 || b.top < 0 || b.right > 48 || b.bottom > 58);
  // Groups are dissolved into their art layers.
  ASSERT_OK_AND_ASSIGN(DocumentRef groups,
                       app->Load(kCorpus + "layers/ps8_rgb_18layers_nested_groups_masks.psd"));
  EXPECT_EQ(LayerCount(groups), 4);
}

TEST_F(CorpusTest, FlatteningMatchesTheStoredMergedPicture) {
  TESSARO_NEED_CORPUS_FILE("psd");
  const char* files[] = {
      "blend/ps8_rgb_blend_normal.psd",
      "blend/ps8_rgb_blend_multiply.psd",
      "blend/ps8_rgb_blend_overlay.psd",
      "blend/ps8_rgb_blend_soft_light.psd",
      "blend/ps8_rgb_blend_color.psd",
      "blend/ps8_rgb_1x1_soft_light_ru.psd",
      "layers/ps8_rgb_rle_3layers_8x8.psd",
      "layers/ps8_rgb_transparent_top_layer_2x1.psd",
      "layers/ps8_rgb_mask_disabled_cs3.psd",
      "layers/ps8_rgb_hidden_layer_cs3.psd",
      "layers/ps8_rgb_masks_pixel_vector_disabled.psd",
      "layers/ps8_rgb_mask_offcanvas_cs5.psd",
      "layers/ps8_rgb_layer_mask.psd",
      "layers/ps8_rgb_groups_hidden_opacity.psd",
      "layers/ps8_rgb_18layers_nested_groups_masks.psd",
      "alpha/ps8_rgb_background_plus_layer_alpha1.psd",
      "alpha/ps8_rgb_ru_transparency_overlay_1x1.psd",
      "modes/ps8_gray_2layers.psd",
      "other_writers/sketchbook_pro7_8layers.psd",
  };
  for (const char* file : files) {
    const std::string path = kCorpus + file;
    ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(path));
    const Image stored = StoredComposite(path);
    ASSERT_FALSE(stored.empty()) << file;
    const Image flat = Flat(doc);
    const test::ImageDifference d = Compare(flat, stored, IntRect{0, 0, flat.width(), flat.height()});
    EXPECT_LE(d.meanColor, 0.7) << file;
    EXPECT_LE(d.maxColor, 8) << file;
  }
}

TEST_F(CorpusTest, EveryBlendModeWithAColourOverlayComposesAsStored) {
  TESSARO_NEED_CORPUS_FILE("psd");
  // One layer per mode, each with a colour overlay, over a grey layer.
  const std::string path = kCorpus + "blend/ps8_rgb_all_blend_modes_29layers.psd";
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(path));
  const Image stored = StoredComposite(path);
  const Image flat = Flat(doc);
  ASSERT_EQ(LayerCount(doc), 29);
  for (int i = 1; i <= 27; ++i) {
    ArtLayerRef l = Layer(doc, i);
    const std::string name = *l->Name();
    const LayerBounds b = BoundsOf(l);
    const test::ImageDifference d =
        Compare(flat, stored, IntRect{int(b.left), int(b.top), int(b.right), int(b.bottom)});
    EXPECT_LE(d.maxColor, name == "vivid light" ? 8 : 2) << name;
    EXPECT_EQ(BlendModeFromCode(*l->BlendMode()).has_value(), true) << name;
  }
}

}  // namespace
}  // namespace tessaro::editortest
