// GIF: the first frame, drawn on the logical screen. The header probe walks
// the blocks itself; decoding uses giflib one line at a time (never the whole
// animation), so a frame that claims more pixels than the file holds fails
// when its data runs out instead of allocating for its claim.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "imaging/codecs/Registry.h"

namespace tessaro::codecs {
namespace {

struct Reader {
  std::span<const uint8_t> input;
  size_t position = 0;
};

int ReadFn(GifFileType* gif, GifByteType* out, int length) {
  auto* r = static_cast<Reader*>(gif->UserData);
  if (length <= 0) return 0;
  size_t n = std::min(size_t(length), r->input.size() - r->position);
  std::memcpy(out, r->input.data() + r->position, n);
  r->position += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    if (gif) DGifCloseFile(gif, &error);
  }
};

std::string GifMessage(int code) {
  switch (code) {
    case D_GIF_ERR_READ_FAILED:
    case D_GIF_ERR_EOF_TOO_SOON:
      return "file is truncated";
    case D_GIF_ERR_NOT_GIF_FILE:
      return "not a GIF file";
    case D_GIF_ERR_NO_IMAG_DSCR:
      return "GIF has no image";
    default:
      break;
  }
  const char* text = GifErrorString(code);
  return text ? std::string("GIF: ") + text : "GIF decoding failed";
}

}  // namespace

Result<ImageInfo> ProbeGif(ByteSource& source) {
  uint8_t head[13];
  if (!source.Read(0, 13, head) || std::memcmp(head, "GIF8", 4) != 0) return Status::Error("not a GIF file");
  ImageInfo info;
  info.format = ImageFormat::kGif;
  info.width = head[6] | head[7] << 8;
  info.height = head[8] | head[9] << 8;
  info.colorMode = "Indexed";
  info.channels = 1;
  info.bitsPerChannel = (head[10] & 7) + 1;
  if (info.width == 0 || info.height == 0) return Status::Error("GIF screen has no size");
  uint64_t offset = 13;
  if (head[10] & 0x80) offset += 3u << ((head[10] & 7) + 1);
  for (int guard = 0; guard < 100000; ++guard) {
    uint8_t kind = 0;
    if (!source.Read(offset, 1, &kind)) break;
    if (kind == 0x2C) {
      uint8_t desc[9];
      if (source.Read(offset + 1, 9, desc)) {
        int left = desc[0] | desc[1] << 8, top = desc[2] | desc[3] << 8;
        int w = desc[4] | desc[5] << 8, h = desc[6] | desc[7] << 8;
        if (left > 0 || top > 0 || w < info.width || h < info.height) info.hasAlpha = true;
        if (desc[8] & 0x80) info.bitsPerChannel = (desc[8] & 7) + 1;
      }
      break;
    }
    if (kind != 0x21) break;
    uint8_t label = 0;
    if (!source.Read(offset + 1, 1, &label)) break;
    offset += 2;
    bool first = true;
    while (true) {
      uint8_t size = 0;
      if (!source.Read(offset, 1, &size)) return info;
      if (size == 0) {
        ++offset;
        break;
      }
      if (first && label == 0xF9 && size >= 4) {
        uint8_t flags = 0;
        if (source.Read(offset + 1, 1, &flags) && (flags & 1)) info.hasAlpha = true;
      }
      first = false;
      offset += 1 + uint64_t(size);
    }
  }
  return info;
}

Result<DecodedImage> DecodeGif(std::span<const uint8_t> bytes, const DecodeOptions& options) {
  Reader reader{bytes, 0};
  int error = 0;
  std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFn, &error));
  if (!gif) return Status::Error(GifMessage(error));
  const int screenW = gif->SWidth, screenH = gif->SHeight;
  if (Status s = CheckDecodeSize(screenW, screenH, options); !s.ok()) return s;

  DecodedImage out;
  out.info.format = ImageFormat::kGif;
  out.info.width = screenW;
  out.info.height = screenH;
  out.info.colorMode = "Indexed";
  out.info.channels = 1;
  out.info.bitsPerChannel = gif->SColorMap ? gif->SColorMap->BitsPerPixel : 8;

  int transparent = -1;
  GifRecordType record;
  while (true) {
    if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) return Status::Error(GifMessage(gif->Error));
    if (record == TERMINATE_RECORD_TYPE) return Status::Error("GIF has no image");
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) return Status::Error(GifMessage(gif->Error));
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) transparent = (ext[1] & 1) ? ext[4] : -1;
      while (ext) {
        if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) return Status::Error(GifMessage(gif->Error));
      }
      continue;
    }
    if (record == IMAGE_DESC_RECORD_TYPE) break;
  }
  if (DGifGetImageDesc(gif.get()) == GIF_ERROR) return Status::Error(GifMessage(gif->Error));
  const GifImageDesc& desc = gif->Image;
  const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
  if (desc.ColorMap) out.info.bitsPerChannel = desc.ColorMap->BitsPerPixel;
  if (desc.Width <= 0 || desc.Height <= 0) return Status::Error("GIF frame has no size");

  // Palette with transparency; a file without any colour table gets a grey ramp.
  Rgba8 palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = Rgba8{uint8_t(i), uint8_t(i), uint8_t(i), 255};
  if (map) {
    for (int i = 0; i < 256; ++i)
      palette[i] = i < map->ColorCount
                       ? Rgba8{map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue, 255}
                       : Rgba8{0, 0, 0, 255};
  }
  if (transparent >= 0) palette[transparent] = Rgba8{0, 0, 0, 0};

  if (!out.pixels.Create(screenW, screenH).ok()) return Status::Error("out of memory for image");
  bool coversScreen = desc.Left <= 0 && desc.Top <= 0 && desc.Left + desc.Width >= screenW &&
                      desc.Top + desc.Height >= screenH;
  out.info.hasAlpha = transparent >= 0 || !coversScreen;

  std::vector<GifPixelType> line(size_t(desc.Width));
  static const int kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
  int pass = 0, row = 0;
  for (int i = 0; i < desc.Height; ++i) {
    if (DGifGetLine(gif.get(), line.data(), desc.Width) == GIF_ERROR)
      return Status::Error(GifMessage(gif->Error));
    int y;
    if (desc.Interlace) {
      while (pass < 4 && row >= desc.Height) {
        ++pass;
        if (pass < 4) row = kStart[pass];
      }
      y = row;
      row += pass < 4 ? kStep[pass] : 1;
    } else {
      y = i;
    }
    int sy = desc.Top + y;
    if (sy < 0 || sy >= screenH) continue;
    Rgba8* dst = out.pixels.Row(sy);
    for (int x = 0; x < desc.Width; ++x) {
      int sx = desc.Left + x;
      if (sx >= 0 && sx < screenW) dst[sx] = palette[line[size_t(x)]];
    }
  }
  return out;
}

bool SniffGif(const SniffInput& input) {
  return HeadStartsWith(input.head, {'G', 'I', 'F', '8', '7', 'a'}) ||
         HeadStartsWith(input.head, {'G', 'I', 'F', '8', '9', 'a'});
}

}  // namespace tessaro::codecs
