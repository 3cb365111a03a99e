// The description checker: every mistake reported with its location, in the
// style docs/authoring.md shows; defaults; the derived result version.
#include "tools/pack/Description.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>

#include "base/FileIo.h"
#include "testing/TempFolder.h"

namespace tessaro::authoring {
namespace {

using Json = nlohmann::json;

// A valid description: two slots, a picture background, one overlay, two
// placements, the result derived from the preview.
Json Base() {
  return Json::parse(R"({
    "spread": false,
    "header": 7,
    "slots": [
      { "type": "opaque", "effects": [ { "kind": 10, "params": [5, 6, 100] } ] },
      { "type": "transparent" }
    ],
    "preview": {
      "width": 2100, "height": 3000,
      "background": "art/bg.svg",
      "overlays": [ { "picture": "art/frame.svg" } ],
      "placements": [
        { "slot": 1, "channel": "photo1", "rect": [100, 100, 2000, 1500] },
        { "slot": 2, "channel": "photo2", "rect": [300, 1700, 1200, 2800], "shape": "ellipse", "feather": 30 }
      ]
    },
    "result": { "from": "preview", "width": 1800, "height": 2571 }
  })");
}

std::vector<std::string> Lines(const TCheckedDescription& c) {
  std::vector<std::string> lines;
  for (const auto& e : c.Errors) lines.push_back(FormatError("demo.json", e));
  return lines;
}

TCheckedDescription Check(const Json& j) { return ParseDescription(j.dump(), "/base", false); }

TEST(Description, ValidDescriptionHasNoErrorsAndFillsDefaults) {
  const TCheckedDescription c = Check(Base());
  ASSERT_TRUE(c.ok()) << ::testing::PrintToString(Lines(c));
  const TTemplateDesc& t = c.Template;
  EXPECT_FALSE(t.Spread);
  EXPECT_EQ(t.Header, 7);
  ASSERT_EQ(t.Slots.size(), 2u);
  EXPECT_EQ(t.Slots[0].PhotoType, 1);
  EXPECT_EQ(t.Slots[1].PhotoType, 0);
  ASSERT_EQ(t.Slots[0].Effects.size(), 1u);
  EXPECT_EQ(t.Slots[0].Effects[0].Params, (std::vector<float>{5, 6, 100}));
  EXPECT_EQ(t.Preview.Resolution, 72);
  EXPECT_EQ(t.Result.Resolution, 300);
  EXPECT_FALSE(t.Preview.Background.IsColor);
  EXPECT_EQ(t.Preview.Background.Picture.Path, "/base/art/bg.svg");
  EXPECT_TRUE(t.Preview.Background.Picture.IsSvg());
  ASSERT_EQ(t.Preview.Overlays.size(), 1u);
  EXPECT_EQ(t.Preview.Overlays[0].Rect, (RectF{0, 0, 2100, 3000})) << "an overlay covers the page by default";
  EXPECT_EQ(t.Preview.Overlays[0].Opacity, 100);
  EXPECT_EQ(t.Preview.Overlays[0].Blend, BlendMode::kNormal);
  EXPECT_EQ(t.Preview.Placements[0].Shape, TShapeKind::kRectangle);
  EXPECT_EQ(t.Preview.Placements[0].Feather, 0);
}

TEST(Description, DerivedResultScalesEveryRectangleRadiusAndFeather) {
  Json j = Base();
  j["preview"]["placements"][0]["shape"] = "rounded";
  j["preview"]["placements"][0]["radius"] = 70;
  j["preview"]["overlays"][0]["rect"] = {210, 300, 420, 600};
  const TCheckedDescription c = Check(j);
  ASSERT_TRUE(c.ok()) << ::testing::PrintToString(Lines(c));
  const TVersionDesc& r = c.Template.Result;
  EXPECT_EQ(r.Width, 1800);
  EXPECT_EQ(r.Height, 2571);
  ASSERT_EQ(r.Placements.size(), 2u);
  // 1800 / 2100 and 2571 / 3000, rounded to whole pixels.
  EXPECT_EQ(r.Placements[0].Rect, (RectF{86, 86, 1714, 1286}));
  EXPECT_EQ(r.Placements[1].Rect, (RectF{257, 1457, 1029, 2400}));
  EXPECT_NEAR(r.Placements[0].Radius, 70 * 0.857, 0.01);
  EXPECT_NEAR(r.Placements[1].Feather, 30 * 0.857, 0.01);
  EXPECT_EQ(r.Placements[1].Shape, TShapeKind::kEllipse);
  EXPECT_EQ(r.Placements[0].Channel, "photo1");
  EXPECT_EQ(r.Overlays[0].Rect, (RectF{180, 257, 360, 514}));
  EXPECT_EQ(r.Background.Picture.Path, "/base/art/bg.svg");
}

TEST(Description, RoundedWithoutRadiusUsesEightPercentOfTheShorterSide) {
  Json j = Base();
  j["preview"]["placements"][1] = {
      {"slot", 2}, {"channel", "r"}, {"rect", {0, 0, 1000, 500}}, {"shape", "rounded"}};
  const TCheckedDescription c = Check(j);
  ASSERT_TRUE(c.ok());
  EXPECT_DOUBLE_EQ(c.Template.Preview.Placements[1].Radius, 40);
}

struct CheckerCase {
  const char* Name;
  std::function<void(Json&)> Change;
  std::vector<std::string> Expected;
};

class CheckerMessages : public ::testing::TestWithParam<CheckerCase> {};

TEST_P(CheckerMessages, ReportsEachMistakeWithItsLocation) {
  Json j = Base();
  GetParam().Change(j);
  const TCheckedDescription c = Check(j);
  EXPECT_EQ(Lines(c), GetParam().Expected);
  EXPECT_FALSE(c.ok());
}

const CheckerCase kCases[] = {
    // Lists of objects: the list itself, then each item.
    {"EffectsNotAList",
     [](Json& j) { j["slots"][0]["effects"] = 5; },
     {"demo.json: slots[0].effects: must be a list"}},
    {"EffectNotAnObject",
     [](Json& j) { j["slots"][0]["effects"] = {3}; },
     {"demo.json: slots[0].effects[0]: must be an object"}},
    {"OverlaysNotAList",
     [](Json& j) { j["preview"]["overlays"] = "art/frame.svg"; },
     {"demo.json: preview.overlays: must be a list"}},
    {"OverlayNotAnObject",
     [](Json& j) { j["preview"]["overlays"][0] = 5; },
     {"demo.json: preview.overlays[0]: must be an object"}},
    {"PlacementsNotAList",
     [](Json& j) { j["preview"]["placements"] = Json::object(); },
     {"demo.json: preview.placements: must be a list",
      "demo.json: slots[0]: slot 1 has no placement in the preview version",
      "demo.json: slots[1]: slot 2 has no placement in the preview version"}},
    {"PlacementNotAnObject",
     [](Json& j) { j["preview"]["placements"][1] = 3; },
     {"demo.json: preview.placements[1]: must be an object"}},
    {"UnknownEffectKind",
     [](Json& j) {
       j["slots"][1]["effects"] = {{{"kind", 4}, {"params", {1}}}};
     },
     {"demo.json: slots[1].effects[0]: unknown effect kind 4 (known kinds: 0, 5, 7, 10, 11, 12)"}},
    {"WrongParameterCount",
     [](Json& j) {
       j["slots"][0]["effects"][0]["params"] = {5, 6};
     },
     {"demo.json: slots[0].effects[0].params: effect kind 10 takes 3 parameters, not 2"}},
    {"ParameterOutOfRange",
     [](Json& j) {
       j["slots"][0]["effects"] = {{{"kind", 7}, {"params", {0, 0, 12, 255, 0, 255, 100}}}};
     },
     {"demo.json: slots[0].effects[0].params[2]: gamma 12 is outside 0.1 to 9.99"}},
    {"WholeNumberExpected",
     [](Json& j) {
       j["slots"][0]["effects"] = {{{"kind", 5}, {"params", {1.5, 0, 0, 0, 100}}}};
     },
     {"demo.json: slots[0].effects[0].params[0]: blend selector must be a whole number, not 1.5"}},
    {"LevelsInputsCrossed",
     [](Json& j) {
       j["slots"][0]["effects"] = {{{"kind", 7}, {"params", {0, 200, 1, 100, 0, 255, 100}}}};
     },
     {"demo.json: slots[0].effects[0].params: input start 200 must be at least 2 below input end 100"}},
    {"MissingParams",
     [](Json& j) { j["slots"][0]["effects"][0].erase("params"); },
     {"demo.json: slots[0].effects[0]: \"params\" is missing (effect kind 10 takes 3 parameters)"}},
    {"PlacementForMissingSlot",
     [](Json& j) {
       j["preview"]["placements"].push_back({{"slot", 7}, {"channel", "x"}, {"rect", {0, 0, 10, 10}}});
     },
     {"demo.json: preview.placements[2]: slot 7 does not exist (the template has 2 slots)"}},
    {"SlotZero",
     [](Json& j) { j["preview"]["placements"][0]["slot"] = 0; },
     {"demo.json: preview.placements[0]: slot 0 does not exist (the template has 2 slots)"}},
    {"RectOutsideThePage",
     [](Json& j) {
       j["preview"]["placements"][0]["rect"] = {-10, 0, 500, 700};
     },
     {"demo.json: preview.placements[0].rect: [-10, 0, 500, 700] lies outside the 2100 x 3000 page"}},
    {"RectOutsideTheResultPage",
     [](Json& j) {
       Json result = j["preview"];
       result["width"] = 2400;
       result["height"] = 3428;
       result["placements"][1]["rect"] = {-10, 0, 500, 700};
       j["result"] = result;
     },
     {"demo.json: result.placements[1].rect: [-10, 0, 500, 700] lies outside the 2400 x 3428 page"}},
    {"EmptyRect",
     [](Json& j) {
       j["preview"]["placements"][0]["rect"] = {500, 10, 400, 20};
     },
     {"demo.json: preview.placements[0].rect: [500, 10, 400, 20] is empty (left must be less than right and "
      "top "
      "less than bottom)"}},
    {"RectNotFourNumbers",
     [](Json& j) {
       j["preview"]["placements"][0]["rect"] = {1, 2, 3};
     },
     {"demo.json: preview.placements[0].rect: must be [left, top, right, bottom] (four numbers)"}},
    {"ChannelUsedTwice",
     [](Json& j) { j["preview"]["placements"][1]["channel"] = "photo1"; },
     {"demo.json: preview.placements[1].channel: \"photo1\" is used twice"}},
    {"ChannelUsedTwiceInAnotherCase",
     [](Json& j) { j["preview"]["placements"][1]["channel"] = "PHOTO1"; },
     {"demo.json: preview.placements[1].channel: \"PHOTO1\" is used twice"}},
    {"ChannelNamedLikeAColourChannel",
     [](Json& j) { j["preview"]["placements"][1]["channel"] = "Red"; },
     {"demo.json: preview.placements[1].channel: \"Red\" is the name of a colour channel"}},
    {"ChannelNameTooLong",
     [](Json& j) { j["preview"]["placements"][1]["channel"] = std::string(256, 'c'); },
     {"demo.json: preview.placements[1].channel: the channel name is longer than 255 bytes"}},
    {"EmptyChannelName",
     [](Json& j) { j["preview"]["placements"][1]["channel"] = ""; },
     {"demo.json: preview.placements[1].channel: the channel name is empty"}},
    {"ShapeAndMaskTogether",
     [](Json& j) { j["preview"]["placements"][1]["mask"] = "art/m.png"; },
     {"demo.json: preview.placements[1]: give either \"shape\" or \"mask\", not both"}},
    {"UnknownShape",
     [](Json& j) { j["preview"]["placements"][1]["shape"] = "star"; },
     {"demo.json: preview.placements[1].shape: unknown shape \"star\" (\"rectangle\", \"ellipse\" or "
      "\"rounded\")"}},
    {"RadiusWithoutRoundedShape",
     [](Json& j) { j["preview"]["placements"][1]["radius"] = 10; },
     {"demo.json: preview.placements[1].radius: only used with \"shape\": \"rounded\""}},
    {"RadiusTooLarge",
     [](Json& j) {
       j["preview"]["placements"][1]["shape"] = "rounded";
       j["preview"]["placements"][1]["radius"] = 600;
     },
     {"demo.json: preview.placements[1].radius: 600 is more than half the shorter side of the window (900)"}},
    {"NegativeFeather",
     [](Json& j) { j["preview"]["placements"][1]["feather"] = -3; },
     {"demo.json: preview.placements[1].feather: -3 is outside 0 to 1000"}},
    {"SlotWithoutPlacement",
     [](Json& j) {
       j["slots"].push_back({{"type", "opaque"}});
     },
     {"demo.json: slots[2]: slot 3 has no placement in the preview version"}},
    {"UnknownPhotoType",
     [](Json& j) { j["slots"][1]["type"] = "png"; },
     {"demo.json: slots[1].type: unknown photo type \"png\" (\"opaque\" or \"transparent\")"}},
    {"UnknownKey",
     [](Json& j) { j["preview"]["placements"][0]["colour"] = "red"; },
     {"demo.json: preview.placements[0]: unknown key \"colour\""}},
    {"PreviewNotOnTheReferencePage",
     [](Json& j) { j["preview"]["width"] = 2000; },
     {"demo.json: preview: the preview page must be 2100 x 3000 (4200 x 3000 for a spread), not 2000 x "
      "3000"}},
    {"SpreadNeedsTheWidePage",
     [](Json& j) { j["spread"] = true; },
     {"demo.json: preview: the preview page must be 4200 x 3000 for a spread, not 2100 x 3000",
      "demo.json: result: the 1800 x 2571 page does not have the proportions of the preview page (4200 x "
      "3000)"}},
    {"ResultOfOtherProportions",
     [](Json& j) { j["result"]["height"] = 1800; },
     {"demo.json: result: the 1800 x 1800 page does not have the proportions of the preview page (2100 x "
      "3000)"}},
    {"DerivedResultWithPlacements",
     [](Json& j) { j["result"]["placements"] = Json::array(); },
     {"demo.json: result.placements: cannot be given with \"from\": \"preview\" (the result takes the "
      "preview's)"}},
    {"DeriveFromSomethingElse",
     [](Json& j) { j["result"]["from"] = "result"; },
     {"demo.json: result.from: must be \"preview\", not \"result\""}},
    {"ResultPlacesOtherSlots",
     [](Json& j) {
       Json result = j["preview"];
       result["width"] = 1800;
       result["height"] = 2571;
       result["placements"] = {{{"slot", 1}, {"channel", "a"}, {"rect", {0, 0, 10, 10}}}};
       j["result"] = result;
     },
     {"demo.json: slots[1]: slot 2 has no placement in the result version",
      "demo.json: result.placements: the result version places slots 1, the preview slots 1, 2 (both "
      "versions "
      "must place the same slots the same number of times)"}},
    {"BadColour",
     [](Json& j) {
       j["preview"]["background"] = {{"color", "#12345"}};
     },
     {"demo.json: preview.background.color: \"#12345\" is not a colour (#rrggbb)"}},
    {"UnknownBlendMode",
     [](Json& j) { j["preview"]["overlays"][0]["blend"] = "glow"; },
     {"demo.json: preview.overlays[0].blend: unknown blend mode \"glow\""}},
    {"OverlayOpacityOutOfRange",
     [](Json& j) { j["preview"]["overlays"][0]["opacity"] = 120; },
     {"demo.json: preview.overlays[0].opacity: 120 is outside 0 to 100"}},
    {"MissingSlots",
     [](Json& j) { j.erase("slots"); },
     {"demo.json: \"slots\" is missing",
      "demo.json: preview.placements[0]: slot 1 does not exist (the template has 0 slots)",
      "demo.json: preview.placements[1]: slot 2 does not exist (the template has 0 slots)"}},
    {"SpreadNotABoolean", [](Json& j) { j["spread"] = "no"; }, {"demo.json: spread: must be true or false"}},
    {"EveryMistakeIsReported",
     [](Json& j) {
       j["slots"][0]["effects"][0]["kind"] = 4;
       j["preview"]["placements"][1]["channel"] = "photo1";
       j["preview"]["overlays"][0]["opacity"] = -1;
     },
     {"demo.json: slots[0].effects[0]: unknown effect kind 4 (known kinds: 0, 5, 7, 10, 11, 12)",
      "demo.json: preview.overlays[0].opacity: -1 is outside 0 to 100",
      "demo.json: preview.placements[1].channel: \"photo1\" is used twice"}},
};

INSTANTIATE_TEST_SUITE_P(All, CheckerMessages, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<CheckerCase>& info) { return info.param.Name; });

TEST(Description, SyntaxErrorNamesLineAndColumn) {
  const TCheckedDescription c =
      ParseDescription("{\n  \"spread\": false,\n  \"slots\": [,]\n}", "/base", false);
  ASSERT_EQ(c.Errors.size(), 1u);
  const std::string line = FormatError("demo.json", c.Errors[0]);
  EXPECT_EQ(line.rfind("demo.json: line 3, column 13: not valid JSON", 0), 0u) << line;
}

TEST(Description, NotAnObject) {
  const TCheckedDescription c = ParseDescription("[1, 2]", "/base", false);
  ASSERT_EQ(c.Errors.size(), 1u);
  EXPECT_EQ(FormatError("demo.json", c.Errors[0]), "demo.json: the description must be a JSON object");
}

TEST(Description, NumberBeyondDoubleIsAMistakeNotACrash) {
  const TCheckedDescription c = ParseDescription("{\"header\": 1e400}", "/base", false);
  ASSERT_EQ(c.Errors.size(), 1u);
  EXPECT_EQ(FormatError("demo.json", c.Errors[0]), "demo.json: a number is out of range");
}

class DescriptionFiles : public ::testing::Test {
 protected:
  void SetUp() override { MakeDirectories(FDir + "/art"); }
  void Write(const std::string& name, const std::string& text) {
    ASSERT_TRUE(WriteFileAtomic(JoinPath(FDir, name), std::string_view(text)).ok());
  }
  test::TempFolder FFolder{"tessaro-desc"};
  std::string FDir = FFolder.Path();
};

TEST_F(DescriptionFiles, MissingAndUnreadablePicturesAreReported) {
  Write("art/bg.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='21' height='30'></svg>");
  Write("art/frame.svg", "this is not a drawing");
  Json j = Base();
  j["preview"]["overlays"].push_back({{"picture", "art/missing.png"}});
  j["preview"]["placements"][1].erase("shape");
  j["preview"]["placements"][1]["mask"] = "art/mask.png";
  Write("art/mask.png", "not a png");
  Write("demo.json", j.dump());
  const TCheckedDescription c = ReadDescription(JoinPath(FDir, "demo.json"));
  std::vector<std::string> lines;
  for (const auto& e : c.Errors) lines.push_back(FormatError("demo.json", e));
  ASSERT_EQ(lines.size(), 3u) << ::testing::PrintToString(lines);
  EXPECT_EQ(lines[0],
            "demo.json: preview.overlays[0].picture: art/frame.svg: not an SVG drawing (no <svg> element)");
  EXPECT_EQ(lines[1], "demo.json: preview.overlays[1].picture: art/missing.png: no such file");
  EXPECT_EQ(lines[2].rfind(
                "demo.json: preview.placements[1].mask: art/mask.png: not a picture the program reads", 0),
            0u)
      << lines[2];
}

TEST_F(DescriptionFiles, MissingDescriptionFile) {
  const TCheckedDescription c = ReadDescription(JoinPath(FDir, "nothing.json"));
  ASSERT_EQ(c.Errors.size(), 1u);
  EXPECT_EQ(FormatError("x.json", c.Errors[0]), "x.json: no such file");
}

TEST(Description, EffectParameterCounts) {
  EXPECT_EQ(EffectParamCount(0), 2);
  EXPECT_EQ(EffectParamCount(5), 5);
  EXPECT_EQ(EffectParamCount(7), 7);
  EXPECT_EQ(EffectParamCount(10), 3);
  EXPECT_EQ(EffectParamCount(11), 4);
  EXPECT_EQ(EffectParamCount(12), 14);
  EXPECT_EQ(EffectParamCount(3), -1);
}

}  // namespace
}  // namespace tessaro::authoring
