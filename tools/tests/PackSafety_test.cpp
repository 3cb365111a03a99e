// tessaro-cli pack against another local user and against being killed: it
// renders only where nobody else can plant links, refuses a cache folder that
// is not the user's own, and clears what killed runs left beside a package.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "base/FileIo.h"
#include "model/Package.h"

namespace tessaro {
namespace {

namespace fs = std::filesystem;

std::string ReadText(const std::string& path) {
  auto bytes = ReadWholeFile(path);
  return bytes.ok() ? std::string(bytes->begin(), bytes->end()) : std::string("<unreadable>");
}

std::vector<std::string> Entries(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (auto& e : fs::directory_iterator(folder, ec)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct PackRun {
  int Code = -1;
  std::string Err;
};

class PackSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/tessaro-pack-safety-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    FDir = pattern;
    MakeDirectories(FDir + "/src/art");
    MakeDirectories(FDir + "/tmp");
    MakeDirectories(FDir + "/out");
    Write("src/art/bg.svg",
          "<svg xmlns='http://www.w3.org/2000/svg' width='30' height='40'>"
          "<rect width='30' height='40' fill='#3060a0'/></svg>");
    Write("src/t.json", R"({ "spread": false, "header": 1, "slots": [ { "type": "opaque" } ],
      "preview": { "width": 2100, "height": 3000, "resolution": 72, "background": "art/bg.svg",
                   "placements": [ { "slot": 1, "channel": "a", "rect": [100, 100, 900, 900] } ] },
      "result": { "width": 70, "height": 100, "resolution": 72, "background": "art/bg.svg",
                  "placements": [ { "slot": 1, "channel": "a", "rect": [5, 5, 30, 30] } ] } })");
  }
  void TearDown() override { fs::remove_all(FDir); }

  void Write(const std::string& name, const std::string& text) {
    MakeDirectories(WithoutTrailingSeparator(FolderOf(JoinPath(FDir, name))));
    ASSERT_TRUE(WriteFileAtomic(JoinPath(FDir, name), std::string_view(text)).ok());
  }

  // Runs pack with TMPDIR inside the test folder. `beforeExec` runs in the
  // test with the pid the pack process will have, before it starts.
  PackRun Pack(const std::vector<std::string>& extra, const std::function<void(pid_t)>& beforeExec = {}) {
    const std::string cli = std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-cli";
    const std::string err = FDir + "/err.txt";
    int go[2];
    EXPECT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    if (child == 0) {
      ::close(go[1]);
      char c;
      if (::read(go[0], &c, 1) != 1) ::_exit(99);
      const int fd = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      ::dup2(fd, 2);
      ::setenv("TMPDIR", (FDir + "/tmp").c_str(), 1);
      std::vector<std::string> args = {cli, "pack", FDir + "/src/t.json", FDir + "/out/pkg"};
      args.insert(args.end(), extra.begin(), extra.end());
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(cli.c_str(), argv.data());
      ::_exit(98);
    }
    ::close(go[0]);
    if (beforeExec) beforeExec(child);
    EXPECT_EQ(::write(go[1], "g", 1), 1);
    ::close(go[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return PackRun{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(err)};
  }

  std::string FDir;
};

// Another user pre-creates the shared render folder of earlier versions and
// plants links at every name a run with the coming pid would have used.
TEST_F(PackSafetyTest, LinksPlantedInASharedRenderFolderAreNeverFollowed) {
  Write("victim/diary.txt", "private");
  Write("victim/photo.jpg", "my photo");
  const std::string shared = FDir + "/tmp/tessaro-pack-render";
  MakeDirectories(shared, 0777);
  const PackRun r = Pack({}, [&](pid_t pid) {
    for (int n = 0; n < 64; ++n) {
      const std::string name = shared + "/.render-" + std::to_string(pid) + "-" + std::to_string(n) + ".png";
      ::symlink((FDir + "/victim/photo.jpg").c_str(), name.c_str());
      ::symlink((FDir + "/victim/diary.txt").c_str(), (name + ".err").c_str());
    }
  });
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(ReadText(FDir + "/victim/diary.txt"), "private");
  EXPECT_EQ(ReadText(FDir + "/victim/photo.jpg"), "my photo");
  EXPECT_EQ(Entries(shared).size(), 128u) << "nothing added, nothing taken";
  EXPECT_TRUE(FileExists(FDir + "/out/pkg/" + kPreviewDescriptorName));
  EXPECT_EQ(Entries(FDir + "/tmp"), std::vector<std::string>{"tessaro-pack-render"})
      << "the private render folder is gone";
}

TEST_F(PackSafetyTest, ACacheFolderOthersCanChangeIsRefused) {
  struct Case {
    const char* Name;
    unsigned Mode;
    bool OtherOwner;
    const char* Fault;
  };
  const Case cases[] = {
      {"writable by all", 0777, false, "the cache folder can be changed by other users; refused"},
      {"writable by the group", 0775, false, "the cache folder can be changed by other users; refused"},
      {"another user's", 0755, true, "the cache folder belongs to another user; refused"},
  };
  for (const Case& c : cases) {
    if (c.OtherOwner && ::geteuid() != 0) continue;  // only root can make one
    const std::string cache = FDir + "/cache-" + std::to_string(c.Mode) + (c.OtherOwner ? "-nobody" : "");
    ASSERT_TRUE(MakeDirectories(cache));
    ASSERT_EQ(::chmod(cache.c_str(), c.Mode), 0);
    if (c.OtherOwner) {
      ASSERT_EQ(::chown(cache.c_str(), 65534, 65534), 0);
    }
    const PackRun r = Pack({"--cache", cache});
    EXPECT_EQ(r.Code, 1) << c.Name;
    EXPECT_NE(r.Err.find(cache + ": " + c.Fault), std::string::npos) << c.Name << ": " << r.Err;
    EXPECT_TRUE(Entries(cache).empty()) << c.Name;
    EXPECT_FALSE(fs::exists(FDir + "/out/pkg")) << c.Name;
  }
  // A new cache folder is made private.
  ASSERT_EQ(Pack({"--cache", FDir + "/new-cache"}).Code, 0);
  struct stat st;
  ASSERT_EQ(::stat((FDir + "/new-cache").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(PackSafetyTest, LeftoversOfKilledRunsAreClearedButNotThoseOfRunningOnes) {
  ASSERT_EQ(Pack({}).Code, 0);
  // A process that is gone, for the names earlier versions used.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string out = FDir + "/out/";
  const std::vector<std::string> leftovers = {".pkg.tessaro-partial-123",
                                              ".pkg.tessaro-old-456",
                                              "pkg.partial-" + std::to_string(gone),
                                              "pkg.old-" + std::to_string(gone),
                                              "pkg.old-1",
                                              ".other.tessaro-partial-7"};
  for (const std::string& name : leftovers) Write("out/" + name + "/brivanto_a.psd", "half a package");
  auto running = TLockedFolder::Create(out + ".pkg.tessaro-partial-", 0755);
  ASSERT_TRUE(running.ok());
  Write("tmp/tessaro-pack-render-31337/.render-1.png", "killed run");
  Write("cache/.render-5.png", "killed run");
  Write("cache/.render-6.err", "killed run");

  const PackRun r = Pack({"--cache", FDir + "/cache"});
  ASSERT_EQ(r.Code, 0) << r.Err;
  EXPECT_EQ(Entries(out), (std::vector<std::string>{".other.tessaro-partial-7", FileNameOf(running->Path()),
                                                    "pkg", "pkg.old-1"}))
      << "a running build's folder, another package's and a live process's stay";
  EXPECT_TRUE(FileExists(out + "pkg/" + kSampleName));
  for (const std::string& e : Entries(FDir + "/cache")) EXPECT_NE(e.rfind(".render-", 0), 0u) << e;
  ASSERT_EQ(Pack({}).Code, 0);
  EXPECT_TRUE(Entries(FDir + "/tmp").empty());
}

}  // namespace
}  // namespace tessaro
