// The photo effects and mask actions against the recording fake: every kind
// with its parameter mapping, and the action descriptors.
#include "engine/Effects.h"

#include <gtest/gtest.h>

#include "engine/tests/FakeEditor.h"
#include "model/Effects.h"

namespace tessaro::enginetest {
namespace {

using au::CharId;

class EffectsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    version = {"tessaro-editor",
               std::string(au::kJPEGSaveOptionsClassId),
               std::string(au::kPhotoshopSaveOptionsClassId),
               std::string(au::kActionDescriptorClassId),
               std::string(au::kActionReferenceClassId),
               std::string(au::kActionListClassId),
               false};
    doc = *app.Load(Touch());
    layer = *doc->ActiveLayer();
    app.S->log.clear();
  }
  std::string Touch() {
    app.S->files["/photo.jpg"] = FakeFileSpec{};
    return "/photo.jpg";
  }
  // Applies one slot with the given effects and returns the log.
  std::vector<std::string> Apply(std::vector<TEffectNode> effects, Status* status = nullptr) {
    TSlotNode slot;
    for (TEffectNode& e : effects) slot.Effects.push_back(std::make_unique<TEffectNode>(std::move(e)));
    app.S->log.clear();
    Status s = ApplyEffects(app, slot, *layer, version);
    if (status) *status = s;
    return app.S->log;
  }

  FakeApplication app;
  TPSGUIDNode version;
  au::DocumentRef doc;
  au::ArtLayerRef layer;
};

using Log = std::vector<std::string>;

TEST_F(EffectsTest, BlendSelectorsChooseTheModeThenOpacity) {
  const std::vector<std::pair<float, Log>> cases = {
      {0, {"SetBlendMode 2", "SetOpacity 55.5"}},
      {1, {"SetBlendMode 12", "SetOpacity 55.5"}},
      {2, {"SetBlendMode 13", "SetOpacity 55.5"}},
      {3, {"SetBlendMode 22", "SetOpacity 55.5"}},
      {4, {"SetOpacity 55.5"}},
      {2.5f, {"SetBlendMode 13", "SetOpacity 55.5"}},
  };
  for (const auto& [selector, expected] : cases)
    EXPECT_EQ(Apply({{0, {selector, 55.5f}}}), expected) << selector;
}

TEST_F(EffectsTest, LevelsActOnTheChosenChannels) {
  EXPECT_EQ(Apply({{7, {0, 10, 1.25f, 240, 5, 250, 80}}}),
            (Log{"SetActiveChannels Red Green Blue", "AdjustLevels 10 240 1.25 5 250", "SetOpacity 80"}));
  EXPECT_EQ(Apply({{7, {2, 0, 1, 255, 0, 255, 100}}}),
            (Log{"SetActiveChannels Green", "AdjustLevels 0 255 1 0 255", "SetOpacity 100"}));
}

TEST_F(EffectsTest, IntegerParametersRoundHalfToEven) {
  EXPECT_EQ(Apply({{10, {10.5f, -20.5f, 69.5f}}}), (Log{"AdjustBrightnessContrast 10 -20", "SetOpacity 70"}));
}

TEST_F(EffectsTest, ChannelMixerMonochromeSwitchIsRounded) {
  std::vector<float> p = {100, 0, 0, 0, 0, 100, 0, 0, 0, 0, 100, 5, 0.4f, 75};
  EXPECT_EQ(Apply({{12, p}}), (Log{"MixChannels 100 0 0 0 0 100 0 0 0 0 100 5 colour", "SetOpacity 75"}));
  p[12] = 1;
  EXPECT_EQ(Apply({{12, p}}), (Log{"MixChannels 100 0 0 0 0 100 0 0 0 0 100 5 mono", "SetOpacity 75"}));
}

TEST_F(EffectsTest, HueSaturationIgnoresItsLeadingParameters) {
  EXPECT_EQ(Apply({{11, {0, 0, 0, 60}}}), (Log{"ExecuteAction HStr 3", "SetOpacity 60"}));
  const au::ActionDescriptor first = app.S->actions.back().second;
  EXPECT_EQ(Apply({{11, {90, -40, 7, 60}}}), (Log{"ExecuteAction HStr 3", "SetOpacity 60"}));
  EXPECT_EQ(app.S->actions.back().second, first);
  EXPECT_EQ(*first.getBoolean(CharId("Clrz")), false);
  const au::ActionList list = *first.getList(CharId("Adjs"));
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(*list.getObjectType(0), CharId("Hst2"));
  const au::ActionDescriptor a = *list.getObjectValue(0);
  EXPECT_EQ(*a.getInteger(CharId("H   ")), 30);
  EXPECT_EQ(*a.getInteger(CharId("Strt")), -18);
  EXPECT_EQ(*a.getInteger(CharId("Lght")), 16);
}

TEST_F(EffectsTest, ColorFillBuildsTheLayerEffectDescriptor) {
  const std::vector<std::pair<float, au::TypeId>> modes = {
      {0, CharId("Ovrl")}, {1, CharId("SftL")}, {2, CharId("Clr ")}};
  for (const auto& [selector, mode] : modes) {
    EXPECT_EQ(Apply({{5, {selector, 200, 100.4f, 50, 120}}}), (Log{"ExecuteAction setd 3"}));
    const auto& [event, d] = app.S->actions.back();
    EXPECT_EQ(event, CharId("setd"));
    const au::ActionReference ref = *d.getReference(CharId("null"));
    ASSERT_EQ(ref.count(), 2);
    EXPECT_EQ(ref.elements()[0].form, au::ReferenceElement::Form::kProperty);
    EXPECT_EQ(ref.elements()[0].desiredClass, CharId("Prpr"));
    EXPECT_EQ(ref.elements()[0].property, CharId("Lefx"));
    EXPECT_EQ(ref.elements()[1].desiredClass, CharId("Lyr "));
    EXPECT_EQ(ref.elements()[1].enumType, CharId("Ordn"));
    EXPECT_EQ(ref.elements()[1].value, CharId("Trgt"));
    EXPECT_EQ(*d.getObjectType(CharId("T   ")), CharId("Lefx"));
    const au::ActionDescriptor e = *d.getObjectValue(CharId("T   "));
    EXPECT_EQ(*e.getUnitDoubleType(CharId("Scl ")), CharId("#Prc"));
    EXPECT_EQ(*e.getUnitDoubleValue(CharId("Scl ")), 120);
    EXPECT_EQ(*e.getObjectType(CharId("SoFi")), CharId("SoFi"));
    const au::ActionDescriptor f = *e.getObjectValue(CharId("SoFi"));
    EXPECT_TRUE(*f.getBoolean(CharId("enab")));
    EXPECT_EQ(*f.getEnumerationType(CharId("Md  ")), CharId("BlnM"));
    EXPECT_EQ(*f.getEnumerationValue(CharId("Md  ")), mode);
    EXPECT_EQ(*f.getUnitDoubleValue(CharId("Opct")), 48);
    EXPECT_EQ(*f.getObjectType(CharId("Clr ")), CharId("RGBC"));
    const au::ActionDescriptor g = *f.getObjectValue(CharId("Clr "));
    EXPECT_EQ(*g.getDouble(CharId("Rd  ")), 200);
    EXPECT_EQ(*g.getDouble(CharId("Grn ")), 100);
    EXPECT_EQ(*g.getDouble(CharId("Bl  ")), 50);
  }
}

TEST_F(EffectsTest, MaskActionsBuildTheirDescriptors) {
  ASSERT_TRUE(AddRevealMask(app, version).ok());
  {
    const auto& [event, d] = app.S->actions.back();
    EXPECT_EQ(event, CharId("Mk  "));
    EXPECT_EQ(*d.getClass(CharId("Nw  ")), CharId("Chnl"));
    const au::ActionReference at = *d.getReference(CharId("At  "));
    ASSERT_EQ(at.count(), 1);
    EXPECT_EQ(at.elements()[0], (au::ReferenceElement{au::ReferenceElement::Form::kEnumerated, CharId("Chnl"),
                                                      0, CharId("Chnl"), CharId("Msk "), 0, ""}));
    EXPECT_EQ(*d.getEnumerationType(CharId("Usng")), CharId("UsrM"));
    EXPECT_EQ(*d.getEnumerationValue(CharId("Usng")), CharId("RvlS"));
  }
  ASSERT_TRUE(UnlinkMask(app, version).ok());
  {
    const auto& [event, d] = app.S->actions.back();
    EXPECT_EQ(event, CharId("setd"));
    EXPECT_EQ(d.getReference(CharId("null"))->elements()[0].value, CharId("Trgt"));
    EXPECT_EQ(*d.getObjectType(CharId("T   ")), CharId("Lyr "));
    EXPECT_FALSE(*d.getObjectValue(CharId("T   "))->getBoolean(CharId("Usrs")));
  }
}

TEST_F(EffectsTest, UnknownKindsAndShortListsArePassedOverInOrder) {
  Status s;
  EXPECT_EQ(Apply({{3, {1, 2, 3}}, {10, {1, 2}}, {10, {1, 2, 50}}, {10, {3, 4, 60}}}, &s),
            (Log{"AdjustBrightnessContrast 1 2", "SetOpacity 50", "AdjustBrightnessContrast 3 4",
                 "SetOpacity 60"}));
  EXPECT_TRUE(s.ok());
  EXPECT_TRUE(Apply({}).empty());
}

TEST_F(EffectsTest, FirstFailureEndsTheList) {
  app.S->failOn = "AdjustLevels";
  Status s;
  EXPECT_EQ(Apply({{10, {1, 2, 50}}, {7, {0, 0, 1, 255, 0, 255, 100}}, {10, {3, 4, 60}}}, &s),
            (Log{"AdjustBrightnessContrast 1 2", "SetOpacity 50", "SetActiveChannels Red Green Blue",
                 "AdjustLevels 0 255 1 0 255"}));
  EXPECT_FALSE(s.ok());
}

TEST(EffectCatalogueTest, KindsAndParameterCounts) {
  const std::vector<std::pair<int, int>> counts = {{0, 2},   {5, 5},  {7, 7},   {10, 3}, {11, 4},
                                                   {12, 14}, {1, -1}, {-1, -1}, {13, -1}};
  for (const auto& [kind, count] : counts) EXPECT_EQ(EffectParamCount(kind), count) << kind;
  int last = -1;
  for (const TEffectKindSpec& k : EffectKinds()) {
    EXPECT_GT(k.Kind, last);
    last = k.Kind;
  }
}

// Only kinds known to change each pixel by its own colour let a photo be
// decoded over the part its slot shows.
TEST(EffectsActPerPixelTest, EveryCatalogueKindButNoUnknownOne) {
  struct Case {
    std::vector<int32_t> kinds;
    bool perPixel;
  };
  const Case cases[] = {
      {{}, true},
      {{kEffectBlend, kEffectColorFill, kEffectLevels}, true},
      {{kEffectBrightnessContrast, kEffectHueSaturation, kEffectChannelMixer}, true},
      {{kEffectLevels, 99}, false},
      {{-1}, false},
  };
  for (const Case& c : cases) {
    TSlotNode slot;
    for (int32_t kind : c.kinds) {
      auto effect = std::make_unique<TEffectNode>();
      effect->Kind = kind;
      slot.Effects.push_back(std::move(effect));
    }
    EXPECT_EQ(EffectsActPerPixel(slot), c.perPixel) << c.kinds.size();
  }
}

}  // namespace
}  // namespace tessaro::enginetest
