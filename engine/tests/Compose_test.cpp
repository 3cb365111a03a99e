// The composition procedure against a recording fake of the editor: the
// calls and their values for small templates worked out by hand.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <vector>

#include "base/Parallel.h"
#include "engine/CreateTemp.h"
#include "engine/MyThread.h"
#include "engine/tests/FakeEditor.h"
#include "model/Package.h"

namespace tessaro::enginetest {
namespace {

namespace fs = std::filesystem;

// A package folder with enciphered background pictures, and a set with one
// template of two slots.
class ComposeFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("engine_compose_" + std::to_string(getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "pkg");
    folder = (dir / "pkg").string() + "/";
    const std::vector<uint8_t> bytes(600, 0x5A);
    const std::string plain = (dir / "plain.jpg").string();
    ASSERT_TRUE(WriteFileAtomic(plain, bytes).ok());
    ASSERT_TRUE(EncipherTemplateImage(plain, folder + "brivanto_a.jpg").ok());
    ASSERT_TRUE(EncipherTemplateImage(plain, folder + "brivanto_b.jpg").ok());

    versions.push_back({"tessaro-editor", std::string(au::kJPEGSaveOptionsClassId),
                        std::string(au::kPhotoshopSaveOptionsClassId),
                        std::string(au::kActionDescriptorClassId), std::string(au::kActionReferenceClassId),
                        std::string(au::kActionListClassId), false});

    // Preview document 2100 x 3000 at 72 ppi with overlays; result 2100 x 3000 at 300.
    FakeFileSpec a;
    a.width = 2100, a.height = 3000, a.resolution = 72;
    a.layers = {{" Brivanto ", true, {0, 0, 2100, 3000}},
                {"brivanto-ish", true, {0, 0, 2100, 3000}},
                {"BRIVANTO", true, {0, 0, 2100, 3000}},
                {"Background", true, {0, 0, 2100, 3000}}};
    a.channels = {"photo", "round"};
    fake.S->files[folder + "brivanto_a.psd"] = a;
    FakeFileSpec b = a;
    b.resolution = 300;
    fake.S->files[folder + "brivanto_b.psd"] = b;
    fake.S->fallback.layers = {{"bgpicture", true, {0, 0, 100, 100}}};
    // Photo 1: 400 x 600, one layer. Photo 2: 300 x 200, two layers whose
    // union leaves transparent margins.
    FakeFileSpec p1;
    p1.width = 400, p1.height = 600;
    fake.S->files["/photos/one.jpg"] = p1;
    FakeFileSpec p2;
    p2.width = 300, p2.height = 200;
    p2.layers = {{"a", true, {20, 10, 260, 190}}, {"b", true, {40, 30, 100, 90}}};
    fake.S->files["/photos/two.psd"] = p2;

    for (int version = 0; version < 2; ++version) {
      auto t = std::make_unique<TTempNode>();
      t->Folder = folder;
      t->Width = 7, t->Height = 10, t->SizeUnit = kUnitInch;
      for (int s = 0; s < 2; ++s) t->Slots.push_back(std::make_unique<TSlotNode>());
      InsertPlacement(*t, std::make_unique<TPlacement>(TPlacement{1, "photo", {210, 300, 1260, 1800}}));
      InsertPlacement(*t, std::make_unique<TPlacement>(TPlacement{2, "round", {1400, 2000, 1900, 2500}}));
      (version == 0 ? set.PreviewTemps : set.ResultTemps).push_back(std::move(t));
    }
    TSlotNode& s1 = *set.PreviewTemps[0]->Slots[0];
    s1.PhotoIndex = 0, s1.ScaleX = 1, s1.ScaleY = 1, s1.OffsetX = 0.1f, s1.OffsetY = -0.05f, s1.Angle = 15,
    s1.FlipH = true;
    TSlotNode& s2 = *set.PreviewTemps[0]->Slots[1];
    s2.PhotoIndex = 1, s2.ScaleX = 1.5f, s2.ScaleY = 1.2f, s2.OffsetX = 0, s2.OffsetY = 0, s2.FlipV = true;
    set.Photos.push_back(std::make_unique<TPhotoInfoNode>(TPhotoInfoNode{"/photos/one.jpg", {}}));
    set.Photos.push_back(std::make_unique<TPhotoInfoNode>(TPhotoInfoNode{"/photos/two.psd", {}}));
  }
  void TearDown() override { fs::remove_all(dir); }

  TComposeReport Run(bool preview, bool psd = false, bool smallPreview = true) {
    TComposeEnvironment env;
    env.App = &fake;
    env.Versions = &versions;
    env.Settings = &settings;
    env.WorkFile = (dir / "work" / "tmp_1.jpg").string();
    env.ReportProgress = [this](int p) { progress.push_back(p); };
    env.QueueMessage = [this](const std::string& m) { messages.push_back(m); };
    TComposeJob job;
    job.PreviewMode = preview;
    job.SetNode = &set;
    job.TemplateIndex = 0;
    job.PsdOutput = psd;
    job.PreviewFile = preview || smallPreview ? (dir / "preview.jpg").string() : "";
    job.ResultFile = preview ? "" : (dir / (psd ? "result.PSD" : "result.JPG")).string();
    job.PSVersionIndex = 0;
    return ComposeTemplate(env, job);
  }
  // An engine context whose factory gives the fixture's fake (for the
  // editor the factory would make).
  TEngineContext FakeContext(TMessageQueue& queue) {
    TEngineContext context;
    context.Versions = &versions;
    context.Settings = &settings;
    context.Queue = &queue;
    context.TempDir = (dir / "work").string() + "/";
    context.Factory = [this] { return std::shared_ptr<au::Application>(&fake, [](au::Application*) {}); };
    return context;
  }
  std::vector<std::string> Log(std::initializer_list<std::string> prefixes) {
    return Calls(fake.S->log, prefixes);
  }

  fs::path dir;
  std::string folder;
  FakeApplication fake;
  TPSVersionList versions;
  TAppSettings settings;
  TSetNode set;
  std::vector<int> progress;
  std::vector<std::string> messages;
};

TEST_F(ComposeFixture, PreviewPlacesEachPhotoWithItsTransformAndMask) {
  const TComposeReport report = Run(true);
  ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
  // 7 x 10 inches at 96 ppi = 672 x 960, inside the 2100 x 3000 document.
  EXPECT_EQ(Log({"ResizeImage"}), (std::vector<std::string>{"ResizeImage brivanto_a.psd 672 960 72 4",
                                                            "ResizeImage tmp_1.jpg 672 960 72 4"}));
  // Slot 1: rectangle 67,96-403,576; 400 x 600 photo at scale 1 -> 84 % x 80 %,
  // mirrored left-right; its centre 33.6 px right and 24 px up of the slot's.
  // Slot 2: rectangle 448,640-608,800; layer 240 x 180 inside a 300 x 200
  // picture (picture centre 10 px right of the layer's, 8 px after scaling).
  // The turned slot 1 is moved first, then resized and turned together.
  EXPECT_EQ(Log({"Resize ", "Translate", "Rotate"}),
            (std::vector<std::string>{"Translate -67.4 -168", "Resize -84 80 5", "Rotate -15 5",
                                      "Resize 80 -96 5", "Translate 184 240"}));
  EXPECT_EQ(Log({"Selection.Load", "ExecuteAction"}),
            (std::vector<std::string>{"Selection.Load photo 1", "ExecuteAction Mk   3",
                                      "Selection.Load round 1", "ExecuteAction Mk   3"}));
  EXPECT_EQ(Log({"MergeVisibleLayers", "Copy"}),
            (std::vector<std::string>{"Copy merged", "MergeVisibleLayers", "Copy merged"}));
  EXPECT_EQ(Log({"SaveAs"}), (std::vector<std::string>{"SaveAs " + (dir / "preview.jpg").string() +
                                                       " jpeg 10 copy 2 672x960"}));
  EXPECT_EQ(progress, (std::vector<int>{10, 20, 30, 40, 40, 45, 90, 95}));
  EXPECT_EQ(report.PreviewWritten, (dir / "preview.jpg").string());
  EXPECT_TRUE(fake.S->docs.empty());
  EXPECT_FALSE(fs::exists(dir / "work" / "tmp_1.jpg"));
}

TEST_F(ComposeFixture, OverlaysAreRaisedInTheirOrderAndUnitsRestored) {
  ASSERT_EQ(Run(true).State, TComposeState::Done);
  EXPECT_EQ(Log({"Move"}), (std::vector<std::string>{"Move BRIVANTO before Layer 2 3",
                                                     "Move  Brivanto  before BRIVANTO 3"}));
  EXPECT_EQ(
      Log({"SetRulerUnits", "SetTypeUnits"}),
      (std::vector<std::string>{"SetRulerUnits 1", "SetTypeUnits 1", "SetRulerUnits 2", "SetTypeUnits 5"}));
}

TEST_F(ComposeFixture, DocumentsOpenBeforehandAreClosedFirst) {
  ASSERT_TRUE(fake.Load("/photos/one.jpg").ok());
  ASSERT_TRUE(fake.Load("/photos/two.psd").ok());
  ASSERT_EQ(Run(true).State, TComposeState::Done);
  const std::vector<std::string> first(fake.S->log.begin() + 2, fake.S->log.begin() + 4);
  EXPECT_EQ(first, (std::vector<std::string>{"Close two.psd 2", "Close one.jpg 2"}));
}

TEST_F(ComposeFixture, EmptySlotIsPassedOverWithoutProgress) {
  set.PreviewTemps[0]->Slots[0]->PhotoIndex = -1;
  ASSERT_EQ(Run(true).State, TComposeState::Done);
  EXPECT_EQ(progress, (std::vector<int>{10, 20, 30, 40, 45, 90, 95}));
  EXPECT_EQ(Log({"Selection.Load"}), (std::vector<std::string>{"Selection.Load round 1"}));
}

struct ResultCase {
  bool autoResolution;
  std::string size;       // of the result
  std::string smallSize;  // of the small preview
};

TEST_F(ComposeFixture, ResultSizesAndSavesFollowTheResolutionSetting) {
  for (const ResultCase& c :
       {ResultCase{true, "2100x3000", "294x420"}, ResultCase{false, "1778x2540", "294x420"}}) {
    SCOPED_TRACE(c.size);
    fake.S->log.clear();
    settings.AutoResolution = c.autoResolution;
    settings.Resolution = 254;
    const TComposeReport report = Run(false);
    ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
    EXPECT_EQ(Log({"SaveAs"}),
              (std::vector<std::string>{
                  "SaveAs " + (dir / "result.JPG").string() + " jpeg 12 copy 2 " + c.size,
                  "SaveAs " + (dir / "preview.jpg").string() + " jpeg 10 copy 2 " + c.smallSize}));
    EXPECT_EQ(report.ResultWritten, (dir / "result.jpg").string());
  }
}

TEST_F(ComposeFixture, ResultJobNamingNoSmallPreviewSavesOnlyTheResult) {
  for (const bool psd : {false, true}) {
    SCOPED_TRACE(psd ? "psd" : "jpeg");
    fake.S->log.clear();
    ASSERT_EQ(Run(false, psd).State, TComposeState::Done);
    const size_t mergesWithPreview = Log({"MergeVisibleLayers"}).size();
    fake.S->log.clear();
    const TComposeReport report = Run(false, psd, false);
    ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
    const std::vector<std::string> saves = Log({"SaveAs"});
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].rfind("SaveAs " + (dir / (psd ? "result.PSD" : "result.JPG")).string(), 0), 0u);
    // Only the template and the background are resized; the page is not
    // merged for a preview.
    EXPECT_EQ(Log({"ResizeImage"}).size(), 2u);
    EXPECT_EQ(Log({"MergeVisibleLayers"}).size() + 1, mergesWithPreview);
    EXPECT_TRUE(report.PreviewWritten.empty());
  }
}

TEST_F(ComposeFixture, PsdResultUnlinksEveryMask) {
  const TComposeReport report = Run(false, true);
  ASSERT_EQ(report.State, TComposeState::Done) << report.Message;
  EXPECT_EQ(Log({"ExecuteAction"}),
            (std::vector<std::string>{"ExecuteAction Mk   3", "ExecuteAction setd 3", "ExecuteAction Mk   3",
                                      "ExecuteAction setd 3"}));
  const std::vector<std::string> saves = Log({"SaveAs"});
  ASSERT_EQ(saves.size(), 2u);
  EXPECT_EQ(saves[0], "SaveAs " + (dir / "result.PSD").string() + " psd copy 2 2100x3000");
  EXPECT_EQ(report.ResultWritten, (dir / "result.psd").string());
}

TEST_F(ComposeFixture, DistancesAreScaledByPointsWhenTheEntrySaysSo) {
  ASSERT_EQ(Run(false).State, TComposeState::Done);
  const std::vector<std::string> pixels = Log({"Translate"});
  fake.S->log.clear();
  versions[0].Scale = true;
  ASSERT_EQ(Run(false).State, TComposeState::Done);
  const std::vector<std::string> points = Log({"Translate"});
  ASSERT_EQ(pixels.size(), 2u);
  ASSERT_EQ(points.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    double px = 0, py = 0, qx = 0, qy = 0;
    ASSERT_EQ(std::sscanf(pixels[i].c_str(), "Translate %lf %lf", &px, &py), 2);
    ASSERT_EQ(std::sscanf(points[i].c_str(), "Translate %lf %lf", &qx, &qy), 2);
    // 72 / 300 ppi.
    EXPECT_NEAR(qx, px * 0.24, 1e-3);
    EXPECT_NEAR(qy, py * 0.24, 1e-3);
  }
}

TEST_F(ComposeFixture, WatermarkIsPlacedAtItsCorner) {
  const std::string mark = (dir / "mark.png").string();
  ASSERT_TRUE(WriteFileAtomic(mark, std::string("x")).ok());
  FakeFileSpec spec;
  spec.width = 100, spec.height = 50;
  fake.S->files[mark] = spec;
  settings.ShowWaterMark = true;
  settings.WaterMarkFile = mark;
  settings.Orient = 8, settings.MarginH = 10, settings.MarginV = 20;
  settings.WaterMarkTrans = 60, settings.WaterMarkScale = 50;
  ASSERT_EQ(Run(true).State, TComposeState::Done);
  // Pasted centred at 286,455-386,505, halved about its centre to
  // 311,467.5-361,492.5; bottom-right corner at 672-10-50, 960-20-25.
  const std::vector<std::string> calls = Log({"Load mark", "Copy", "SetOpacity", "Resize ", "Translate"});
  const std::vector<std::string> tail(calls.end() - 5, calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"Load mark.png", "Copy plain", "SetOpacity 40", "Resize 50 50 5",
                                            "Translate 301 447.5"}));
}

TEST_F(ComposeFixture, NoWatermarkWhenItsFileIsMissing) {
  settings.ShowWaterMark = true;
  settings.WaterMarkFile = (dir / "absent.png").string();
  ASSERT_EQ(Run(true).State, TComposeState::Done);
  EXPECT_TRUE(Log({"Load absent"}).empty());
}

TEST_F(ComposeFixture, FailedDecipheringIsReportedInBothModes) {
  for (bool preview : {true, false}) {
    fs::remove(folder + (preview ? "brivanto_a.jpg" : "brivanto_b.jpg"));
    messages.clear();
    fake.S->log.clear();
    const TComposeReport report = Run(preview);
    EXPECT_EQ(report.State, TComposeState::Failed);
    EXPECT_EQ(messages, (std::vector<std::string>{kBackgroundFailedMessage}));
    EXPECT_TRUE(Log({"Load"}).empty());
  }
}

TEST_F(ComposeFixture, MissingChannelEndsTheJobWithNoSaveAndNoOpenDocument) {
  set.ResultTemps[0]->Placements[1]->ChannelName = "absent";
  set.PreviewTemps[0]->Placements[1]->ChannelName = "absent";
  const TComposeReport report = Run(true);
  EXPECT_EQ(report.State, TComposeState::Failed);
  EXPECT_NE(report.Message.find("absent"), std::string::npos);
  EXPECT_TRUE(Log({"SaveAs"}).empty());
  EXPECT_TRUE(fake.S->docs.empty());
}

TEST_F(ComposeFixture, FailingEffectKeepsEarlierEffectsAndStillMasks) {
  TSlotNode& slot = *set.PreviewTemps[0]->Slots[0];
  slot.Effects.push_back(std::make_unique<TEffectNode>(TEffectNode{10, {5, 6, 90}}));
  slot.Effects.push_back(std::make_unique<TEffectNode>(TEffectNode{12, std::vector<float>(14, 1)}));
  slot.Effects.push_back(std::make_unique<TEffectNode>(TEffectNode{10, {7, 8, 80}}));
  fake.S->failOn = "MixChannels";
  ASSERT_EQ(Run(true).State, TComposeState::Done);
  EXPECT_EQ(
      Log({"AdjustBrightnessContrast", "MixChannels", "Rotate", "Selection.Load photo"}),
      (std::vector<std::string>{"AdjustBrightnessContrast 5 6", "MixChannels 1 1 1 1 1 1 1 1 1 1 1 1 mono",
                                "Rotate -15 5", "Selection.Load photo 1"}));
}

TEST_F(ComposeFixture, CancelledEffectsLeaveThePhotoAsPlaced) {
  set.PreviewTemps[0]->Slots[0]->Effects.push_back(
      std::make_unique<TEffectNode>(TEffectNode{10, {5, 6, 90}}));
  TComposeEnvironment env;
  env.App = &fake;
  env.Versions = &versions;
  env.Settings = &settings;
  env.WorkFile = (dir / "tmp.jpg").string();
  TComposeJob job;
  job.SetNode = &set;
  job.TemplateIndex = 0;
  job.PreviewFile = (dir / "p.jpg").string();
  job.PSVersionIndex = 0;
  job.CancelEffects = true;
  ASSERT_EQ(ComposeTemplate(env, job).State, TComposeState::Done);
  EXPECT_TRUE(Log({"AdjustBrightnessContrast", "SetOpacity"}).empty());
}

TEST_F(ComposeFixture, JobNamingNoTemplateDoesNothing) {
  for (int index : {-1, 1}) {
    TComposeEnvironment env;
    env.App = &fake;
    env.Versions = &versions;
    env.Settings = &settings;
    TComposeJob job;
    job.SetNode = &set;
    job.TemplateIndex = index;
    job.PSVersionIndex = 0;
    EXPECT_EQ(ComposeTemplate(env, job).State, TComposeState::NotRun);
  }
  EXPECT_TRUE(fake.S->log.empty());
}

TEST_F(ComposeFixture, ServiceRunsAJobOnItsWorkerAndReportsProgress) {
  TMessageQueue queue;
  const TEngineContext context = FakeContext(queue);
  std::vector<std::string> seen;
  std::set<int> threads;  // the window's jobs, one at a time, use every core
  std::mutex lock;
  TEngineComposeService service(context, [&](const std::string& info, int number, int total, int percent) {
    std::lock_guard<std::mutex> guard(lock);
    threads.insert(ParallelThreads());
    seen.push_back(info + " " + std::to_string(number) + "/" + std::to_string(total) + " " +
                   std::to_string(percent));
  });
  int index = -1;
  ASSERT_EQ(service.CheckEditor(index), TEditorCheck::Ready);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(service.AppName(), "Fake");
  service.SetJobCounter(3, 1);
  service.NextJob();
  TComposeJob job;
  job.SetNode = &set;
  job.TemplateIndex = 0;
  job.PSVersionIndex = 0;
  job.PreviewFile = (dir / "composing" / "preview.jpg").string();
  EXPECT_EQ(service.RunJob(job, "info"), TJobOutcome::Finished);
  EXPECT_EQ(service.LastReport().State, TComposeState::Done) << service.LastReport().Message;
  EXPECT_TRUE(fs::is_directory(dir / "composing"));
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), "info 2/3 10");
  EXPECT_EQ(seen.back(), "info 2/3 100");
  EXPECT_EQ(threads, std::set<int>{ParallelThreads()});
}

TEST_F(ComposeFixture, WorkerThatCannotConnectStillEndsAtOneHundred) {
  TMessageQueue queue;
  TEngineContext context;
  context.Versions = &versions;
  context.Settings = &settings;
  context.Queue = &queue;
  context.Factory = [] { return std::shared_ptr<au::Application>(); };
  TCreateTempThread job(true, &set, 0, false, (dir / "p.jpg").string(), "", false, 0);
  job.SetContext(context);
  job.OnProgress = [this](int p) { progress.push_back(p); };
  std::atomic<bool> terminated{false};
  job.OnTerminate = [&] { terminated = true; };
  job.Start();
  job.Wait();
  EXPECT_TRUE(terminated);
  EXPECT_EQ(progress, (std::vector<int>{100}));
  EXPECT_EQ(job.Report().State, TComposeState::Failed);
  EXPECT_EQ(queue.TakeNext(), std::optional<std::string>(kEditorCannotStartQueued));
  EXPECT_EQ(job.PhotoshopApp, nullptr);
}

// An allocation failing inside a job (the fake throws std::bad_alloc from
// one call) fails that job with a message, removes what it had written,
// leaves the editor clean and lets the next job of the batch compose.
TEST_F(ComposeFixture, JobOutOfMemoryFailsAloneAndLeavesNothing) {
  struct Case {
    const char* call;
    int after;  // calls of it that pass first
  };
  for (const Case& c : {Case{"Paste", 0}, Case{"ExecuteAction Mk  ", 1}, Case{"SaveAs", 1}}) {
    SCOPED_TRACE(c.call);
    fake.S->log.clear();
    fake.S->writeSaves = true;
    fake.S->throwOn = c.call;
    fake.S->throwAfter = c.after;
    TMessageQueue queue;
    const TEngineContext context = FakeContext(queue);
    std::vector<TComposeJob> jobs(2);
    for (int i = 0; i < 2; ++i) {
      jobs[i].SetNode = &set;
      jobs[i].TemplateIndex = 0;
      jobs[i].PreviewMode = false;
      jobs[i].PSVersionIndex = 0;
      jobs[i].PreviewFile = (dir / ("small" + std::to_string(i) + ".jpg")).string();
      jobs[i].ResultFile = (dir / ("page" + std::to_string(i) + ".jpg")).string();
    }
    TComposeEngine engine(context, 1);
    TComposeEngine::TCallbacks callbacks;
    size_t openAfterFailure = 99;
    int rulerAfterFailure = -1;
    callbacks.Finished = [&](size_t job, const TComposeReport&) {
      if (job != 0) return;
      openAfterFailure = fake.S->docs.size();
      rulerAfterFailure = fake.S->ruler;
    };
    const std::vector<TComposeReport> reports = engine.RunBatch(jobs, callbacks);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0].State, TComposeState::Failed);
    EXPECT_EQ(reports[0].Message, "not enough memory to compose pkg");
    EXPECT_FALSE(fs::exists(jobs[0].ResultFile));
    EXPECT_FALSE(fs::exists(jobs[0].PreviewFile));
    EXPECT_EQ(reports[1].State, TComposeState::Done) << reports[1].Message;
    EXPECT_TRUE(fs::exists(jobs[1].ResultFile));
    EXPECT_TRUE(fs::exists(jobs[1].PreviewFile));
    // The failed job closed its documents and restored the units itself.
    EXPECT_EQ(openAfterFailure, 0u);
    EXPECT_EQ(rulerAfterFailure, au::kUnitInches);
    if (fs::exists(dir / "work"))
      for (const auto& e : fs::directory_iterator(dir / "work")) ADD_FAILURE() << "left behind: " << e.path();
  }
}

TEST_F(ComposeFixture, SlotWithoutAreaFailsTheJob) {
  set.PreviewTemps[0]->Placements[0]->Rect = {300, 300, 300, 900};
  const TComposeReport report = Run(true);
  EXPECT_EQ(report.State, TComposeState::Failed);
  EXPECT_TRUE(Log({"SaveAs"}).empty());
}

// The engine's thread budget: each job composes under max(1, budget / jobs
// running at once), reckoned when it starts; the cap is read on the job's
// worker while the editor works for it (the progress it reports).
TEST_F(ComposeFixture, BatchSharesTheThreadBudgetAmongItsJobs) {
  const int all = ParallelThreads();
  struct Case {
    int budget;             // 0: the engine's default
    int meet;               // jobs k*meet .. k*meet+meet-1 wait for each other (surely run at once)
    bool lastAlone;         // jobs 0 and 1 both finish before the last one starts
    std::vector<int> caps;  // per job, before the machine's own limit
  };
  const Case cases[] = {{1, 0, false, {1, 1}},   {2, 2, false, {1, 1, 1, 1}}, {2, 0, false, {2}},
                        {2, 0, true, {1, 1, 2}}, {4, 3, false, {1, 1, 1}},    {0, 0, false, {1000}}};
  for (const Case& c : cases) {
    SCOPED_TRACE("budget " + std::to_string(c.budget) + ", jobs " + std::to_string(c.caps.size()));
    TMessageQueue queue;
    TEngineContext context = FakeContext(queue);
    // The fixture's fake is not for two threads at once: a copy per worker.
    context.Factory = [this] {
      auto app = std::make_shared<FakeApplication>();
      app->S = std::make_shared<FakeState>(*fake.S);
      return std::shared_ptr<au::Application>(app);
    };
    std::vector<TComposeJob> jobs(c.caps.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
      jobs[i].SetNode = &set;
      jobs[i].TemplateIndex = jobs[i].PSVersionIndex = 0;
      jobs[i].PreviewFile = (dir / ("preview" + std::to_string(i) + ".jpg")).string();
    }
    std::mutex lock;
    std::condition_variable arrived;
    std::map<size_t, int> groups;  // jobs arrived per meeting
    auto meet = [&](size_t group, int size) {
      std::unique_lock guard(lock);
      ++groups[group];
      arrived.notify_all();
      arrived.wait_for(guard, std::chrono::seconds(20), [&] { return groups[group] >= size; });
    };
    std::vector<std::set<int>> seen(jobs.size());
    TComposeEngine::TCallbacks callbacks;
    callbacks.Progress = [&](size_t job, int) {
      bool first;
      {
        std::lock_guard guard(lock);
        first = seen[job].empty();
        seen[job].insert(ParallelThreads());
      }
      if (first && c.meet > 0) meet(job / size_t(c.meet), c.meet);
    };
    callbacks.Finished = [&](size_t job, const TComposeReport&) {
      if (c.lastAlone && job < 2) meet(size_t(-1), 2);
    };
    TComposeEngine engine(context, c.budget);
    EXPECT_EQ(engine.Threads(), c.budget > 0 ? c.budget : all);
    const std::vector<TComposeReport> reports = engine.RunBatch(jobs, callbacks);
    for (size_t i = 0; i < jobs.size(); ++i) {
      EXPECT_NE(reports[i].State, TComposeState::NotRun) << "job " << i;
      EXPECT_EQ(seen[i], std::set<int>{std::min(all, c.caps[i])}) << "job " << i;
    }
    EXPECT_EQ(ParallelThreads(), all);  // the caller keeps its own share
  }
}

}  // namespace
}  // namespace tessaro::enginetest
