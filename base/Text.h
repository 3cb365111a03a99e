// UTF-8 helpers. Texts are UTF-8 in memory and in the files this program
// writes; byte limits never split a character.
#pragma once

#include <string>
#include <string_view>

namespace tessaro {

// The longest prefix of `text` of at most `maxBytes` bytes that ends on a
// character boundary.
std::string CutUtf8(std::string_view text, size_t maxBytes);
// Columns a text takes in the fixed-width layout of the lists: wide (CJK,
// full-width) characters count two, everything else one.
int DisplayColumns(std::string_view text);
// Splits off the longest prefix that fits in `columns` display columns.
size_t PrefixBytesForColumns(std::string_view text, int columns);
// Removes leading and trailing ASCII blanks and control characters.
std::string Trim(std::string_view text);
std::string TrimRight(std::string_view text);
std::string AsciiLower(std::string_view text);
// Next code point at `pos` (advancing it); malformed bytes yield U+FFFD.
char32_t NextCodePoint(std::string_view text, size_t& pos);
void AppendUtf8(std::string& out, char32_t cp);
// UTF-16 (either byte order) to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const char16_t* units, size_t count);
// True when the bytes are well-formed UTF-8 (no overlong forms, surrogates or
// code points above U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// Text stored by programs for the Chinese Windows code page (package channel
// names, alpha-channel names of older layered documents): the bytes as they
// are when they are valid UTF-8, else decoded as GBK (code page 936) to
// UTF-8. Bytes GBK cannot decode either become U+FFFD each.
std::string DecodeLegacyText(std::string_view bytes);

}  // namespace tessaro
