// What the tests on the real editor with the demo set share: the version
// table, the demo set the build makes, a scratch folder per test and the
// engine's context over them.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "editor/Automation.h"
#include "engine/MyThread.h"
#include "imaging/codecs/Codecs.h"
#include "model/SetFile.h"

namespace tessaro::enginetest {

inline const std::filesystem::path kDemoSet =
    std::filesystem::path(TESSARO_BINARY_DIR) / "resources" / "demo" / "demo.cys";

class DemoSetTest : public ::testing::Test {
 protected:
  // Loads the versions and the demo set and makes an empty folder
  // <temp>/<folderPrefix>_<pid>_<test name> with `subfolder` in it (none
  // when empty). Fatal failures return early: callers check
  // HasFatalFailure().
  void LoadDemoSet(const std::string& folderPrefix, const std::string& subfolder = "") {
    namespace fs = std::filesystem;
    Result<TPSVersionList> v = LoadPSVersions(std::string(TESSARO_SOURCE_DIR) + "/resources/PSCfg.ini");
    ASSERT_TRUE(v.ok());
    versions = *v;
    versionIndex = FindPSVersion(versions, std::string(automation::kEditorVersion));
    ASSERT_GE(versionIndex, 0);
    Result<std::unique_ptr<TSetNode>> s = ReadSetFile(kDemoSet.string(), TDiskSetFileSource());
    ASSERT_TRUE(s.ok()) << s.message();
    set = std::move(s).value();
    dir = fs::temp_directory_path() / (folderPrefix + "_" + std::to_string(getpid()) + "_" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(subfolder.empty() ? dir : dir / subfolder);
    context.Versions = &versions;
    context.Settings = &settings;
    context.Queue = &queue;
    context.TempDir = (dir / "work").string() + "/";
  }
  void TearDown() override {
    if (!dir.empty()) std::filesystem::remove_all(dir);
  }

  // A job for template `index` of the set; the result file is dropped for
  // a preview.
  TComposeJob Job(int index, bool preview, bool psd, const std::string& previewFile,
                  const std::string& resultFile) const {
    TComposeJob job;
    job.PreviewMode = preview;
    job.SetNode = set.get();
    job.TemplateIndex = index;
    job.PsdOutput = psd;
    job.PreviewFile = previewFile;
    job.ResultFile = preview ? "" : resultFile;
    job.PSVersionIndex = versionIndex;
    return job;
  }
  // The index of the demo template whose folder holds `folderName`.
  int Template(const std::string& folderName) const {
    for (size_t i = 0; i < set->PreviewTemps.size(); ++i)
      if (set->PreviewTemps[i]->Folder.find(folderName) != std::string::npos) return int(i);
    ADD_FAILURE() << "no demo template " << folderName;
    return 0;
  }
  // Writes `picture` as `name` in the scratch folder and adds it to the set;
  // its index in the set's photos, or -1 when it cannot be written.
  int AddPhoto(const std::string& name, const Image& picture, const WriteImageOptions& options = {}) {
    const std::string path = (dir / name).string();
    if (!WriteImageFile(path, picture, options).ok()) {
      ADD_FAILURE() << "cannot write " << path;
      return -1;
    }
    set->Photos.push_back(std::make_unique<TPhotoInfoNode>(TPhotoInfoNode{path, {}}));
    return int(set->Photos.size()) - 1;
  }
  TComposeReport RunOne(const TComposeJob& job) {
    TComposeEngine engine(context, 0);  // one job on every core
    return engine.RunBatch({job}, {})[0];
  }

  TPSVersionList versions;
  int versionIndex = -1;
  TAppSettings settings;
  TMessageQueue queue;
  TEngineContext context;
  std::unique_ptr<TSetNode> set;
  std::filesystem::path dir;
};

}  // namespace tessaro::enginetest
