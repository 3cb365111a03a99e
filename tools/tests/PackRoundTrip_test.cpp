// tessaro-cli pack end to end: a description that uses every feature is
// packed and everything written is read back with the program's own readers
// (descriptors, template documents, enciphered backgrounds, Sample.jpg) and
// with tessaro-cli inspect; wrong descriptions write nothing; the SVG cache
// saves renderings.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/psd/Psd.h"
#include "model/Package.h"
#include "testing/Probes.h"
#include "testing/TempFolder.h"
#include "tools/pack/Svg.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::json;

struct CliRun {
  int Code = -1;
  std::string Out, Err;
};

std::string Quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string ReadText(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : std::string();
}

class PackTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    FFolder = std::make_unique<test::TempFolder>("tessaro-pack-test");
    FDir = FFolder->Path();
    MakeDirectories(FDir + "/src/art");
    WriteArt();
  }
  static void TearDownTestSuite() { FFolder.reset(); }

  static CliRun Cli(const std::string& args) {
    const std::string cli = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli";
    const std::string out = FDir + "/out.txt", err = FDir + "/err.txt";
    const int status =
        std::system((Quote(cli) + " " + args + " >" + Quote(out) + " 2>" + Quote(err)).c_str());
    return CliRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(out), ReadText(err)};
  }

  // The description src/<name>.json, and out/<name>, where it is packed.
  static std::string SourceOf(const std::string& name) { return FDir + "/src/" + name + ".json"; }
  static std::string OutOf(const std::string& name) { return FDir + "/out/" + name; }
  // Writes `j` as src/<name>.json and packs it into out/<name>.
  static CliRun PackAs(const std::string& name, const Json& j) {
    Write("src/" + name + ".json", j.dump());
    return Cli("pack " + Quote(SourceOf(name)) + " " + Quote(OutOf(name)));
  }

  static void Write(const std::string& name, const std::string& text) {
    MakeDirectories(WithoutTrailingSeparator(FolderOf(JoinPath(FDir, name))));
    ASSERT_TRUE(WriteFileAtomic(JoinPath(FDir, name), std::string_view(text)).ok());
  }

  static void WriteArt() {
    // A background drawing with a stated size of other proportions than the
    // page (it is cut to cover), a raster overlay with a transparent
    // middle, a drawn mask (white disc on black) and a raster mask (a grey
    // ramp from black on the left to white on the right).
    Write("src/art/bg.svg",
          "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='300' viewBox='0 0 300 300'>"
          "<rect width='300' height='300' fill='#3060a0'/></svg>");
    Image frame;
    ASSERT_TRUE(frame.Create(50, 50, Rgba8{200, 20, 20, 255}).ok());
    for (int y = 5; y < 45; ++y)
      for (int x = 5; x < 45; ++x) frame.At(x, y) = Rgba8{0, 0, 0, 0};
    auto png = EncodePng(frame);
    ASSERT_TRUE(png.ok());
    ASSERT_TRUE(WriteFileAtomic(FDir + "/src/art/frame.png", *png).ok());
    Write("src/art/disc.svg",
          "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='100'>"
          "<rect width='100' height='100' fill='#000'/><circle cx='50' cy='50' r='40' fill='#fff'/></svg>");
    Image ramp;
    ASSERT_TRUE(ramp.Create(256, 4).ok());
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 256; ++x) ramp.At(x, y) = Rgba8{uint8_t(x), uint8_t(x), uint8_t(x), 255};
    auto rampPng = EncodePng(ramp);
    ASSERT_TRUE(rampPng.ok());
    ASSERT_TRUE(WriteFileAtomic(FDir + "/src/art/ramp.png", *rampPng).ok());
  }

  // Every feature: both photo types, every effect kind, a picture and a
  // colour background, overlays with opacity and blend mode and a
  // rectangle, every channel shape, two kinds of mask picture, feathering,
  // one slot in two places, an explicit result version.
  static Json Everything() {
    return Json::parse(R"({
      "spread": false,
      "header": 4321,
      "slots": [
        { "type": "opaque", "effects": [ { "kind": 0, "params": [2, 80] }, { "kind": 5, "params": [1, 250, 196, 150, 100] } ] },
        { "type": "transparent", "effects": [ { "kind": 7, "params": [2, 4, 1.2, 250, 5, 245, 90] } ] },
        { "type": "opaque", "effects": [ { "kind": 10, "params": [8, -4, 100] }, { "kind": 11, "params": [0, 0, 0, 75.5] } ] },
        { "type": "opaque", "effects": [ { "kind": 12, "params": [30, 59, 11, 0, 30, 59, 11, 0, 30, 59, 11, 0, 1, 100] } ] },
        { "type": "opaque" }
      ],
      "preview": {
        "width": 2100, "height": 3000, "resolution": 96,
        "background": "art/bg.svg",
        "overlays": [
          { "picture": "art/frame.png", "rect": [100, 100, 600, 600], "opacity": 60, "blend": "multiply" },
          { "picture": "art/frame.png" }
        ],
        "placements": [
          { "slot": 3, "channel": "rounded", "rect": [1100, 200, 1900, 1000], "shape": "rounded", "radius": 100 },
          { "slot": 1, "channel": "window", "rect": [200, 1200, 1000, 2000] },
          { "slot": 2, "channel": "oval", "rect": [1100, 1200, 1900, 2000], "shape": "ellipse", "feather": 40 },
          { "slot": 4, "channel": "disc", "rect": [200, 2100, 1000, 2900], "mask": "art/disc.svg" },
          { "slot": 5, "channel": "ramp", "rect": [1100, 2100, 1900, 2900], "mask": "art/ramp.png", "feather": 8 },
          { "slot": 1, "channel": "window again", "rect": [100, 700, 300, 900] }
        ]
      },
      "result": {
        "width": 700, "height": 1000, "resolution": 100,
        "background": { "color": "#204080" },
        "placements": [
          { "slot": 1, "channel": "w", "rect": [50, 400, 350, 700] },
          { "slot": 2, "channel": "o", "rect": [400, 400, 650, 700], "shape": "ellipse" },
          { "slot": 3, "channel": "r", "rect": [400, 50, 650, 350], "shape": "rounded" },
          { "slot": 4, "channel": "d", "rect": [50, 720, 350, 980], "mask": "art/disc.svg" },
          { "slot": 5, "channel": "m", "rect": [400, 720, 650, 980] },
          { "slot": 1, "channel": "w2", "rect": [20, 20, 120, 120] }
        ]
      }
    })");
  }

  static std::string Package() { return FDir + "/out/测试包"; }

  static inline std::unique_ptr<test::TempFolder> FFolder;
  static inline std::string FDir;
};

PsdDocument ReadDocument(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  EXPECT_TRUE(bytes.ok()) << path;
  if (!bytes.ok()) return {};
  auto doc = ReadPsd(*bytes);
  EXPECT_TRUE(doc.ok()) << doc.message();
  return doc.ok() ? std::move(*doc) : PsdDocument{};
}

const PsdAlphaChannel* Channel(const PsdDocument& doc, const std::string& name) {
  for (const auto& c : doc.alphaChannels)
    if (c.name == name) return &c;
  return nullptr;
}

TEST_F(PackTest, RoundTripOfEveryFeature) {
  Write("src/template.json", Everything().dump(2));
  const CliRun r = Cli("pack " + Quote(FDir + "/src/template.json") + " " + Quote(Package()) + " --cache " +
                       Quote(FDir + "/cache"));
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(r.Err, "");
  for (const char* f : {kPreviewDescriptorName, kResultDescriptorName, kPreviewTemplateDocument,
                        kResultTemplateDocument, kPreviewTemplateImage, kResultTemplateImage, kSampleName})
    EXPECT_TRUE(FileExists(JoinPath(Package(), f))) << f;
  for (const auto& e : fs::directory_iterator(FDir + "/out"))
    EXPECT_NE(e.path().filename().string().front(), '.') << "left beside the package: " << e.path();

  // ---- Descriptors ----
  auto a = ReadDescriptor(JoinPath(Package(), kPreviewDescriptorName), 3);
  auto b = ReadDescriptor(JoinPath(Package(), kResultDescriptorName), 3);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->HeaderValue, 4321);
  EXPECT_EQ(a->Spread, 0);
  ASSERT_EQ(a->Slots.size(), 5u);
  ASSERT_EQ(b->Slots.size(), 5u);
  const std::vector<int> types = {1, 0, 1, 1, 1};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(a->Slots[i]->PhotoType, types[i]);
    EXPECT_EQ(a->Slots[i]->TempIndex, 3);
  }
  ASSERT_EQ(a->Slots[0]->Effects.size(), 2u);
  EXPECT_EQ(a->Slots[0]->Effects[0]->Kind, 0);
  EXPECT_EQ(a->Slots[0]->Effects[0]->Params, (std::vector<float>{2, 80}));
  EXPECT_EQ(a->Slots[0]->Effects[1]->Kind, 5);
  EXPECT_EQ(a->Slots[0]->Effects[1]->Params, (std::vector<float>{1, 250, 196, 150, 100}));
  EXPECT_EQ(a->Slots[1]->Effects[0]->Params, (std::vector<float>{2, 4, 1.2f, 250, 5, 245, 90}));
  EXPECT_EQ(a->Slots[2]->Effects[1]->Kind, 11);
  EXPECT_EQ(a->Slots[2]->Effects[1]->Params[3], 75.5f);
  EXPECT_EQ(a->Slots[3]->Effects[0]->Params.size(), 14u);
  EXPECT_TRUE(a->Slots[4]->Effects.empty());
  // Placements sorted by slot, slot 1's two windows in the order written.
  std::vector<std::string> names;
  for (const auto& p : a->Placements) names.push_back(p->ChannelName);
  EXPECT_EQ(names, (std::vector<std::string>{"window", "window again", "oval", "rounded", "disc", "ramp"}));
  EXPECT_EQ(a->Placements[0]->Rect.Left, 200);
  EXPECT_EQ(a->Placements[0]->Rect.Bottom, 2000);
  EXPECT_EQ(a->Placements[1]->SlotNumber, 1);
  names.clear();
  for (const auto& p : b->Placements) names.push_back(p->ChannelName);
  EXPECT_EQ(names, (std::vector<std::string>{"w", "w2", "o", "r", "d", "m"}));
  EXPECT_EQ(b->Placements[2]->Rect.Right, 650) << "result rectangles in result-document pixels";

  // ---- Template documents ----
  const PsdDocument docA = ReadDocument(JoinPath(Package(), kPreviewTemplateDocument));
  EXPECT_EQ(docA.width, 2100);
  EXPECT_EQ(docA.height, 3000);
  EXPECT_DOUBLE_EQ(docA.resolution, 96);
  ASSERT_EQ(docA.layers.size(), 3u);
  EXPECT_EQ(docA.layers[0].name, "Background");
  EXPECT_EQ(docA.layers[0].bounds, (IntRect{0, 0, 2100, 3000}));
  EXPECT_EQ(docA.layers[1].name, "brivanto");
  EXPECT_EQ(docA.layers[1].opacity, 153);
  EXPECT_EQ(docA.layers[1].blendMode, BlendMode::kMultiply);
  EXPECT_EQ(docA.layers[1].bounds, (IntRect{100, 100, 600, 600}));
  EXPECT_EQ(docA.layers[2].name, "brivanto");
  EXPECT_EQ(docA.layers[2].opacity, 255);
  EXPECT_EQ(docA.layers[2].blendMode, BlendMode::kNormal);
  // The background drawing covers the page.
  const Rgba8 bg = docA.layers[0].pixels.At(1000, 1500);
  EXPECT_NEAR(bg.r, 0x30, 2);
  EXPECT_NEAR(bg.b, 0xa0, 2);
  // The composite is the flattened page: the full-page frame's border is red.
  EXPECT_GT(docA.composite.At(10, 1500).r, 180);
  EXPECT_NEAR(docA.composite.At(1000, 1500).b, 0xa0, 3);

  std::vector<std::string> channels;
  for (const auto& c : docA.alphaChannels) channels.push_back(c.name);
  EXPECT_EQ(channels, (std::vector<std::string>{"rounded", "window", "oval", "disc", "ramp", "window again"}))
      << "one channel per placement, in the order written";
  test::ExpectPixels(Channel(docA, "window")->pixels,
                     {{200, 1200, 255}, {999, 1999, 255}, {199, 1500, 0}, {1000, 1500, 0}});
  test::ExpectPixels(Channel(docA, "rounded")->pixels,
                     {{1100, 200, 0, "corner cut"}, {1500, 200, 255, "edge straight"}, {1500, 600, 255}});
  const Plane& oval = Channel(docA, "oval")->pixels;
  test::ExpectPixels(oval, {{1500, 1600, 255},
                            {1110, 1210, 0},
                            {1075, 1600, 0, "the feather reaches 20 pixels out"},
                            {1125, 1600, 255}});
  for (int x = 1060; x < 1140; ++x)
    EXPECT_LE(oval.At(x, 1600), oval.At(x + 1, 1600)) << "feather rises at " << x;
  EXPECT_GT(oval.At(1090, 1600), 0);
  EXPECT_LT(oval.At(1110, 1600), 255);
  test::ExpectPixels(Channel(docA, "disc")->pixels, {{600, 2500, 255, "white of the drawn mask"},
                                                     {210, 2110, 0, "black of the drawn mask"},
                                                     {100, 2500, 0, "outside the window"}});
  const Plane& ramp = Channel(docA, "ramp")->pixels;
  EXPECT_LT(ramp.At(1150, 2500), 30);
  EXPECT_NEAR(ramp.At(1500, 2500), 128, 12);
  EXPECT_GT(ramp.At(1850, 2500), 225);

  const PsdDocument docB = ReadDocument(JoinPath(Package(), kResultTemplateDocument));
  EXPECT_EQ(docB.width, 700);
  EXPECT_EQ(docB.height, 1000);
  EXPECT_DOUBLE_EQ(docB.resolution, 100);
  ASSERT_EQ(docB.layers.size(), 1u) << "the result version has no overlays";
  EXPECT_EQ(docB.layers[0].name, "Background");
  EXPECT_EQ(docB.alphaChannels.size(), 6u);
  EXPECT_EQ(Channel(docB, "m")->pixels.At(500, 800), 255);
  EXPECT_EQ(Channel(docB, "m")->pixels.At(399, 800), 0);

  // ---- Enciphered backgrounds ----
  for (const auto& [name, w, h, ppi] : {std::tuple{kPreviewTemplateImage, 2100, 3000, 96.0},
                                        std::tuple{kResultTemplateImage, 700, 1000, 100.0}}) {
    auto raw = ReadWholeFile(JoinPath(Package(), name));
    ASSERT_TRUE(raw.ok());
    EXPECT_FALSE(DecodeImage(*raw).ok()) << name << " head must be enciphered";
    const std::string plain = FDir + "/plain.jpg";
    ASSERT_TRUE(DecipherTemplateImage(JoinPath(Package(), name), plain).ok());
    auto decoded = DecodeImageFile(plain);
    ASSERT_TRUE(decoded.ok()) << decoded.message();
    EXPECT_EQ(decoded->pixels.width(), w);
    EXPECT_EQ(decoded->pixels.height(), h);
    EXPECT_DOUBLE_EQ(decoded->ppi, ppi);
    if (w == 700) {
      const Rgba8 c = decoded->pixels.At(350, 500);
      EXPECT_NEAR(c.r, 0x20, 3);
      EXPECT_NEAR(c.g, 0x40, 3);
      EXPECT_NEAR(c.b, 0x80, 3);
    } else {
      EXPECT_LT(decoded->pixels.At(10, 1500).r, 80) << "the background picture holds no overlay";
    }
  }

  // ---- Sample.jpg ----
  auto sample = DecodeImageFile(JoinPath(Package(), kSampleName));
  ASSERT_TRUE(sample.ok());
  EXPECT_EQ(sample->pixels.width(), 420);
  EXPECT_EQ(sample->pixels.height(), 600);
  EXPECT_GT(sample->pixels.At(2, 300).r, 150) << "overlays lie on top";
  // The placeholder in the rounded window (normal blend mode) differs from
  // the background there.
  const Rgba8 inWindow = sample->pixels.At(300, 120);
  EXPECT_GT(std::abs(inWindow.r - 0x30) + std::abs(inWindow.b - 0xa0), 30);

  // ---- inspect reads back everything ----
  const CliRun inspect = Cli("inspect " + Quote(Package()));
  ASSERT_EQ(inspect.Code, 0) << inspect.Err;
  const Json j = Json::parse(inspect.Out);
  EXPECT_EQ(j["preview"]["headerValue"], 4321);
  EXPECT_EQ(j["preview"]["placements"].size(), 6u);
  EXPECT_EQ(j["documents"]["preview"]["alphaChannels"],
            Json::array({"rounded", "window", "oval", "disc", "ramp", "window again"}));
  EXPECT_EQ(j["documents"]["preview"]["layers"][1]["name"], "brivanto");
  EXPECT_EQ(j["documents"]["preview"]["layers"][1]["blend"], "multiply");
  EXPECT_EQ(j["documents"]["result"]["width"], 700);
  EXPECT_EQ(j["images"]["result"]["format"], "JPEG");
  EXPECT_EQ(j["images"]["preview"]["width"], 2100);
  EXPECT_EQ(j["sample"], true);
  EXPECT_EQ(j["sampleSize"], Json::array({420, 600}));
}

TEST_F(PackTest, SpreadWithDerivedResult) {
  Json j = Everything();
  j["spread"] = true;
  j["preview"]["width"] = 4200;
  j["preview"]["placements"][0]["rect"] = {3100, 200, 3900, 1000};
  j["result"] = {{"from", "preview"}, {"width", 1400}, {"height", 1000}};
  const CliRun r = PackAs("spread", j);
  const std::string out = OutOf("spread");
  ASSERT_EQ(r.Code, 0) << r.Err;
  auto a = ReadDescriptor(JoinPath(out, kPreviewDescriptorName), 0);
  auto b = ReadDescriptor(JoinPath(out, kResultDescriptorName), 0);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->Spread, 1);
  EXPECT_EQ(b->Spread, 1);
  ASSERT_EQ(b->Placements.size(), a->Placements.size());
  for (size_t i = 0; i < a->Placements.size(); ++i) {
    EXPECT_EQ(b->Placements[i]->ChannelName, a->Placements[i]->ChannelName);
    EXPECT_EQ(b->Placements[i]->Rect.Left, std::round(a->Placements[i]->Rect.Left / 3));
    EXPECT_EQ(b->Placements[i]->Rect.Bottom, std::round(a->Placements[i]->Rect.Bottom / 3));
  }
  const PsdDocument docA = ReadDocument(JoinPath(out, kPreviewTemplateDocument));
  EXPECT_EQ(docA.width, 4200);
  const PsdDocument docB = ReadDocument(JoinPath(out, kResultTemplateDocument));
  EXPECT_EQ(docB.width, 1400);
  EXPECT_EQ(docB.height, 1000);
  EXPECT_DOUBLE_EQ(docB.resolution, 300);
  EXPECT_EQ(docB.layers.size(), 3u) << "the derived result takes the overlays";
  EXPECT_EQ(docB.layers[1].bounds, (IntRect{33, 33, 200, 200}));
  auto sample = DecodeImageFile(JoinPath(out, kSampleName));
  ASSERT_TRUE(sample.ok());
  EXPECT_EQ(sample->pixels.width(), 600);
  EXPECT_EQ(sample->pixels.height(), 429);
}

TEST_F(PackTest, MistakesAreAllReportedAndNothingIsWritten) {
  Json j = Everything();
  j["slots"][1]["effects"][0]["kind"] = 4;
  j["preview"]["placements"][1]["slot"] = 9;
  j["preview"]["overlays"][1]["picture"] = "art/missing.png";
  const CliRun r = PackAs("bad", j);
  const std::string out = OutOf("bad"), description = SourceOf("bad");
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(r.Out, "");
  EXPECT_EQ(r.Err, description +
                       ": slots[1].effects[0]: unknown effect kind 4 (known kinds: 0, 5, 7, 10, 11, 12)\n" +
                       description + ": preview.overlays[1].picture: art/missing.png: no such file\n" +
                       description +
                       ": preview.placements[1]: slot 9 does not exist (the template has 5 slots)\n");
  EXPECT_FALSE(fs::exists(out));

  const CliRun check = Cli("pack --check " + Quote(description));
  EXPECT_EQ(check.Code, 1);
  EXPECT_EQ(check.Err, r.Err);
}

TEST_F(PackTest, UsageMistakesExitWithTwo) {
  EXPECT_EQ(Cli("pack").Code, 2);
  EXPECT_EQ(Cli("pack only-one-argument.json").Code, 2);
  const CliRun r = Cli("pack a.json b --frobnicate");
  EXPECT_EQ(r.Code, 2);
  EXPECT_NE(r.Err.find("--frobnicate"), std::string::npos) << r.Err;
  EXPECT_NE(r.Err.find("--help"), std::string::npos) << r.Err;
  EXPECT_EQ(Cli("pack --help").Code, 0);
}

TEST_F(PackTest, ReplacesAPackageButNeverAnotherFolder) {
  Write("src/template.json", Everything().dump());
  const std::string out = FDir + "/out/twice";
  ASSERT_EQ(Cli("pack " + Quote(FDir + "/src/template.json") + " " + Quote(out)).Code, 0);
  Write("out/twice/stale.txt", "from before");
  ASSERT_EQ(Cli("pack " + Quote(FDir + "/src/template.json") + " " + Quote(out)).Code, 0);
  EXPECT_FALSE(FileExists(out + "/stale.txt")) << "the package is replaced as a whole";
  EXPECT_TRUE(FileExists(JoinPath(out, kSampleName)));

  Write("out/documents/letter.txt", "keep me");
  const CliRun r = Cli("pack " + Quote(FDir + "/src/template.json") + " " + Quote(FDir + "/out/documents"));
  EXPECT_EQ(r.Code, 1);
  EXPECT_NE(r.Err.find("exists and is not a template package"), std::string::npos) << r.Err;
  EXPECT_EQ(ReadText(FDir + "/out/documents/letter.txt"), "keep me");
  EXPECT_FALSE(FileExists(FDir + "/out/documents/" + kPreviewDescriptorName));
}

TEST_F(PackTest, SvgCacheRendersEachDrawingAndSizeOnce) {
  const std::string cache = FDir + "/cache-unit";
  authoring::TSvgRenderer renderer(cache);
  const std::string svg = FDir + "/src/art/disc.svg";
  auto first = renderer.Render(svg, 40, 30);
  ASSERT_TRUE(first.ok()) << first.message();
  EXPECT_EQ(first->width(), 40);
  EXPECT_EQ(first->height(), 30);
  EXPECT_EQ(renderer.RenderCount(), 1);
  EXPECT_TRUE(FileExists(renderer.CachePath(svg, 40, 30)));
  auto again = renderer.Render(svg, 40, 30);
  ASSERT_TRUE(again.ok());
  EXPECT_EQ(renderer.RenderCount(), 1) << "taken from the cache";
  EXPECT_TRUE(std::equal(first->data(), first->data() + first->PixelCount(), again->data()));
  ASSERT_TRUE(renderer.Render(svg, 20, 20).ok());
  EXPECT_EQ(renderer.RenderCount(), 2) << "another size is another rendering";
  // A changed drawing is another entry.
  Write("src/art/disc2.svg", ReadText(svg) + "<!-- changed -->");
  EXPECT_NE(renderer.CachePath(FDir + "/src/art/disc2.svg", 40, 30), renderer.CachePath(svg, 40, 30));
  // Prefetching renders only what is missing.
  const auto statuses = renderer.Prefetch({{svg, 40, 30}, {svg, 10, 10}, {svg, 12, 10}}, 2);
  for (const Status& s : statuses) EXPECT_TRUE(s.ok()) << s.message();
  EXPECT_EQ(renderer.RenderCount(), 4);
}

TEST_F(PackTest, SvgThatCannotBeRenderedIsReportedWithItsLocation) {
  Json j = Everything();
  Write("src/art/broken.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect");
  j["preview"]["overlays"][0]["picture"] = "art/broken.svg";
  const CliRun r = PackAs("broken", j);
  const std::string out = OutOf("broken"), description = SourceOf("broken");
  EXPECT_EQ(r.Code, 1);
  EXPECT_EQ(
      r.Err.rfind(
          description + ": preview.overlays[0].picture: art/broken.svg: rsvg-convert could not render it", 0),
      0u)
      << r.Err;
  EXPECT_FALSE(fs::exists(out));
}

}  // namespace
}  // namespace tessaro
