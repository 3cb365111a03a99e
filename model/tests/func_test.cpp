#include "model/func.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <filesystem>

#include "Fakes.h"

namespace tessaro {
namespace {

struct PixelCase {
  int unit;
  double value;
  double ppi;
  int32_t pixels;
};

class ToPixelsTest : public ::testing::TestWithParam<PixelCase> {};

TEST_P(ToPixelsTest, ConvertsUnitsAtTheGivenResolution) {
  const PixelCase& c = GetParam();
  EXPECT_EQ(ToPixels(c.unit, c.value, c.ppi), c.pixels);
}

INSTANTIATE_TEST_SUITE_P(Units, ToPixelsTest,
                         ::testing::Values(PixelCase{1, 5, 96, 480}, PixelCase{2, 2.54, 96, 96},
                                           PixelCase{3, 25.4, 96, 96}, PixelCase{4, 1, 96, 0},
                                           PixelCase{-1, 10, 96, 0},
                                           PixelCase{0, 2.5, 96, 2},  // half to even
                                           PixelCase{0, 3.5, 96, 4}, PixelCase{0, -2.5, 96, -2},
                                           PixelCase{1, 3.5, 120, 420}, PixelCase{1, 1e30, 96, INT32_MAX},
                                           PixelCase{1, -1e30, 96, INT32_MIN}, PixelCase{0, NAN, 96, 0}));

TEST(FromPixels, InvertsToPixels) {
  EXPECT_DOUBLE_EQ(FromPixels(480, 1), 5.0);
  EXPECT_DOUBLE_EQ(FromPixels(96, 2), 2.54);
  EXPECT_DOUBLE_EQ(FromPixels(96, 3, 96), 25.4);
  EXPECT_DOUBLE_EQ(FromPixels(77, 0), 77.0);
  EXPECT_EQ(FromPixels(10, 7), 0.0);
  EXPECT_DOUBLE_EQ(FromPixels(300, 1, 150), 2.0);
  EXPECT_EQ(FromPixels(300, 1, 0), 0.0) << "no resolution, no length";
}

struct FitCase {
  const char* name;
  void (*fit)(int32_t, int32_t, int32_t&, int32_t&);
  int32_t w, h, bw, bh;
  int32_t outW, outH;
};

class FitTest : public ::testing::TestWithParam<FitCase> {};

TEST_P(FitTest, GivesTheDescribedSize) {
  const FitCase& c = GetParam();
  int32_t bw = c.bw, bh = c.bh;
  c.fit(c.w, c.h, bw, bh);
  EXPECT_EQ(bw, c.outW) << c.name;
  EXPECT_EQ(bh, c.outH) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, FitTest,
    ::testing::Values(
        FitCase{"in: wide picture", FitInBox, 300, 200, 100, 100, 100, 66},
        FitCase{"in: tall picture", FitInBox, 100, 240, 140, 120, 50, 120},
        FitCase{"in: wide thumbnail", FitInBox, 280, 120, 140, 120, 140, 60},
        FitCase{"in: never enlarges", FitInBox, 20, 10, 100, 100, 20, 10},
        FitCase{"in: equal ratios take the height rule", FitInBox, 200, 200, 100, 100, 100, 100},
        FitCase{"to: enlarges", FitToBox, 30, 20, 100, 100, 100, 66},
        FitCase{"to: shrinks tall", FitToBox, 300, 430, 646, 430, 300, 430},
        FitCase{"to: portrait slot", FitToBox, 1000, 2000, 646, 430, 215, 430},
        FitCase{"cover: wide", CoverBox, 300, 200, 100, 100, 150, 100},
        FitCase{"cover: tall", CoverBox, 4000, 3000, 299, 429, 572, 429},
        FitCase{"cover: never enlarges", CoverBox, 200, 150, 299, 429, 200, 150},
        FitCase{"in: products beyond 32 bits", FitInBox, 100000, 90000, 60000, 50000, 55555, 50000},
        FitCase{"cover: products beyond 32 bits", CoverBox, 100000, 90000, 60000, 50000, 60000, 54000},
        FitCase{"in: zero picture", FitInBox, 0, 10, 100, 100, 0, 0},
        FitCase{"to: zero box", FitToBox, 10, 10, 0, 100, 0, 0},
        FitCase{"cover: negative", CoverBox, -5, 10, 100, 100, 0, 0}));

TEST(PrintPixelSize, PixelsKeepTheGivenResolution) {
  double pw = 2000, ph = 3000, r = 300;
  ASSERT_TRUE(PrintPixelSize(4000, 6000, 0, pw, ph, r));
  EXPECT_EQ(pw, 2000);
  EXPECT_EQ(ph, 3000);
  EXPECT_EQ(r, 300);
  r = -1;
  ASSERT_TRUE(PrintPixelSize(4000, 9000, 0, pw, ph, r));
  EXPECT_EQ(r, 3) << "the larger of 2 and 3";
}

TEST(PrintPixelSize, InchesTakeTheLargestResolutionThatFits) {
  double pw = 8, ph = 10, r = -1;
  ASSERT_TRUE(PrintPixelSize(2400, 2500, 1, pw, ph, r));
  EXPECT_DOUBLE_EQ(r, 250);  // 2500 / 10 is smaller than 2400 / 8
  EXPECT_DOUBLE_EQ(pw, 2000);
  EXPECT_DOUBLE_EQ(ph, 2500);
}

TEST(PrintPixelSize, CentimetresAndMillimetresBecomeInches) {
  double pw = 25.4, ph = 50.8, r = 100;
  ASSERT_TRUE(PrintPixelSize(1, 1, 2, pw, ph, r));
  EXPECT_DOUBLE_EQ(pw, 1000);
  EXPECT_DOUBLE_EQ(ph, 2000);
  pw = 254, ph = 254, r = 10;
  ASSERT_TRUE(PrintPixelSize(1, 1, 3, pw, ph, r));
  EXPECT_DOUBLE_EQ(pw, 100);
}

TEST(PrintPixelSize, RefusesPagesWithoutSizeOrUnit) {
  double pw = 0, ph = 10, r = -1;
  EXPECT_FALSE(PrintPixelSize(100, 100, 1, pw, ph, r));
  EXPECT_EQ(r, -1);
  pw = 10;
  EXPECT_FALSE(PrintPixelSize(100, 100, -1, pw, ph, r));
}

TEST(FormatGeneral, WritesSinglesWidenedToDouble) {
  EXPECT_EQ(FormatGeneral(static_cast<double>(8.3f)), "8.30000019073486");
  EXPECT_EQ(FormatGeneral(static_cast<double>(3.5f)), "3.5");
  EXPECT_EQ(FormatGeneral(5), "5");
  EXPECT_EQ(FormatGeneral(-1), "-1");
  EXPECT_EQ(FormatGeneral(12.5), "12.5");
  EXPECT_EQ(FormatGeneral(0.1), "0.1");
}

TEST(ParseReal, ReadsWhatFormatGeneralWritesAndNothingElse) {
  for (float v : {8.3f, 3.5f, 0.1f, 1e-20f, 3.4e38f, -7.25f})
    EXPECT_EQ(static_cast<float>(*ParseReal(FormatGeneral(v))), v);
  EXPECT_EQ(ParseReal(" 2.5 "), 2.5);
  EXPECT_EQ(ParseReal("+4"), 4.0);
  for (const char* bad : {"", "abc", "1,5", "1.5x", "nan", "inf", "1e400", "--1", "+"})
    EXPECT_FALSE(ParseReal(bad).has_value()) << bad;
}

TEST(NarrowToFloat, KeepsTheFloatRange) {
  EXPECT_EQ(NarrowToFloat(2.5), 2.5f);
  EXPECT_EQ(NarrowToFloat(3.40282346638529e+38), std::numeric_limits<float>::max());
  EXPECT_FALSE(NarrowToFloat(1e39).has_value());
  EXPECT_FALSE(NarrowToFloat(-1e300).has_value());
}

TEST(SizeCaption, NamesTheUnit) {
  EXPECT_EQ(SizeCaption(1, 5), "(5英寸)");
  EXPECT_EQ(SizeCaption(2, 12.5f), "(12.5厘米)");
  EXPECT_EQ(SizeCaption(0, 800), "(800象素)");
  EXPECT_EQ(SizeCaption(3, 8.3f), "(8.30000019073486毫米)");
  EXPECT_EQ(SizeCaption(9, 5), "(5)");
  EXPECT_EQ(SizeCaption(-1, -1), "(-1)");
}

TEST(ReplaceSizeCaption, ReplacesTheLastGroup) {
  EXPECT_EQ(ReplaceSizeCaption("婚纱01(5英寸)", 1, 12), "婚纱01(12英寸)");
  EXPECT_EQ(ReplaceSizeCaption("a(b)c(5英寸)", 2, 30), "a(b)c(30厘米)");
  EXPECT_EQ(ReplaceSizeCaption("(5英寸)", 1, 6), "(6英寸)");
  EXPECT_EQ(ReplaceSizeCaption("a(5英寸)tail", 1, 6), "a(6英寸)");
  EXPECT_EQ(ReplaceSizeCaption("no group", 1, 6), "");
  EXPECT_EQ(ReplaceSizeCaption("open (only", 1, 6), "");
  EXPECT_EQ(ReplaceSizeCaption("close) only", 1, 6), "");
  EXPECT_EQ(ReplaceSizeCaption("", 1, 6), "");
}

TEST(LastPathPart, TakesTheLastComponent) {
  EXPECT_EQ(LastPathPart("/模板/婚纱01/"), "婚纱01");
  EXPECT_EQ(LastPathPart("/模板/婚纱01"), "婚纱01");
  EXPECT_EQ(LastPathPart("/a/b//  "), "b");
  EXPECT_EQ(LastPathPart("name  "), "name");
  EXPECT_EQ(LastPathPart("/"), "");
  EXPECT_EQ(LastPathPart(""), "");
}

TEST(ImportStamp, HasLeadingZeros) {
  EXPECT_EQ(FormatImportStamp({2009, 3, 7, 14, 5, 9}), "2009_03_07_14_05_09");
  EXPECT_EQ(FormatTimeOfDay({2009, 3, 7, 4, 5, 9}), "04_05_09");
}

TEST(DeleteFolder, RemovesTreeWithTrailingSeparator) {
  test::TempFolder dir;
  testing::WriteText(dir / "t/a/b/c.txt", "x");
  testing::WriteText(dir / "t/d.txt", "y");
  EXPECT_TRUE(DeleteFolder(dir / "t/"));
  EXPECT_FALSE(std::filesystem::exists(dir / "t"));
  EXPECT_TRUE(DeleteFolder(dir / "t")) << "a missing folder is gone already";
}

TEST(DeleteFolder, NeverFollowsLinks) {
  test::TempFolder dir;
  testing::WriteText(dir / "outside/keep.txt", "keep");
  testing::WriteText(dir / "work/own.txt", "own");
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "work/link").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "outside/keep.txt").c_str(), (dir / "work/filelink").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "outside").c_str(), (dir / "alias").c_str()), 0);

  EXPECT_FALSE(DeleteFolder(dir / "alias")) << "a link to a folder is not a folder to delete";
  EXPECT_TRUE(std::filesystem::exists(dir / "outside/keep.txt"));
  EXPECT_TRUE(DeleteFolder(dir / "work"));
  EXPECT_FALSE(std::filesystem::exists(dir / "work"));
  EXPECT_TRUE(std::filesystem::exists(dir / "outside/keep.txt")) << "links inside are removed, not followed";
}

TEST(DeleteFolder, LeavesAFolderItCannotEmpty) {
  if (::geteuid() == 0) GTEST_SKIP() << "root ignores permissions";
  test::TempFolder dir;
  testing::WriteText(dir / "t/locked/f.txt", "x");
  ASSERT_EQ(::chmod((dir / "t/locked").c_str(), 0500), 0);
  EXPECT_FALSE(DeleteFolder(dir / "t"));
  EXPECT_TRUE(std::filesystem::exists(dir / "t/locked/f.txt"));
  ::chmod((dir / "t/locked").c_str(), 0700);
}

}  // namespace
}  // namespace tessaro
