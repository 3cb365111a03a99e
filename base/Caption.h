// Caption wrapping of the thumbnail lists. The lists lay their labels out as
// if on a fixed-width grid: a wide (CJK, full-width) character takes two
// columns, everything else one. Pure functions; safe on any thread.
#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// The line separator WrapCaption puts between lines: a carriage return
// without a line feed, as the list labels expect.
inline constexpr char kCaptionLineBreak = '\r';

// Cuts `text` into lines of at most `maxColumns` display columns and joins
// them with kCaptionLineBreak. A character is never split: a wide character
// that would straddle the limit starts the next line, so that line is one
// column short. A text that fits is returned unchanged (one line); an empty
// text gives an empty caption. Every line holds at least one character, so a
// limit below 2 still makes progress over wide characters; a limit below 1
// leaves the text on one line. Malformed UTF-8 bytes count one column each
// and are kept as they are.
std::string WrapCaption(std::string_view text, int maxColumns);

}  // namespace tessaro
