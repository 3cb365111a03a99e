#include "base/Caption.h"

#include "base/Text.h"

namespace tessaro {

std::string WrapCaption(std::string_view text, int maxColumns) {
  if (maxColumns < 1) return std::string(text);
  std::string out;
  out.reserve(text.size() + text.size() / 4);
  while (!text.empty()) {
    size_t take = PrefixBytesForColumns(text, maxColumns);
    if (take == 0) {
      // A wide character on a one-column line: it goes alone.
      size_t pos = 0;
      NextCodePoint(text, pos);
      take = pos;
    }
    if (!out.empty()) out += kCaptionLineBreak;
    out.append(text.substr(0, take));
    text.remove_prefix(take);
  }
  return out;
}

}  // namespace tessaro
