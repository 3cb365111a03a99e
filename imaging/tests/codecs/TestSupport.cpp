#include "imaging/tests/codecs/TestSupport.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

namespace tessaro::test {

std::string CorpusPath(const std::string& relative) {
  return std::string(TESSARO_CORPUS_DIR) + "/" + relative;
}

bool CorpusAvailable() { return std::filesystem::is_directory(TESSARO_CORPUS_DIR); }

std::vector<std::string> CorpusFiles(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  std::filesystem::path root(TESSARO_CORPUS_DIR);
  for (auto& e : std::filesystem::recursive_directory_iterator(root / folder, ec))
    if (e.is_regular_file()) out.push_back(std::filesystem::relative(e.path(), root).string());
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ImageMagick() {
  const char* path = "/usr/bin/convert";
  return access(path, X_OK) == 0 ? path : "";
}

std::optional<Image> ReferenceDecode(const std::string& path, bool cmyk, bool wholeCanvas) {
  std::string im = ImageMagick();
  if (im.empty()) return std::nullopt;
  char temp[] = "/tmp/tessaro-ref-XXXXXX";
  int fd = mkstemp(temp);
  if (fd < 0) return std::nullopt;
  close(fd);
  // posix_spawn, not fork: the test process runs worker threads.
  std::string input = path + "[0]";
  std::string output = std::string("pam:") + temp;
  std::vector<std::string> args = {im, input};
  if (wholeCanvas) args.push_back("-coalesce");
  if (cmyk) args.insert(args.end(), {"-colorspace", "sRGB"});
  args.insert(args.end(), {"-type", "TrueColorAlpha", "-depth", "8", output});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  int spawned = posix_spawn(&pid, im.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    unlink(temp);
    return std::nullopt;
  }
  int status = 0;
  waitpid(pid, &status, 0);
  std::vector<uint8_t> pam = ReadBytes(temp);
  unlink(temp);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || pam.empty()) return std::nullopt;
  // Header lines up to ENDHDR; comments (copied from the file) are skipped.
  std::string text(pam.begin(), pam.begin() + std::min<size_t>(pam.size(), 65536));
  size_t end = text.find("ENDHDR\n");
  if (end == std::string::npos) return std::nullopt;
  int w = 0, h = 0, depth = 0;
  size_t pos = 0;
  while (pos < end) {
    size_t eol = text.find('\n', pos);
    std::string line = text.substr(pos, eol - pos);
    pos = eol + 1;
    if (line.rfind("WIDTH ", 0) == 0) w = std::atoi(line.c_str() + 6);
    if (line.rfind("HEIGHT ", 0) == 0) h = std::atoi(line.c_str() + 7);
    if (line.rfind("DEPTH ", 0) == 0) depth = std::atoi(line.c_str() + 6);
  }
  if (w <= 0 || h <= 0 || depth != 4) return std::nullopt;
  size_t at = end + 7;
  if (pam.size() < at + size_t(w) * h * 4) return std::nullopt;
  Image image;
  if (!image.Create(w, h).ok()) return std::nullopt;
  std::memcpy(image.data(), pam.data() + at, size_t(w) * h * 4);
  return image;
}

Difference Compare(const Image& a, const Image& b) {
  Difference d;
  d.sameSize = a.width() == b.width() && a.height() == b.height() && !a.empty();
  if (!d.sameSize) return d;
  double sum = 0;
  size_t n = a.PixelCount();
  for (size_t i = 0; i < n; ++i) {
    Rgba8 p = a.data()[i], q = b.data()[i];
    if (p.a == 0 && q.a == 0) continue;
    int diffs[4] = {p.r - q.r, p.g - q.g, p.b - q.b, p.a - q.a};
    for (int v : diffs) {
      d.maxChannel = std::max(d.maxChannel, std::abs(v));
      sum += double(v) * v;
    }
  }
  double mse = sum / (double(n) * 4);
  d.psnr = mse == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / mse);
  return d;
}

Image MakeGradient(int width, int height, bool withAlpha) {
  Image image;
  image.Create(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      image.At(x, y) =
          Rgba8{uint8_t(x * 255 / std::max(1, width - 1)), uint8_t(y * 255 / std::max(1, height - 1)),
                uint8_t((x + y) * 127 / std::max(1, width + height - 2) + 64),
                withAlpha ? uint8_t((x * 7 + y * 13) % 256) : uint8_t(255)};
  return image;
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t n, uint32_t crc = 0) {
  crc = ~crc;
  for (size_t i = 0; i < n; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void PutU32BE(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 3; i >= 0; --i) out.push_back(uint8_t(v >> (8 * i)));
}

void Chunk(std::vector<uint8_t>& out, const std::string& type, const std::vector<uint8_t>& data) {
  PutU32BE(out, uint32_t(data.size()));
  size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  PutU32BE(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<uint8_t> MakePng(int width, int height, int bitDepth, int colorType,
                             const std::vector<std::vector<uint8_t>>& rows,
                             const std::vector<std::pair<std::string, std::vector<uint8_t>>>& extraChunks) {
  std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  std::vector<uint8_t> ihdr;
  PutU32BE(ihdr, uint32_t(width));
  PutU32BE(ihdr, uint32_t(height));
  ihdr.insert(ihdr.end(), {uint8_t(bitDepth), uint8_t(colorType), 0, 0, 0});
  Chunk(out, "IHDR", ihdr);
  for (auto& [type, data] : extraChunks) Chunk(out, type, data);
  std::vector<uint8_t> raw;
  for (auto& row : rows) {
    raw.push_back(0);
    raw.insert(raw.end(), row.begin(), row.end());
  }
  // zlib stream of stored blocks.
  std::vector<uint8_t> z = {0x78, 0x01};
  size_t pos = 0;
  do {
    size_t n = std::min<size_t>(65535, raw.size() - pos);
    bool last = pos + n == raw.size();
    z.push_back(last ? 1 : 0);
    z.push_back(uint8_t(n));
    z.push_back(uint8_t(n >> 8));
    z.push_back(uint8_t(~n));
    z.push_back(uint8_t(~n >> 8));
    z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
    pos += n;
  } while (pos < raw.size());
  uint32_t a = 1, b = 0;
  for (uint8_t v : raw) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  PutU32BE(z, b << 16 | a);
  Chunk(out, "IDAT", z);
  Chunk(out, "IEND", {});
  return out;
}

void PutU16LE(std::vector<uint8_t>& out, uint16_t v) {
  out.push_back(uint8_t(v));
  out.push_back(uint8_t(v >> 8));
}
void PutU32LE(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

}  // namespace tessaro::test
