#include "model/StatLayout.h"

#include <gtest/gtest.h>

namespace tessaro {
namespace {

TEST(StatLayout, OpenCloseButtonAlternatesBetweenTheTwoWidths) {
  struct Case {
    int32_t width;
    int32_t expected;
    bool open;
  };
  const Case cases[] = {
      {265, 550, true},   // the list alone: opens
      {100, 550, true},   // dragged narrower than the list: opens
      {266, 265, false},  // anything wider closes
      {550, 265, false}, {800, 265, false},
  };
  for (const Case& c : cases) {
    bool open = !c.open;
    EXPECT_EQ(StatToggleWidth(c.width, open), c.expected) << c.width;
    EXPECT_EQ(open, c.open) << c.width;
  }
  // Two presses from the shown state come back to it.
  bool open = false;
  EXPECT_EQ(StatToggleWidth(StatToggleWidth(kStatNarrowWidth, open), open), kStatNarrowWidth);
  EXPECT_FALSE(open);
}

TEST(StatLayout, ShowingAPhotoOpensOnlyANarrowWindow) {
  EXPECT_EQ(StatWidthForLargeView(265), 550);
  EXPECT_EQ(StatWidthForLargeView(120), 550);
  EXPECT_EQ(StatWidthForLargeView(266), 266) << "a window the user widened keeps its width";
  EXPECT_EQ(StatWidthForLargeView(700), 700);
}

TEST(StatLayout, WindowSitsTwoPixelsInsideThePreviewScreensBottomLeftCorner) {
  struct Case {
    const char* name;
    TStatRect screen, window, desktop, expected;
  };
  const TStatRect noDesktop{};
  const Case cases[] = {
      {"main window at the origin", {181, 264, 648, 432}, {0, 0, 265, 320}, noDesktop, {183, 374, 265, 320}},
      {"position of the window ignored",
       {500, 300, 648, 432},
       {77, 99, 550, 320},
       noDesktop,
       {502, 410, 550, 320}},
      {"fits the desktop unchanged",
       {181, 264, 648, 432},
       {0, 0, 265, 320},
       {0, 0, 1280, 800},
       {183, 374, 265, 320}},
      {"pushed left off a narrow desktop",
       {900, 264, 648, 432},
       {0, 0, 550, 320},
       {0, 0, 1280, 800},
       {730, 374, 550, 320}},
      {"pushed down onto the desktop",
       {181, -200, 648, 432},
       {0, 0, 265, 320},
       {0, 0, 1280, 800},
       {183, 0, 265, 320}},
      {"second monitor to the right",
       {1900, 264, 648, 432},
       {0, 0, 265, 320},
       {1920, 0, 1920, 1080},
       {1920, 374, 265, 320}},
      {"taller than the desktop keeps its top on it",
       {181, 264, 648, 432},
       {0, 0, 265, 320},
       {0, 100, 1280, 200},
       {183, 100, 265, 320}},
  };
  for (const Case& c : cases) EXPECT_EQ(PlaceStatWindow(c.screen, c.window, c.desktop), c.expected) << c.name;
}

TEST(StatLayout, PhotoInTheLargeViewIsShrunkAndCentredNeverEnlarged) {
  struct Case {
    const char* name;
    int32_t pw, ph;
    TStatRect expected;
  };
  const Case cases[] = {
      {"landscape", 3000, 2000, {0, 47, 283, 188}},
      {"portrait", 1000, 2000, {71, 0, 141, 283}},
      {"square", 600, 600, {0, 0, 283, 283}},
      {"small stays small, centred", 100, 50, {91, 116, 100, 50}},
      {"exact fit", 283, 283, {0, 0, 283, 283}},
      {"odd margin goes right and bottom", 282, 282, {0, 0, 282, 282}},
      {"one pixel", 1, 1, {141, 141, 1, 1}},
      {"empty photo", 0, 100, {}},
      {"negative size", -5, 100, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(LargeViewPhotoRect(c.pw, c.ph), c.expected) << c.name;
  EXPECT_EQ(LargeViewPhotoRect(10, 10, 0, 283), TStatRect{}) << "no view";
  EXPECT_EQ(LargeViewPhotoRect(400, 100, 200, 100), (TStatRect{0, 25, 200, 50})) << "other view size";
}

}  // namespace
}  // namespace tessaro
