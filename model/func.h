// Utility routines shared by the model, the preview and the composition
// engine: unit conversions, rectangle fitting, size captions, number text,
// folder removal and path parts. All functions are pure or touch only the
// paths they are given; all are safe to call from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaro {

// Logical pixels per inch of a standard display.
inline constexpr double kDefaultPixelsPerInch = 96.0;

// Rounds half to even and saturates to the 32-bit range (NaN gives 0).
int32_t RoundToInt32(double value);

// Unit words used in size captions: 0 "象素", 1 "英寸", 2 "厘米", 3 "毫米";
// empty for any other unit.
std::string UnitName(int32_t unit);

// Screen pixels of a length in a unit (0 pixel, 1 inch, 2 cm, 3 mm) at `ppi`
// pixels per inch; 0 for any other unit.
int32_t ToPixels(int32_t unit, double value, double ppi = kDefaultPixelsPerInch);
// The inverse: a pixel count as a length in `unit`; 0 for any other unit.
double FromPixels(int32_t pixels, int32_t unit, double ppi = kDefaultPixelsPerInch);

// Rectangle fitting. (w, h) is a picture size, (bw, bh) a box size; the
// result is stored into (bw, bh). Integer divisions truncate; products are
// formed in 64 bits before dividing. A non-positive dimension anywhere gives
// (0, 0): there is nothing to fit or nowhere to fit it.
//   FitInBox: shrink to fit inside the box keeping the aspect ratio, never enlarge.
//   FitToBox: scale up or down to the largest size that fits the box.
//   CoverBox: shrink to the smallest size that still covers the box, never enlarge.
void FitInBox(int32_t w, int32_t h, int32_t& bw, int32_t& bh);
void FitToBox(int32_t w, int32_t h, int32_t& bw, int32_t& bh);
void CoverBox(int32_t w, int32_t h, int32_t& bw, int32_t& bh);

// Pixel size of a printed page and its resolution. iw x ih is the template
// image in pixels; pw x ph the page in `unit`; r the resolution in pixels per
// inch, negative to take the largest resolution at which the page fits the
// image. On return pw x ph are pixels and r is set. False (nothing changed)
// for a unit outside 0..3 or a page without positive size.
bool PrintPixelSize(int32_t iw, int32_t ih, int32_t unit, double& pw, double& ph, double& r);

// General decimal text of a number with up to 15 significant digits, as the
// configuration and captions write reals: a single-precision value widened
// to double, so 8.3f gives "8.30000019073486" and 5 gives "5".
std::string FormatGeneral(double value);
// Reads such a text (surrounding blanks allowed); nothing for anything that
// is not a finite number.
std::optional<double> ParseReal(std::string_view text);

// A finite double as the nearest float; nothing when it lies beyond the
// float range (values that round to the largest float are kept).
std::optional<float> NarrowToFloat(double value);

// "(" + value + unit word + ")", e.g. (5英寸), (12.5厘米).
std::string SizeCaption(int32_t unit, float value);
// The caption with its last parenthesised group replaced by SizeCaption;
// empty when the caption has no such group.
std::string ReplaceSizeCaption(std::string_view caption, int32_t unit, float value);

// Deletes a folder with its files and subfolders. Symbolic links are never
// followed: a link inside is removed as an entry, and a path that is itself a
// link is left alone. Errors are ignored; returns true when the folder is
// gone afterwards.
bool DeleteFolder(const std::string& path);

// Last component of a path, ignoring trailing blanks and separators:
// "/模板/婚纱01/" gives "婚纱01".
std::string LastPathPart(std::string_view path);

// A local date and time; the clock of the controller supplies it.
struct TDateTime {
  int Year = 2000, Month = 1, Day = 1, Hour = 0, Minute = 0, Second = 0;
};
// "yyyy_mm_dd_hh_nn_ss" with leading zeros, e.g. 2009_03_07_14_05_09.
std::string FormatImportStamp(const TDateTime& t);
// "hh_nn_ss".
std::string FormatTimeOfDay(const TDateTime& t);

}  // namespace tessaro
