// The value types of the automation interface: type ids, descriptors,
// references, lists and creation of objects from class identifiers.
#include <gtest/gtest.h>

#include "editor/Automation.h"
#include "editor/Editor.h"

namespace tessaro::automation {
namespace {

TEST(CharIdTest, FourCharactersGiveTheBigEndianCode) {
  struct Case {
    const char* code;
    TypeId id;
  } cases[] = {{"setd", 0x73657464u}, {"Mk  ", 0x4D6B2020u}, {"#Prc", 0x23507263u}, {"HStr", 0x48537472u}};
  for (const Case& c : cases) {
    Result<TypeId> id = CharIdToTypeId(c.code);
    ASSERT_TRUE(id.ok()) << c.code;
    EXPECT_EQ(*id, c.id) << c.code;
    EXPECT_EQ(TypeIdToCharId(*id), c.code);
  }
  EXPECT_EQ(CharId("setd"), 0x73657464u);
}

TEST(CharIdTest, OtherLengthsAreErrors) {
  for (const char* code : {"", "set", "setd ", "Lyr"}) EXPECT_FALSE(CharIdToTypeId(code).ok()) << code;
  auto app = CreateEditorApplication();
  EXPECT_FALSE(app->CharIDToTypeID("abc").ok());
  EXPECT_EQ(*app->CharIDToTypeID("Lefx"), CharId("Lefx"));
}

TEST(ActionDescriptorTest, PutValuesReadBackWithTheirTypes) {
  ActionDescriptor d;
  ActionReference ref;
  ref.putEnumerated(CharId("Lyr "), CharId("Ordn"), CharId("Trgt"));
  ActionDescriptor inner;
  inner.putDouble(CharId("Rd  "), 12.5);
  ActionList list;
  list.putInteger(7);
  d.putBoolean(CharId("enab"), true);
  d.putInteger(CharId("H   "), -18);
  d.putDouble(CharId("Rd  "), 3.25);
  d.putUnitDouble(CharId("Opct"), CharId("#Prc"), 48);
  d.putEnumerated(CharId("Md  "), CharId("BlnM"), CharId("Ovrl"));
  d.putReference(CharId("null"), ref);
  d.putObject(CharId("Clr "), CharId("RGBC"), inner);
  d.putList(CharId("Adjs"), list);
  d.putClass(CharId("Nw  "), CharId("Chnl"));
  d.putString(CharId("Nm  "), "photo1");

  ASSERT_EQ(d.count(), 10);
  EXPECT_EQ(*d.getKey(0), CharId("enab"));
  EXPECT_EQ(*d.getType(CharId("Opct")), ActionValueType::kUnitDouble);
  EXPECT_TRUE(*d.getBoolean(CharId("enab")));
  EXPECT_EQ(*d.getInteger(CharId("H   ")), -18);
  EXPECT_DOUBLE_EQ(*d.getDouble(CharId("Rd  ")), 3.25);
  EXPECT_EQ(*d.getUnitDoubleType(CharId("Opct")), CharId("#Prc"));
  EXPECT_DOUBLE_EQ(*d.getUnitDoubleValue(CharId("Opct")), 48);
  EXPECT_EQ(*d.getEnumerationType(CharId("Md  ")), CharId("BlnM"));
  EXPECT_EQ(*d.getEnumerationValue(CharId("Md  ")), CharId("Ovrl"));
  EXPECT_EQ(*d.getReference(CharId("null")), ref);
  EXPECT_EQ(*d.getObjectType(CharId("Clr ")), CharId("RGBC"));
  EXPECT_EQ(*d.getObjectValue(CharId("Clr ")), inner);
  EXPECT_EQ(*d.getList(CharId("Adjs")), list);
  EXPECT_EQ(*d.getClass(CharId("Nw  ")), CharId("Chnl"));
  EXPECT_EQ(*d.getString(CharId("Nm  ")), "photo1");
}

TEST(ActionDescriptorTest, MissingKeysAndWrongTypesAreErrors) {
  ActionDescriptor d;
  d.putInteger(CharId("H   "), 30);
  EXPECT_FALSE(d.getInteger(CharId("Strt")).ok());
  EXPECT_FALSE(d.getDouble(CharId("H   ")).ok());
  EXPECT_FALSE(d.getBoolean(CharId("H   ")).ok());
  EXPECT_FALSE(d.getObjectValue(CharId("H   ")).ok());
  EXPECT_FALSE(d.getKey(1).ok());
  EXPECT_FALSE(d.getKey(-1).ok());
  EXPECT_FALSE(d.getType(CharId("Strt")).ok());
}

TEST(ActionDescriptorTest, PuttingAKeyAgainReplacesItInPlace) {
  ActionDescriptor d;
  d.putInteger(CharId("H   "), 30);
  d.putInteger(CharId("Strt"), -18);
  d.putDouble(CharId("H   "), 1.5);
  ASSERT_EQ(d.count(), 2);
  EXPECT_EQ(*d.getKey(0), CharId("H   "));
  EXPECT_DOUBLE_EQ(*d.getDouble(CharId("H   ")), 1.5);
  d.erase(CharId("H   "));
  EXPECT_EQ(d.count(), 1);
  EXPECT_FALSE(d.hasKey(CharId("H   ")));
  d.clear();
  EXPECT_EQ(d.count(), 0);
}

TEST(ActionDescriptorTest, CopiesAreIndependentDeepValues) {
  ActionDescriptor inner;
  inner.putInteger(CharId("H   "), 30);
  ActionList list;
  list.putObject(CharId("Hst2"), inner);
  ActionDescriptor outer;
  outer.putList(CharId("Adjs"), list);
  ActionDescriptor copy = outer;
  EXPECT_EQ(copy, outer);
  inner.putInteger(CharId("H   "), 31);  // changing the original parts changes nothing stored
  list.putBoolean(true);
  EXPECT_EQ(copy, outer);
  EXPECT_EQ(*copy.getList(CharId("Adjs"))->getObjectValue(0)->getInteger(CharId("H   ")), 30);
  copy.putBoolean(CharId("Clrz"), false);
  EXPECT_FALSE(copy == outer);
}

TEST(ActionListTest, ItemsKeepTheirOrderAndTypes) {
  ActionList list;
  ActionDescriptor a;
  a.putInteger(CharId("H   "), 30);
  list.putObject(CharId("Hst2"), a);
  list.putInteger(5);
  list.putString("x");
  list.putEnumerated(CharId("Ordn"), CharId("Trgt"));
  ASSERT_EQ(list.count(), 4);
  EXPECT_EQ(*list.getType(0), ActionValueType::kObject);
  EXPECT_EQ(*list.getObjectType(0), CharId("Hst2"));
  EXPECT_EQ(*list.getObjectValue(0), a);
  EXPECT_EQ(*list.getInteger(1), 5);
  EXPECT_EQ(*list.getString(2), "x");
  EXPECT_EQ(*list.getEnumerationValue(3), CharId("Trgt"));
  EXPECT_FALSE(list.getInteger(0).ok());
  EXPECT_FALSE(list.getType(4).ok());
}

TEST(ActionReferenceTest, ElementsKeepTheirOrderAndForms) {
  ActionReference ref;
  ref.putProperty(CharId("Prpr"), CharId("Lefx"));
  ref.putEnumerated(CharId("Lyr "), CharId("Ordn"), CharId("Trgt"));
  ref.putIndex(CharId("Lyr "), 2);
  ref.putName(CharId("Chnl"), "photo1");
  ref.putClass(CharId("Dcmn"));
  ASSERT_EQ(ref.count(), 5);
  EXPECT_EQ(ref.getElement(0)->form, ReferenceElement::Form::kProperty);
  EXPECT_EQ(ref.getElement(0)->property, CharId("Lefx"));
  EXPECT_EQ(ref.getElement(1)->form, ReferenceElement::Form::kEnumerated);
  EXPECT_EQ(ref.getElement(1)->value, CharId("Trgt"));
  EXPECT_EQ(ref.getElement(2)->index, 2);
  EXPECT_EQ(ref.getElement(3)->name, "photo1");
  EXPECT_EQ(ref.getElement(4)->form, ReferenceElement::Form::kClass);
  EXPECT_FALSE(ref.getElement(5).ok());
}

TEST(CreateObjectTest, ClassNamesAndAdvertisedGuidsCreateTheirObjects) {
  struct Case {
    std::string_view id;
    size_t alternative;
  } cases[] = {
      {kJPEGSaveOptionsClassId, 0},
      {kPhotoshopSaveOptionsClassId, 1},
      {kActionDescriptorClassId, 2},
      {kActionReferenceClassId, 3},
      {kActionListClassId, 4},
      {"JPEGSaveOptions", 0},
      {"PhotoshopSaveOptions", 1},
      {"ActionDescriptor", 2},
      {"ActionReference", 3},
      {"ActionList", 4},
      {"7e55a0ed-0003-4000-8000-000000000003", 2},  // lower case, no braces
      {" {7E55A0ED-0001-4000-8000-000000000001} ", 0},
  };
  auto app = CreateEditorApplication();
  for (const Case& c : cases) {
    Result<AutomationObject> o = app->CreateObject(c.id);
    ASSERT_TRUE(o.ok()) << c.id << ": " << o.message();
    EXPECT_EQ(o->index(), c.alternative) << c.id;
  }
}

TEST(CreateObjectTest, UnknownIdentifiersAreErrors) {
  auto app = CreateEditorApplication();
  for (std::string_view id : {"", "{00000000-0000-0000-0000-000000000000}", "Photoshop.Application",
                              "{7E55A0ED-0006-4000-8000-000000000006}"}) {
    Result<AutomationObject> o = app->CreateObject(id);
    ASSERT_FALSE(o.ok()) << id;
    EXPECT_NE(o.message().find("class not registered"), std::string::npos);
  }
}

TEST(CreateObjectTest, TypedCreationRefusesAnotherClass) {
  auto app = CreateEditorApplication();
  Result<JPEGSaveOptions> jpeg = CreateObjectAs<JPEGSaveOptions>(*app, kJPEGSaveOptionsClassId);
  ASSERT_TRUE(jpeg.ok());
  EXPECT_EQ(jpeg->Quality, 3);
  EXPECT_FALSE(CreateObjectAs<JPEGSaveOptions>(*app, kActionListClassId).ok());
  Result<PhotoshopSaveOptions> psd = CreateObjectAs<PhotoshopSaveOptions>(*app, "PhotoshopSaveOptions");
  ASSERT_TRUE(psd.ok());
  EXPECT_TRUE(psd->Layers);
  EXPECT_TRUE(psd->AlphaChannels);
}

}  // namespace
}  // namespace tessaro::automation
