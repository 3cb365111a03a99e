// The in-process layered image editor: the one real implementation of the
// automation interface (editor/Automation.h). Composition needs nothing
// installed; documents live in this process.
//
// What the composition procedure relies on (each is tested in
// editor/tests/Semantics_test.cpp):
//  - Load of a template document gives its layers (top first in ArtLayers),
//    its named alpha channels (Channels 4 and on, by name) and its
//    resolution; its active layer is the top layer.
//  - Duplicate(document, 1) puts the copy on top of that document and makes
//    it that document's active layer.
//  - Copy copies the layer's pixels inside the selection to the
//    application's clipboard (merged: the composite of all visible layers),
//    cropped to the copied non-transparent pixels; Paste adds a new layer
//    holding the clipboard centred on the canvas, directly above the active
//    layer, makes it active and returns it. So each pasted photo lands on
//    top, as ArtLayers.Item(1), when the active layer was the top one.
//  - Selection.Load of a channel replaces the selection with that channel's
//    grey values; the reveal-selection mask action copies the selection into
//    the active layer's mask (255 shows the layer).
//  - JPEG quality 0..12 maps to the encoder's quality by the table in
//    editor/DocumentFiles.h (10 -> 92, 12 -> 98 with full-resolution colour).
//  - A layered save keeps every layer with its mask (linked or not), name,
//    opacity, blend mode and visibility, the colour overlay as an effect, the
//    alpha channels, the resolution and a merged picture equal to the
//    flattened JPEG.
//  - Translate takes pixels: the engine's version entry for this editor sets
//    Scale = false (see editor/Automation.h).
//  - Rotate(degrees, anchor) turns clockwise for positive degrees; Resize and
//    Rotate work about the centre of the layer's bounds for anchor 5.
//
// Other behaviour worth knowing:
//  - Groups of a loaded layered document are dissolved: each art layer takes
//    the visibility and opacity of its enclosing groups; a group's blend mode
//    is dropped. Clipping layers are kept as such in a layered save but are
//    composited as plain layers.
//  - Setting the active layer (directly, or by Paste, Duplicate or
//    MergeVisibleLayers) makes all three colour channels active again.
//  - Brightness/contrast uses the legacy linear style (imaging/ops/Adjust.h
//    BrightnessContrastStyle::kLegacy): the automation call takes the classic
//    -100..100 brightness and contrast of that style.
//  - Layers, alpha channels, masks and the selection keep only their painted
//    area (see editor/EditorState.h); a layer of one colour (a plain
//    background) keeps just its colour; flattening composes bands of rows,
//    and merging needs no second canvas when a visible layer covers the
//    canvas with pixels of its own (else it gives back the rows of the
//    merged layers as it goes). After work that frees large buffers the
//    heap's idle memory is returned once there is much of it.
//  - Long operations (resampling, rotation, flattening, saving, reading)
//    notice RequestCancel between bands of work. Encoding a JPEG or a layered
//    file is one step of the codecs and is not interrupted inside.
//
// Thread-safety: see editor/Automation.h (every call is serialised on its
// application; RequestCancel may come from any thread).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "editor/Automation.h"
#include "imaging/BlendMode.h"
#include "imaging/Image.h"
#include "imaging/ops/Affine.h"
#include "imaging/psd/Psd.h"

namespace tessaro {

struct EditorOptions {
  // Prefetched files kept at most (older unused ones are dropped).
  int prefetchLimit = 4;
  // false: LoadScaled ignores its size hint and decodes every photo at full
  // size (comparisons of both paths in tests and benchmarks).
  bool reducedDecoding = true;
  // true: freed memory goes back to the system when the last document
  // closes (ReleaseFreeMemory). A batch of pages turns it off: the next page
  // would only fault the same memory in again.
  bool releaseMemoryWhenEmpty = true;
};

// A new application with no documents, an empty clipboard, RulerUnits
// pixels, TypeUnits points and DisplayDialogs 3.
std::shared_ptr<automation::Application> CreateEditorApplication(const EditorOptions& options = {});

// Makes the process's C allocator keep pixel buffers up to 256 MB in its heap and
// reuse freed ones, instead of mapping fresh zeroed pages for each buffer and
// unmapping them when freed (a page fault per 4 KB every time). Placing a
// 24-megapixel photo runs about twice as fast with it (see the editor
// benchmark). Process-wide: call once at program start, before other
// threads run; it is not undone. Memory a finished job freed stays with the
// process until ReleaseFreeMemory, which the editor calls when an
// application's last document closes. Every thread shares one heap, so that
// memory one thread freed serves the next.
void TuneMemoryForLargeImages();
// Gives freed heap memory back to the system.
void ReleaseFreeMemory();
// The editor gives idle heap memory back once there is more than a page's
// worth of it (128 MB). Pages composed side by side in one process share the
// heap: with `jobs` pages at once each keeps its share, so that memory one
// page freed serves the next instead of being returned and faulted in again.
void KeepIdleMemoryForJobs(int jobs);

// The automation blend-mode number of a blend mode and back (see
// editor/Automation.h for the list); nothing for numbers outside it.
std::optional<BlendMode> BlendModeFromCode(int code);
int BlendModeCode(BlendMode mode);

// Counters of an editor application, for tests and benchmarks (all zero for
// an application that is not the editor's).
struct EditorStatistics {
  int64_t filesRead = 0;     // files read and decoded (prefetches included)
  int64_t prefetchHits = 0;  // loads served by a prefetch
  int64_t reducedLoads = 0;  // loads that decoded a photo below its full size
  int64_t layerBytes = 0;    // pixels, masks, channels and selections held by open documents
  // Closings of the last document that gave memory back.
  int64_t memoryReleases = 0;
};
EditorStatistics GetEditorStatistics(automation::Application& app);

// Inspection of the editor's objects (tests, tools, diagnostics): copies of
// what they hold. Each gives an error for an object of another
// implementation, a closed document or a layer that is gone.
//
// The composite of the visible layers over transparency, canvas-sized.
Result<Image> FlattenDocument(automation::Document& document);
// A layer's stored pixels and where they sit (document pixels; the box may
// hold transparent margins around Bounds).
Result<PlacedImage> LayerPixels(automation::ArtLayer& layer);
// A layer's mask: its values over `area` (document pixels) and its flags;
// an error when the layer has no mask.
struct LayerMaskInfo {
  Plane values;
  bool linked = true;
  bool disabled = false;
};
Result<LayerMaskInfo> LayerMask(automation::ArtLayer& layer, const IntRect& area);
// A layer's colour-overlay effect, if it has one.
Result<std::optional<PsdColorOverlay>> LayerColorOverlay(automation::ArtLayer& layer);
// An alpha channel's values (canvas-sized); an error for a colour channel.
Result<Plane> ChannelValues(automation::Channel& channel);
// The selection's values (canvas-sized), or nothing when there is none.
Result<std::optional<Plane>> SelectionValues(automation::Document& document);

}  // namespace tessaro
