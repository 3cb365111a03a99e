// Reading files into the editor's document model and writing documents out:
// layered documents through imaging/psd/Psd.h, photos and JPEG through the
// codecs (imaging/codecs/Codecs.h).
//
// Reentrant: ReadDocumentFile runs on prefetch threads as well as on the
// caller's; it touches no application state.
#pragma once

#include <string>

#include "base/Status.h"
#include "editor/Automation.h"
#include "editor/EditorState.h"
#include "imaging/psd/Psd.h"

namespace tessaro::editor {

// Reads an image file or a layered document (told by its signature) into a
// document without identity (layer and channel ids 0). A JPEG photo may be
// decoded at a DCT scale that keeps it at least hint.MinWidth x
// hint.MinHeight (upright; 0 and 0: full size); its resolution is then
// reduced by the same factor and fullWidth/fullHeight keep the file's size.
// A photo without transparency may be decoded over the hint's part only
// (see Application::LoadScaled): the canvas stays the whole picture's and
// the layer's box is the decoded part.
Result<DocContent> ReadDocumentFile(const std::string& path, const automation::DecodeHint& hint = {});

// The editor's form of a layered document read from a file: groups dissolved
// into their layers (visibility and opacity of the enclosing groups folded
// into each layer), alpha channels cropped. Consumes `psd`'s pixels.
Result<DocContent> DocContentFromPsd(PsdDocument& psd);

// The encoder quality for a JPEG quality of 0..12 (the automation scale), or
// -1 outside it. Table (automation -> encoder, chroma):
//    0 -> 10,  1 -> 20,  2 -> 30,  3 -> 40,  4 -> 50,  5 -> 60,  6 -> 68
//      (colour at half resolution, 4:2:0),
//    7 -> 75,  8 -> 82,  9 -> 88, 10 -> 92, 11 -> 95, 12 -> 98
//      (colour at full resolution, 4:4:4).
// 10 (the preview setting) and 12 (the print setting) are visibly high
// quality; 12 keeps fine colour edges of frames and lettering as well.
int JpegEncoderQuality(int quality);
bool JpegKeepsFullChroma(int quality);

// Writes the flattened document as JPEG (over white) at its resolution.
Status SaveDocumentJpeg(const DocState& doc, const std::string& path, int quality, const CancelToken& cancel);

// Writes the document as a layered file: layers bottom first with masks,
// properties and colour overlays; alpha channels unless left out; the
// resolution; the merged picture. The document's pixels are lent to the
// writer and given back, so nothing is copied; on return the document is as
// before, whatever the outcome.
Status SaveDocumentPsd(DocState& doc, const std::string& path, bool withLayers, bool withAlphaChannels,
                       const CancelToken& cancel);

}  // namespace tessaro::editor
