#include "tools/pack/Description.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <set>

#include "base/FileIo.h"
#include "base/Text.h"
#include "imaging/codecs/Codecs.h"
#include "model/Effects.h"
#include "model/Package.h"
#include "tools/pack/Svg.h"

namespace tessaro::authoring {

namespace {

using Json = nlohmann::json;

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

// Numbers as a designer wrote them: whole numbers without a decimal point.
std::string Num(double v) {
  char buffer[64];
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15)
    std::snprintf(buffer, sizeof buffer, "%.0f", v);
  else
    std::snprintf(buffer, sizeof buffer, "%g", v);
  return buffer;
}

std::string RectText(const RectF& r) {
  return "[" + Num(r.left) + ", " + Num(r.top) + ", " + Num(r.right) + ", " + Num(r.bottom) + "]";
}

std::string Key(const std::string& parent, const std::string& key) {
  return parent.empty() ? key : parent + "." + key;
}
std::string Index(const std::string& parent, size_t i) { return parent + "[" + std::to_string(i) + "]"; }

// The effect kinds and their parameter ranges: the model's catalogue.
using TParamSpec = TEffectParamSpec;
const TEffectKindSpec* EffectParamSpecs(int32_t kind) { return FindEffectKind(kind); }

class TChecker {
 public:
  TChecker(std::string baseFolder, bool checkFiles) : FBase(std::move(baseFolder)), FCheckFiles(checkFiles) {}

  TCheckedDescription Run(const std::string& text) {
    TCheckedDescription out;
    Json root;
    try {
      root = Json::parse(text);
    } catch (const Json::parse_error& e) {
      out.Errors.push_back({"", SyntaxMessage(text, e)});
      return out;
    } catch (const Json::exception&) {
      // The parser reports a number too large for a double (1e400) this way.
      out.Errors.push_back({"", "a number is out of range"});
      return out;
    }
    if (!root.is_object()) {
      out.Errors.push_back({"", "the description must be a JSON object"});
      return out;
    }
    TTemplateDesc& t = out.Template;
    Keys(root, "", {"spread", "header", "slots", "preview", "result"});
    if (root.contains("spread")) t.Spread = Bool(root["spread"], "spread", false);
    if (root.contains("header"))
      t.Header = static_cast<int32_t>(Whole(root["header"], "header", INT32_MIN, INT32_MAX, 1));
    if (!root.contains("slots"))
      Error("", "\"slots\" is missing");
    else
      ParseSlots(root["slots"], t);

    const bool havePreview = root.contains("preview") && root["preview"].is_object();
    if (!root.contains("preview"))
      Error("", "\"preview\" is missing");
    else if (!havePreview)
      Error("preview", "must be an object");
    else
      ParseVersion(root["preview"], "preview", true, t, t.Preview);

    if (!root.contains("result")) {
      Error("", "\"result\" is missing");
    } else if (!root["result"].is_object()) {
      Error("result", "must be an object");
    } else if (root["result"].contains("from")) {
      DeriveResult(root["result"], t);
    } else {
      ParseVersion(root["result"], "result", false, t, t.Result);
      if (havePreview) CheckVersionsMatch(t);
    }
    out.Errors = std::move(FErrors);
    return out;
  }

 private:
  void Error(const std::string& location, const std::string& message) {
    FErrors.push_back({location, message});
  }

  static std::string SyntaxMessage(const std::string& text, const Json::parse_error& e) {
    // Line and column of the byte the parser stopped at.
    size_t pos = std::min<size_t>(e.byte == 0 ? 0 : e.byte - 1, text.size());
    int line = 1, column = 1;
    for (size_t i = 0; i < pos; ++i) {
      if (text[i] == '\n') {
        ++line;
        column = 1;
      } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
        ++column;
      }
    }
    std::string what = e.what();
    // nlohmann's text: "[json.exception.parse_error.101] parse error at line 1, column 2: syntax error ..."
    const size_t colon = what.find(": ", what.find("parse error"));
    std::string detail = colon == std::string::npos ? what : what.substr(colon + 2);
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": not valid JSON (" +
           detail + ")";
  }

  void Keys(const Json& object, const std::string& location, std::initializer_list<const char*> allowed) {
    for (auto it = object.begin(); it != object.end(); ++it) {
      bool known = false;
      for (const char* a : allowed) known = known || it.key() == a;
      if (!known) Error(location, "unknown key " + Quote(it.key()));
    }
  }

  bool Bool(const Json& v, const std::string& location, bool fallback) {
    if (v.is_boolean()) return v.get<bool>();
    Error(location, "must be true or false");
    return fallback;
  }

  // A finite number; `fallback` (and an error) otherwise.
  std::optional<double> Number(const Json& v, const std::string& location) {
    if (v.is_number()) {
      double d = v.get<double>();
      if (std::isfinite(d)) return d;
    }
    Error(location, "must be a number");
    return std::nullopt;
  }

  double Whole(const Json& v, const std::string& location, double lo, double hi, double fallback) {
    if (!v.is_number()) {
      Error(location, "must be a whole number");
      return fallback;
    }
    double d = v.get<double>();
    if (!std::isfinite(d) || d != std::floor(d)) {
      Error(location, "must be a whole number, not " + Num(d));
      return fallback;
    }
    if (d < lo || d > hi) {
      Error(location, Num(d) + " is outside " + Num(lo) + " to " + Num(hi));
      return fallback;
    }
    return d;
  }

  std::optional<double> Ranged(const Json& v, const std::string& location, double lo, double hi) {
    auto d = Number(v, location);
    if (!d) return std::nullopt;
    if (*d < lo || *d > hi) {
      Error(location, Num(*d) + " is outside " + Num(lo) + " to " + Num(hi));
      return std::nullopt;
    }
    return d;
  }

  std::optional<std::string> Text(const Json& v, const std::string& location) {
    if (v.is_string()) return v.get<std::string>();
    Error(location, "must be a text");
    return std::nullopt;
  }

  void ParseSlots(const Json& slots, TTemplateDesc& t) {
    if (!slots.is_array()) {
      Error("slots", "must be a list");
      return;
    }
    if (slots.size() > static_cast<size_t>(kMaxTemplateSlots)) {
      Error("slots", "has " + std::to_string(slots.size()) + " slots; a template shows at most " +
                         std::to_string(kMaxTemplateSlots));
      return;
    }
    for (size_t i = 0; i < slots.size(); ++i) {
      const std::string loc = Index("slots", i);
      TSlotDesc slot;
      const Json& s = slots[i];
      if (!s.is_object()) {
        Error(loc, "must be an object");
        t.Slots.push_back(slot);
        continue;
      }
      Keys(s, loc, {"type", "effects"});
      if (!s.contains("type")) {
        Error(loc, "\"type\" is missing (\"opaque\" or \"transparent\")");
      } else if (auto type = Text(s["type"], Key(loc, "type"))) {
        if (*type == "opaque")
          slot.PhotoType = 1;
        else if (*type == "transparent")
          slot.PhotoType = 0;
        else
          Error(Key(loc, "type"), "unknown photo type " + Quote(*type) + " (\"opaque\" or \"transparent\")");
      }
      if (s.contains("effects")) ParseEffects(s["effects"], Key(loc, "effects"), slot);
      t.Slots.push_back(std::move(slot));
    }
  }

  // Calls each(item, itemLocation) for every item of the list `v` that is an
  // object; reports a `v` that is not a list and every other item.
  template <typename Each>
  void ForEachObject(const Json& v, const std::string& location, Each each) {
    if (!v.is_array()) {
      Error(location, "must be a list");
      return;
    }
    for (size_t i = 0; i < v.size(); ++i) {
      const std::string loc = Index(location, i);
      if (!v[i].is_object()) {
        Error(loc, "must be an object");
        continue;
      }
      each(v[i], loc);
    }
  }

  void ParseEffects(const Json& effects, const std::string& location, TSlotDesc& slot) {
    ForEachObject(effects, location, [&](const Json& e, const std::string& loc) {
      Keys(e, loc, {"kind", "params"});
      if (!e.contains("kind")) {
        Error(loc, "\"kind\" is missing");
        return;
      }
      if (!e["kind"].is_number() || e["kind"].get<double>() != std::floor(e["kind"].get<double>())) {
        Error(Key(loc, "kind"), "must be a whole number");
        return;
      }
      const double kindValue = e["kind"].get<double>();
      const auto* specs =
          std::fabs(kindValue) < 1e9 ? EffectParamSpecs(static_cast<int32_t>(kindValue)) : nullptr;
      if (!specs) {
        Error(loc, "unknown effect kind " + Num(kindValue) + " (known kinds: 0, 5, 7, 10, 11, 12)");
        return;
      }
      TEffectDesc effect;
      effect.Kind = static_cast<int32_t>(kindValue);
      const std::string ploc = Key(loc, "params");
      if (!e.contains("params")) {
        Error(loc, "\"params\" is missing (effect kind " + Num(kindValue) + " takes " +
                       std::to_string(specs->Params.size()) + " parameters)");
        return;
      }
      const Json& params = e["params"];
      if (!params.is_array()) {
        Error(ploc, "must be a list of numbers");
        return;
      }
      if (params.size() != specs->Params.size()) {
        Error(ploc, "effect kind " + Num(kindValue) + " takes " + std::to_string(specs->Params.size()) +
                        " parameters, not " + std::to_string(params.size()));
        return;
      }
      bool good = true;
      for (size_t p = 0; p < params.size(); ++p) {
        const TParamSpec& spec = specs->Params[p];
        const std::string loc2 = Index(ploc, p);
        auto v = Number(params[p], loc2);
        if (!v) {
          good = false;
          continue;
        }
        if (spec.Whole && *v != std::floor(*v)) {
          Error(loc2, std::string(spec.Name) + " must be a whole number, not " + Num(*v));
          good = false;
        } else if (spec.Min <= spec.Max && (*v < spec.Min || *v > spec.Max)) {
          Error(loc2, std::string(spec.Name) + " " + Num(*v) + " is outside " + Num(spec.Min) + " to " +
                          Num(spec.Max));
          good = false;
        } else if (!spec.Whole && std::fabs(*v) > 3.0e38) {
          Error(loc2, std::string(spec.Name) + " is too large");
          good = false;
        }
        effect.Params.push_back(static_cast<float>(*v));
      }
      if (good && effect.Kind == 7 && effect.Params[1] + 2 > effect.Params[3])
        Error(ploc, "input start " + Num(effect.Params[1]) + " must be at least 2 below input end " +
                        Num(effect.Params[3]));
      if (good && effect.Kind == 0 && std::fabs(effect.Params[0]) > 2147483520.0)
        Error(Index(ploc, 0), "blend selector is too large");
      slot.Effects.push_back(std::move(effect));
    });
  }

  std::optional<TPictureRef> Picture(const Json& v, const std::string& location) {
    auto text = Text(v, location);
    if (!text) return std::nullopt;
    if (text->empty()) {
      Error(location, "the picture path is empty");
      return std::nullopt;
    }
    TPictureRef ref;
    ref.Written = *text;
    ref.Path = (*text)[0] == '/' ? *text : JoinPath(FBase, *text);
    if (FCheckFiles) {
      if (!FileExists(ref.Path)) {
        Error(location, *text + ": no such file");
        return std::nullopt;
      }
      if (ref.IsSvg()) {
        auto size = ReadSvgSize(ref.Path);
        if (!size.ok()) {
          Error(location, *text + ": " + size.message());
          return std::nullopt;
        }
      } else {
        auto info = ProbeImageFile(ref.Path);
        if (!info.ok()) {
          Error(location, *text + ": not a picture the program reads (" + info.message() + ")");
          return std::nullopt;
        }
      }
    }
    return ref;
  }

  std::optional<RectF> Rect(const Json& v, const std::string& location, int width, int height) {
    if (!v.is_array() || v.size() != 4 || !std::all_of(v.begin(), v.end(), [](const Json& n) {
          return n.is_number() && std::isfinite(n.get<double>());
        })) {
      Error(location, "must be [left, top, right, bottom] (four numbers)");
      return std::nullopt;
    }
    RectF r{v[0].get<double>(), v[1].get<double>(), v[2].get<double>(), v[3].get<double>()};
    if (!(r.left < r.right) || !(r.top < r.bottom)) {
      Error(location, RectText(r) + " is empty (left must be less than right and top less than bottom)");
      return std::nullopt;
    }
    if (width > 0 && height > 0 && (r.left < 0 || r.top < 0 || r.right > width || r.bottom > height)) {
      Error(location, RectText(r) + " lies outside the " + std::to_string(width) + " x " +
                          std::to_string(height) + " page");
      return std::nullopt;
    }
    return r;
  }

  void ParseBackground(const Json& v, const std::string& location, TBackgroundDesc& bg) {
    if (v.is_object()) {
      Keys(v, location, {"color"});
      if (!v.contains("color")) {
        Error(location, "must be a picture or { \"color\": \"#rrggbb\" }");
        return;
      }
      auto text = Text(v["color"], Key(location, "color"));
      if (!text) return;
      auto color = ParseColor(*text);
      if (!color) {
        Error(Key(location, "color"), Quote(*text) + " is not a colour (#rrggbb)");
        return;
      }
      bg.IsColor = true;
      bg.Color = *color;
      return;
    }
    if (auto pic = Picture(v, location)) {
      bg.IsColor = false;
      bg.Picture = *pic;
    }
  }

  static std::optional<Rgba8> ParseColor(const std::string& text) {
    if (text.size() != 7 || text[0] != '#') return std::nullopt;
    uint8_t c[3];
    for (int i = 0; i < 3; ++i) {
      int value = 0;
      for (int k = 0; k < 2; ++k) {
        const char ch = text[1 + 2 * i + k];
        int d = ch >= '0' && ch <= '9'   ? ch - '0'
                : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                         : -1;
        if (d < 0) return std::nullopt;
        value = value * 16 + d;
      }
      c[i] = static_cast<uint8_t>(value);
    }
    return Rgba8{c[0], c[1], c[2], 255};
  }

  static std::optional<BlendMode> BlendByName(const std::string& name) {
    const std::string lower = AsciiLower(Trim(name));
    for (int m = static_cast<int>(BlendMode::kNormal); m <= static_cast<int>(BlendMode::kLuminosity); ++m) {
      const BlendMode mode = static_cast<BlendMode>(m);
      if (BlendModeName(mode) == lower) return mode;
    }
    return std::nullopt;
  }

  void ParseOverlays(const Json& v, const std::string& location, TVersionDesc& version) {
    ForEachObject(v, location, [&](const Json& o, const std::string& loc) {
      Keys(o, loc, {"picture", "rect", "opacity", "blend"});
      TOverlayDesc overlay;
      overlay.Rect = RectF{0, 0, double(version.Width), double(version.Height)};
      bool good = true;
      if (!o.contains("picture")) {
        Error(loc, "\"picture\" is missing");
        good = false;
      } else if (auto pic = Picture(o["picture"], Key(loc, "picture"))) {
        overlay.Picture = *pic;
      } else {
        good = false;
      }
      if (o.contains("rect")) {
        if (auto r = Rect(o["rect"], Key(loc, "rect"), version.Width, version.Height))
          overlay.Rect = *r;
        else
          good = false;
      }
      if (o.contains("opacity")) {
        if (auto op = Ranged(o["opacity"], Key(loc, "opacity"), 0, 100))
          overlay.Opacity = *op;
        else
          good = false;
      }
      if (o.contains("blend")) {
        if (auto name = Text(o["blend"], Key(loc, "blend"))) {
          if (auto mode = BlendByName(*name))
            overlay.Blend = *mode;
          else {
            Error(Key(loc, "blend"), "unknown blend mode " + Quote(*name));
            good = false;
          }
        } else {
          good = false;
        }
      }
      if (good) version.Overlays.push_back(std::move(overlay));
    });
  }

  void ParsePlacements(const Json& v, const std::string& location, const TTemplateDesc& t,
                       TVersionDesc& version) {
    if (v.is_array() && v.size() > static_cast<size_t>(kMaxTemplatePlacements)) {
      Error(location, "has " + std::to_string(v.size()) + " placements; a template shows at most " +
                          std::to_string(kMaxTemplatePlacements));
      return;
    }
    std::set<std::string> names;
    ForEachObject(v, location, [&](const Json& p, const std::string& loc) {
      Keys(p, loc, {"slot", "channel", "rect", "shape", "radius", "mask", "feather"});
      TPlacementDesc placement;
      bool good = true;
      if (!p.contains("slot")) {
        Error(loc, "\"slot\" is missing");
        good = false;
      } else if (!p["slot"].is_number() || p["slot"].get<double>() != std::floor(p["slot"].get<double>())) {
        Error(Key(loc, "slot"), "must be a whole number");
        good = false;
      } else {
        const double slot = p["slot"].get<double>();
        if (slot < 1 || slot > double(t.Slots.size())) {
          Error(loc, "slot " + Num(slot) + " does not exist (the template has " +
                         std::to_string(t.Slots.size()) + (t.Slots.size() == 1 ? " slot)" : " slots)"));
          good = false;
        }
        placement.Slot = good ? static_cast<int>(slot) : 0;
      }
      if (!p.contains("channel")) {
        Error(loc, "\"channel\" is missing");
        good = false;
      } else if (auto name = Text(p["channel"], Key(loc, "channel"))) {
        placement.Channel = *name;
        const std::string folded = AsciiLower(*name);
        if (name->empty()) {
          Error(Key(loc, "channel"), "the channel name is empty");
          good = false;
        } else if (name->size() > 255) {
          Error(Key(loc, "channel"), "the channel name is longer than 255 bytes");
          good = false;
        } else if (folded == "red" || folded == "green" || folded == "blue" || folded == "rgb") {
          Error(Key(loc, "channel"), Quote(*name) + " is the name of a colour channel");
          good = false;
        } else if (!names.insert(folded).second) {
          Error(Key(loc, "channel"), Quote(*name) + " is used twice");
          good = false;
        }
      } else {
        good = false;
      }
      if (!p.contains("rect")) {
        Error(loc, "\"rect\" is missing");
        good = false;
      } else if (auto r = Rect(p["rect"], Key(loc, "rect"), version.Width, version.Height)) {
        placement.Rect = *r;
      } else {
        good = false;
      }
      const bool hasShape = p.contains("shape"), hasMask = p.contains("mask");
      if (hasShape && hasMask) {
        Error(loc, "give either \"shape\" or \"mask\", not both");
        good = false;
      }
      if (hasShape) {
        if (auto shape = Text(p["shape"], Key(loc, "shape"))) {
          if (*shape == "rectangle")
            placement.Shape = TShapeKind::kRectangle;
          else if (*shape == "ellipse")
            placement.Shape = TShapeKind::kEllipse;
          else if (*shape == "rounded")
            placement.Shape = TShapeKind::kRounded;
          else {
            Error(Key(loc, "shape"),
                  "unknown shape " + Quote(*shape) + " (\"rectangle\", \"ellipse\" or \"rounded\")");
            good = false;
          }
        } else {
          good = false;
        }
      }
      if (hasMask && !hasShape) {
        if (auto pic = Picture(p["mask"], Key(loc, "mask"))) {
          placement.Shape = TShapeKind::kMask;
          placement.Mask = *pic;
        } else {
          good = false;
        }
      }
      const double shorter = std::min(placement.Rect.Width(), placement.Rect.Height());
      if (p.contains("radius")) {
        if (placement.Shape != TShapeKind::kRounded) {
          if (!(hasShape && hasMask)) Error(Key(loc, "radius"), "only used with \"shape\": \"rounded\"");
          good = false;
        } else if (auto r = Ranged(p["radius"], Key(loc, "radius"), 0, 1e6)) {
          if (shorter > 0 && *r > shorter / 2) {
            Error(Key(loc, "radius"),
                  Num(*r) + " is more than half the shorter side of the window (" + Num(shorter) + ")");
            good = false;
          }
          placement.Radius = *r;
        } else {
          good = false;
        }
      } else if (placement.Shape == TShapeKind::kRounded) {
        placement.Radius = 0.08 * shorter;
      }
      if (p.contains("feather")) {
        if (auto f = Ranged(p["feather"], Key(loc, "feather"), 0, 1000))
          placement.Feather = *f;
        else
          good = false;
      }
      if (good) version.Placements.push_back(std::move(placement));
    });
  }

  void ParseVersion(const Json& v, const std::string& location, bool isPreview, const TTemplateDesc& t,
                    TVersionDesc& version) {
    Keys(v, location, {"width", "height", "resolution", "background", "overlays", "placements", "from"});
    if (v.contains("from"))
      Error(Key(location, "from"), "only the result version can be derived from the preview");
    ParseSize(v, location, isPreview, t, version);
    version.Resolution = isPreview ? 72 : 300;
    if (v.contains("resolution")) {
      if (auto r = Ranged(v["resolution"], Key(location, "resolution"), 1, 10000)) version.Resolution = *r;
    }
    if (v.contains("background"))
      ParseBackground(v["background"], Key(location, "background"), version.Background);
    if (v.contains("overlays")) ParseOverlays(v["overlays"], Key(location, "overlays"), version);
    if (v.contains("placements")) ParsePlacements(v["placements"], Key(location, "placements"), t, version);
    // Every slot must be shown somewhere, or its photo would never appear.
    std::vector<bool> placed(t.Slots.size(), false);
    for (const auto& p : version.Placements)
      if (p.Slot >= 1 && p.Slot <= int(placed.size())) placed[p.Slot - 1] = true;
    const size_t placementsWritten =
        v.contains("placements") && v["placements"].is_array() ? v["placements"].size() : 0;
    if (placementsWritten != version.Placements.size()) FPlacementsIncomplete = true;
    if (placementsWritten == version.Placements.size()) {
      for (size_t i = 0; i < placed.size(); ++i)
        if (!placed[i])
          Error(Index("slots", i),
                "slot " + std::to_string(i + 1) + " has no placement in the " + location + " version");
    }
  }

  void ParseSize(const Json& v, const std::string& location, bool isPreview, const TTemplateDesc& t,
                 TVersionDesc& version) {
    bool good = true;
    for (const char* side : {"width", "height"}) {
      if (!v.contains(side)) {
        Error(location, Quote(side) + " is missing");
        good = false;
        continue;
      }
      const double d = Whole(v[side], Key(location, side), 1, kMaxPageSide, 0);
      if (d == 0) good = false;
      (std::string(side) == "width" ? version.Width : version.Height) = static_cast<int>(d);
    }
    if (!good) {
      version.Width = version.Height = 0;
      return;
    }
    if (isPreview) {
      const int w = ReferenceWidth(t.Spread);
      if (version.Width != w || version.Height != kReferenceHeight) {
        Error(location, "the preview page must be " + std::to_string(w) + " x 3000" +
                            (t.Spread ? " for a spread" : " (4200 x 3000 for a spread)") + ", not " +
                            std::to_string(version.Width) + " x " + std::to_string(version.Height));
      }
    }
  }

  void CheckProportions(const TTemplateDesc& t, const std::string& location) {
    const double pw = ReferenceWidth(t.Spread), ph = kReferenceHeight;
    const double want = pw / ph, have = double(t.Result.Width) / t.Result.Height;
    if (std::fabs(have - want) > 0.01 * want)
      Error(location, "the " + std::to_string(t.Result.Width) + " x " + std::to_string(t.Result.Height) +
                          " page does not have the proportions of the preview page (" + Num(pw) + " x " +
                          Num(ph) + ")");
  }

  void CheckVersionsMatch(const TTemplateDesc& t) {
    if (t.Result.Width <= 0 || t.Result.Height <= 0) return;
    CheckProportions(t, "result");
    if (FPlacementsIncomplete) return;  // the placements in error were reported already
    auto slotsOf = [](const TVersionDesc& v) {
      std::vector<int> s;
      for (const auto& p : v.Placements) s.push_back(p.Slot);
      std::stable_sort(s.begin(), s.end());
      return s;
    };
    const auto a = slotsOf(t.Preview), b = slotsOf(t.Result);
    if (a != b) {
      auto list = [](const std::vector<int>& s) {
        std::string text;
        for (size_t i = 0; i < s.size(); ++i) text += (i ? ", " : "") + std::to_string(s[i]);
        return text.empty() ? std::string("none") : text;
      };
      Error("result.placements", "the result version places slots " + list(b) + ", the preview slots " +
                                     list(a) +
                                     " (both versions must place the same slots the same number of times)");
    }
  }

  void DeriveResult(const Json& v, TTemplateDesc& t) {
    const std::string loc = "result";
    for (auto it = v.begin(); it != v.end(); ++it) {
      const std::string& k = it.key();
      if (k == "from" || k == "width" || k == "height" || k == "resolution") continue;
      if (k == "background" || k == "overlays" || k == "placements")
        Error(Key(loc, k), "cannot be given with \"from\": \"preview\" (the result takes the preview's)");
      else
        Error(loc, "unknown key " + Quote(k));
    }
    auto from = Text(v["from"], Key(loc, "from"));
    if (from && *from != "preview") Error(Key(loc, "from"), "must be \"preview\", not " + Quote(*from));
    TVersionDesc& r = t.Result;
    ParseSize(v, loc, false, t, r);
    r.Resolution = 300;
    if (v.contains("resolution")) {
      if (auto res = Ranged(v["resolution"], Key(loc, "resolution"), 1, 10000)) r.Resolution = *res;
    }
    if (r.Width <= 0 || r.Height <= 0) return;
    CheckProportions(t, loc);
    const TVersionDesc& p = t.Preview;
    if (p.Width <= 0 || p.Height <= 0) return;
    const double sx = double(r.Width) / p.Width, sy = double(r.Height) / p.Height, s = (sx + sy) / 2;
    auto scaleRect = [&](const RectF& a) {
      RectF b{std::round(a.left * sx), std::round(a.top * sy), std::round(a.right * sx),
              std::round(a.bottom * sy)};
      // A window never collapses: keep at least one pixel.
      if (b.right <= b.left) b.right = b.left + 1;
      if (b.bottom <= b.top) b.bottom = b.top + 1;
      b.right = std::min(b.right, double(r.Width));
      b.bottom = std::min(b.bottom, double(r.Height));
      return b;
    };
    r.Background = p.Background;
    for (TOverlayDesc o : p.Overlays) {
      o.Rect = scaleRect(o.Rect);
      r.Overlays.push_back(std::move(o));
    }
    for (TPlacementDesc pl : p.Placements) {
      pl.Rect = scaleRect(pl.Rect);
      pl.Radius = std::min(pl.Radius * s, std::min(pl.Rect.Width(), pl.Rect.Height()) / 2);
      pl.Feather *= s;
      r.Placements.push_back(std::move(pl));
    }
  }

  std::string FBase;
  bool FCheckFiles;
  bool FPlacementsIncomplete = false;
  std::vector<TDescriptionError> FErrors;
};

}  // namespace

bool TPictureRef::IsSvg() const { return AsciiLower(ExtensionOf(Path)) == ".svg"; }

std::string FormatError(const std::string& fileLabel, const TDescriptionError& error) {
  return fileLabel + ": " + (error.Location.empty() ? "" : error.Location + ": ") + error.Message;
}

TCheckedDescription ParseDescription(const std::string& jsonText, const std::string& baseFolder,
                                     bool checkFiles) {
  return TChecker(baseFolder, checkFiles).Run(jsonText);
}

TCheckedDescription ReadDescription(const std::string& path) {
  auto bytes = ReadWholeFile(path, 16u << 20);
  if (!bytes.ok()) {
    TCheckedDescription out;
    out.Errors.push_back({"", FileExists(path) ? bytes.message() : "no such file"});
    return out;
  }
  std::string folder = FolderOf(path);
  if (folder.empty()) folder = ".";
  return ParseDescription(std::string(bytes->begin(), bytes->end()), folder);
}

}  // namespace tessaro::authoring
