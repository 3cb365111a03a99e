// The preview library: the canvas and its layers (GR32_RotLayer.h) and the
// preview screen with slot editing; this header only names the library's
// namespace for code that needs none of them.
#pragma once

namespace tessaro {}
