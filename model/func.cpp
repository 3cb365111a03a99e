#include "model/func.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

#include "base/FileIo.h"
#include "base/Text.h"

namespace tessaro {

int32_t RoundToInt32(double value) {
  if (std::isnan(value)) return 0;
  double r = std::nearbyint(value);  // the default rounding mode rounds half to even
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

std::string UnitName(int32_t unit) {
  switch (unit) {
    case 0:
      return "象素";
    case 1:
      return "英寸";
    case 2:
      return "厘米";
    case 3:
      return "毫米";
    default:
      return {};
  }
}

int32_t ToPixels(int32_t unit, double value, double ppi) {
  switch (unit) {
    case 0:
      return RoundToInt32(value);
    case 1:
      return RoundToInt32(value * ppi);
    case 2:
      return RoundToInt32(value * ppi / 2.54);
    case 3:
      return RoundToInt32(value * ppi / 25.4);
    default:
      return 0;
  }
}

double FromPixels(int32_t pixels, int32_t unit, double ppi) {
  if (unit != 0 && !(ppi > 0)) return 0;
  switch (unit) {
    case 0:
      return pixels;
    case 1:
      return pixels / ppi;
    case 2:
      return pixels * 2.54 / ppi;
    case 3:
      return pixels * 25.4 / ppi;
    default:
      return 0;
  }
}

namespace {

// w * b div h with the product in 64 bits; the callers' results lie within
// the 32-bit range because they never exceed an input dimension.
int32_t MulDiv(int32_t a, int32_t b, int32_t c) {
  return static_cast<int32_t>(static_cast<int64_t>(a) * static_cast<int64_t>(b) / c);
}

bool Degenerate(int32_t w, int32_t h, int32_t& bw, int32_t& bh) {
  if (w > 0 && h > 0 && bw > 0 && bh > 0) return false;
  bw = bh = 0;
  return true;
}

// Fits the box to the picture along one axis: when the picture's `side` is
// longer than the box's, the box keeps its side and its `other` side takes
// the picture's proportions; otherwise the box becomes the picture's size.
void ShrinkAlong(int32_t side, int32_t other, int32_t& boxSide, int32_t& boxOther) {
  if (side > boxSide) {
    boxOther = MulDiv(other, boxSide, side);
  } else {
    boxSide = side;
    boxOther = other;
  }
}

}  // namespace

void FitInBox(int32_t w, int32_t h, int32_t& bw, int32_t& bh) {
  if (Degenerate(w, h, bw, bh)) return;
  if (double(h) / bh >= double(w) / bw)
    ShrinkAlong(h, w, bh, bw);
  else
    ShrinkAlong(w, h, bw, bh);
}

void FitToBox(int32_t w, int32_t h, int32_t& bw, int32_t& bh) {
  if (Degenerate(w, h, bw, bh)) return;
  if (double(h) / bh >= double(w) / bw)
    bw = MulDiv(w, bh, h);
  else
    bh = MulDiv(h, bw, w);
}

void CoverBox(int32_t w, int32_t h, int32_t& bw, int32_t& bh) {
  if (Degenerate(w, h, bw, bh)) return;
  if (double(h) / bh > double(w) / bw)
    ShrinkAlong(w, h, bw, bh);
  else
    ShrinkAlong(h, w, bh, bw);
}

bool PrintPixelSize(int32_t iw, int32_t ih, int32_t unit, double& pw, double& ph, double& r) {
  if (unit < 0 || unit > 3 || !(pw > 0) || !(ph > 0)) return false;
  if (unit == 0) {
    if (r < 0) r = std::max(RoundToInt32(iw / pw), RoundToInt32(ih / ph));
    return true;
  }
  double w = pw, h = ph;
  if (unit == 2) {
    w /= 2.54;
    h /= 2.54;
  } else if (unit == 3) {
    w /= 25.4;
    h /= 25.4;
  }
  if (r < 0) {
    r = iw / w;
    if (ih / h < r) r = ih / h;
  }
  pw = w * r;
  ph = h * r;
  return true;
}

std::string FormatGeneral(double value) {
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  return std::string(buf, res.ptr);
}

std::optional<double> ParseReal(std::string_view text) {
  std::string t = Trim(text);
  if (t.empty()) return std::nullopt;
  const char* first = t.data();
  const char* last = t.data() + t.size();
  if (*first == '+') ++first;  // from_chars takes no plus sign
  double v = 0;
  auto res = std::from_chars(first, last, v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != last || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<float> NarrowToFloat(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  // Half a unit in the last place above the largest float still rounds to it.
  constexpr double kLimit = 3.4028235677973366e+38;
  if (std::fabs(value) >= kLimit) return std::nullopt;
  if (std::fabs(value) > std::numeric_limits<float>::max())
    return std::copysign(std::numeric_limits<float>::max(), static_cast<float>(value > 0 ? 1 : -1));
  return static_cast<float>(value);
}

std::string SizeCaption(int32_t unit, float value) {
  return "(" + FormatGeneral(static_cast<double>(value)) + UnitName(unit) + ")";
}

std::string ReplaceSizeCaption(std::string_view caption, int32_t unit, float value) {
  bool closeSeen = false;
  for (size_t i = caption.size(); i-- > 0;) {
    if (!closeSeen) {
      if (caption[i] == ')') closeSeen = true;
    } else if (caption[i] == '(') {
      return std::string(caption.substr(0, i)) + SizeCaption(unit, value);
    }
  }
  return {};
}

namespace {

constexpr int kMaxFolderDepth = 256;

// Empties the folder open as `dirFd` (which this function closes).
void DeleteFolderContents(int dirFd, int depth) {
  DIR* dir = ::fdopendir(dirFd);
  if (!dir) {
    ::close(dirFd);
    return;
  }
  std::vector<std::string> names;
  while (dirent* e = ::readdir(dir)) {
    std::string_view n(e->d_name);
    if (n != "." && n != "..") names.emplace_back(n);
  }
  for (const std::string& name : names) {
    struct stat st;
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (depth >= kMaxFolderDepth) continue;
      int child = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
      if (child < 0) continue;
      DeleteFolderContents(child, depth + 1);
      ::unlinkat(dirFd, name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(dirFd, name.c_str(), 0);  // files, links, anything else: the entry only
    }
  }
  ::closedir(dir);  // closes dirFd
}

}  // namespace

bool DeleteFolder(const std::string& path) {
  std::string folder = WithoutTrailingSeparator(path);
  if (folder.empty()) return false;
  struct stat st;
  if (::lstat(folder.c_str(), &st) != 0) return true;
  if (!S_ISDIR(st.st_mode)) return false;  // a link or a file: never followed or removed
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  DeleteFolderContents(fd, 0);
  ::rmdir(folder.c_str());
  return ::lstat(folder.c_str(), &st) != 0;
}

std::string LastPathPart(std::string_view path) {
  size_t end = path.size();
  while (end > 0 && (path[end - 1] == ' ' || path[end - 1] == kPathSeparator)) --end;
  size_t begin = end;
  while (begin > 0 && path[begin - 1] != kPathSeparator) --begin;
  return std::string(path.substr(begin, end - begin));
}

std::string FormatImportStamp(const TDateTime& t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d_%02d_%02d_%02d_%02d_%02d", t.Year, t.Month, t.Day, t.Hour, t.Minute,
                t.Second);
  return buf;
}

std::string FormatTimeOfDay(const TDateTime& t) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d_%02d_%02d", t.Hour, t.Minute, t.Second);
  return buf;
}

}  // namespace tessaro
