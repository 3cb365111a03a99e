#include "model/Sizes.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "model/func.h"

namespace tessaro {
namespace {

TEST(BuiltInSizes, NameHeightByWidthAndHeightInInches) {
  TSizeList sizes;
  AddBuiltInSizes(sizes);
  ASSERT_EQ(sizes.size(), 19u);
  for (int i = 0; i < 19; ++i) {
    const TSizeNode& s = *sizes[i];
    EXPECT_EQ(s.Id, i);
    EXPECT_EQ(s.SizeUnit, 1);
    EXPECT_EQ(s.Custom, 0);
    EXPECT_EQ(s.SizeType, 0);
    EXPECT_LT(s.Width, s.Height) << "upright pages";
    // "H×W ... (H英寸)": read the numbers back from the name.
    const size_t times = s.Name.find("×");
    ASSERT_NE(times, std::string::npos) << s.Name;
    EXPECT_EQ(std::strtof(s.Name.c_str(), nullptr), s.Height) << s.Name;
    EXPECT_EQ(std::strtof(s.Name.c_str() + times + 2, nullptr), s.Width) << s.Name;
    const size_t open = s.Name.find('(');
    EXPECT_EQ(s.Name.substr(open), "(" + FormatGeneral(s.Height) + "英寸)") << s.Name;
  }
  EXPECT_EQ(sizes[0]->Name, "5×3.5 (5英寸)");
  EXPECT_EQ(sizes[1]->Name, "6×4   (6英寸)");
  EXPECT_EQ(sizes[4]->Name, "10×8  (10英寸)");
  EXPECT_EQ(sizes[6]->Name, "12×10 (12英寸)");
  EXPECT_EQ(sizes[18]->Name, "48×32 (48英寸)");
  // The blanks align the parentheses of the short names.
  for (int i = 1; i < 5; ++i) EXPECT_EQ(sizes[i]->Name.find('('), sizes[0]->Name.find('(')) << sizes[i]->Name;
}

TEST(AddSize, CutsTheNameOnACharacterBoundary) {
  TSizeList sizes;
  std::string name = "x";
  for (int i = 0; i < 100; ++i) name += "尺";  // 1 + 300 bytes
  TSizeNode& s = AddSize(sizes, name, 2, 20, 30, 1, 1);
  EXPECT_EQ(s.Name.size(), 253u);
  EXPECT_EQ(s.Name, name.substr(0, 253));
  EXPECT_EQ(s.Id, 0);
  EXPECT_EQ(s.SizeUnit, 2);
  EXPECT_EQ(s.SizeType, 1);
}

TEST(AddSize, IdsStayDistinctAfterADeletion) {
  TSizeList sizes;
  AddBuiltInSizes(sizes);
  AddSize(sizes, "a", 1, 1, 1, 1, 0);  // Id 19
  AddSize(sizes, "b", 1, 2, 2, 1, 0);  // Id 20
  ASSERT_TRUE(DeleteSize(sizes, 19));
  TSizeNode& c = AddSize(sizes, "c", 1, 3, 3, 1, 0);
  EXPECT_EQ(c.Id, 21) << "the catalogue length (20) is still in use by b";
  EXPECT_EQ(FindSize(sizes, 20)->Name, "b");
  EXPECT_EQ(FindSize(sizes, 21)->Name, "c");
  EXPECT_EQ(FindSize(sizes, 19), nullptr);
  EXPECT_EQ(FindSize(sizes, -1), nullptr);
  EXPECT_FALSE(DeleteSize(sizes, 21));
  EXPECT_FALSE(DeleteSize(sizes, -1));
}

TEST(CopySize, CopiesEveryField) {
  TSizeNode a{7, "n", 1.5f, 2.5f, 3, 1, 1};
  TSizeNode b;
  CopySize(b, a);
  EXPECT_EQ(b, (TSizeNode{7, "n", 1.5f, 2.5f, 3, 1, 1}));
}

TEST(BuildSizeMenu, SeparatesCustomSizesAndEndsWithTheDialogItem) {
  TSizeList sizes;
  AddBuiltInSizes(sizes);
  AddSize(sizes, "  海报  ", 2, 20, 30, 1, 0);
  AddSize(sizes, "A4", 3, 210, 297, 1, 0);
  auto menu = BuildSizeMenu(sizes);
  ASSERT_EQ(menu.size(), 19u + 1 + 2 + 2);
  EXPECT_EQ(menu[0], (TSizeMenuItem{"5×3.5 (5英寸)", 0, false}));
  EXPECT_EQ(menu[1].Caption, "6×4   (6英寸)") << "only leading and trailing blanks go";
  EXPECT_TRUE(menu[19].Separator);
  EXPECT_EQ(menu[20], (TSizeMenuItem{"海报", 19, false}));
  EXPECT_EQ(menu[21], (TSizeMenuItem{"A4", 20, false}));
  EXPECT_TRUE(menu[22].Separator);
  EXPECT_EQ(menu[23], (TSizeMenuItem{"自定义尺寸", -1, false}));
}

TEST(BuildSizeMenu, NoSeparatorBeforeACustomSizeThatComesFirst) {
  TSizeList sizes;
  AddSize(sizes, "only", 1, 1, 1, 1, 0);
  auto menu = BuildSizeMenu(sizes);
  ASSERT_EQ(menu.size(), 3u);
  EXPECT_FALSE(menu[0].Separator);
  EXPECT_TRUE(menu[1].Separator);
}

// A template of one slot covering the whole page, its photo placed with a
// known transform.
std::unique_ptr<TTempNode> OneSlotTemplate(float width, float height, int spread = 0) {
  auto t = std::make_unique<TTempNode>();
  t->Width = width;
  t->Height = height;
  t->SizeUnit = 1;
  t->Spread = spread;
  auto slot = std::make_unique<TSlotNode>();
  slot->PhotoIndex = 0;
  slot->OffsetX = 0.1f;
  slot->OffsetY = -0.2f;
  slot->ScaleX = 1.0f;
  slot->ScaleY = 1.0f;
  t->Slots.push_back(std::move(slot));
  auto p = std::make_unique<TPlacement>();
  p->SlotNumber = 1;
  p->Rect = {0, 0, spread ? 4200.0f : 2100.0f, 3000};
  t->Placements.push_back(std::move(p));
  return t;
}

TEST(SlotWindowSize, ScalesTheReferenceRectangleAndFitsTheMask) {
  TSlotWindowGeometry g;  // 646 x 430 at 96 ppi
  // 3.5 x 5 in = 336 x 480 px; fitted to 430 high: 301 x 430.
  auto w = SlotWindowSize({0, 0, 2100, 3000}, 0, 3.5f, 5, 1, g);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(*w, std::make_pair(301, 430));
  // A spread is twice as wide in a space twice as wide: 1536 x 960 px.
  w = SlotWindowSize({0, 0, 4200, 3000}, 1, 8, 10, 1, g);
  ASSERT_TRUE(w.has_value());
  EXPECT_EQ(*w, std::make_pair(646, 403));
  EXPECT_FALSE(SlotWindowSize({0, 0, 2100, 3000}, 0, -1, -1, -1, g).has_value()) << "no size";
  EXPECT_FALSE(SlotWindowSize({10, 10, 10, 50}, 0, 3.5f, 5, 1, g).has_value()) << "no width";
}

TEST(KeepPhotosForNewSize, KeepsPixelsWhileTheWindowChanges) {
  auto t = OneSlotTemplate(3.5f, 5);                      // window 301 x 430: extents 300 x 429
  TSizeNode bigger{4, "10×8  (10英寸)", 8, 10, 1, 0, 0};  // 768 x 960 px -> 344 x 430: extents 343 x 429
  KeepPhotosForNewSize(*t, bigger, TSlotWindowGeometry{});
  const TSlotNode& s = *t->Slots[0];
  EXPECT_FLOAT_EQ(s.OffsetX, 30.0f / 343);   // round(300 * 0.1) pixels kept
  EXPECT_FLOAT_EQ(s.OffsetY, -86.0f / 429);  // round(429 * -0.2) = -86 (85.8)
  EXPECT_FLOAT_EQ(s.ScaleX, 300.0f / 343);
  EXPECT_FLOAT_EQ(s.ScaleY, 1.0f);
}

TEST(KeepPhotosForNewSize, SameSizeChangesNothingBeyondRounding) {
  auto t = OneSlotTemplate(8, 10);
  TSizeNode same{4, "10×8  (10英寸)", 8, 10, 1, 0, 0};
  KeepPhotosForNewSize(*t, same, TSlotWindowGeometry{});
  const TSlotNode& s = *t->Slots[0];
  EXPECT_NEAR(s.OffsetX, 0.1f, 0.5 / 343);
  EXPECT_NEAR(s.OffsetY, -0.2f, 0.5 / 429);
  EXPECT_NEAR(s.ScaleX, 1.0f, 0.5 / 343);
  EXPECT_NEAR(s.ScaleY, 1.0f, 0.5 / 429);
}

TEST(KeepPhotosForNewSize, LeavesEmptyUnplacedAndUnfittedNumbersAlone) {
  auto t = OneSlotTemplate(3.5f, 5);
  t->Slots[0]->ScaleX = t->Slots[0]->ScaleY = -1.0f;
  auto empty = std::make_unique<TSlotNode>();
  empty->OffsetX = 0.3f;
  t->Slots.push_back(std::move(empty));
  auto unplaced = std::make_unique<TSlotNode>();  // slot 3 has no placement record
  unplaced->PhotoIndex = 0;
  unplaced->OffsetX = 0.4f;
  t->Slots.push_back(std::move(unplaced));
  TSizeNode bigger{4, "x", 8, 10, 1, 0, 0};
  KeepPhotosForNewSize(*t, bigger, TSlotWindowGeometry{});
  EXPECT_EQ(t->Slots[0]->ScaleX, -1.0f) << "not fitted stays not fitted";
  EXPECT_EQ(t->Slots[0]->ScaleY, -1.0f);
  EXPECT_EQ(t->Slots[1]->OffsetX, 0.3f);
  EXPECT_EQ(t->Slots[2]->OffsetX, 0.4f);
}

TEST(KeepPhotosForNewSize, TemplateWithoutSizeKeepsItsNumbers) {
  auto t = OneSlotTemplate(-1, -1);
  t->SizeUnit = -1;
  TSizeNode bigger{4, "x", 8, 10, 1, 0, 0};
  KeepPhotosForNewSize(*t, bigger, TSlotWindowGeometry{});
  EXPECT_EQ(t->Slots[0]->OffsetX, 0.1f);
  EXPECT_EQ(t->Slots[0]->ScaleX, 1.0f);
}

}  // namespace
}  // namespace tessaro
