// The demo template library and demo photos that the build makes (below
// the build folder's resources/): every template document loads with its
// overlay layers and the alpha channel of every placement, every demo photo
// loads, and a demo photo composes into a demo template. Skipped when the
// demo resources have not been built.
#include <filesystem>
#include <regex>

#include "editor/tests/EditorTestUtil.h"
#include "imaging/codecs/Codecs.h"

namespace tessaro::editortest {
namespace {

namespace fs = std::filesystem;

const fs::path kBuilt = fs::path(TESSARO_BINARY_DIR) / "resources";
const fs::path kSources = fs::path(TESSARO_SOURCE_DIR) / "resources" / "templates" / "src";

std::string ReadText(const fs::path& p) {
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(p.string());
  return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// The channel names of the placements and whether overlays are listed, from
// the authoring description.
struct Description {
  std::vector<std::string> channels;
  bool overlays = false;
  bool spread = false;
};
Description Describe(const std::string& json) {
  Description d;
  const std::regex channel("\"channel\"\\s*:\\s*\"([^\"]+)\"");
  for (auto it = std::sregex_iterator(json.begin(), json.end(), channel); it != std::sregex_iterator(); ++it)
    if (std::find(d.channels.begin(), d.channels.end(), (*it)[1].str()) == d.channels.end())
      d.channels.push_back((*it)[1].str());
  d.overlays = std::regex_search(json, std::regex("\"overlays\"\\s*:\\s*\\[\\s*\\{"));
  d.spread = std::regex_search(json, std::regex("\"spread\"\\s*:\\s*true"));
  return d;
}

std::vector<fs::path> Packages() {
  std::vector<fs::path> out;
  const fs::path dir = kBuilt / "templates";
  if (!fs::is_directory(dir)) return out;
  for (const auto& e : fs::directory_iterator(dir))
    if (fs::exists(e.path() / "brivanto_b.psd")) out.push_back(e.path());
  std::sort(out.begin(), out.end());
  return out;
}

using DemoTest = EditorFixture;

TEST_F(DemoTest, EveryTemplateDocumentLoadsWithItsOverlaysAndChannels) {
  const std::vector<fs::path> packages = Packages();
  if (packages.empty()) GTEST_SKIP() << "the demo library is not built";
  for (const fs::path& package : packages) {
    const Description d = Describe(ReadText(kSources / package.filename() / "template.json"));
    ASSERT_FALSE(d.channels.empty()) << package;
    for (const char* version : {"brivanto_a.psd", "brivanto_b.psd"}) {
      const std::string path = (package / version).string();
      ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(path));
      if (std::string(version) == "brivanto_a.psd") {
        EXPECT_EQ(*doc->Width(), d.spread ? 4200 : 2100) << path;
        EXPECT_EQ(*doc->Height(), 3000) << path;
      }
      EXPECT_EQ(*(*doc->ActiveLayer())->Name(), LayerName(doc, 1)) << path;
      int overlays = 0;
      for (int i = 1; i <= LayerCount(doc); ++i) overlays += LayerName(doc, i) == "brivanto";
      EXPECT_EQ(overlays > 0, d.overlays) << path;
      for (const std::string& name : d.channels) {
        Result<ChannelRef> c = (*doc->Channels())->Item(name);
        ASSERT_TRUE(c.ok()) << path << ": " << name;
        ASSERT_OK_AND_ASSIGN(Plane values, ChannelValues(**c));
        int painted = 0;
        for (int y = 0; y < values.height(); y += 7)
          for (int x = 0; x < values.width(); x += 7) painted += values.At(x, y) > 0;
        EXPECT_GT(painted, 0) << path << ": " << name;
      }
      ASSERT_OK(doc->Close(kDoNotSaveChanges));
    }
  }
}

TEST_F(DemoTest, EveryDemoPhotoLoads) {
  const fs::path photos = kBuilt / "demo" / "photos";
  if (!fs::is_directory(photos)) GTEST_SKIP() << "the demo photos are not built";
  int loaded = 0;
  for (const auto& e : fs::directory_iterator(photos)) {
    ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(e.path().string()));
    EXPECT_GE(LayerCount(doc), 1) << e.path();
    const LayerBounds b = BoundsOf(Layer(doc, LayerCount(doc)));
    EXPECT_GT(b.right - b.left, 0) << e.path();
    ASSERT_OK(doc->Close(kDoNotSaveChanges));
    ++loaded;
  }
  EXPECT_GE(loaded, 7);
}

TEST_F(DemoTest, ADemoPhotoComposesIntoADemoTemplate) {
  const std::vector<fs::path> packages = Packages();
  const fs::path photo = kBuilt / "demo" / "photos" / "sunset_hills.jpg";
  if (packages.empty() || !fs::exists(photo)) GTEST_SKIP() << "the demo resources are not built";
  const fs::path package = packages.front();
  const Description d = Describe(ReadText(kSources / package.filename() / "template.json"));
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load((package / "brivanto_a.psd").string()));
  ASSERT_OK(doc->ResizeImage(1050, 1500, 72, kResampleBicubic));
  // The slot: the painted box of the first placement's channel.
  ASSERT_OK_AND_ASSIGN(Plane slot, ChannelValues(*ChannelNamed(doc, d.channels[0])));
  IntRect box;
  int inX = -1, inY = -1;  // a pixel fully inside the slot
  for (int y = 0; y < slot.height(); ++y)
    for (int x = 0; x < slot.width(); ++x)
      if (slot.At(x, y) == 255) {
        box = Union(box, IntRect{x, y, x + 1, y + 1});
        if (inX < 0) inX = x, inY = y;
      }
  ASSERT_FALSE(box.Empty());
  ASSERT_OK_AND_ASSIGN(DocumentRef p, app->Load(photo.string()));
  ASSERT_OK(SelectionOf(p)->SelectAll());
  ASSERT_OK(Layer(p, 1)->Copy(true));
  ASSERT_OK(app->SetActiveDocument(doc));
  ASSERT_OK_AND_ASSIGN(ArtLayerRef layer, doc->Paste(false));
  ASSERT_OK(p->Close(kDoNotSaveChanges));
  const LayerBounds n = BoundsOf(layer);
  const double z = 100.0 * std::max(box.Width() / (n.right - n.left), box.Height() / (n.bottom - n.top));
  ASSERT_OK(layer->Resize(z, z, kAnchorMiddleCenter));
  ASSERT_OK(layer->Translate((box.left + box.right) / 2.0 - (n.left + n.right) / 2,
                             (box.top + box.bottom) / 2.0 - (n.top + n.bottom) / 2));
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, d.channels[0]), kSelectionReplace, false));
  ASSERT_OK(RevealSelectionAsMask());
  const std::string out = folder.File("preview.jpg");
  ASSERT_OK(doc->SaveAs(out, JPEGSaveOptions{10}, true, kExtensionLowerCase));
  ASSERT_OK_AND_ASSIGN(DecodedImage result, DecodeImageFile(out));
  EXPECT_EQ(result.pixels.width(), 1050);
  // Inside the slot the photo shows: the flattened picture there is the photo layer's.
  const Image flat = Flat(doc);
  EXPECT_TRUE(SamePixel(flat.At(inX, inY), LayerPixelAt(Pixels(layer), inX, inY), 2));
}

}  // namespace
}  // namespace tessaro::editortest
