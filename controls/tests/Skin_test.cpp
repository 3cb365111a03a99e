#include "controls/Skin.h"

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QPainter>

#include "controls/Look.h"

namespace tessaro {
namespace {

// Pictures the windows load by name, with the size they are drawn for.
struct SkinCase {
  const char* name;
  QSize size;
};

TEST(Skin, EveryPictureTheWindowsNeedRendersAtItsSize) {
  const SkinCase cases[] = {
      {"banner", {1000, 64}},
      {"splash", {480, 300}},
      {"button_normal", {96, 28}},
      {"button_hover", {96, 28}},
      {"button_pressed", {96, 28}},
      {"button_disabled", {96, 28}},
      {"slot_transparent_empty", {36, 32}},
      {"slot_transparent_photo", {36, 32}},
      {"slot_opaque_empty", {36, 32}},
      {"slot_opaque_photo", {36, 32}},
      {"format_jpg_off", {44, 39}},
      {"format_jpg_on", {44, 39}},
      {"format_psd_off", {44, 39}},
      {"format_psd_on", {44, 39}},
      {"check_on", {14, 14}},
      {"check_off", {14, 14}},
      {"edit_strip", {1, 20}},
      {"edit_strip_pressed", {1, 20}},
      {"marker", {16, 16}},
      {"cursor_rotate", {32, 32}},
  };
  QStringList names = SkinNames();
  for (const SkinCase& c : cases) {
    EXPECT_TRUE(names.contains(c.name)) << c.name;
    QImage image = SkinImage(c.name);
    ASSERT_FALSE(image.isNull()) << c.name;
    EXPECT_EQ(image.size(), c.size) << c.name;
    EXPECT_NE(qAlpha(image.pixel(image.width() / 2, image.height() / 2)), 0) << c.name << " is drawn";
  }
  EXPECT_TRUE(SkinImage("no_such_picture").isNull());
}

TEST(Skin, ButtonPicturesAreOpaqueForTheRecolouredLooks) {
  // Checked and disabled looks work on 24-bit pictures: the slot, format
  // and check-box pictures cover their whole area.
  for (const char* name : {"slot_transparent_empty", "slot_opaque_photo", "format_jpg_on", "check_off"}) {
    QImage image = SkinImage(name);
    ASSERT_FALSE(image.isNull()) << name;
    for (QPoint p : {QPoint(0, 0), QPoint(image.width() - 1, image.height() - 1)})
      EXPECT_EQ(qAlpha(image.pixel(p)), 255) << name;
  }
}

TEST(Skin, StatesOfAPictureDiffer) {
  EXPECT_NE(SkinImage("slot_opaque_empty"), SkinImage("slot_opaque_photo"));
  EXPECT_NE(SkinImage("slot_opaque_empty"), SkinImage("slot_transparent_empty"));
  EXPECT_NE(SkinImage("check_on"), SkinImage("check_off"));
  EXPECT_NE(SkinImage("button_normal"), SkinImage("button_hover"));
  EXPECT_EQ(SkinImage("check_on", QSize(28, 28)).size(), QSize(28, 28));
}

TEST(ListFont, ChineseTextHasGlyphs) {
  // "宋体" may be absent; the fallbacks the set-up script installs must
  // cover the lists' Chinese texts.
  QFont font = ListFont(9);
  EXPECT_EQ(font.pointSize(), 9);
  EXPECT_EQ(font.families().value(0), QString::fromUtf8("宋体"));
  bool covered = false;
  for (const QString& family : font.families())
    if (QFontDatabase::hasFamily(family) &&
        QFontDatabase::writingSystems(family).contains(QFontDatabase::SimplifiedChinese))
      covered = true;
  EXPECT_TRUE(covered) << "no installed CJK font among the list font's families";
  QFontMetrics metrics(font);
  EXPECT_GT(metrics.horizontalAdvance(QString::fromUtf8("删除")), metrics.horizontalAdvance("ab"));
}

TEST(ColorFromBgr, ReadsTheSystemsByteOrder) {
  EXPECT_EQ(ColorFromBgr(0x0F02B3), QColor(179, 2, 15));
  EXPECT_EQ(ColorFromBgr(0xECEC1A), QColor(26, 236, 236));
  EXPECT_EQ(ColorFromBgr(0xFF319CFF), QColor(255, 156, 49)) << "the top byte is ignored";
}

}  // namespace
}  // namespace tessaro
