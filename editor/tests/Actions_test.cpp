// The four actions of ExecuteAction with their descriptors built exactly as
// the effects code builds them (every code through CharIDToTypeID, every
// object created from its class identifier), their pixels, and the refusal
// of malformed descriptors and unknown events.
#include <cmath>
#include <functional>

#include "editor/tests/EditorTestUtil.h"
#include "imaging/ops/Adjust.h"

namespace tessaro::editortest {
namespace {

class ActionsTest : public EditorFixture {
 public:
  TypeId Id(const char* code) { return app->CharIDToTypeID(code).value(); }
  ActionDescriptor NewDescriptor() {
    return CreateObjectAs<ActionDescriptor>(*app, kActionDescriptorClassId).value();
  }
  ActionReference NewReference() {
    return CreateObjectAs<ActionReference>(*app, kActionReferenceClassId).value();
  }
  ActionList NewList() { return CreateObjectAs<ActionList>(*app, kActionListClassId).value(); }

  // The colour-fill effect: "setd" of the target layer's "Lefx" holding a
  // "SoFi" of blend selector 0 overlay, 1 soft light, 2 colour; opacity 48.
  ActionDescriptor ColorFill(int selector, int red, int green, int blue, int scale) {
    ActionDescriptor d = NewDescriptor();
    ActionReference ref = NewReference();
    ref.putProperty(Id("Prpr"), Id("Lefx"));
    ref.putEnumerated(Id("Lyr "), Id("Ordn"), Id("Trgt"));
    d.putReference(Id("null"), ref);
    ActionDescriptor e = NewDescriptor();
    e.putUnitDouble(Id("Scl "), Id("#Prc"), scale);
    ActionDescriptor f = NewDescriptor();
    f.putBoolean(Id("enab"), true);
    const char* modes[] = {"Ovrl", "SftL", "Clr "};
    f.putEnumerated(Id("Md  "), Id("BlnM"), Id(modes[selector]));
    f.putUnitDouble(Id("Opct"), Id("#Prc"), 48);
    ActionDescriptor g = NewDescriptor();
    g.putDouble(Id("Rd  "), red);
    g.putDouble(Id("Grn "), green);
    g.putDouble(Id("Bl  "), blue);
    f.putObject(Id("Clr "), Id("RGBC"), g);
    e.putObject(Id("SoFi"), Id("SoFi"), f);
    d.putObject(Id("T   "), Id("Lefx"), e);
    return d;
  }

  ActionDescriptor HueSaturation() {
    ActionDescriptor d = NewDescriptor();
    d.putBoolean(Id("Clrz"), false);
    ActionDescriptor a = NewDescriptor();
    a.putInteger(Id("H   "), 30);
    a.putInteger(Id("Strt"), -18);
    a.putInteger(Id("Lght"), 16);
    ActionList list = NewList();
    list.putObject(Id("Hst2"), a);
    d.putList(Id("Adjs"), list);
    return d;
  }

  ActionDescriptor RevealMask() {
    ActionDescriptor d = NewDescriptor();
    d.putClass(Id("Nw  "), Id("Chnl"));
    ActionReference ref = NewReference();
    ref.putEnumerated(Id("Chnl"), Id("Chnl"), Id("Msk "));
    d.putReference(Id("At  "), ref);
    d.putEnumerated(Id("Usng"), Id("UsrM"), Id("RvlS"));
    return d;
  }

  // A reference to the target object of class `cls` ("Lyr ", "Chnl").
  ActionReference TargetOf(const char* cls) {
    ActionReference ref = NewReference();
    ref.putEnumerated(Id(cls), Id("Ordn"), Id("Trgt"));
    return ref;
  }

  ActionDescriptor Unlink() {
    ActionDescriptor d = NewDescriptor();
    d.putReference(Id("null"), TargetOf("Lyr "));
    ActionDescriptor e = NewDescriptor();
    e.putBoolean(Id("Usrs"), false);
    d.putObject(Id("T   "), Id("Lyr "), e);
    return d;
  }

  // A 12 x 8 document: white background, a grey photo layer (4,2)-(10,6) on
  // top (active), and the alpha channel "slot" = (5,3)-(9,5) at 255.
  DocumentRef PhotoDocument() {
    PsdDocument d = MakePsd(12, 8);
    d.layers.push_back(MakePsdLayer("Background", {0, 0, 12, 8}, Solid(12, 8, {255, 255, 255, 255})));
    d.layers.push_back(MakePsdLayer("photo", {4, 2, 10, 6}, Solid(6, 4, {100, 100, 100, 255})));
    d.alphaChannels.push_back({"slot", RectPlane(12, 8, {5, 3, 9, 5}, 255), false});
    return OpenDocument("photo.psd", d);
  }
};

float Overlay(float cb, float cs) { return cb <= 0.5f ? 2 * cb * cs : 1 - 2 * (1 - cb) * (1 - cs); }

TEST_F(ActionsTest, ColourFillSetsAnOverlayEffectRenderedWhenFlattening) {
  DocumentRef doc = PhotoDocument();
  ArtLayerRef photo = Layer(doc, 1);
  const Image before = Pixels(photo).image.Clone();
  ASSERT_OK(app->ExecuteAction(Id("setd"), ColorFill(0, 255, 128, 0, 100), kDialogsNo));
  ASSERT_OK_AND_ASSIGN(std::optional<PsdColorOverlay> effect, LayerColorOverlay(*photo));
  ASSERT_TRUE(effect.has_value());
  EXPECT_TRUE(effect->enabled);
  EXPECT_EQ(effect->blendMode, BlendMode::kOverlay);
  EXPECT_DOUBLE_EQ(effect->opacityPercent, 48);
  EXPECT_EQ(effect->red, 255);
  EXPECT_EQ(effect->green, 128);
  EXPECT_EQ(effect->blue, 0);
  // The layer's own pixels are untouched; the flattened picture shows the effect.
  EXPECT_EQ(MaxDifference(Pixels(photo).image, before), 0);
  const float k = std::lround(48 * 2.55) / 255.0f, cb = 100 / 255.0f;
  const float fill[3] = {1.0f, 128 / 255.0f, 0.0f};
  Rgba8 expected{0, 0, 0, 255};
  uint8_t* out[3] = {&expected.r, &expected.g, &expected.b};
  for (int c = 0; c < 3; ++c) *out[c] = uint8_t(std::lround(((1 - k) * cb + k * Overlay(cb, fill[c])) * 255));
  EXPECT_TRUE(SamePixel(Flat(doc).At(6, 4), expected, 1));
  EXPECT_TRUE(SamePixel(Flat(doc).At(1, 1), {255, 255, 255, 255}));
}

TEST_F(ActionsTest, ColourFillSelectorsGiveTheirBlendModes) {
  struct Case {
    int selector;
    BlendMode mode;
  } cases[] = {{0, BlendMode::kOverlay}, {1, BlendMode::kSoftLight}, {2, BlendMode::kColor}};
  for (const Case& c : cases) {
    DocumentRef doc = PhotoDocument();
    ASSERT_OK(app->ExecuteAction(Id("setd"), ColorFill(c.selector, 10, 20, 30, 50), kDialogsNo));
    ASSERT_OK_AND_ASSIGN(std::optional<PsdColorOverlay> effect, LayerColorOverlay(*Layer(doc, 1)));
    ASSERT_TRUE(effect.has_value());
    EXPECT_EQ(effect->blendMode, c.mode) << c.selector;
  }
}

TEST_F(ActionsTest, HueSaturationChangesTheActiveLayersPixels) {
  PsdDocument d = MakePsd(4, 1);
  Image px;
  px.Create(4, 1);
  px.At(0, 0) = {100, 100, 100, 255};
  px.At(1, 0) = {200, 60, 40, 255};
  px.At(2, 0) = {20, 180, 90, 255};
  px.At(3, 0) = {0, 0, 0, 0};
  d.layers.push_back(MakePsdLayer("photo", {0, 0, 4, 1}, px.Clone()));
  DocumentRef doc = OpenDocument("hs.psd", d);
  ASSERT_OK(app->ExecuteAction(Id("HStr"), HueSaturation(), kDialogsNo));
  const Image out = Pixels(Layer(doc, 1)).image;
  // Grey has no hue or saturation to change; lightness +16 mixes 16 % towards white.
  EXPECT_TRUE(SamePixel(out.At(0, 0), {125, 125, 125, 255}, 1));
  Image reference = px.Clone();
  ASSERT_OK(AdjustHueSaturation(reference, IntRect{0, 0, 4, 1}, 30, -18, 16));
  EXPECT_EQ(MaxDifference(out, reference), 0);
  // A hue turn of +30 degrees moves red towards yellow: green rises relative to blue.
  EXPECT_GT(out.At(1, 0).g - out.At(1, 0).b, px.At(1, 0).g - px.At(1, 0).b);
}

TEST_F(ActionsTest, RevealMaskCopiesTheSelectionAndUnlinkKeepsItInPlace) {
  DocumentRef doc = PhotoDocument();
  ArtLayerRef photo = Layer(doc, 1);
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "slot"), kSelectionReplace, false));
  ASSERT_OK(app->ExecuteAction(Id("Mk  "), RevealMask(), kDialogsNo));
  ASSERT_OK_AND_ASSIGN(LayerMaskInfo mask, LayerMask(*photo, IntRect{0, 0, 12, 8}));
  EXPECT_TRUE(mask.linked);
  const Plane slot = RectPlane(12, 8, {5, 3, 9, 5}, 255);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 12; ++x) ASSERT_EQ(mask.values.At(x, y), slot.At(x, y)) << x << "," << y;
  Image flat = Flat(doc);
  EXPECT_TRUE(SamePixel(flat.At(6, 4), {100, 100, 100, 255}));
  EXPECT_TRUE(SamePixel(flat.At(4, 2), {255, 255, 255, 255}));  // photo, outside the slot

  ASSERT_OK(app->ExecuteAction(Id("setd"), Unlink(), kDialogsNo));
  ASSERT_OK_AND_ASSIGN(mask, LayerMask(*photo, IntRect{0, 0, 12, 8}));
  EXPECT_FALSE(mask.linked);
  ASSERT_OK(photo->Translate(-2, 0));
  ASSERT_OK_AND_ASSIGN(mask, LayerMask(*photo, IntRect{0, 0, 12, 8}));
  EXPECT_EQ(mask.values.At(5, 3), 255);  // the mask stayed where the slot is
  flat = Flat(doc);
  EXPECT_TRUE(SamePixel(flat.At(7, 4), {100, 100, 100, 255}));
  EXPECT_TRUE(SamePixel(flat.At(8, 4), {255, 255, 255, 255}));  // photo moved off the right of the slot
}

TEST_F(ActionsTest, ALinkedMaskMovesWithItsLayer) {
  DocumentRef doc = PhotoDocument();
  ArtLayerRef photo = Layer(doc, 1);
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "slot"), kSelectionReplace, false));
  ASSERT_OK(app->ExecuteAction(Id("Mk  "), RevealMask(), kDialogsNo));
  ASSERT_OK(photo->Translate(-2, 0));
  ASSERT_OK_AND_ASSIGN(LayerMaskInfo mask, LayerMask(*photo, IntRect{0, 0, 12, 8}));
  EXPECT_EQ(mask.values.At(3, 3), 255);
  EXPECT_EQ(mask.values.At(7, 3), 0);
}

TEST_F(ActionsTest, MaskActionsNeedASelectionAndAMaskAndOneMaskOnly) {
  DocumentRef doc = PhotoDocument();
  EXPECT_FALSE(app->ExecuteAction(Id("Mk  "), RevealMask(), kDialogsNo).ok());
  EXPECT_FALSE(app->ExecuteAction(Id("setd"), Unlink(), kDialogsNo).ok());
  ASSERT_OK(SelectionOf(doc)->SelectAll());
  ASSERT_OK(app->ExecuteAction(Id("Mk  "), RevealMask(), kDialogsNo));
  EXPECT_FALSE(app->ExecuteAction(Id("Mk  "), RevealMask(), kDialogsNo).ok());
}

TEST_F(ActionsTest, OtherMaskSourcesRevealOrHide) {
  struct Case {
    const char* source;
    uint8_t inSlot, outside;
  } cases[] = {{"RvlS", 255, 0}, {"HdSl", 0, 255}, {"RvlA", 255, 255}, {"HdAl", 0, 0}};
  for (const Case& c : cases) {
    DocumentRef doc = PhotoDocument();
    ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "slot"), kSelectionReplace, false));
    ActionDescriptor d = RevealMask();
    d.putEnumerated(Id("Usng"), Id("UsrM"), Id(c.source));
    ASSERT_OK(app->ExecuteAction(Id("Mk  "), d, kDialogsNo));
    ASSERT_OK_AND_ASSIGN(LayerMaskInfo mask, LayerMask(*Layer(doc, 1), IntRect{0, 0, 12, 8}));
    EXPECT_EQ(mask.values.At(6, 4), c.inSlot) << c.source;
    EXPECT_EQ(mask.values.At(1, 1), c.outside) << c.source;
  }
}

TEST_F(ActionsTest, ActionsWorkOnTheActiveLayerOfTheActiveDocument) {
  DocumentRef first = PhotoDocument();
  DocumentRef second = PhotoDocument();
  ASSERT_OK(app->SetActiveDocument(first));
  ASSERT_OK(first->SetActiveLayer(Layer(first, 2)));
  ASSERT_OK(app->ExecuteAction(Id("setd"), ColorFill(1, 1, 2, 3, 100), kDialogsNo));
  EXPECT_TRUE(LayerColorOverlay(*Layer(first, 2))->has_value());
  EXPECT_FALSE(LayerColorOverlay(*Layer(first, 1))->has_value());
  EXPECT_FALSE(LayerColorOverlay(*Layer(second, 1))->has_value());
}

TEST_F(ActionsTest, NoDocumentIsAnError) {
  EXPECT_FALSE(app->ExecuteAction(Id("HStr"), HueSaturation(), kDialogsNo).ok());
}

// Each case damages a correct descriptor; the action must be refused and
// change nothing.
struct Damage {
  const char* what;
  const char* event;
  std::function<ActionDescriptor(ActionsTest&)> build;
};

class MalformedActionTest : public ActionsTest, public ::testing::WithParamInterface<int> {};

std::vector<Damage> Damages() {
  using T = ActionsTest;
  auto fill = [](T& t) { return t.ColorFill(0, 10, 20, 30, 100); };
  // A descriptor made by `base`, then changed by `edit`.
  auto edited = [](std::function<ActionDescriptor(T&)> base,
                   std::function<void(T&, ActionDescriptor&)> edit) {
    return [base, edit](T& t) {
      ActionDescriptor d = base(t);
      edit(t, d);
      return d;
    };
  };
  // Rebuilds part of the colour fill: `edit` changes (e, f, g) before assembly.
  auto fillWith = [](std::function<void(T&, ActionDescriptor & d, ActionDescriptor & e, ActionDescriptor & f,
                                        ActionDescriptor & g)>
                         edit) {
    return [edit](T& t) {
      ActionDescriptor d = t.ColorFill(0, 10, 20, 30, 100);
      ActionDescriptor e = *d.getObjectValue(t.Id("T   "));
      ActionDescriptor f = *e.getObjectValue(t.Id("SoFi"));
      ActionDescriptor g = *f.getObjectValue(t.Id("Clr "));
      edit(t, d, e, f, g);
      if (f.hasKey(t.Id("Clr "))) f.putObject(t.Id("Clr "), *f.getObjectType(t.Id("Clr ")), g);
      if (e.hasKey(t.Id("SoFi"))) e.putObject(t.Id("SoFi"), *e.getObjectType(t.Id("SoFi")), f);
      if (d.hasKey(t.Id("T   "))) d.putObject(t.Id("T   "), *d.getObjectType(t.Id("T   ")), e);
      return d;
    };
  };
  auto hue = [](std::function<void(T&, ActionDescriptor & d, ActionDescriptor & a)> edit) {
    return [edit](T& t) {
      ActionDescriptor d = t.HueSaturation();
      ActionDescriptor a = *d.getList(t.Id("Adjs"))->getObjectValue(0);
      edit(t, d, a);
      if (d.hasKey(t.Id("Adjs")) && *d.getType(t.Id("Adjs")) == ActionValueType::kList &&
          d.getList(t.Id("Adjs"))->count() == 1) {
        ActionList list = t.NewList();
        list.putObject(*d.getList(t.Id("Adjs"))->getObjectType(0), a);
        d.putList(t.Id("Adjs"), list);
      }
      return d;
    };
  };
  return {
      {"colour fill: no null", "setd",
       edited(fill, [](T& t, ActionDescriptor& d) { d.erase(t.Id("null")); })},
      {"colour fill: extra key", "setd",
       edited(fill, [](T& t, ActionDescriptor& d) { d.putInteger(t.Id("Xtra"), 1); })},
      {"colour fill: reference to the layer only", "setd",
       edited(fill, [](T& t, ActionDescriptor& d) { d.putReference(t.Id("null"), t.TargetOf("Lyr ")); })},
      {"colour fill: reference elements swapped", "setd",
       edited(fill,
              [](T& t, ActionDescriptor& d) {
                ActionReference r = t.NewReference();
                r.putEnumerated(t.Id("Lyr "), t.Id("Ordn"), t.Id("Trgt"));
                r.putProperty(t.Id("Prpr"), t.Id("Lefx"));
                d.putReference(t.Id("null"), r);
              })},
      {"colour fill: null is not a reference", "setd",
       edited(fill, [](T& t, ActionDescriptor& d) { d.putInteger(t.Id("null"), 1); })},
      {"colour fill: effects of another class", "setd",
       fillWith([](T& t, auto& d, auto& e, auto&, auto&) { d.putObject(t.Id("T   "), t.Id("Chnl"), e); })},
      {"colour fill: no SoFi", "setd",
       fillWith([](T& t, auto&, auto& e, auto&, auto&) { e.erase(t.Id("SoFi")); })},
      {"colour fill: scale not in percent", "setd", fillWith([](T& t, auto&, auto& e, auto&, auto&) {
         e.putUnitDouble(t.Id("Scl "), t.Id("#Pxl"), 100);
       })},
      {"colour fill: unknown blend mode", "setd", fillWith([](T& t, auto&, auto&, auto& f, auto&) {
         f.putEnumerated(t.Id("Md  "), t.Id("BlnM"), t.Id("Xxxx"));
       })},
      {"colour fill: mode of another enumeration", "setd", fillWith([](T& t, auto&, auto&, auto& f, auto&) {
         f.putEnumerated(t.Id("Md  "), t.Id("Ordn"), t.Id("Ovrl"));
       })},
      {"colour fill: opacity 150", "setd", fillWith([](T& t, auto&, auto&, auto& f, auto&) {
         f.putUnitDouble(t.Id("Opct"), t.Id("#Prc"), 150);
       })},
      {"colour fill: opacity as a plain double", "setd",
       fillWith([](T& t, auto&, auto&, auto& f, auto&) { f.putDouble(t.Id("Opct"), 48); })},
      {"colour fill: enab not a boolean", "setd",
       fillWith([](T& t, auto&, auto&, auto& f, auto&) { f.putInteger(t.Id("enab"), 1); })},
      {"colour fill: colour of class HSBC", "setd",
       fillWith([](T& t, auto&, auto&, auto& f, auto& g) { f.putObject(t.Id("Clr "), t.Id("HSBC"), g); })},
      {"colour fill: no blue", "setd",
       fillWith([](T& t, auto&, auto&, auto&, auto& g) { g.erase(t.Id("Bl  ")); })},
      {"colour fill: red 300", "setd",
       fillWith([](T& t, auto&, auto&, auto&, auto& g) { g.putDouble(t.Id("Rd  "), 300); })},
      {"colour fill: green as text", "setd",
       fillWith([](T& t, auto&, auto&, auto&, auto& g) { g.putString(t.Id("Grn "), "128"); })},
      {"colour fill: red not finite", "setd",
       fillWith([](T& t, auto&, auto&, auto&, auto& g) { g.putDouble(t.Id("Rd  "), NAN); })},
      {"hue: colorize", "HStr", hue([](T& t, auto& d, auto&) { d.putBoolean(t.Id("Clrz"), true); })},
      {"hue: no Clrz", "HStr", hue([](T& t, auto& d, auto&) { d.erase(t.Id("Clrz")); })},
      {"hue: empty list", "HStr", hue([](T& t, auto& d, auto&) { d.putList(t.Id("Adjs"), t.NewList()); })},
      {"hue: two adjustments", "HStr", hue([](T& t, auto& d, auto& a) {
         ActionList list = t.NewList();
         list.putObject(t.Id("Hst2"), a);
         list.putObject(t.Id("Hst2"), a);
         d.putList(t.Id("Adjs"), list);
       })},
      {"hue: adjustment of another class", "HStr", hue([](T& t, auto& d, auto& a) {
         ActionList list = t.NewList();
         list.putObject(t.Id("Hst1"), a);
         d.putList(t.Id("Adjs"), list);
       })},
      {"hue: Adjs not a list", "HStr", hue([](T& t, auto& d, auto&) { d.putInteger(t.Id("Adjs"), 1); })},
      {"hue: hue 200", "HStr", hue([](T& t, auto&, auto& a) { a.putInteger(t.Id("H   "), 200); })},
      {"hue: no lightness", "HStr", hue([](T& t, auto&, auto& a) { a.erase(t.Id("Lght")); })},
      {"hue: colour range", "HStr", hue([](T& t, auto&, auto& a) { a.putInteger(t.Id("LclR"), 1); })},
      {"mask: new layer", "Mk  ",
       edited(&T::RevealMask, [](T& t, ActionDescriptor& d) { d.putClass(t.Id("Nw  "), t.Id("Lyr ")); })},
      {"mask: at the target layer", "Mk  ",
       edited(&T::RevealMask,
              [](T& t, ActionDescriptor& d) { d.putReference(t.Id("At  "), t.TargetOf("Lyr ")); })},
      {"mask: unknown source", "Mk  ",
       edited(&T::RevealMask,
              [](T& t, ActionDescriptor& d) { d.putEnumerated(t.Id("Usng"), t.Id("UsrM"), t.Id("Xxxx")); })},
      {"mask: source of another enumeration", "Mk  ",
       edited(&T::RevealMask,
              [](T& t, ActionDescriptor& d) { d.putEnumerated(t.Id("Usng"), t.Id("Ordn"), t.Id("RvlS")); })},
      {"mask: no At", "Mk  ",
       edited(&T::RevealMask, [](T& t, ActionDescriptor& d) { d.erase(t.Id("At  ")); })},
      {"unlink: Usrs as integer", "setd",
       edited(&T::Unlink,
              [](T& t, ActionDescriptor& d) {
                ActionDescriptor e = t.NewDescriptor();
                e.putInteger(t.Id("Usrs"), 0);
                d.putObject(t.Id("T   "), t.Id("Lyr "), e);
              })},
      {"unlink: extra property", "setd",
       edited(&T::Unlink,
              [](T& t, ActionDescriptor& d) {
                ActionDescriptor e = t.NewDescriptor();
                e.putBoolean(t.Id("Usrs"), false);
                e.putBoolean(t.Id("Vsbl"), false);
                d.putObject(t.Id("T   "), t.Id("Lyr "), e);
              })},
      {"unlink: reference to a channel", "setd",
       edited(&T::Unlink,
              [](T& t, ActionDescriptor& d) { d.putReference(t.Id("null"), t.TargetOf("Chnl")); })},
      {"unknown event", "Dlt ", [](T& t) { return t.HueSaturation(); }},
      {"mask built for another event", "HStr", [](T& t) { return t.RevealMask(); }},
      {"empty descriptor", "setd", [](T& t) { return t.NewDescriptor(); }},
  };
}

TEST_P(MalformedActionTest, IsRefusedAndChangesNothing) {
  const Damage damage = Damages()[size_t(GetParam())];
  DocumentRef doc = PhotoDocument();
  ASSERT_OK(SelectionOf(doc)->Load(ChannelNamed(doc, "slot"), kSelectionReplace, false));
  ArtLayerRef photo = Layer(doc, 1);
  // Unlinking needs a mask to act on: give the layer one first, so that only
  // the damage can make the action fail.
  const bool withMask = std::string_view(damage.what).starts_with("unlink");
  if (withMask) ASSERT_OK(app->ExecuteAction(Id("Mk  "), RevealMask(), kDialogsNo));
  const Image before = Pixels(photo).image.Clone();
  const ActionDescriptor d = damage.build(*this);
  Status s = app->ExecuteAction(Id(damage.event), d, kDialogsNo);
  EXPECT_FALSE(s.ok()) << damage.what;
  EXPECT_FALSE(s.message().empty());
  EXPECT_FALSE(LayerColorOverlay(*photo)->has_value()) << damage.what;
  Result<LayerMaskInfo> mask = LayerMask(*photo, IntRect{0, 0, 1, 1});
  EXPECT_EQ(mask.ok(), withMask) << damage.what;
  if (mask.ok()) {
    EXPECT_TRUE(mask->linked) << damage.what;
  }
  EXPECT_EQ(MaxDifference(Pixels(photo).image, before), 0) << damage.what;
}

INSTANTIATE_TEST_SUITE_P(Damages, MalformedActionTest, ::testing::Range(0, int(Damages().size())),
                         [](const ::testing::TestParamInfo<int>& info) {
                           std::string name = Damages()[size_t(info.param)].what;
                           for (char& c : name)
                             if (!std::isalnum(uint8_t(c))) c = '_';
                           return name;
                         });

TEST_F(ActionsTest, DialogModeMustBeKnown) {
  PhotoDocument();
  EXPECT_FALSE(app->ExecuteAction(Id("HStr"), HueSaturation(), 0).ok());
  EXPECT_FALSE(app->ExecuteAction(Id("HStr"), HueSaturation(), 4).ok());
  EXPECT_OK(app->ExecuteAction(Id("HStr"), HueSaturation(), kDialogsAll));
}

}  // namespace
}  // namespace tessaro::editortest
