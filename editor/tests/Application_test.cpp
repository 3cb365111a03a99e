// Additions outside the automation model: prefetching, cancellation, and
// use of one application from several threads.
#include <sys/stat.h>
#include <utime.h>

#include <atomic>
#include <climits>
#include <thread>

#include "editor/tests/EditorTestUtil.h"
#include "imaging/codecs/Codecs.h"

namespace tessaro::editortest {
namespace {

using ApplicationTest = EditorFixture;

TEST_F(ApplicationTest, LoadTakesAPrefetchedFileWithoutReadingItAgain) {
  const std::string path = WritePicture(folder, "photo.psd", Pattern(30, 20));
  app->Prefetch(path);
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(path));
  const EditorStatistics stats = GetEditorStatistics(*app);
  EXPECT_EQ(stats.filesRead, 1);
  EXPECT_EQ(stats.prefetchHits, 1);
  EXPECT_EQ(MaxDifference(Flat(doc), Pattern(30, 20)), 0);
  // A second load reads the file itself.
  ASSERT_OK(app->Load(path));
  EXPECT_EQ(GetEditorStatistics(*app).filesRead, 2);
  EXPECT_EQ(GetEditorStatistics(*app).prefetchHits, 1);
}

TEST_F(ApplicationTest, PrefetchingTheSameFileTwiceReadsItOnce) {
  const std::string path = WritePicture(folder, "photo.psd", Pattern(30, 20));
  app->Prefetch(path);
  app->Prefetch(path);
  ASSERT_OK(app->Load(path));
  EXPECT_EQ(GetEditorStatistics(*app).filesRead, 1);
}

TEST_F(ApplicationTest, AFileChangedAfterItsPrefetchIsReadAgain) {
  const std::string path = WritePicture(folder, "photo.psd", Pattern(30, 20));
  app->Prefetch(path);
  WritePicture(folder, "photo.psd", Pattern(31, 20, 9));
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(path));
  EXPECT_EQ(*doc->Width(), 31);
  EXPECT_EQ(GetEditorStatistics(*app).prefetchHits, 0);
}

TEST_F(ApplicationTest, APrefetchOfAMissingOrBrokenFileLeavesTheErrorToLoad) {
  app->Prefetch(folder.File("missing.psd"));
  EXPECT_FALSE(app->Load(folder.File("missing.psd")).ok());
  ASSERT_TRUE(WriteFileAtomic(folder.File("broken.psd"), std::string_view("8BPS broken")).ok());
  app->Prefetch(folder.File("broken.psd"));
  Result<DocumentRef> r = app->Load(folder.File("broken.psd"));
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(GetEditorStatistics(*app).prefetchHits, 0);
}

// LoadScaled: a JPEG comes at the smallest DCT scale that still covers the
// hint (upright), with its resolution reduced alike and its full size
// reported; anything else, or a hint the full size barely meets, loads at
// full size.
TEST_F(ApplicationTest, LoadScaledDecodesAJpegAtTheScaleThatCoversTheHint) {
  WriteImageOptions plain;
  plain.ppi = 300;
  ASSERT_OK(WriteImageFile(folder.File("photo.jpg"), Pattern(800, 600), plain));
  WriteImageOptions turned = plain;
  turned.jpeg.orientation = 6;  // stored 800 x 600, upright 600 x 800
  ASSERT_OK(WriteImageFile(folder.File("turned.jpg"), Pattern(800, 600), turned));
  ASSERT_OK(WriteImageFile(folder.File("photo.png"), Pattern(800, 600), plain));
  struct Case {
    const char* file;
    int minWidth, minHeight;
    int width, height;  // of the document
    int fullWidth, fullHeight;
  };
  const Case cases[] = {
      {"photo.jpg", 0, 0, 800, 600, 800, 600},       // no hint
      {"photo.jpg", 200, 150, 200, 150, 800, 600},   // a quarter covers it
      {"photo.jpg", 201, 0, 300, 225, 800, 600},     // one pixel more: 3/8
      {"photo.jpg", 0, 451, 700, 525, 800, 600},     // 7/8 for the height alone
      {"photo.jpg", 800, 600, 800, 600, 800, 600},   // nothing smaller covers it
      {"turned.jpg", 150, 200, 150, 200, 600, 800},  // the hint is upright
      {"photo.png", 100, 100, 800, 600, 800, 600},   // only JPEG is scaled
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + std::to_string(c.minWidth) + "x" + std::to_string(c.minHeight));
    ASSERT_OK_AND_ASSIGN(ScaledDocument loaded,
                         app->LoadScaled(folder.File(c.file), DecodeHint{c.minWidth, c.minHeight}));
    EXPECT_EQ(*loaded.Document->Width(), c.width);
    EXPECT_EQ(*loaded.Document->Height(), c.height);
    EXPECT_EQ(loaded.FullWidth, c.fullWidth);
    EXPECT_EQ(loaded.FullHeight, c.fullHeight);
    EXPECT_NEAR(*loaded.Document->Resolution(), 300.0 * c.width / c.fullWidth, 0.01);
    ASSERT_OK(loaded.Document->Close(kDoNotSaveChanges));
  }
  EXPECT_EQ(GetEditorStatistics(*app).reducedLoads, 4);

  // Turned off: every load is at full size.
  EditorOptions options;
  options.reducedDecoding = false;
  auto full = CreateEditorApplication(options);
  ASSERT_OK_AND_ASSIGN(ScaledDocument whole, full->LoadScaled(folder.File("photo.jpg"), DecodeHint{100, 75}));
  EXPECT_EQ(*whole.Document->Width(), 800);
  EXPECT_EQ(GetEditorStatistics(*full).reducedLoads, 0);
}

// A hint naming a part: the document keeps the whole picture's (reduced)
// size, its layer covers the part taken outward to whole pixels plus the
// margin, and its pixels are those of a whole load there. Layered documents
// and pictures with transparency come whole; turned off, everything does.
TEST_F(ApplicationTest, LoadScaledWithAPartDecodesOnlyThatPart) {
  constexpr int32_t U = DecodeHint::kCropUnit;
  ASSERT_OK(WriteImageFile(folder.File("photo.jpg"), Pattern(800, 600)));
  WriteImageOptions turnedOptions;
  turnedOptions.jpeg.orientation = 6;  // upright 600 x 800
  ASSERT_OK(WriteImageFile(folder.File("turned.jpg"), Pattern(800, 600), turnedOptions));
  Image clear = Pattern(80, 60);
  clear.At(10, 50).a = 0;
  ASSERT_OK(WriteImageFile(folder.File("clear.png"), clear));
  const std::string layered = WritePicture(folder, "photo.psd", Pattern(80, 60));
  struct Case {
    const char* file;
    DecodeHint hint;
    int width, height;  // of the document
    LayerBounds layer;
  };
  const Case cases[] = {
      {"photo.jpg", {0, 0, U / 4, 0, 3 * U / 4, U, 0}, 800, 600, {200, 0, 600, 600}},
      {"photo.jpg", {200, 150, U / 4, U / 3, 3 * U / 4, 2 * U / 3, 2}, 200, 150, {48, 47, 152, 102}},
      {"turned.jpg", {300, 400, 0, U / 8, U, 7 * U / 8, 0}, 300, 400, {0, 50, 300, 350}},
      {"clear.png", {0, 0, U / 4, U / 4, U / 2, U / 2, 0}, 80, 60, {0, 0, 80, 60}},
      {"photo.psd", {0, 0, U / 4, U / 4, U / 2, U / 2, 0}, 80, 60, {0, 0, 80, 60}},
      {"photo.jpg", {0, 0, -U, U / 2, 2 * U, INT32_MIN, 9}, 800, 600, {0, 0, 800, 600}},  // empty: all
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_OK_AND_ASSIGN(ScaledDocument part, app->LoadScaled(folder.File(c.file), c.hint));
    EXPECT_EQ(*part.Document->Width(), c.width);
    EXPECT_EQ(*part.Document->Height(), c.height);
    const ArtLayerRef layer = Layer(part.Document, 1);
    EXPECT_EQ(BoundsOf(layer), c.layer);
    DecodeHint sizeOnly;
    sizeOnly.MinWidth = c.hint.MinWidth, sizeOnly.MinHeight = c.hint.MinHeight;
    ASSERT_OK_AND_ASSIGN(ScaledDocument whole, app->LoadScaled(folder.File(c.file), sizeOnly));
    const Image wholeFlat = Flat(whole.Document);
    const PlacedImage kept = Pixels(layer);
    for (const auto& [x, y] : {std::pair{0, 0},
                               {kept.image.width() / 2, kept.image.height() / 3},
                               {kept.image.width() - 1, kept.image.height() - 1}})
      EXPECT_TRUE(SamePixel(kept.image.At(x, y), wholeFlat.At(kept.bounds.left + x, kept.bounds.top + y)));
    ASSERT_OK(part.Document->Close(kDoNotSaveChanges));
    ASSERT_OK(whole.Document->Close(kDoNotSaveChanges));
  }

  EditorOptions options;
  options.reducedDecoding = false;
  auto full = CreateEditorApplication(options);
  ASSERT_OK_AND_ASSIGN(ScaledDocument all, full->LoadScaled(folder.File("photo.jpg"), cases[0].hint));
  EXPECT_EQ(BoundsOf(Layer(all.Document, 1)), (LayerBounds{0, 0, 800, 600}));
}

TEST_F(ApplicationTest, APrefetchServesOnlyALoadOfTheSamePart) {
  constexpr int32_t U = DecodeHint::kCropUnit;
  const std::string path = folder.File("photo.jpg");
  ASSERT_OK(WriteImageFile(path, Pattern(800, 600)));
  const DecodeHint left{200, 150, 0, 0, U / 2, U, 4};
  DecodeHint right = left;
  right.CropLeft = U / 2, right.CropRight = U;
  app->PrefetchScaled(path, left);
  ASSERT_OK_AND_ASSIGN(ScaledDocument other, app->LoadScaled(path, right));
  EXPECT_EQ(GetEditorStatistics(*app).prefetchHits, 0);
  EXPECT_EQ(BoundsOf(Layer(other.Document, 1)), (LayerBounds{96, 0, 200, 150}));
  ASSERT_OK_AND_ASSIGN(ScaledDocument same, app->LoadScaled(path, left));
  EXPECT_EQ(GetEditorStatistics(*app).prefetchHits, 1);
  EXPECT_EQ(BoundsOf(Layer(same.Document, 1)), (LayerBounds{0, 0, 104, 150}));
}

// The box where an alpha channel is not 0, within the canvas; a channel
// that is not 0 outside its stored pixels covers the canvas.
TEST_F(ApplicationTest, AChannelsContentBoundsAreWhereItIsNotZero) {
  PsdDocument d = MakePsd(40, 30);
  d.layers.push_back(MakePsdLayer("Background", IntRect{0, 0, 40, 30}, Pattern(40, 30)));
  Plane soft = RectPlane(40, 30, {6, 4, 20, 9}, 255);
  soft.At(25, 20) = 1;
  d.alphaChannels.push_back({"slot", std::move(soft), false});
  d.alphaChannels.push_back({"empty", RectPlane(40, 30, {0, 0, 0, 0}, 0), false});
  d.alphaChannels.push_back({"full", RectPlane(40, 30, {0, 0, 40, 30}, 200), false});
  const DocumentRef doc = OpenDocument("channels.psd", d);
  ASSERT_TRUE(doc);
  EXPECT_EQ(ChannelNamed(doc, "slot")->ContentBounds().value(), (LayerBounds{6, 4, 26, 21}));
  EXPECT_EQ(ChannelNamed(doc, "empty")->ContentBounds().value(), LayerBounds{});
  EXPECT_EQ(ChannelNamed(doc, "full")->ContentBounds().value(), (LayerBounds{0, 0, 40, 30}));
  EXPECT_FALSE(ChannelNamed(doc, "Red")->ContentBounds().ok());
}

TEST_F(ApplicationTest, MemoryGoesBackOnlyWhenTheLastDocumentClosesAndTheOptionAllowsIt) {
  const std::string path = WritePicture(folder, "photo.psd", Pattern(30, 20));
  for (const bool release : {true, false}) {
    SCOPED_TRACE(release ? "released" : "kept");
    EditorOptions options;
    options.releaseMemoryWhenEmpty = release;
    auto editor = CreateEditorApplication(options);
    ASSERT_OK_AND_ASSIGN(DocumentRef first, editor->Load(path));
    ASSERT_OK_AND_ASSIGN(DocumentRef second, editor->Load(path));
    ASSERT_OK(first->Close(kDoNotSaveChanges));
    EXPECT_EQ(GetEditorStatistics(*editor).memoryReleases, 0);  // a document is still open
    ASSERT_OK(second->Close(kDoNotSaveChanges));
    EXPECT_EQ(GetEditorStatistics(*editor).memoryReleases, release ? 1 : 0);
  }
}

TEST_F(ApplicationTest, APrefetchServesOnlyALoadWithItsSizeHint) {
  const std::string path = folder.File("photo.jpg");
  ASSERT_OK(WriteImageFile(path, Pattern(800, 600)));
  app->PrefetchScaled(path, DecodeHint{200, 150});
  ASSERT_OK_AND_ASSIGN(DocumentRef doc, app->Load(path));  // full size: read again
  EXPECT_EQ(*doc->Width(), 800);
  EXPECT_EQ(GetEditorStatistics(*app).prefetchHits, 0);
  ASSERT_OK_AND_ASSIGN(ScaledDocument small, app->LoadScaled(path, DecodeHint{200, 150}));
  EXPECT_EQ(*small.Document->Width(), 200);
  EXPECT_EQ(GetEditorStatistics(*app).prefetchHits, 1);
  EXPECT_EQ(GetEditorStatistics(*app).filesRead, 2);
}

TEST_F(ApplicationTest, OnlyTheNewestPrefetchesAreKept) {
  EditorOptions options;
  options.prefetchLimit = 2;
  auto small = CreateEditorApplication(options);
  std::vector<std::string> paths;
  for (int i = 0; i < 4; ++i)
    paths.push_back(WritePicture(folder, "p" + std::to_string(i) + ".psd", Pattern(8, 8, i)));
  for (const std::string& p : paths) small->Prefetch(p);
  ASSERT_OK(small->Load(paths[0]));  // dropped: read again
  ASSERT_OK(small->Load(paths[3]));  // kept
  EXPECT_EQ(GetEditorStatistics(*small).prefetchHits, 1);
}

TEST_F(ApplicationTest, AnApplicationWithUnusedPrefetchesClosesCleanly) {
  auto other = CreateEditorApplication();
  for (int i = 0; i < 3; ++i)
    other->Prefetch(WritePicture(folder, "q" + std::to_string(i) + ".psd", Pattern(64, 64)));
  other.reset();
}

TEST_F(ApplicationTest, CancelledCallsFailAndTheApplicationRecovers) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(20, 10)));
  ArtLayerRef layer = Layer(doc, 1);
  app->RequestCancel();
  const std::string other = WritePicture(folder, "o.psd", Pattern(4, 4));
  struct Call {
    const char* what;
    std::function<Status()> run;
  } calls[] = {
      {"Load", [&] { return app->Load(other).status(); }},
      {"ResizeImage", [&] { return doc->ResizeImage(40, 20, 72, kResampleBicubic); }},
      {"SaveAs", [&] { return doc->SaveAs(folder.File("x.jpg"), JPEGSaveOptions{10}, true, 2); }},
      {"Paste", [&] { return doc->Paste(false).status(); }},
      {"MergeVisibleLayers", [&] { return doc->MergeVisibleLayers().status(); }},
      {"Copy", [&] { return layer->Copy(false); }},
      {"Resize", [&] { return layer->Resize(50, 50, 5); }},
      {"Rotate", [&] { return layer->Rotate(10, 5); }},
      {"Translate", [&] { return layer->Translate(1, 1); }},
      {"AdjustLevels", [&] { return layer->AdjustLevels(10, 200, 1, 0, 255); }},
      {"SelectAll", [&] { return SelectionOf(doc)->SelectAll(); }},
      {"Duplicate", [&] { return layer->Duplicate(doc, kPlaceAtBeginning).status(); }},
  };
  for (const Call& c : calls) {
    Status s = c.run();
    EXPECT_EQ(s.message(), "cancelled") << c.what;
    EXPECT_TRUE(s.cancelled()) << c.what;
  }
  // Nothing changed; queries and setters still work.
  EXPECT_EQ(*doc->Width(), 20);
  EXPECT_EQ(LayerCount(doc), 1);
  EXPECT_EQ(BoundsOf(layer), (LayerBounds{0, 0, 20, 10}));
  EXPECT_FALSE(FileExists(folder.File("x.jpg")));
  EXPECT_OK(layer->SetOpacity(50));
  EXPECT_EQ(*(*app->Documents())->Count(), 1);
  app->ClearCancel();
  EXPECT_OK(doc->ResizeImage(40, 20, 72, kResampleBicubic));
  EXPECT_OK(layer->Translate(1, 1));
  // Closing works while cancelled, so a cancelled job can close its documents.
  app->RequestCancel();
  EXPECT_OK(doc->Close(kDoNotSaveChanges));
  app->ClearCancel();
}

TEST_F(ApplicationTest, ACancelFromAnotherThreadStopsALongResize) {
  // A 2000 x 2000 layer resized to 12000 x 12000 takes seconds; the cancel
  // comes as soon as the resize has started.
  PsdDocument d = MakePsd(2000, 2000);
  d.layers.push_back(MakePsdLayer("big", {0, 0, 2000, 2000}, Pattern(2000, 2000)));
  DocumentRef doc = OpenDocument("big.psd", d);
  std::atomic<bool> started{false};
  Status result;
  std::thread worker([&] {
    started = true;
    result = doc->ResizeImage(12000, 12000, 72, kResampleBicubic);
  });
  while (!started) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  app->RequestCancel();
  worker.join();
  app->ClearCancel();
  EXPECT_EQ(result.message(), "cancelled");
  EXPECT_TRUE(result.cancelled());
  EXPECT_EQ(*doc->Width(), 2000);
  EXPECT_EQ(BoundsOf(Layer(doc, 1)), (LayerBounds{0, 0, 2000, 2000}));
}

TEST_F(ApplicationTest, OneApplicationServesSeveralThreads) {
  DocumentRef doc = Open(WritePicture(folder, "p.psd", Pattern(64, 48)));
  std::atomic<int> failures{0};
  std::thread painter([&] {
    for (int i = 0; i < 20; ++i) {
      if (!Layer(doc, 1)->Copy(false).ok() || !doc->Paste(false).ok()) ++failures;
      if (!(*doc->ActiveLayer())->Rotate(7, 5).ok()) ++failures;
    }
  });
  std::thread reader([&] {
    for (int i = 0; i < 200; ++i) {
      auto layers = doc->ArtLayers();
      if (!layers.ok())
        ++failures;
      else if (*(*layers)->Count() < 1)
        ++failures;
      (void)doc->Width();
    }
  });
  painter.join();
  reader.join();
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(LayerCount(doc), 21);
}

}  // namespace
}  // namespace tessaro::editortest
