// tessaro-cli convert IN OUT [--quality N] [--progressive]: decodes any
// supported picture (upright, in sRGB) and writes it as PNG, JPEG or a
// layered document with one layer named after the input file, chosen by the
// extension of OUT. The resolution of the input is kept.
#include <cstdio>
#include <cstdlib>

#include "base/FileIo.h"
#include "base/Text.h"
#include "imaging/codecs/Codecs.h"
#include "tools/Commands.h"

namespace tessaro::cli {
namespace {

int Fail(const std::string& line) {
  std::fprintf(stderr, "tessaro-cli: %s\n", line.c_str());
  return 1;
}

int Fail(const std::string& path, const std::string& message) { return Fail(path + ": " + message); }

int Usage() {
  std::fputs("usage: tessaro-cli convert IN OUT [--quality 1-100] [--progressive]\n", stderr);
  return 2;
}

}  // namespace

int Convert(const Args& args) {
  std::vector<std::string> paths;
  WriteImageOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--quality" || a == "-q") {
      if (i + 1 >= args.size()) return Usage();
      char* end = nullptr;
      long q = std::strtol(args[++i].c_str(), &end, 10);
      if (!end || *end || q < 1 || q > 100) {
        std::fprintf(stderr, "tessaro-cli: convert: quality must be a number from 1 to 100\n");
        return 2;
      }
      options.jpeg.quality = int(q);
    } else if (a == "--progressive") {
      options.jpeg.progressive = true;
    } else if (!a.empty() && a[0] == '-' && a.size() > 1) {
      std::fprintf(stderr, "tessaro-cli: convert: unknown option '%s'\n", a.c_str());
      return Usage();
    } else {
      paths.push_back(a);
    }
  }
  if (paths.size() != 2) return Usage();
  const std::string& in = paths[0];
  const std::string& out = paths[1];
  if (OutputFormatOf(out) == ImageFormat::kUnknown)
    return Fail(out, "unknown output format (use " + WritableExtensions() + ")");
  if (Status s = CheckRegularFile(in); !s.ok()) return Fail(s.message());

  return GuardMemory(in, [&] {
    Result<DecodedImage> decoded = DecodeImageFile(in);
    if (!decoded.ok()) return Fail(in, decoded.message());
    options.ppi = decoded->ppi;
    options.layerName = StemOf(in);
    if (Status s = WriteImageFile(out, decoded->pixels, options); !s.ok()) {
      // Memory runs out because of the input's size, not the output's name.
      if (s.message().find("out of memory") != std::string::npos) return Fail(in, kNotEnoughMemory);
      return Fail(out, s.message());
    }
    return 0;
  });
}

}  // namespace tessaro::cli
