#include "tools/pack/Svg.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
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

std::atomic<unsigned> gUnique{0};

std::string UniqueSuffix() { return std::to_string(::getpid()) + "-" + std::to_string(gUnique.fetch_add(1)); }

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

Status TSvgRenderer::RenderToFile(const std::string& path, int width, int height,
                                  const std::string& target) const {
  const std::string program = RsvgConvertProgram();
  const std::string errFile = target + ".err";
  std::vector<std::string> args = {program, "-w", std::to_string(width), "-h", std::to_string(height), "-o",
                                   target,  path};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    RemoveFile(errFile);
    return Status::Error("cannot run " + program + " (install librsvg2-bin)");
  }
  ++FRenderCount;
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  std::string message;
  if (auto err = ReadWholeFile(errFile, 4096); err.ok()) message.assign(err->begin(), err->end());
  RemoveFile(errFile);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  if (const size_t nl = message.find('\n'); nl != std::string::npos) message.resize(nl);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || !FileExists(target)) {
    RemoveFile(target);
    return Status::Error("rsvg-convert could not render it" + (message.empty() ? "" : " (" + message + ")"));
  }
  return Status::Ok();
}

Result<Image> TSvgRenderer::Render(const std::string& path, int width, int height) const {
  if (width <= 0 || height <= 0)
    return Status::Error("cannot render at " + std::to_string(width) + " x " + std::to_string(height));
  std::string file = CachePath(path, width, height);
  std::string scratch;
  if (file.empty() || !FileExists(file)) {
    std::string folder = FCacheDir;
    if (folder.empty()) {
      folder = (std::filesystem::temp_directory_path() / "tessaro-pack-render").string();
    }
    if (!MakeDirectories(folder)) return Status::Error("cannot create the folder " + folder);
    const std::string temp = JoinPath(folder, ".render-" + UniqueSuffix() + ".png");
    if (Status s = RenderToFile(path, width, height, temp); !s.ok()) return s;
    if (file.empty()) {
      scratch = file = temp;
    } else if (std::rename(temp.c_str(), file.c_str()) != 0) {
      RemoveFile(temp);
      return Status::Error("cannot write the rendering to " + file);
    }
  }
  auto decoded = DecodeImageFile(file);
  if (!scratch.empty()) RemoveFile(scratch);
  if (!decoded.ok()) {
    if (scratch.empty()) RemoveFile(file);  // a damaged cache entry is made again next time
    return Status::Error("the rendering cannot be read (" + decoded.message() + ")");
  }
  if (decoded->pixels.width() != width || decoded->pixels.height() != height) {
    if (scratch.empty()) RemoveFile(file);
    return Status::Error("rsvg-convert rendered " + std::to_string(decoded->pixels.width()) + " x " +
                         std::to_string(decoded->pixels.height()) + " instead of " + std::to_string(width) +
                         " x " + std::to_string(height));
  }
  return std::move(decoded->pixels);
}

std::vector<Status> TSvgRenderer::Prefetch(const std::vector<TRequest>& requests, int threads) const {
  std::vector<Status> results(requests.size());
  if (FCacheDir.empty()) return results;
  if (!MakeDirectories(FCacheDir)) {
    for (auto& r : results) r = Status::Error("cannot create the cache folder " + FCacheDir);
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
      const std::string temp = JoinPath(FCacheDir, ".render-" + UniqueSuffix() + ".png");
      results[i] = RenderToFile(r.Path, r.Width, r.Height, temp);
      if (results[i].ok() && std::rename(temp.c_str(), file.c_str()) != 0) {
        RemoveFile(temp);
        results[i] = Status::Error("cannot write the rendering to " + file);
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
