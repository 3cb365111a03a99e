// Independent readers the tests compare against: ImageMagick (its decode of
// a file as 8-bit RGBA) and ag-psd under Node. Each is optional: a test that
// needs one skips cleanly when it is missing.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "imaging/Image.h"

namespace tessaro::test {

// Wraps `s` in single quotes for the shell.
std::string ShellQuote(const std::string& s);
// Runs a shell command (standard error discarded); returns its exit code and
// fills `output` with its standard output.
int RunCommand(const std::string& command, std::string* output = nullptr);

// /usr/bin/convert and /usr/bin/identify are both installed.
bool HaveImageMagick();

struct ReferenceOptions {
  bool cmykToRgb = false;    // convert CMYK to RGB by the plain formula
  bool wholeCanvas = false;  // draw the first frame on its logical screen (GIF)
  bool toSrgb = false;       // convert whatever colour space the file has to sRGB
  // Arguments put after the input (e.g. a profile conversion).
  std::vector<std::string> extraArgs;
};

// The first frame (or a PSD's merged image) of `path` as 8-bit RGBA decoded
// by ImageMagick, with no orientation and no colour profile applied unless
// asked; nullopt when ImageMagick is missing or refuses the file.
std::optional<Image> ReferenceDecode(const std::string& path, const ReferenceOptions& options = {});

// The ag-psd module folder, installed on first use with npm into
// TESSARO_TEST_TOOLS (else /tmp/tessaro-test-tools), outside the source
// tree; empty when Node or the registry is not reachable.
std::string AgPsdModule();

}  // namespace tessaro::test

// Returns from the current test, skipped, when ImageMagick is missing.
#define TESSARO_NEED_IMAGEMAGICK() \
  if (!::tessaro::test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick is not installed"
