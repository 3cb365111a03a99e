#include "model/Ini.h"

#include <charconv>
#include <limits>

#include "base/Text.h"
#include "model/func.h"

namespace tessaro {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string OneLine(std::string_view value) {
  std::string out(value);
  for (char& c : out)
    if (c == '\r' || c == '\n') c = ' ';
  return out;
}

}  // namespace

TIniFile TIniFile::Parse(std::string_view text) {
  TIniFile ini;
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  TSection* current = nullptr;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = text.size();
    std::string line = Trim(text.substr(pos, end - pos));
    pos = end + 1;
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      if (close == std::string::npos) {
        current = nullptr;
        continue;
      }
      current = &ini.SectionFor(Trim(std::string_view(line).substr(1, close - 1)));
      continue;
    }
    size_t eq = line.find('=');
    if (!current || eq == std::string::npos) continue;
    std::string key = Trim(std::string_view(line).substr(0, eq));
    if (key.empty()) continue;
    // A repeated key stays in the list; lookups find the first one.
    current->Keys.emplace_back(std::move(key), Trim(std::string_view(line).substr(eq + 1)));
  }
  return ini;
}

std::string TIniFile::Serialize() const {
  std::string out;
  for (size_t i = 0; i < FSections.size(); ++i) {
    if (i > 0) out += "\n";
    out += "[" + FSections[i].Name + "]\n";
    for (const auto& [key, value] : FSections[i].Keys) out += key + "=" + value + "\n";
  }
  return out;
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view section) const {
  auto it = FIndex.find(AsciiLower(section));
  return it == FIndex.end() ? nullptr : &FSections[it->second];
}

TIniFile::TSection& TIniFile::SectionFor(std::string_view section) {
  std::string lower = AsciiLower(section);
  auto it = FIndex.find(lower);
  if (it != FIndex.end()) return FSections[it->second];
  FIndex.emplace(std::move(lower), FSections.size());
  FSections.push_back(TSection{std::string(section), {}});
  return FSections.back();
}

bool TIniFile::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFile::HasKey(std::string_view section, std::string_view key) const {
  return Value(section, key).has_value();
}

std::optional<std::string> TIniFile::Value(std::string_view section, std::string_view key) const {
  const TSection* s = FindSection(section);
  if (!s) return std::nullopt;
  for (const auto& kv : s->Keys)
    if (SameName(kv.first, key)) return kv.second;
  return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& fallback) const {
  auto v = Value(section, key);
  return v ? *v : fallback;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) const {
  auto v = Value(section, key);
  if (!v || v->empty()) return fallback;
  std::string_view t = *v;
  bool negative = false;
  if (t[0] == '+' || t[0] == '-') {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty() || t[0] == '+' || t[0] == '-') return fallback;
  int64_t magnitude = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), magnitude, base);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size()) return fallback;
  int64_t value = negative ? -magnitude : magnitude;
  if (value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max())
    return fallback;
  return static_cast<int32_t>(value);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  return ReadInteger(section, key, fallback ? 1 : 0) != 0;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double fallback) const {
  auto v = Value(section, key);
  if (!v) return fallback;
  auto d = ParseReal(*v);
  return d ? *d : fallback;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  TSection& s = SectionFor(section);
  std::string v = Trim(OneLine(value));
  for (auto& kv : s.Keys) {
    if (SameName(kv.first, key)) {
      kv.second = std::move(v);
      return;
    }
  }
  s.Keys.emplace_back(std::string(key), std::move(v));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void TIniFile::WriteFloat(std::string_view section, std::string_view key, double value) {
  WriteString(section, key, FormatGeneral(value));
}

}  // namespace tessaro
