// The demo photos: procedural photo-like pictures written at build time in
// every format the program reads, standing in for a customer's photos (no
// photograph of anyone's is used). Output is deterministic: the same build
// writes the same pixels.
#pragma once

#include <string>
#include <vector>

#include "base/Status.h"

namespace tessaro::demo {

struct TDemoPhoto {
  std::string Name;  // file name; the extension decides the format
  int Width = 0;     // upright size as shown
  int Height = 0;
  int Orientation = 1;  // EXIF orientation written (6: stored turned, shown upright only when honoured)
};

// Every demo photo, in a fixed order.
const std::vector<TDemoPhoto>& DemoPhotos();

// Paints one photo and writes it into `folder` (atomically).
Status WriteDemoPhoto(const TDemoPhoto& photo, const std::string& folder);

}  // namespace tessaro::demo
