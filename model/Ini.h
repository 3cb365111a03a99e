// A small INI document: sections of key=value lines, read and written the
// way the configuration expects. Section and key names compare without
// regard to ASCII case; values are trimmed of surrounding blanks. Parsing
// never fails: lines that are neither "[section]" nor "key=value" (and keys
// before the first section) are ignored, a section named twice is one
// section, and the first of two equal keys wins. Values are stored as UTF-8
// text; writing replaces line breaks inside a value by blanks so that a value
// always reads back as one line.
// Not thread-safe; a plain value type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tessaro {

class TIniFile {
 public:
  static TIniFile Parse(std::string_view text);
  // The document as text, sections and keys in the order they were written,
  // lines ended by "\n".
  std::string Serialize() const;

  bool HasSection(std::string_view section) const;
  bool HasKey(std::string_view section, std::string_view key) const;
  std::optional<std::string> Value(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key, const std::string& fallback) const;
  // Decimal (optionally signed) or 0x-hexadecimal 32-bit integers; anything
  // else, or a value out of range, gives the fallback.
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const;
  // True for any non-zero integer.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
  // General decimal text of a finite number; anything else gives the fallback.
  double ReadFloat(std::string_view section, std::string_view key, double fallback) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);  // 1 or 0
  // General decimal text with up to 15 significant digits.
  void WriteFloat(std::string_view section, std::string_view key, double value);

 private:
  struct TSection {
    std::string Name;
    std::vector<std::pair<std::string, std::string>> Keys;
  };
  const TSection* FindSection(std::string_view section) const;
  TSection& SectionFor(std::string_view section);

  std::vector<TSection> FSections;
  std::unordered_map<std::string, size_t> FIndex;  // lower-cased name -> FSections index
};

}  // namespace tessaro
