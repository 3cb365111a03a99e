#include "imaging/ops/ColorManagement.h"

#include <lcms2.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "base/Parallel.h"

namespace tessaro {
namespace {

void SilentLcmsError(cmsContext, cmsUInt32Number, const char*) {}

// One lcms2 context for the process, with its error log switched off.
cmsContext LcmsContext() {
  static cmsContext context = [] {
    cmsContext c = cmsCreateContext(nullptr, nullptr);
    cmsSetLogErrorHandlerTHR(c, SilentLcmsError);
    return c;
  }();
  return context;
}

struct ProfileCloser {
  void operator()(void* p) const {
    if (p) cmsCloseProfile(p);
  }
};
using ProfilePtr = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
  void operator()(void* p) const {
    if (p) cmsDeleteTransform(p);
  }
};
using TransformPtr = std::unique_ptr<void, TransformDeleter>;

struct CurveDeleter {
  void operator()(cmsToneCurve* c) const {
    if (c) cmsFreeToneCurve(c);
  }
};

constexpr cmsUInt32Number kGrayInRgbaFormat =
    COLORSPACE_SH(PT_GRAY) | CHANNELS_SH(1) | BYTES_SH(1) | EXTRA_SH(3);

// The profile a PNG's gAMA/cHRM describe, or null when that is plain sRGB.
ProfilePtr ProfileFromGamma(const ColorSource& source, bool gray) {
  double g = source.gamma;
  if (!(g > 0.01 && g < 10)) return nullptr;
  // A stated 1/2.2 without other primaries is how sRGB files say "sRGB".
  if (!source.hasChromaticities && std::fabs(g - 1 / 2.2) < 0.01) return nullptr;
  cmsContext ctx = LcmsContext();
  std::unique_ptr<cmsToneCurve, CurveDeleter> curve(cmsBuildGamma(ctx, 1.0 / g));
  if (!curve) return nullptr;
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
  if (source.hasChromaticities) {
    auto valid = [](const double* xy) { return xy[0] > 0 && xy[0] < 1 && xy[1] > 0 && xy[1] < 1; };
    if (valid(source.white) && valid(source.red) && valid(source.green) && valid(source.blue)) {
      white = {source.white[0], source.white[1], 1.0};
      primaries = {{source.red[0], source.red[1], 1.0},
                   {source.green[0], source.green[1], 1.0},
                   {source.blue[0], source.blue[1], 1.0}};
    }
  }
  if (gray) return ProfilePtr(cmsCreateGrayProfileTHR(ctx, &white, curve.get()));
  cmsToneCurve* curves[3] = {curve.get(), curve.get(), curve.get()};
  return ProfilePtr(cmsCreateRGBProfileTHR(ctx, &white, &primaries, curves));
}

}  // namespace

std::string IccDescription(std::span<const uint8_t> icc) {
  if (icc.size() < 132) return {};
  ProfilePtr profile(cmsOpenProfileFromMemTHR(LcmsContext(), icc.data(), cmsUInt32Number(icc.size())));
  if (!profile) return {};
  char text[256] = {};
  cmsUInt32Number n =
      cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof text);
  if (n == 0) return {};
  text[sizeof text - 1] = 0;
  return text;
}

void CmykToRgb(Image& image, bool inverted) {
  if (image.empty()) return;
  const int width = image.width();
  ParallelFor(image.height(), 64, [&](int64_t y0, int64_t y1) {
    for (int64_t y = y0; y < y1; ++y) {
      Rgba8* p = image.Row(int(y));
      for (int x = 0; x < width; ++x) {
        unsigned c = p[x].r, m = p[x].g, yy = p[x].b, k = p[x].a;
        if (!inverted) {
          c = 255 - c;
          m = 255 - m;
          yy = 255 - yy;
          k = 255 - k;
        }
        p[x] = Rgba8{uint8_t((c * k + 127) / 255), uint8_t((m * k + 127) / 255),
                     uint8_t((yy * k + 127) / 255), 255};
      }
    }
  });
}

bool ConvertToSrgb(Image& image, const ColorSource& source, PixelLayout layout) {
  const bool cmyk = layout == PixelLayout::kCmyk || layout == PixelLayout::kCmykInverted;
  const bool gray = layout == PixelLayout::kGrayInRgba;
  if (image.empty()) return false;
  cmsContext ctx = LcmsContext();

  ProfilePtr input;
  if (!source.icc.empty() && source.icc.size() >= 132) {
    input.reset(cmsOpenProfileFromMemTHR(ctx, source.icc.data(), cmsUInt32Number(source.icc.size())));
    if (input) {
      cmsColorSpaceSignature space = cmsGetColorSpace(input.get());
      bool matches = cmyk ? space == cmsSigCmykData : gray ? space == cmsSigGrayData : space == cmsSigRgbData;
      cmsProfileClassSignature cls = cmsGetDeviceClass(input.get());
      if (cls == cmsSigLinkClass || cls == cmsSigAbstractClass || cls == cmsSigNamedColorClass)
        matches = false;
      if (!matches) input.reset();
    }
    if (input && !cmyk) {
      // Profiles that are sRGB already need no work (most camera photos).
      char text[64] = {};
      cmsGetProfileInfoASCII(input.get(), cmsInfoDescription, "en", "US", text, sizeof text);
      text[sizeof text - 1] = 0;
      if (!gray && std::strncmp(text, "sRGB", 4) == 0) return false;
    }
  } else if (!cmyk && source.gamma > 0) {
    input = ProfileFromGamma(source, gray);
  }

  if (!input) {
    if (!cmyk) return false;
    CmykToRgb(image, layout == PixelLayout::kCmykInverted);
    return true;
  }

  ProfilePtr srgb(cmsCreate_sRGBProfileTHR(ctx));
  cmsUInt32Number inFormat = cmyk   ? (layout == PixelLayout::kCmykInverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8)
                             : gray ? kGrayInRgbaFormat
                                    : TYPE_RGBA_8;
  TransformPtr transform(cmsCreateTransformTHR(ctx, input.get(), inFormat, srgb.get(), TYPE_RGBA_8,
                                               INTENT_RELATIVE_COLORIMETRIC,
                                               cmsFLAGS_NOCACHE | cmsFLAGS_BLACKPOINTCOMPENSATION));
  if (!transform) {
    if (!cmyk) return false;
    CmykToRgb(image, layout == PixelLayout::kCmykInverted);
    return true;
  }

  const int width = image.width();
  void* xform = transform.get();
  ParallelFor(image.height(), 32, [&](int64_t y0, int64_t y1) {
    std::vector<Rgba8> out(static_cast<size_t>(width));
    for (int64_t y = y0; y < y1; ++y) {
      Rgba8* row = image.Row(int(y));
      cmsDoTransform(xform, row, out.data(), cmsUInt32Number(width));
      for (int x = 0; x < width; ++x) {
        uint8_t a = cmyk ? 255 : row[x].a;
        row[x] = Rgba8{out[x].r, out[x].g, out[x].b, a};
      }
    }
  });
  return true;
}

}  // namespace tessaro
