#include "tools/pack/Svg.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <regex>
#include <thread>

#include "base/FileIo.h"
#include "crypt/CryptRsa.h"
#include "imaging/codecs/Codecs.h"

extern char** environ;

namespace tessaro::authoring {

namespace {

// A length attribute in pixels: a plain number or one ending in "px".
double PixelLength(const std::string& value) {
  char* end = nullptr;
  const double v = std::strtod(value.c_str(), &end);
  if (end == value.c_str() || !(v > 0)) return 0;
  std::string unit(end);
  while (!unit.empty() && unit.back() == ' ') unit.pop_back();
  return unit.empty() || unit == "px" ? v : 0;
}

std::string Attribute(const std::string& tag, const char* name) {
  const std::regex re(std::string("\\s") + name + "\\s*=\\s*(\"([^\"]*)\"|'([^']*)')");
  std::smatch m;
  if (!std::regex_search(tag, m, re)) return "";
  return m[2].matched ? m[2].str() : m[3].str();
}

constexpr const char* kRenderPrefix = ".render-";
constexpr const char* kPrivatePrefix = "tessaro-pack-render-";

// `prefix`, digits, then `suffix` (one of `suffixes`): only names we give.
bool IsOurName(std::string_view name, std::string_view prefix,
               std::initializer_list<std::string_view> suffixes) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return false;
  name.remove_prefix(prefix.size());
  for (std::string_view suffix : suffixes) {
    if (name.size() <= suffix.size() || name.substr(name.size() - suffix.size()) != suffix) continue;
    const std::string_view digits = name.substr(0, name.size() - suffix.size());
    if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) return true;
  }
  return false;
}

// A new file in `folder`, never through a link, locked while we hold it.
Result<int> CreateNewFile(const std::string& folder, const std::string& suffix, std::string& path) {
  std::random_device rd;
  for (int attempt = 0; attempt < 64; ++attempt) {
    path = JoinPath(folder, kRenderPrefix + std::to_string(rd() % 1000000000) + suffix);
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::flock(fd, LOCK_EX);
      return fd;
    }
    if (errno != EEXIST) return Status::Error(path + ": cannot create (" + std::strerror(errno) + ")");
  }
  return Status::Error(folder + ": cannot create a new file");
}

// A cache folder we may write through: ours, and nobody else can add or
// replace entries in it.
Status CheckOwnFolder(const std::string& folder) {
  struct stat st;
  if (::lstat(folder.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && st.st_uid != ::geteuid())
    return Status::Error(folder + ": the cache folder is a link of another user; refused");
  if (::stat(folder.c_str(), &st) != 0) return Status::Error(folder + ": cannot create the cache folder");
  if (!S_ISDIR(st.st_mode)) return Status::Error(folder + ": the cache folder is not a folder");
  if (st.st_uid != ::geteuid())
    return Status::Error(folder + ": the cache folder belongs to another user; refused");
  if ((st.st_mode & 022) != 0)
    return Status::Error(folder + ": the cache folder can be changed by other users; refused");
  return Status::Ok();
}

}  // namespace

std::string Sha1Hex(const std::vector<uint8_t>& bytes) {
  uint8_t digest[20];
  uint32_t length = 0;
  Digest(kCryptDigestSha1, bytes.data(), static_cast<uint32_t>(bytes.size()), digest, &length);
  static const char* kHex = "0123456789abcdef";
  std::string out;
  for (uint32_t i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

Result<TSvgSize> ReadSvgSize(const std::string& path) {
  auto bytes = ReadWholeFile(path, 256u << 20);
  if (!bytes.ok()) return bytes.status();
  const std::string text(bytes->begin(), bytes->end());
  // The first start tag named svg (the prolog, comments and a DOCTYPE may
  // come first).
  size_t pos = 0;
  for (;;) {
    pos = text.find("<svg", pos);
    if (pos == std::string::npos) return Status::Error("not an SVG drawing (no <svg> element)");
    const char next = pos + 4 < text.size() ? text[pos + 4] : '\0';
    if (next == ' ' || next == '\t' || next == '\n' || next == '\r' || next == '>' || next == '/') break;
    pos += 4;
  }
  const size_t end = text.find('>', pos);
  if (end == std::string::npos) return Status::Error("not an SVG drawing (unfinished <svg> element)");
  const std::string tag = " " + text.substr(pos + 4, end - pos - 4);
  TSvgSize size;
  size.Width = PixelLength(Attribute(tag, "width"));
  size.Height = PixelLength(Attribute(tag, "height"));
  if (size.Width <= 0 || size.Height <= 0) {
    double x, y, w = 0, h = 0;
    const std::string box = Attribute(tag, "viewBox");
    std::string spaced = box;
    for (char& c : spaced)
      if (c == ',') c = ' ';
    if (std::sscanf(spaced.c_str(), "%lf %lf %lf %lf", &x, &y, &w, &h) == 4 && w > 0 && h > 0) {
      size.Width = w;
      size.Height = h;
    } else {
      size = {};
    }
  }
  return size;
}

std::string RsvgConvertProgram() {
  const char* env = std::getenv("TESSARO_RSVG_CONVERT");
  return env && *env ? env : "rsvg-convert";
}

std::string TSvgRenderer::CachePath(const std::string& path, int width, int height) const {
  if (FCacheDir.empty()) return "";
  auto bytes = ReadWholeFile(path, 256u << 20);
  if (!bytes.ok()) return "";
  return JoinPath(FCacheDir,
                  Sha1Hex(*bytes) + "_" + std::to_string(width) + "x" + std::to_string(height) + ".png");
}

struct TSvgRenderer::TRendering {
  std::string Path;
  int Fd = -1;  // holds the lock
  ~TRendering() {
    if (Fd >= 0) ::close(Fd);
  }
};

TSvgRenderer::~TSvgRenderer() {
  if (FPrivateFolder) {
    std::error_code ec;
    std::filesystem::remove_all(FPrivateFolder->Path(), ec);
  }
}

Result<std::string> TSvgRenderer::WorkFolder() const {
  std::lock_guard<std::mutex> hold(FFolderLock);
  if (!FFolderReady) {
    FFolderReady = true;
    if (!FCacheDir.empty()) {
      if (!DirectoryExists(FCacheDir) && !MakeDirectories(FCacheDir, 0700))
        FFolderError = Status::Error(FCacheDir + ": cannot create the cache folder");
      else
        FFolderError = CheckOwnFolder(FCacheDir);
      if (FFolderError.ok())
        RemoveUnlockedLeftovers(FCacheDir, [](std::string_view name) {
          return IsOurName(name, kRenderPrefix, {".png", ".err"});
        });
    } else {
      std::error_code ec;
      const std::string temp = std::filesystem::temp_directory_path(ec).string();
      const std::string parent = ec ? "/tmp" : temp;
      RemoveUnlockedLeftovers(parent,
                              [](std::string_view name) { return IsOurName(name, kPrivatePrefix, {""}); });
      auto folder = TLockedFolder::Create(JoinPath(parent, kPrivatePrefix), 0700);
      if (folder.ok())
        FPrivateFolder = std::make_unique<TLockedFolder>(std::move(*folder));
      else
        FFolderError = folder.status();
    }
  }
  if (!FFolderError.ok()) return FFolderError;
  return FPrivateFolder ? FPrivateFolder->Path() : FCacheDir;
}

Result<std::unique_ptr<TSvgRenderer::TRendering>> TSvgRenderer::RenderToFile(const std::string& path,
                                                                             int width, int height) const {
  auto folder = WorkFolder();
  if (!folder.ok()) return folder.status();
  auto out = std::make_unique<TRendering>();
  auto outFd = CreateNewFile(*folder, ".png", out->Path);
  if (!outFd.ok()) return outFd.status();
  out->Fd = *outFd;
  std::string errPath;
  auto errFd = CreateNewFile(*folder, ".err", errPath);
  if (!errFd.ok()) {
    RemoveFile(out->Path);
    return errFd.status();
  }
  ::unlink(errPath.c_str());  // read through the descriptor only
  struct TClose {
    int Fd;
    ~TClose() { ::close(Fd); }
  } errHold{*errFd};

  // The picture goes to standard output, which is the file opened above:
  // rsvg-convert opens nothing for writing itself.
  const std::string program = RsvgConvertProgram();
  std::vector<std::string> args = {program, "-w", std::to_string(width), "-h", std::to_string(height), path};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out->Fd, 1);
  posix_spawn_file_actions_adddup2(&actions, *errFd, 2);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    RemoveFile(out->Path);
    return Status::Error("cannot run " + program + " (install librsvg2-bin)");
  }
  ++FRenderCount;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::string message(4096, '\0');
  const ssize_t n = ::pread(*errFd, message.data(), message.size(), 0);
  message.resize(n > 0 ? static_cast<size_t>(n) : 0);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  if (const size_t nl = message.find('\n'); nl != std::string::npos) message.resize(nl);
  struct stat st;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || ::fstat(out->Fd, &st) != 0 || st.st_size == 0) {
    RemoveFile(out->Path);
    return Status::Error("rsvg-convert could not render it" + (message.empty() ? "" : " (" + message + ")"));
  }
  return out;
}

Result<Image> TSvgRenderer::Render(const std::string& path, int width, int height) const {
  if (width <= 0 || height <= 0)
    return Status::Error("cannot render at " + std::to_string(width) + " x " + std::to_string(height));
  if (auto folder = WorkFolder(); !folder.ok()) return folder.status();
  std::string file = CachePath(path, width, height);
  std::unique_ptr<TRendering> scratch;
  if (file.empty() || !FileExists(file)) {
    auto made = RenderToFile(path, width, height);
    if (!made.ok()) return made.status();
    if (file.empty()) {
      scratch = std::move(*made);
      file = scratch->Path;
    } else if (std::rename((*made)->Path.c_str(), file.c_str()) != 0) {
      RemoveFile((*made)->Path);
      return Status::Error(file + ": cannot write the rendering");
    }
  }
  auto decoded = DecodeImageFile(file);
  if (scratch) RemoveFile(scratch->Path);
  if (!decoded.ok()) {
    if (!scratch) RemoveFile(file);  // a damaged cache entry is made again next time
    return Status::Error("the rendering cannot be read (" + decoded.message() + ")");
  }
  if (decoded->pixels.width() != width || decoded->pixels.height() != height) {
    if (!scratch) RemoveFile(file);
    return Status::Error("rsvg-convert rendered " + std::to_string(decoded->pixels.width()) + " x " +
                         std::to_string(decoded->pixels.height()) + " instead of " + std::to_string(width) +
                         " x " + std::to_string(height));
  }
  return std::move(decoded->pixels);
}

std::vector<Status> TSvgRenderer::Prefetch(const std::vector<TRequest>& requests, int threads) const {
  std::vector<Status> results(requests.size());
  if (FCacheDir.empty()) return results;
  if (auto folder = WorkFolder(); !folder.ok()) {
    for (auto& r : results) r = folder.status();
    return results;
  }
  std::atomic<size_t> next{0};
  auto worker = [&] {
    for (size_t i; (i = next.fetch_add(1)) < requests.size();) {
      const TRequest& r = requests[i];
      const std::string file = CachePath(r.Path, r.Width, r.Height);
      if (file.empty()) {
        results[i] = Status::Error("cannot read the drawing");
        continue;
      }
      if (FileExists(file)) continue;
      auto made = RenderToFile(r.Path, r.Width, r.Height);
      if (!made.ok()) {
        results[i] = made.status();
      } else if (std::rename((*made)->Path.c_str(), file.c_str()) != 0) {
        RemoveFile((*made)->Path);
        results[i] = Status::Error(file + ": cannot write the rendering");
      }
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < std::max(1, threads); ++t) pool.emplace_back(worker);
  worker();
  for (auto& t : pool) t.join();
  return results;
}

}  // namespace tessaro::authoring
