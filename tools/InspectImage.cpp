// tessaro-cli inspect IMAGE: the header facts of a photo or layered document
// as JSON on stdout. Reads the header only (no pixels).
#include <cstdio>
#include <nlohmann/json.hpp>

#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/psd/Psd.h"
#include "tools/Commands.h"

namespace tessaro::cli {
namespace {

nlohmann::json PpiValue(double ppi) { return ppi > 0 ? nlohmann::json(ppi) : nlohmann::json(nullptr); }

int Fail(const std::string& line) {
  std::fprintf(stderr, "tessaro-cli: %s\n", line.c_str());
  return 1;
}

int Fail(const std::string& path, const std::string& message) { return Fail(path + ": " + message); }

}  // namespace

int InspectImage(const std::string& path) {
  if (Status s = CheckRegularFile(path); !s.ok()) return Fail(s.message());
  Result<ImageInfo> info = ProbeImageFile(path);
  if (!info.ok()) return Fail(path, info.message());

  nlohmann::ordered_json out;
  out["file"] = path;
  out["format"] = ImageFormatName(info->format);
  out["width"] = info->width;
  out["height"] = info->height;
  out["orientation"] = info->orientation;
  out["displayWidth"] = info->DisplayWidth();
  out["displayHeight"] = info->DisplayHeight();
  out["xPpi"] = PpiValue(info->xPpi);
  out["yPpi"] = PpiValue(info->yPpi);
  out["colorMode"] = info->colorMode;
  out["bitsPerChannel"] = info->bitsPerChannel;
  out["channels"] = info->channels;
  out["hasAlpha"] = info->hasAlpha;
  out["hasIcc"] = info->hasIcc;
  if (info->exifThumbnailWidth > 0)
    out["exifThumbnail"] = {{"width", info->exifThumbnailWidth}, {"height", info->exifThumbnailHeight}};
  else
    out["exifThumbnail"] = nullptr;

  if (info->format == ImageFormat::kPsd) {
    Result<std::vector<uint8_t>> bytes = ReadWholeFile(path);
    if (!bytes.ok()) return Fail(bytes.message());
    Result<PsdInfo> psd = ProbePsd(*bytes);
    if (!psd.ok()) return Fail(path, psd.message());
    out["psb"] = psd->psb;
    out["layerCount"] = psd->layerCount;
    out["layers"] = psd->layerNames;
    out["alphaChannels"] = psd->alphaChannelNames;
  }
  std::string text = out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
  std::printf("%s\n", text.c_str());
  return 0;
}

}  // namespace tessaro::cli
