#include "controls/Thumbnails.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "testing/Corpus.h"

namespace tessaro {
namespace {

std::string Corpus(const std::string& relative) {
  std::string path = test::CorpusPath(relative);
  return std::filesystem::exists(path) ? path : std::string();
}

TEST(FitThumbnail, FitsLikeTheListBox) {
  EXPECT_EQ(FitThumbnail(QSize(280, 120), QSize(140, 120)), QSize(140, 60));
  EXPECT_EQ(FitThumbnail(QSize(100, 240), QSize(140, 120)), QSize(50, 120));
  EXPECT_EQ(FitThumbnail(QSize(40, 30), QSize(140, 120)), QSize(40, 30));
  EXPECT_TRUE(FitThumbnail(QSize(0, 30), QSize(140, 120)).isEmpty());
  EXPECT_TRUE(FitThumbnail(QSize(40, 30), QSize(0, 120)).isEmpty());
}

TEST(DecodeThumbnail, LargePhotoIsDecodedSmallAndFitted) {
  std::string photo = Corpus("jpeg/baseline_420_exif_gps_camera_2048x1536.jpg");
  if (photo.empty()) TESSARO_CORPUS_MISSING("a corpus photo");
  QImage thumb = DecodeThumbnail(photo, QSize(140, 120));
  ASSERT_FALSE(thumb.isNull());
  EXPECT_EQ(thumb.size(), QSize(140, 105));
  EXPECT_EQ(thumb.format(), QImage::Format_RGB32);
  // A photo, not a flat area.
  QColor a = thumb.pixelColor(10, 10), b = thumb.pixelColor(120, 90);
  EXPECT_NE(a, b);
}

TEST(DecodeThumbnail, OrientationIsApplied) {
  std::string portrait = Corpus("jpeg/exif_orientation/Landscape_6.jpg");
  std::string upright = Corpus("jpeg/exif_orientation/Landscape_1.jpg");
  if (portrait.empty() || upright.empty()) TESSARO_CORPUS_MISSING("corpus photos");
  QImage turned = DecodeThumbnail(portrait, QSize(140, 120));
  QImage plain = DecodeThumbnail(upright, QSize(140, 120));
  ASSERT_FALSE(turned.isNull());
  ASSERT_FALSE(plain.isNull());
  EXPECT_EQ(turned.size(), plain.size()) << "both show the same upright landscape";
}

TEST(DecodeThumbnail, TransparencyIsFlattenedOverWhite) {
  QTemporaryDir dir;
  QImage image(20, 10, QImage::Format_ARGB32);
  image.fill(QColor(0, 0, 0, 0));
  for (int y = 0; y < 10; ++y)
    for (int x = 10; x < 20; ++x) image.setPixelColor(x, y, QColor(255, 0, 0, 255));
  QString path = dir.filePath("alpha.png");
  ASSERT_TRUE(image.save(path));
  QImage thumb = DecodeThumbnail(path.toStdString(), QSize(140, 120));
  ASSERT_EQ(thumb.size(), QSize(20, 10));
  EXPECT_EQ(thumb.pixelColor(2, 5), QColor(255, 255, 255));
  EXPECT_EQ(thumb.pixelColor(15, 5), QColor(255, 0, 0));
}

TEST(DecodeThumbnail, BadInputGivesANullImage) {
  QTemporaryDir dir;
  QString empty = dir.filePath("empty.jpg");
  QFile(empty).open(QIODevice::WriteOnly);
  EXPECT_TRUE(DecodeThumbnail(empty.toStdString(), QSize(140, 120)).isNull());
  EXPECT_TRUE(DecodeThumbnail(dir.filePath("none.png").toStdString(), QSize(140, 120)).isNull());
  EXPECT_TRUE(DecodeThumbnail(dir.path().toStdString(), QSize(140, 120)).isNull()) << "a folder";
  EXPECT_TRUE(DecodeThumbnail("", QSize(140, 120)).isNull());
  std::string good = Corpus("jpeg/baseline_444_skater.jpg");
  if (!good.empty()) {
    EXPECT_TRUE(DecodeThumbnail(good, QSize(0, 120)).isNull()) << "an empty box";
  }
  // Damaged files never crash; a header that is no picture gives nothing.
  std::string header = Corpus("jpeg/corrupt/corrupt_header.jpg");
  if (!header.empty()) {
    EXPECT_TRUE(DecodeThumbnail(header, QSize(140, 120)).isNull());
  }
  for (const char* sub : {"jpeg/corrupt", "png/corrupt"}) {
    std::string folder = Corpus(sub);
    if (folder.empty()) continue;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      QImage thumb = DecodeThumbnail(entry.path().string(), QSize(140, 120));
      if (!thumb.isNull()) {
        EXPECT_LE(thumb.width(), 140);
      }
    }
  }
}

TEST(ThumbnailCache, PrefetchedAndDirectDecodesAgree) {
  std::vector<std::string> files;
  for (const char* name : {"jpeg/baseline_444_skater.jpg", "jpeg/progressive_444_skater.jpg",
                           "png/rgba_photo_blackbug.png", "jpeg/gray_baseline_hopper.jpg"}) {
    std::string f = Corpus(name);
    if (!f.empty()) files.push_back(f);
  }
  if (files.size() < 2) TESSARO_CORPUS_MISSING("corpus photos");
  files.push_back("/nonexistent/photo.jpg");
  TThumbnailCache cache(2);
  const QSize box(140, 120);
  cache.Prefetch(files, box);
  cache.Prefetch(files, box);  // queued once
  EXPECT_EQ(cache.Pending(), files.size());
  for (const std::string& f : files) EXPECT_EQ(cache.Take(f, box), DecodeThumbnail(f, box)) << f;
  EXPECT_EQ(cache.Pending(), 0u);
  // Not prefetched: decoded on the spot.
  EXPECT_FALSE(cache.Take(files[0], box).isNull());
  cache.Prefetch(files, QSize(60, 60));
  cache.Drop();
  EXPECT_EQ(cache.Pending(), 0u);
}

// The list waits for a queued thumbnail with the window's events going on:
// Take keeps calling back until the decode is done. The decode here ends
// only when the callback has run three times (or, failing that, after five
// seconds, so that a Take that just blocks fails instead of hanging).
TEST(ThumbnailCache, TakeCallsBackWhileAQueuedDecodeRuns) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::once_flag once;
  auto releaseOnce = [&] { std::call_once(once, [&] { release.set_value(); }); };
  TThumbnailCache cache(1, [released](const std::string&, QSize box) {
    released.wait();
    QImage image(box, QImage::Format_RGB32);
    image.fill(Qt::red);
    return image;
  });
  const QSize box(14, 12);
  cache.Prefetch({"slow.jpg"}, box);
  std::thread fallback([&] {
    if (released.wait_for(std::chrono::seconds(5)) == std::future_status::timeout) releaseOnce();
  });
  int calls = 0;
  const QImage image = cache.Take("slow.jpg", box, [&] {
    if (++calls == 3) releaseOnce();
  });
  fallback.join();
  EXPECT_GE(calls, 3);
  EXPECT_EQ(image.size(), box);
  EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red))
      << "the queued decode's picture, not a decode on the spot";
}

}  // namespace
}  // namespace tessaro
