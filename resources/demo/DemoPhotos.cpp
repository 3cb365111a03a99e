#include "resources/demo/DemoPhotos.h"

#include <gif_lib.h>
#include <sys/stat.h>
#include <tiffio.h>

#include <cstdio>

#include "base/ByteReader.h"
#include "base/FileIo.h"
#include "imaging/codecs/Codecs.h"
#include "imaging/ops/Resample.h"
#include "tools/pack/Scenes.h"

namespace tessaro::demo {

namespace {

using authoring::TCutoutKind;
using authoring::TSceneKind;

constexpr double kPhotoPpi = 300;

// Stored pixels that show `upright` only when turned a quarter clockwise, as
// EXIF orientation 6 asks: the upright picture turned a quarter
// counter-clockwise.
Image TurnCounterClockwise(const Image& upright) {
  Image out;
  if (!out.Create(upright.height(), upright.width()).ok()) return out;
  const int w = upright.width();
  for (int y = 0; y < out.height(); ++y)
    for (int x = 0; x < out.width(); ++x) out.At(x, y) = upright.At(w - 1 - y, x);
  return out;
}

Status WriteJpeg(const std::string& path, const Image& image, int orientation, bool thumbnail) {
  JpegEncodeOptions options;
  options.quality = 90;
  options.orientation = orientation;
  if (thumbnail) {
    const int tw = 160, th = std::max(1, int(160.0 * image.height() / image.width()));
    auto small = ResizeImage(image, tw, th);
    if (!small.ok()) return small.status();
    JpegEncodeOptions thumb;
    thumb.quality = 80;
    auto bytes = EncodeJpeg(*small, thumb);
    if (!bytes.ok()) return bytes.status();
    options.exifThumbnail = std::move(*bytes);
  }
  auto bytes = EncodeJpeg(image, options, kPhotoPpi);
  if (!bytes.ok()) return bytes.status();
  return WriteFileAtomic(path, *bytes);
}

// 24-bit BMP, bottom-up rows padded to four bytes.
Status WriteBmp(const std::string& path, const Image& image) {
  const int w = image.width(), h = image.height();
  const uint32_t rowBytes = (uint32_t(w) * 3 + 3) & ~3u;
  const uint32_t dataBytes = rowBytes * uint32_t(h);
  ByteWriter out;
  out.Append(std::string("BM"));
  out.U32LE(14 + 40 + dataBytes);
  out.U32LE(0);
  out.U32LE(14 + 40);
  out.U32LE(40);
  out.I32LE(w);
  out.I32LE(h);
  out.U16LE(1);
  out.U16LE(24);
  out.U32LE(0);  // BI_RGB
  out.U32LE(dataBytes);
  out.I32LE(11811);  // 300 pixels per inch, in pixels per metre
  out.I32LE(11811);
  out.U32LE(0);
  out.U32LE(0);
  for (int y = h - 1; y >= 0; --y) {
    const Rgba8* row = image.Row(y);
    for (int x = 0; x < w; ++x) {
      out.U8(row[x].b);
      out.U8(row[x].g);
      out.U8(row[x].r);
    }
    out.Zeros(rowBytes - uint32_t(w) * 3);
  }
  return WriteFileAtomic(path, out.Take());
}

// Uncompressed 32-bit true-colour TGA with 8 alpha bits, top row first.
Status WriteTga(const std::string& path, const Image& image) {
  ByteWriter out;
  out.U8(0);  // no image id
  out.U8(0);  // no colour map
  out.U8(2);  // true colour, uncompressed
  out.Zeros(5);
  out.U16LE(0);
  out.U16LE(0);
  out.U16LE(uint16_t(image.width()));
  out.U16LE(uint16_t(image.height()));
  out.U8(32);
  out.U8(0x28);  // 8 attribute bits, origin at the top left
  for (int y = 0; y < image.height(); ++y) {
    const Rgba8* row = image.Row(y);
    for (int x = 0; x < image.width(); ++x) {
      out.U8(row[x].b);
      out.U8(row[x].g);
      out.U8(row[x].r);
      out.U8(row[x].a);
    }
  }
  return WriteFileAtomic(path, out.Take());
}

Status WriteTiff(const std::string& path, const Image& image) {
  const std::string temp = path + ".partial";
  TIFF* tif = TIFFOpen(temp.c_str(), "w");
  if (!tif) return Status::Error("cannot create " + temp);
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width()));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height()));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tif, TIFFTAG_PREDICTOR, 2);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 32);
  TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(kPhotoPpi));
  TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(kPhotoPpi));
  TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
  std::vector<uint8_t> row(size_t(image.width()) * 3);
  bool good = true;
  for (int y = 0; y < image.height() && good; ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const Rgba8 p = image.At(x, y);
      row[x * 3] = p.r;
      row[x * 3 + 1] = p.g;
      row[x * 3 + 2] = p.b;
    }
    good = TIFFWriteScanline(tif, row.data(), uint32_t(y), 0) >= 0;
  }
  TIFFClose(tif);
  if (!good || std::rename(temp.c_str(), path.c_str()) != 0) {
    RemoveFile(temp);
    return Status::Error("cannot write " + path);
  }
  return Status::Ok();
}

// A 256-colour GIF (median-cut palette of giflib).
Status WriteGif(const std::string& path, const Image& image) {
  const int w = image.width(), h = image.height();
  const size_t n = size_t(w) * size_t(h);
  std::vector<GifByteType> r(n), g(n), b(n), indices(n);
  for (size_t i = 0; i < n; ++i) {
    const Rgba8 p = image.data()[i];
    r[i] = p.r;
    g[i] = p.g;
    b[i] = p.b;
  }
  int colors = 256;
  std::vector<GifColorType> palette(256);
  if (GifQuantizeBuffer(unsigned(w), unsigned(h), &colors, r.data(), g.data(), b.data(), indices.data(),
                        palette.data()) != GIF_OK)
    return Status::Error("cannot reduce the colours for " + path);
  const std::string temp = path + ".partial";
  int error = 0;
  GifFileType* gif = EGifOpenFileName(temp.c_str(), false, &error);
  if (!gif) return Status::Error("cannot create " + temp);
  ColorMapObject* map = GifMakeMapObject(256, palette.data());
  bool good = map && EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK &&
              EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
  for (int y = 0; y < h && good; ++y) good = EGifPutLine(gif, &indices[size_t(y) * w], w) == GIF_OK;
  if (map) GifFreeMapObject(map);
  good = EGifCloseFile(gif, &error) == GIF_OK && good;
  ::chmod(temp.c_str(), 0644);  // giflib creates its file private to the user
  if (!good || std::rename(temp.c_str(), path.c_str()) != 0) {
    RemoveFile(temp);
    return Status::Error("cannot write " + path);
  }
  return Status::Ok();
}

}  // namespace

const std::vector<TDemoPhoto>& DemoPhotos() {
  static const std::vector<TDemoPhoto> kPhotos = {
      {"sunset_hills.jpg", 6000, 4000, 1},   {"mountain_lake_portrait.jpg", 2400, 3600, 6},
      {"beach_square.jpg", 3000, 3000, 1},   {"city_panorama.jpg", 7200, 2400, 1},
      {"bokeh_portrait.jpg", 2000, 3000, 1}, {"meadow_flowers.jpg", 4000, 3000, 1},
      {"snow_forest.jpg", 2400, 3600, 1},    {"aurora_lake.jpg", 3600, 2400, 1},
      {"forest_path.tif", 2400, 1600, 1},    {"desert_dunes.bmp", 1600, 1200, 1},
      {"city_dusk.gif", 1000, 750, 1},       {"child_balloon.png", 1600, 2400, 1},
      {"couple_cutout.psd", 1800, 2400, 1},  {"balloons.tga", 1200, 1500, 1},
  };
  return kPhotos;
}

Status WriteDemoPhoto(const TDemoPhoto& photo, const std::string& folder) {
  struct TRecipe {
    const char* Name;
    bool Cutout;
    int Kind;
    uint32_t Seed;
  };
  static const TRecipe kRecipes[] = {
      {"sunset_hills.jpg", false, int(TSceneKind::kSunsetHills), 11},
      {"mountain_lake_portrait.jpg", false, int(TSceneKind::kMountainLake), 12},
      {"beach_square.jpg", false, int(TSceneKind::kBeach), 13},
      {"city_panorama.jpg", false, int(TSceneKind::kCityDusk), 14},
      {"bokeh_portrait.jpg", false, int(TSceneKind::kBokehPortrait), 15},
      {"meadow_flowers.jpg", false, int(TSceneKind::kMeadowFlowers), 16},
      {"snow_forest.jpg", false, int(TSceneKind::kSnowForest), 17},
      {"aurora_lake.jpg", false, int(TSceneKind::kAurora), 18},
      {"forest_path.tif", false, int(TSceneKind::kForestPath), 19},
      {"desert_dunes.bmp", false, int(TSceneKind::kDesertDunes), 20},
      {"city_dusk.gif", false, int(TSceneKind::kCityDusk), 21},
      {"child_balloon.png", true, int(TCutoutKind::kChild), 22},
      {"couple_cutout.psd", true, int(TCutoutKind::kCouple), 23},
      {"balloons.tga", true, int(TCutoutKind::kBalloons), 24},
  };
  const TRecipe* recipe = nullptr;
  for (const TRecipe& r : kRecipes)
    if (photo.Name == r.Name) recipe = &r;
  if (!recipe) return Status::Error("no recipe for " + photo.Name);

  Image upright = recipe->Cutout ? authoring::PaintCutout(static_cast<TCutoutKind>(recipe->Kind), photo.Width,
                                                          photo.Height, recipe->Seed)
                                 : authoring::PaintScene(static_cast<TSceneKind>(recipe->Kind), photo.Width,
                                                         photo.Height, recipe->Seed);
  if (upright.empty()) return Status::Error("cannot paint " + photo.Name);
  const std::string path = JoinPath(folder, photo.Name);
  const std::string ext = ExtensionOf(photo.Name);
  if (ext == ".jpg") {
    if (photo.Orientation == 6) {
      Image stored = TurnCounterClockwise(upright);
      // The tag must bring back exactly the picture painted.
      Image check = stored.Clone();
      if (!ApplyOrientation(check, 6).ok() || check.width() != upright.width() ||
          !std::equal(check.data(), check.data() + check.PixelCount(), upright.data()))
        return Status::Error("orientation 6 does not turn the stored pixels upright");
      return WriteJpeg(path, stored, 6, false);
    }
    return WriteJpeg(path, upright, 0, int64_t(photo.Width) * photo.Height >= 20'000'000);
  }
  if (ext == ".tif") return WriteTiff(path, upright);
  if (ext == ".bmp") return WriteBmp(path, upright);
  if (ext == ".gif") return WriteGif(path, upright);
  if (ext == ".tga") return WriteTga(path, upright);
  WriteImageOptions options;
  options.ppi = kPhotoPpi;
  options.layerName = StemOf(photo.Name);
  return WriteImageFile(path, upright, options);  // .png, .psd
}

}  // namespace tessaro::demo
