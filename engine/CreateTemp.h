// The composition procedure: one template of one set composed by the image
// editor, in preview mode (the preview version at screen size, a JPEG
// preview) or in result mode (the result version at print size: a merged
// JPEG or a layered document, then a small JPEG preview).
//
// Runs on a composing worker's thread through that worker's own application;
// reads the set, the settings and the version table without locks (the
// caller keeps them unchanged while the job runs).
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>

#include "base/Status.h"
#include "editor/Automation.h"
#include "engine/PSVersions.h"
#include "model/Compose.h"
#include "model/Config.h"
#include "model/Records.h"

namespace tessaro {

// A rectangle of whole pixels (right and bottom exclusive).
struct TSlotRect {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  friend bool operator==(const TSlotRect&, const TSlotRect&) = default;
};

// Rescales a rectangle from an oldW x oldH picture to newW x newH: left and
// right become round(newW * value / oldW), top and bottom likewise with the
// heights (half to even).
void ScaleRect(int32_t oldW, int32_t oldH, int32_t newW, int32_t newH, TSlotRect& rect);

// The first visible art layer, scanning from the top (Item 1, 2, ...) or from
// the bottom (Item Count, Count - 1, ...); an error when none is visible.
Result<automation::ArtLayerRef> FindVisibleLayer(automation::Document& document, bool fromTop);

// The top-left corner of the watermark for position `orient` (0..8 in a 3 x 3
// grid, row by row; above 8 the right column and bottom row; below 0 the
// top-left) on a width x height document, for a watermark of bw x bh pixels.
struct TPoint {
  double X = 0, Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};
TPoint WatermarkCorner(int32_t orient, double width, double height, double bw, double bh, int32_t marginH,
                       int32_t marginV);

// The path SaveAs writes for `path` with extension case 2 (lower case): a
// known extension of the format lower-cased, any other name with ".jpg" or
// ".psd" appended.
std::string SavedFilePath(const std::string& path, bool psd);

// The alpha channel of a placement. Package channel names may be GBK bytes
// (made on Windows for the Chinese code page); the name is decoded (UTF-8
// when valid, else GBK) and compared with the document's channel names, also
// decoded.
Result<automation::ChannelRef> FindSlotChannel(automation::Document& document, const std::string& storedName);

// How a placed photo may be decoded (see Application::LoadScaled): at least
// the size it is placed at (the slot's size times its scale, plus a pixel;
// a slot never shown on the preview is covered, so at least the slot's
// size) and, when `visible` is given (the box of composed pixels its slot's
// mask shows), only the part of the picture that can reach that box.
// `slot` is the slot rectangle in composed pixels.
//
// The part is centred on the picture: the editor then gives a layer
// centred where the whole picture's would be, so the placement's size,
// move and turn (all about the layer's centre) land every pixel exactly
// where the whole picture's would. It reaches kPhotoCropReach composed
// pixels beyond the box and kPhotoCropMargin decoded pixels more, for the
// resampling filters and the rounding of the move. No part (the whole
// picture) for a slot never shown on the preview (its size depends on the
// photo's shape) or when the part would be all of it.
automation::DecodeHint PlacedPhotoHint(const TSlotRect& slot, const TSlotNode& node,
                                       const std::optional<TSlotRect>& visible);
inline constexpr int kPhotoCropReach = 8;
inline constexpr int kPhotoCropMargin = 4;

// Quality settings of the saves.
inline constexpr int kPreviewJpegQuality = 10;
inline constexpr int kResultJpegQuality = 12;
// The small preview written after a result fits this box.
inline constexpr int32_t kSmallPreviewWidth = 580;
inline constexpr int32_t kSmallPreviewHeight = 420;
// Name of the overlay layers raised above the photos (compared trimmed and
// lower-cased).
inline constexpr const char* kOverlayLayerName = "brivanto";
// Queued when the template's background picture cannot be deciphered.
inline constexpr const char* kBackgroundFailedMessage = "加载模板背景图失败";

// What one run of the procedure needs besides the job's fields.
struct TComposeEnvironment {
  automation::Application* App = nullptr;  // the worker's own application
  const TPSVersionList* Versions = nullptr;
  const TAppSettings* Settings = nullptr;
  // The job's own working file for the deciphered background picture (jobs
  // running side by side each have their own); its folder is created when
  // missing.
  std::string WorkFile;
  std::function<void(int)> ReportProgress;               // may be empty
  std::function<void(const std::string&)> QueueMessage;  // may be empty
  // Set from another thread to stop the job at its next step (the caller
  // also asks the application to cancel its running call).
  const std::atomic<bool>* CancelFlag = nullptr;
};

// How a run ended.
enum class TComposeState {
  NotRun,     // the job's fields do not name a template (nothing done)
  Done,       // every output written
  Failed,     // an error ended it; outputs not yet written are missing
  Cancelled,  // stopped on request; no output of this job is left
};

struct TComposeReport {
  TComposeState State = TComposeState::NotRun;
  std::string Message;        // what failed (Failed, NotRun)
  std::string ResultWritten;  // the path the result was written to, or empty
  std::string PreviewWritten;
};

// The failure message of a job that ran out of memory, naming the template
// by its package folder.
std::string NotEnoughMemoryMessage(const std::string& templateFolder);

// Composes one template. Progress 10, 20, 30, 40, 40 + 5 x i after each
// placement i whose slot holds a photo, 90, 95 (the job adds 100). On a
// failure or a cancel every document is closed, the unit preferences are
// restored and the working file is deleted, so the application is ready for
// the next job; a cancel also deletes what this run had written. No
// exception leaves it: an allocation that fails (or any other exception)
// fails the job with a message and, like a cancel, deletes what it had
// written.
TComposeReport ComposeTemplate(const TComposeEnvironment& env, const TComposeJob& job);

}  // namespace tessaro
