// The demo resources the build makes: every package of the demo template
// library loads, imports through the controller and opens in independent
// readers with its channels and overlay layers; the library shows every
// feature it is meant to; the demo photos decode in their formats and
// orientation; the demo set loads with nothing dropped.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/tests/psd/PsdTestUtil.h"
#include "model/Package.h"
#include "model/SetFile.h"
#include "model/tests/ControllerTestBase.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

const std::string kResources = std::string(TESSARO_BINARY_DIR) + "/resources";
const std::string kLibrary = kResources + "/templates";
const std::string kPhotos = kResources + "/demo/photos";
const std::string kDemoSet = kResources + "/demo/demo.cys";

std::vector<std::string> LibraryPackages() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(kLibrary, ec))
    if (e.is_directory() && FileExists(JoinPath(e.path().string(), kPreviewDescriptorName)))
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> SourceTemplates() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e :
       fs::directory_iterator(std::string(TESSARO_SOURCE_DIR) + "/resources/templates/src", ec))
    if (e.is_directory() && FileExists(JoinPath(e.path().string(), "template.json")))
      names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(DemoLibrary, EverySourceIsPackedAndReadsBack) {
  const auto packages = LibraryPackages();
  EXPECT_GE(packages.size(), 10u);
  EXPECT_EQ(packages, SourceTemplates());
  for (const auto& name : packages) {
    const std::string folder = JoinPath(kLibrary, name);
    auto a = ReadDescriptorFile(JoinPath(folder, kPreviewDescriptorName), 0);
    auto b = ReadDescriptorFile(JoinPath(folder, kResultDescriptorName), 0);
    ASSERT_TRUE(a.ok()) << a.message();
    ASSERT_TRUE(b.ok()) << b.message();
    EXPECT_FALSE((*a)->Slots.empty()) << name;
    EXPECT_EQ((*a)->Placements.size(), (*b)->Placements.size()) << name;
    for (size_t i = 0; i < (*a)->Placements.size(); ++i)
      EXPECT_EQ((*a)->Placements[i]->SlotNumber, (*b)->Placements[i]->SlotNumber) << name;
    auto sample = DecodeImageFile(JoinPath(folder, kSampleName));
    ASSERT_TRUE(sample.ok()) << name;
    EXPECT_EQ(std::max(sample->pixels.width(), sample->pixels.height()), 600) << name;
    const std::string plain = ::testing::TempDir() + "/demo_bg.jpg";
    ASSERT_TRUE(DecipherTemplateImage(JoinPath(folder, kResultTemplateImage), plain).ok()) << name;
    auto bg = ProbeImageFile(plain);
    ASSERT_TRUE(bg.ok()) << name;
    EXPECT_EQ(bg->format, ImageFormat::kJpeg);
    EXPECT_DOUBLE_EQ(bg->xPpi, 300) << name;
  }
}

// What the library as a whole shows.
TEST(DemoLibrary, CoversEveryFeatureOfTheTemplates) {
  std::set<int> kinds;
  bool spread = false, single = false, transparent = false, twice = false, tenSlots = false;
  bool portrait = false, landscape = false;
  for (const auto& name : LibraryPackages()) {
    auto t = ReadDescriptor(JoinPath(JoinPath(kLibrary, name), kPreviewDescriptorName), 0);
    ASSERT_TRUE(t);
    (t->Spread ? spread : single) = true;
    tenSlots = tenSlots || t->Slots.size() == 10;
    std::map<int, int> perSlot;
    for (const auto& p : t->Placements) {
      ++perSlot[p->SlotNumber];
      const float w = p->Rect.Right - p->Rect.Left, h = p->Rect.Bottom - p->Rect.Top;
      portrait = portrait || h > w * 1.1f;
      landscape = landscape || w > h * 1.1f;
    }
    for (auto [slot, count] : perSlot) twice = twice || count >= 2;
    for (const auto& s : t->Slots) {
      transparent = transparent || s->PhotoType == 0;
      for (const auto& e : s->Effects) kinds.insert(e->Kind);
    }
  }
  EXPECT_TRUE(spread);
  EXPECT_TRUE(single);
  EXPECT_TRUE(transparent) << "a slot for cut-out photos";
  EXPECT_TRUE(twice) << "one slot shown in two places";
  EXPECT_TRUE(tenSlots) << "a template with all ten slot buttons";
  EXPECT_TRUE(portrait && landscape);
  EXPECT_EQ(kinds, (std::set<int>{0, 5, 7, 10, 11, 12}));
}

class DemoLibraryImport : public testing::ControllerTest {};

TEST_F(DemoLibraryImport, EveryPackageImportsThroughTheController) {
  const auto packages = LibraryPackages();
  ASSERT_FALSE(packages.empty());
  TSizeNode size;
  size.Name = "8×6   (8英寸)";
  size.Width = 6;
  size.Height = 8;
  size.SizeUnit = kUnitInch;
  for (size_t i = 0; i < packages.size(); ++i) {
    ASSERT_TRUE(Ctl().ImportTemplate(0, JoinPath(kLibrary, packages[i]), size)) << packages[i];
    Check();
  }
  ASSERT_EQ(Set().PreviewTemps.size(), packages.size());
  ASSERT_EQ(FTemps.Count(), static_cast<int>(packages.size()));
  for (size_t i = 0; i < packages.size(); ++i) {
    const TTempNode& t = Temp(int(i));
    EXPECT_EQ(FTemps.Rows[i].Thumb, JoinPath(JoinPath(kLibrary, packages[i]), kSampleName));
    EXPECT_EQ(FTemps.Rows[i].Texts[2], "0/" + std::to_string(t.Slots.size()));
    EXPECT_EQ(FTemps.Rows[i].Texts[1].rfind(packages[i], 0), 0u) << FTemps.Rows[i].Texts[1];
  }
}

TEST(DemoLibrary, ImageMagickSeesTheBackgroundAndOverlayLayers) {
  if (!psdtest::HaveImageMagick()) GTEST_SKIP() << "ImageMagick not installed";
  for (const auto& name : LibraryPackages()) {
    for (const char* doc : {kPreviewTemplateDocument, kResultTemplateDocument}) {
      const std::string path = JoinPath(JoinPath(kLibrary, name), doc);
      std::string listing;
      ASSERT_EQ(psdtest::RunCommand("/usr/bin/identify -format '%l|' " + psdtest::ShellQuote(path), &listing),
                0)
          << path;
      EXPECT_NE(listing.find("|Background|"), std::string::npos) << path << ": " << listing;
      EXPECT_NE(listing.find("|brivanto"), std::string::npos) << path << ": " << listing;
    }
  }
}

const char* kAgPsdChannels = R"JS(
const ag = require(process.argv[2]);
const out = [];
for (const file of process.argv.slice(3)) {
  const psd = ag.readPsd(require('fs').readFileSync(file),
    { skipLayerImageData: true, skipCompositeImageData: true, skipThumbnail: true });
  const ir = psd.imageResources || {};
  out.push({ file, width: psd.width, height: psd.height,
             resolution: ir.resolutionInfo ? ir.resolutionInfo.horizontalResolution : 0,
             alphaChannelNames: ir.alphaChannelNames || [],
             layers: (psd.children || []).map(l => l.name) });
}
console.log(JSON.stringify(out));
)JS";

TEST(DemoLibrary, AgPsdSeesTheNamedChannelsAndOverlayLayers) {
  const std::string module = psdtest::AgPsdModule();
  if (module.empty()) GTEST_SKIP() << "ag-psd not available (no node, or npm could not install it)";
  const std::string script = ::testing::TempDir() + "/demo_channels.js";
  ASSERT_TRUE(WriteFileAtomic(script, std::string_view(kAgPsdChannels)).ok());
  std::string command = "node " + psdtest::ShellQuote(script) + " " + psdtest::ShellQuote(module);
  struct Expected {
    std::multiset<std::string> Channels;
    std::string Folder;
    bool Preview;
  };
  std::map<std::string, Expected> expected;
  for (const auto& name : LibraryPackages()) {
    const std::string folder = JoinPath(kLibrary, name);
    for (bool preview : {true, false}) {
      auto t = ReadDescriptor(JoinPath(folder, preview ? kPreviewDescriptorName : kResultDescriptorName), 0);
      ASSERT_TRUE(t);
      Expected e{{}, folder, preview};
      for (const auto& p : t->Placements) e.Channels.insert(p->ChannelName);
      const std::string path = JoinPath(folder, preview ? kPreviewTemplateDocument : kResultTemplateDocument);
      expected[path] = e;
      command += " " + psdtest::ShellQuote(path);
    }
  }
  std::string out;
  ASSERT_EQ(psdtest::RunCommand(command, &out), 0);
  const Json j = Json::parse(out, nullptr, false);
  ASSERT_TRUE(j.is_array()) << out;
  ASSERT_EQ(j.size(), expected.size());
  for (const auto& doc : j) {
    const std::string file = doc["file"];
    const Expected& e = expected.at(file);
    std::multiset<std::string> channels;
    for (const auto& n : doc["alphaChannelNames"]) channels.insert(n.get<std::string>());
    EXPECT_EQ(channels, e.Channels) << file;
    const auto& layers = doc["layers"];
    ASSERT_GE(layers.size(), 2u) << file;
    EXPECT_EQ(layers[0], "Background") << file;
    for (size_t i = 1; i < layers.size(); ++i) EXPECT_EQ(layers[i], "brivanto") << file;
    EXPECT_DOUBLE_EQ(doc["resolution"].get<double>(), e.Preview ? 72 : 300) << file;
    if (e.Preview) {
      EXPECT_EQ(doc["height"], 3000);
      EXPECT_TRUE(doc["width"] == 2100 || doc["width"] == 4200) << file;
    }
  }
}

// ---- Demo photos ----------------------------------------------------------

std::vector<std::string> CMakePhotoList() {
  std::vector<std::string> names;
  std::string list = TESSARO_DEMO_PHOTOS;
  for (size_t start = 0, end; start < list.size(); start = end + 1) {
    end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    names.push_back(list.substr(start, end - start));
  }
  return names;
}

TEST(DemoPhotos, TheBuildAndTheGeneratorListTheSamePhotos) {
  std::string out;
  const std::string generator = std::string(TESSARO_BINARY_DIR) + "/resources/tessaro-demo";
  ASSERT_EQ(psdtest::RunCommand(psdtest::ShellQuote(generator) + " list", &out), 0);
  std::string expected;
  for (const auto& name : CMakePhotoList()) expected += name + "\n";
  EXPECT_EQ(out, expected);
}

TEST(DemoPhotos, EveryPhotoIsThereInItsFormat) {
  const auto names = CMakePhotoList();
  EXPECT_GE(names.size(), 12u);
  std::set<ImageFormat> formats;
  bool portrait = false, landscape = false, square = false, panorama = false;
  for (const auto& name : names) {
    const std::string path = JoinPath(kPhotos, name);
    auto info = ProbeImageFile(path);
    ASSERT_TRUE(info.ok()) << path << ": " << info.message();
    formats.insert(info->format);
    const int w = info->DisplayWidth(), h = info->DisplayHeight();
    portrait = portrait || h > w;
    landscape = landscape || w > h;
    square = square || w == h;
    panorama = panorama || w >= 2.5 * h;
    EXPECT_LE(int64_t(w) * h, 24'000'000) << name;
    auto decoded = DecodeImageFile(path);
    ASSERT_TRUE(decoded.ok()) << path;
    EXPECT_EQ(decoded->pixels.width(), w) << name;
  }
  EXPECT_TRUE(portrait && landscape && square && panorama);
  EXPECT_EQ(formats, (std::set<ImageFormat>{ImageFormat::kJpeg, ImageFormat::kPng, ImageFormat::kTiff,
                                            ImageFormat::kGif, ImageFormat::kBmp, ImageFormat::kTga,
                                            ImageFormat::kPsd}));
}

TEST(DemoPhotos, LargestJpegHasTwentyFourMegapixelsAndAThumbnail) {
  auto info = ProbeImageFile(JoinPath(kPhotos, "sunset_hills.jpg"));
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->width, 6000);
  EXPECT_EQ(info->height, 4000);
  EXPECT_GT(info->exifThumbnailWidth, 0);
  EXPECT_DOUBLE_EQ(info->xPpi, 300);
}

TEST(DemoPhotos, RotatedJpegShowsUprightOnlyWhenTheTagIsHonoured) {
  const std::string path = JoinPath(kPhotos, "mountain_lake_portrait.jpg");
  auto info = ProbeImageFile(path);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->orientation, 6);
  EXPECT_GT(info->width, info->height) << "stored sideways";
  DecodeOptions raw;
  raw.applyOrientation = false;
  auto sideways = DecodeImageFile(path, raw);
  auto upright = DecodeImageFile(path);
  ASSERT_TRUE(sideways.ok() && upright.ok());
  EXPECT_EQ(upright->pixels.width(), 2400);
  EXPECT_EQ(upright->pixels.height(), 3600);
  // Upright, the sky (blue, bright) is at the top and the lake shore below.
  const Rgba8 top = upright->pixels.At(1200, 40), bottom = upright->pixels.At(1200, 3560);
  EXPECT_GT(top.b, top.r);
  EXPECT_GT(int(top.r) + top.g + top.b, int(bottom.r) + bottom.g + bottom.b);
  // Stored, the sky runs down the left side.
  const Rgba8 left = sideways->pixels.At(40, 1200);
  EXPECT_GT(left.b, left.r);
}

TEST(DemoPhotos, CutoutsAreTransparentAroundTheSubject) {
  for (const char* name : {"child_balloon.png", "couple_cutout.psd", "balloons.tga"}) {
    auto decoded = DecodeImageFile(JoinPath(kPhotos, name));
    ASSERT_TRUE(decoded.ok()) << name;
    const Image& img = decoded->pixels;
    EXPECT_TRUE(decoded->info.hasAlpha) << name;
    EXPECT_EQ(img.At(0, 0).a, 0) << name;
    size_t opaque = 0;
    for (size_t i = 0; i < img.PixelCount(); ++i) opaque += img.data()[i].a == 255;
    EXPECT_GT(opaque, img.PixelCount() / 20) << name;
    EXPECT_LT(opaque, img.PixelCount() / 2) << name;
  }
}

// ---- Demo set ---------------------------------------------------------------

TEST(DemoSet, LoadsWithNothingDropped) {
  TDiskSetFileSource disk;
  TSetLoadReport report;
  auto set = ReadSetFile(kDemoSet, disk, &report);
  ASSERT_TRUE(set.ok()) << set.message();
  EXPECT_TRUE(report.DroppedTemplates.empty());
  EXPECT_TRUE(report.DroppedPhotos.empty());
  const TSetNode& s = **set;
  EXPECT_EQ(CheckInvariants(s), "");
  EXPECT_GE(s.PreviewTemps.size(), 4u);
  EXPECT_EQ(s.Photos.size(), CMakePhotoList().size());
  bool spread = false, transparentFilled = false, rotated = false, mirrored = false, zoomed = false,
       moved = false;
  for (const auto& t : s.PreviewTemps) {
    spread = spread || t->Spread;
    EXPECT_GT(t->Width, 0);
    EXPECT_EQ(t->SizeUnit, kUnitInch);
    EXPECT_EQ(t->PlacedCount, static_cast<int>(t->Slots.size())) << t->Folder << ": every slot holds a photo";
    for (const auto& slot : t->Slots) {
      ASSERT_GE(slot->PhotoIndex, 0);
      const std::string& file = s.Photos[slot->PhotoIndex]->FileName;
      EXPECT_EQ(ClassifyPhotoFile(ExtensionOf(file)), slot->PhotoType) << file;
      transparentFilled = transparentFilled || slot->PhotoType == 0;
      rotated = rotated || slot->Angle != 0;
      mirrored = mirrored || slot->FlipH;
      moved = moved || slot->OffsetX != 0;
      zoomed = zoomed || (slot->ScaleX > 1.1f && slot->ScaleY > 1.1f);
      EXPECT_GT(slot->ScaleX, 0);
      EXPECT_GT(slot->ScaleY, 0);
    }
  }
  EXPECT_TRUE(spread && transparentFilled && rotated && mirrored && moved && zoomed);
}

TEST(DemoSet, InspectShowsNothingDropped) {
  std::string out;
  const std::string cli = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli";
  ASSERT_EQ(psdtest::RunCommand(psdtest::ShellQuote(cli) + " inspect " + psdtest::ShellQuote(kDemoSet), &out),
            0);
  const Json j = Json::parse(out);
  EXPECT_EQ(j["droppedTemplates"], Json::array());
  EXPECT_EQ(j["droppedPhotos"], Json::array());
  EXPECT_GE(j["templates"].size(), 4u);
}

}  // namespace
}  // namespace tessaro
