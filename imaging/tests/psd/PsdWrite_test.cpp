// The layered-document writer: a written document reads back with every
// field, independent readers (ImageMagick, ag-psd) see the same layers,
// masks, channels and picture, and inconsistent documents are refused.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <nlohmann/json.hpp>

#include "base/FileIo.h"
#include "imaging/psd/Psd.h"
#include "imaging/tests/psd/PsdTestUtil.h"

namespace tessaro {
namespace {

using psdtest::SampleDocument;

bool SamePlane(const Plane& a, const Plane& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::equal(a.data(), a.data() + a.PixelCount(), b.data());
}

bool SameImage(const Image& a, const Image& b) {
  return a.width() == b.width() && a.height() == b.height() &&
         std::equal(a.data(), a.data() + a.PixelCount(), b.data());
}

// The merged colour is stored over white, so a partly transparent pixel
// comes back within the rounding of that blend: about 255 / (2 alpha).
void ExpectCompositeKept(const Image& written, const Image& read) {
  ASSERT_EQ(written.width(), read.width());
  ASSERT_EQ(written.height(), read.height());
  for (int y = 0; y < written.height(); ++y)
    for (int x = 0; x < written.width(); ++x) {
      const Rgba8 w = written.At(x, y), r = read.At(x, y);
      ASSERT_EQ(w.a, r.a) << x << "," << y;
      if (w.a == 0) continue;
      const int slack = w.a == 255 ? 0 : 255 / (2 * w.a) + 1;
      ASSERT_LE(std::abs(w.r - r.r), slack) << x << "," << y;
      ASSERT_LE(std::abs(w.g - r.g), slack) << x << "," << y;
      ASSERT_LE(std::abs(w.b - r.b), slack) << x << "," << y;
    }
}

void ExpectSameLayers(const std::vector<PsdLayer>& a, const std::vector<PsdLayer>& b) {
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE(a[i].name);
    EXPECT_EQ(a[i].name, b[i].name);
    EXPECT_EQ(a[i].bounds, b[i].bounds);
    EXPECT_TRUE(SameImage(a[i].pixels, b[i].pixels));
    EXPECT_EQ(a[i].opacity, b[i].opacity);
    EXPECT_EQ(a[i].fillOpacity, b[i].fillOpacity);
    EXPECT_EQ(a[i].blendMode, b[i].blendMode);
    EXPECT_EQ(a[i].visible, b[i].visible);
    EXPECT_EQ(a[i].clipping, b[i].clipping);
    EXPECT_EQ(a[i].section, b[i].section);
    ASSERT_EQ(a[i].mask.has_value(), b[i].mask.has_value());
    if (a[i].mask) {
      EXPECT_EQ(a[i].mask->bounds, b[i].mask->bounds);
      EXPECT_TRUE(SamePlane(a[i].mask->pixels, b[i].mask->pixels));
      EXPECT_EQ(a[i].mask->defaultColor, b[i].mask->defaultColor);
      EXPECT_EQ(a[i].mask->linked, b[i].mask->linked);
      EXPECT_EQ(a[i].mask->disabled, b[i].mask->disabled);
    }
    ASSERT_EQ(a[i].colorOverlay.has_value(), b[i].colorOverlay.has_value());
    if (a[i].colorOverlay) {
      const PsdColorOverlay &p = *a[i].colorOverlay, &q = *b[i].colorOverlay;
      EXPECT_EQ(p.enabled, q.enabled);
      EXPECT_EQ(p.blendMode, q.blendMode);
      EXPECT_DOUBLE_EQ(p.opacityPercent, q.opacityPercent);
      EXPECT_EQ(p.red, q.red);
      EXPECT_EQ(p.green, q.green);
      EXPECT_EQ(p.blue, q.blue);
    }
  }
}

TEST(PsdWrite, RoundTripKeepsEveryField) {
  const PsdDocument doc = SampleDocument();
  auto bytes = WritePsd(doc);
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  auto back = ReadPsd(*bytes);
  ASSERT_TRUE(back.ok()) << back.message();
  EXPECT_EQ(back->width, doc.width);
  EXPECT_EQ(back->height, doc.height);
  EXPECT_DOUBLE_EQ(back->resolution, 254);
  EXPECT_EQ(back->colorMode, PsdColorMode::kRgb);
  EXPECT_EQ(back->depth, 8);
  EXPECT_FALSE(back->psb);
  EXPECT_TRUE(back->hasMergedTransparency);
  EXPECT_FALSE(back->compositeFlattened);
  ExpectSameLayers(doc.layers, back->layers);
  ASSERT_EQ(back->alphaChannels.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(back->alphaChannels[i].name, doc.alphaChannels[i].name);
    EXPECT_EQ(back->alphaChannels[i].spot, doc.alphaChannels[i].spot);
    EXPECT_TRUE(SamePlane(back->alphaChannels[i].pixels, doc.alphaChannels[i].pixels));
  }
  ExpectCompositeKept(doc.composite, back->composite);

  auto info = ProbePsd(*bytes);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->channels, 3 + 1 + 2) << "colour, merged transparency, two alpha channels";
  EXPECT_EQ(info->alphaChannelNames, (std::vector<std::string>{"槽 1", "Alpha 2"}));
}

TEST(PsdWrite, OpaqueCompositeHasNoTransparencyChannel) {
  PsdDocument doc = SampleDocument();
  for (size_t i = 0; i < doc.composite.PixelCount(); ++i) doc.composite.data()[i].a = 255;
  auto bytes = WritePsd(doc);
  ASSERT_TRUE(bytes.ok());
  auto info = ProbePsd(*bytes);
  ASSERT_TRUE(info.ok());
  EXPECT_EQ(info->channels, 3 + 2);
  EXPECT_FALSE(info->hasMergedTransparency);
  auto back = ReadPsd(*bytes);
  ASSERT_TRUE(back.ok());
  EXPECT_TRUE(SameImage(back->composite, doc.composite)) << "opaque colour is stored exactly";
}

TEST(PsdWrite, RaisedCancelFlagStopsTheWriter) {
  PsdDocument doc = SampleDocument();
  std::atomic<bool> cancel{true};
  auto bytes = WritePsd(doc, PsdWriteOptions{&cancel});
  ASSERT_FALSE(bytes.ok());
  EXPECT_EQ(bytes.message(), "cancelled");
  EXPECT_TRUE(bytes.cancelled());
  cancel = false;
  EXPECT_TRUE(WritePsd(doc, PsdWriteOptions{&cancel}).ok()) << "a lowered flag writes as usual";
}

TEST(PsdWrite, DocumentWithoutLayersOrChannels) {
  PsdDocument doc;
  doc.width = 3;
  doc.height = 2;
  ASSERT_TRUE(doc.composite.Create(3, 2, Rgba8{9, 8, 7, 255}).ok());
  auto bytes = WritePsd(doc);
  ASSERT_TRUE(bytes.ok());
  auto back = ReadPsd(*bytes);
  ASSERT_TRUE(back.ok()) << back.message();
  EXPECT_TRUE(back->layers.empty());
  EXPECT_TRUE(back->alphaChannels.empty());
  EXPECT_DOUBLE_EQ(back->resolution, 72);
  EXPECT_TRUE(SameImage(back->composite, doc.composite));
}

TEST(PsdWrite, LayerWithoutPixelsIsWrittenTransparent) {
  // As read from an adjustment layer: bounds, no pixels of its own.
  PsdDocument doc = SampleDocument();
  doc.layers[0].pixels.Reset();
  auto bytes = WritePsd(doc);
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  auto back = ReadPsd(*bytes);
  ASSERT_TRUE(back.ok());
  const PsdLayer& l = back->layers[0];
  EXPECT_EQ(l.bounds, doc.layers[0].bounds);
  ASSERT_FALSE(l.pixels.empty());
  for (size_t i = 0; i < l.pixels.PixelCount(); ++i) ASSERT_EQ(l.pixels.data()[i].a, 0);
}

TEST(PsdWrite, WideDocumentsBecomePsb) {
  PsdDocument doc;
  doc.width = 30001;
  doc.height = 3;
  ASSERT_TRUE(doc.composite.Create(doc.width, doc.height, Rgba8{1, 2, 3, 255}).ok());
  for (int x = 0; x < doc.width; x += 3) doc.composite.At(x, 1) = Rgba8{uint8_t(x), uint8_t(x >> 8), 0, 255};
  PsdAlphaChannel a;
  a.name = "wide";
  ASSERT_TRUE(a.pixels.Create(doc.width, doc.height).ok());
  a.pixels.At(30000, 2) = 200;
  doc.alphaChannels.push_back(std::move(a));
  PsdLayer l;
  l.name = "strip";
  l.bounds = {29990, 0, 30001, 3};
  ASSERT_TRUE(l.pixels.Create(11, 3, Rgba8{5, 6, 7, 255}).ok());
  doc.layers.push_back(std::move(l));
  auto bytes = WritePsd(doc);
  ASSERT_TRUE(bytes.ok()) << bytes.message();
  EXPECT_EQ((*bytes)[4], 0);
  EXPECT_EQ((*bytes)[5], 2) << "version 2: large document";
  auto back = ReadPsd(*bytes);
  ASSERT_TRUE(back.ok()) << back.message();
  EXPECT_TRUE(back->psb);
  EXPECT_TRUE(SameImage(back->composite, doc.composite));
  EXPECT_TRUE(SamePlane(back->alphaChannels[0].pixels, doc.alphaChannels[0].pixels));
  ExpectSameLayers(doc.layers, back->layers);
}

TEST(PsdWrite, PsbOnRequest) {
  PsdDocument doc = SampleDocument();
  doc.psb = true;
  auto bytes = WritePsd(doc);
  ASSERT_TRUE(bytes.ok());
  EXPECT_EQ((*bytes)[5], 2);
  auto back = ReadPsd(*bytes);
  ASSERT_TRUE(back.ok()) << back.message();
  EXPECT_TRUE(back->psb);
  ExpectSameLayers(doc.layers, back->layers);
  ExpectCompositeKept(doc.composite, back->composite);
}

TEST(PsdWrite, RefusesInconsistentDocuments) {
  struct Case {
    const char* what;
    void (*spoil)(PsdDocument&);
  };
  const Case cases[] = {
      {"composite of another size", [](PsdDocument& d) { d.composite.Create(d.width + 1, d.height); }},
      {"no composite", [](PsdDocument& d) { d.composite.Reset(); }},
      {"layer pixels not matching bounds", [](PsdDocument& d) { d.layers[0].bounds.right += 1; }},
      {"layer pixels of another height", [](PsdDocument& d) { d.layers[1].pixels.Create(35, 35); }},
      {"pixels on an empty layer", [](PsdDocument& d) { d.layers[2].pixels.Create(1, 1); }},
      {"mask pixels not matching", [](PsdDocument& d) { d.layers[1].mask->bounds.bottom += 2; }},
      {"inverted bounds",
       [](PsdDocument& d) {
         d.layers[2].bounds = {5, 5, 4, 4};
       }},
      {"alpha channel of another size", [](PsdDocument& d) { d.alphaChannels[0].pixels.Create(2, 2); }},
      {"more channels than the format holds",
       [](PsdDocument& d) {
         for (int i = 0; i < 51; ++i) {
           PsdAlphaChannel a;
           a.pixels.Create(d.width, d.height);
           d.alphaChannels.push_back(std::move(a));
         }
       }},
      {"zero size", [](PsdDocument& d) { d.width = 0; }},
  };
  for (const Case& c : cases) {
    PsdDocument doc = SampleDocument();
    c.spoil(doc);
    auto bytes = WritePsd(doc);
    EXPECT_FALSE(bytes.ok()) << c.what;
  }
  PsdDocument fits = SampleDocument();
  for (int i = 0; i < 50; ++i) {  // 3 colour + transparency + 2 + 50 = 56 channels
    PsdAlphaChannel a;
    a.pixels.Create(fits.width, fits.height);
    fits.alphaChannels.push_back(std::move(a));
  }
  EXPECT_TRUE(WritePsd(fits).ok());
}

// The link between a layer and its mask is flag bit 0 of the mask record:
// clear for a linked mask, which is how every mask written by the image
// editors in the corpus (all linked, their default) is stored, and set
// when the mask is unlinked.
TEST(PsdWrite, MaskLinkFlagFollowsTheEditors) {
  const std::string corpusFile = psdtest::CorpusPath("layers/ps8_rgb_layer_mask.psd");
  auto corpusBytes = ReadWholeFile(corpusFile);
  if (!corpusBytes.ok()) GTEST_SKIP();
  // The mask record as the editor wrote it: length 20, rectangle, default
  // colour 0, flags 0.
  const uint8_t editorMask[] = {0, 0, 0, 20, 0, 0, 0, 7, 0, 0, 0, 12, 0, 0, 0, 172, 0, 0, 0, 189, 0, 0};
  const auto findMask = [&](const std::vector<uint8_t>& bytes) {
    return std::search(bytes.begin(), bytes.end(), std::begin(editorMask), std::end(editorMask)) !=
           bytes.end();
  };
  ASSERT_TRUE(findMask(*corpusBytes));
  auto doc = ReadPsd(*corpusBytes);
  ASSERT_TRUE(doc.ok());
  ASSERT_TRUE(doc->layers[0].mask && doc->layers[0].mask->linked);
  auto rewritten = WritePsd(*doc);
  ASSERT_TRUE(rewritten.ok());
  EXPECT_TRUE(findMask(*rewritten)) << "a linked mask is written exactly as the editor wrote it";

  doc->layers[0].mask->linked = false;
  auto unlinked = WritePsd(*doc);
  ASSERT_TRUE(unlinked.ok());
  EXPECT_FALSE(findMask(*unlinked));
  uint8_t unlinkedMask[sizeof editorMask];
  std::memcpy(unlinkedMask, editorMask, sizeof editorMask);
  unlinkedMask[21] = 0x01;
  EXPECT_NE(std::search(unlinked->begin(), unlinked->end(), std::begin(unlinkedMask), std::end(unlinkedMask)),
            unlinked->end());
  auto back = ReadPsd(*unlinked);
  ASSERT_TRUE(back.ok());
  EXPECT_FALSE(back->layers[0].mask->linked);
}

TEST(PsdWrite, LargeDocumentRoundTripsExactly) {
  // Large enough for the parallel coding and decoding paths.
  PsdDocument doc;
  doc.width = 1500;
  doc.height = 1100;
  ASSERT_TRUE(doc.composite.Create(doc.width, doc.height).ok());
  for (int y = 0; y < doc.height; ++y)
    for (int x = 0; x < doc.width; ++x)
      doc.composite.At(x, y) = Rgba8{uint8_t(x), uint8_t(y), uint8_t((x * y) >> 5), 255};
  PsdLayer photo;
  photo.name = "photo";
  photo.bounds = {-100, 50, 1300, 1050};
  ASSERT_TRUE(photo.pixels.Create(1400, 1000).ok());
  for (int y = 0; y < 1000; ++y)
    for (int x = 0; x < 1400; ++x)
      photo.pixels.At(x, y) =
          Rgba8{uint8_t(x / 3), uint8_t(y / 2), uint8_t(x + y), uint8_t(y < 500 ? 255 : x)};
  doc.layers.push_back(std::move(photo));
  for (int i = 0; i < 3; ++i) {
    PsdAlphaChannel a;
    a.name = "Slot " + std::to_string(i + 1);
    ASSERT_TRUE(a.pixels.Create(doc.width, doc.height).ok());
    for (int y = 100 * i; y < 100 * i + 300; ++y)
      for (int x = 200; x < 700 + i; ++x) a.pixels.At(x, y) = uint8_t(255 - i);
    doc.alphaChannels.push_back(std::move(a));
  }
  auto bytes = WritePsd(doc);
  ASSERT_TRUE(bytes.ok());
  auto back = ReadPsd(*bytes);
  ASSERT_TRUE(back.ok());
  EXPECT_TRUE(SameImage(back->composite, doc.composite));
  ExpectSameLayers(doc.layers, back->layers);
  for (size_t i = 0; i < 3; ++i)
    EXPECT_TRUE(SamePlane(back->alphaChannels[i].pixels, doc.alphaChannels[i].pixels));
}

// ---- Independent readers -----------------------------------------------

std::string WriteSample(const char* name, const PsdDocument& doc) {
  auto bytes = WritePsd(doc);
  EXPECT_TRUE(bytes.ok());
  const std::string path = psdtest::ScratchDir() + "/" + name;
  EXPECT_TRUE(WriteFileAtomic(path, *bytes).ok());
  return path;
}

TEST(PsdWriteExternal, ImageMagickListsLayersAndShowsTheComposite) {
  if (!psdtest::HaveImageMagick()) GTEST_SKIP() << "ImageMagick not installed";
  const PsdDocument doc = SampleDocument();
  const std::string path = WriteSample("sample_im.psd", doc);
  std::string listing;
  ASSERT_EQ(psdtest::RunCommand("/usr/bin/identify -format '%w %h %X %Y %l|' " + psdtest::ShellQuote(path),
                                &listing),
            0);
  // One entry for the merged image, then one per layer with pixels (group
  // records have none).
  std::vector<std::string> entries;
  for (size_t start = 0, bar; (bar = listing.find('|', start)) != std::string::npos; start = bar + 1)
    entries.push_back(listing.substr(start, bar - start));
  std::vector<const PsdLayer*> pixelLayers;
  for (const PsdLayer& l : doc.layers)
    if (!l.bounds.Empty()) pixelLayers.push_back(&l);
  ASSERT_EQ(entries.size(), 1 + pixelLayers.size()) << listing;
  EXPECT_EQ(entries[0].substr(0, 6), "64 48 ");
  for (size_t i = 0; i < pixelLayers.size(); ++i) {
    const PsdLayer& l = *pixelLayers[i];
    char expected[64];
    std::snprintf(expected, sizeof expected, "%d %d %+d %+d ", l.bounds.Width(), l.bounds.Height(),
                  l.bounds.left, l.bounds.top);
    EXPECT_EQ(entries[i + 1].rfind(expected, 0), 0u) << entries[i + 1] << " vs " << expected;
    // ImageMagick shows the legacy name: ASCII kept, other characters as '?'.
    if (l.name == "Background" || l.name == "brivanto") {
      EXPECT_NE(entries[i + 1].find(l.name), std::string::npos);
    }
  }
  const Image reference = psdtest::ImageMagickComposite(path, doc.width, doc.height);
  ASSERT_FALSE(reference.empty());
  const psdtest::PixelDiff d = psdtest::Compare(doc.composite, reference, 255 / 32 + 1);
  EXPECT_EQ(d.maxAlpha, 0);
  EXPECT_EQ(d.fractionOver, 0) << "colour within the rounding of the white matte";
  EXPECT_LE(d.meanColor, 1.0);
}

const char* kAgPsdScript = R"JS(
const ag = require(process.argv[2]);
ag.initializeCanvas(() => { throw new Error('no canvas'); },
                    (w, h) => ({ width: w, height: h, data: new Uint8ClampedArray(w * h * 4) }));
const psd = ag.readPsd(require('fs').readFileSync(process.argv[3]), { useImageData: true });
const layers = [];
(function walk(list, depth) {
  for (const l of list || []) {
    layers.push({ name: l.name, depth, hidden: !!l.hidden, opacity: l.opacity, blendMode: l.blendMode,
      clipping: !!l.clipping, left: l.left, top: l.top, right: l.right, bottom: l.bottom, group: !!l.children,
      fillOpacity: l.fillOpacity === undefined ? 1 : l.fillOpacity,
      mask: l.mask ? { left: l.mask.left, top: l.mask.top, right: l.mask.right, bottom: l.mask.bottom,
        defaultColor: l.mask.defaultColor, disabled: !!l.mask.disabled,
        unlinked: !!l.mask.positionRelativeToLayer } : null,
      fill: l.effects && l.effects.solidFill ? l.effects.solidFill[0] : null,
      pixel: l.imageData && l.imageData.width ? Array.from(l.imageData.data.slice(0, 4)) : null });
    walk(l.children, depth + 1);
  }
})(psd.children, 0);
const ir = psd.imageResources || {};
console.log(JSON.stringify({ width: psd.width, height: psd.height, channels: psd.channels,
  alphaChannelNames: ir.alphaChannelNames || [], resolution: ir.resolutionInfo ? ir.resolutionInfo.horizontalResolution : 0,
  layers }));
)JS";

TEST(PsdWriteExternal, AgPsdReadsNamesMasksEffectsAndChannels) {
  const std::string module = psdtest::AgPsdModule();
  if (module.empty()) GTEST_SKIP() << "ag-psd not available (no node, or npm could not install it)";
  const PsdDocument doc = SampleDocument();
  const std::string path = WriteSample("sample_ag.psd", doc);
  const std::string script = psdtest::ScratchDir() + "/read_psd.js";
  ASSERT_TRUE(WriteFileAtomic(script, std::string_view(kAgPsdScript)).ok());
  std::string out;
  ASSERT_EQ(psdtest::RunCommand("node " + psdtest::ShellQuote(script) + " " + psdtest::ShellQuote(module) +
                                    " " + psdtest::ShellQuote(path),
                                &out),
            0);
  const nlohmann::json j = nlohmann::json::parse(out, nullptr, false);
  ASSERT_FALSE(j.is_discarded()) << out;
  EXPECT_EQ(j["width"], 64);
  EXPECT_EQ(j["height"], 48);
  EXPECT_EQ(j["channels"], 6);
  EXPECT_EQ(j["alphaChannelNames"], nlohmann::json::array({"Transparency", "槽 1", "Alpha 2"}));
  EXPECT_DOUBLE_EQ(j["resolution"].get<double>(), 254);
  // ag-psd lists layers top-down within each group, folders before their
  // contents, without divider records.
  const auto& layers = j["layers"];
  ASSERT_EQ(layers.size(), 6u) << out;
  std::map<std::string, nlohmann::json> byName;
  for (const auto& l : layers) byName[l["name"].get<std::string>()] = l;
  const auto& photo = byName["照片 1 😀 slot photo"];
  ASSERT_FALSE(photo.is_null());
  EXPECT_EQ(photo["blendMode"], "multiply");
  EXPECT_NEAR(photo["opacity"].get<double>(), 200 / 255.0, 1e-6);
  EXPECT_EQ(photo["left"], -5);
  EXPECT_EQ(photo["top"], 4);
  ASSERT_FALSE(photo["mask"].is_null());
  EXPECT_EQ(photo["mask"]["left"], 2);
  EXPECT_EQ(photo["mask"]["top"], 6);
  EXPECT_EQ(photo["mask"]["right"], 20);
  EXPECT_EQ(photo["mask"]["bottom"], 30);
  EXPECT_EQ(photo["mask"]["defaultColor"], 0);
  EXPECT_EQ(photo["mask"]["unlinked"], true);
  EXPECT_EQ(photo["mask"]["disabled"], false);
  ASSERT_FALSE(photo["fill"].is_null());
  EXPECT_EQ(photo["fill"]["enabled"], true);
  EXPECT_EQ(photo["fill"]["blendMode"], "overlay");
  EXPECT_NEAR(photo["fill"]["opacity"].get<double>(), 0.48, 1e-9);
  EXPECT_EQ(photo["fill"]["color"]["r"], 10);
  EXPECT_EQ(photo["fill"]["color"]["g"], 200);
  EXPECT_EQ(photo["fill"]["color"]["b"], 30);
  EXPECT_EQ(photo["pixel"], nlohmann::json::array({10, 20, 30, 250}));
  const auto& group = byName["Group 1"];
  EXPECT_EQ(group["group"], true);
  EXPECT_EQ(group["blendMode"], "pass through");
  const auto& overlay = byName["brivanto"];
  EXPECT_EQ(overlay["depth"], 1) << "inside the group";
  EXPECT_EQ(overlay["hidden"], true);
  const auto& clipped = byName["clipped"];
  EXPECT_EQ(clipped["clipping"], true);
  EXPECT_EQ(clipped["blendMode"], "screen");
  EXPECT_NEAR(clipped["fillOpacity"].get<double>(), 128 / 255.0, 1e-6);
  EXPECT_EQ(clipped["mask"]["disabled"], true);
  EXPECT_EQ(clipped["mask"]["unlinked"], false);
  EXPECT_EQ(byName["Wide"]["left"], -20);
}

}  // namespace
}  // namespace tessaro
