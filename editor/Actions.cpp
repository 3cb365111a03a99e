#include "editor/Actions.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace tessaro::editor {

using automation::ActionDescriptor;
using automation::ActionReference;
using automation::ActionValue;
using automation::ActionValueType;
using automation::CharId;
using automation::ReferenceElement;
using automation::TypeId;
using automation::TypeIdToCharId;

namespace {

std::string Quote(TypeId id) { return "\"" + TypeIdToCharId(id) + "\""; }

Status Malformed(const std::string& action, const std::string& what) {
  return Status::Error(action + ": " + what);
}

// Every key of `d` must be one of `allowed`, and every key of `required` must
// be present.
Status CheckKeys(const std::string& action, const ActionDescriptor& d, std::initializer_list<TypeId> required,
                 std::initializer_list<TypeId> optional = {}) {
  for (int i = 0; i < d.count(); ++i) {
    const TypeId key = d.getKey(i).value();
    const bool known = std::find(required.begin(), required.end(), key) != required.end() ||
                       std::find(optional.begin(), optional.end(), key) != optional.end();
    if (!known) return Malformed(action, "unknown key " + Quote(key));
  }
  for (TypeId key : required)
    if (!d.hasKey(key)) return Malformed(action, "missing key " + Quote(key));
  return Status::Ok();
}

// A number stored as an integer or a double.
Result<double> Number(const std::string& action, const ActionDescriptor& d, TypeId key) {
  const ActionValue* v = d.find(key);
  if (!v) return Malformed(action, "missing key " + Quote(key));
  if (const int32_t* i = std::get_if<int32_t>(&v->value)) return double(*i);
  if (const double* x = std::get_if<double>(&v->value)) {
    if (!std::isfinite(*x)) return Malformed(action, Quote(key) + " is not a finite number");
    return *x;
  }
  return Malformed(action, Quote(key) + " must be a number");
}

Result<double> Ranged(const std::string& action, const ActionDescriptor& d, TypeId key, double lo,
                      double hi) {
  Result<double> v = Number(action, d, key);
  if (!v.ok()) return v;
  if (*v < lo || *v > hi)
    return Malformed(action,
                     Quote(key) + " must lie in " + std::to_string(int(lo)) + ".." + std::to_string(int(hi)));
  return v;
}

// A percentage given as a unit double in "#Prc".
Result<double> Percent(const std::string& action, const ActionDescriptor& d, TypeId key, double lo,
                       double hi) {
  Result<TypeId> unit = d.getUnitDoubleType(key);
  if (!unit.ok()) return Malformed(action, unit.message());
  if (*unit != CharId("#Prc")) return Malformed(action, Quote(key) + " must be in percent (\"#Prc\")");
  const double v = d.getUnitDoubleValue(key).value();
  if (!std::isfinite(v) || v < lo || v > hi)
    return Malformed(action,
                     Quote(key) + " must lie in " + std::to_string(int(lo)) + ".." + std::to_string(int(hi)));
  return v;
}

// An optional percentage: read into `out` when the key is there.
Status OptionalPercent(const std::string& action, const ActionDescriptor& d, TypeId key, double lo, double hi,
                       double& out) {
  if (!d.hasKey(key)) return Status::Ok();
  Result<double> v = Percent(action, d, key, lo, hi);
  if (!v.ok()) return v.status();
  out = *v;
  return Status::Ok();
}

Result<ActionDescriptor> Object(const std::string& action, const ActionDescriptor& d, TypeId key,
                                TypeId classId) {
  Result<TypeId> cls = d.getObjectType(key);
  if (!cls.ok()) return Malformed(action, cls.message());
  if (*cls != classId) return Malformed(action, Quote(key) + " must be an object of class " + Quote(classId));
  return d.getObjectValue(key);
}

bool IsTargetLayer(const ReferenceElement& e) {
  return e.form == ReferenceElement::Form::kEnumerated && e.desiredClass == CharId("Lyr ") &&
         e.enumType == CharId("Ordn") && e.value == CharId("Trgt");
}

Result<automation::ActionReference> Reference(const std::string& action, const ActionDescriptor& d,
                                              TypeId key) {
  Result<ActionReference> r = d.getReference(key);
  if (!r.ok()) return Malformed(action, r.message());
  return r;
}

// The reference under "null" of a "setd" descriptor that holds "null" and
// "T   " and nothing else.
Result<ActionReference> SetdTarget(const std::string& action, const ActionDescriptor& d) {
  Status s = CheckKeys(action, d, {CharId("null"), CharId("T   ")});
  if (!s.ok()) return s;
  return Reference(action, d, CharId("null"));
}

Result<EditorAction> ParseColorOverlay(const ActionDescriptor& d) {
  const std::string a = "colour overlay (\"setd\" of \"Lefx\")";
  Result<ActionReference> ref = SetdTarget(a, d);
  if (!ref.ok()) return ref.status();
  const auto& el = ref->elements();
  if (el.size() != 2 || el[0].form != ReferenceElement::Form::kProperty ||
      el[0].desiredClass != CharId("Prpr") || el[0].property != CharId("Lefx") || !IsTargetLayer(el[1]))
    return Malformed(a, "\"null\" must refer to the property \"Lefx\" of the target layer");
  Result<ActionDescriptor> effects = Object(a, d, CharId("T   "), CharId("Lefx"));
  if (!effects.ok()) return effects.status();
  Status s = CheckKeys(a, *effects, {CharId("SoFi")}, {CharId("Scl ")});
  if (!s.ok()) return s;
  ColorOverlayAction action;
  s = OptionalPercent(a, *effects, CharId("Scl "), 1, 1000, action.scalePercent);
  if (!s.ok()) return s;
  Result<ActionDescriptor> fill = Object(a, *effects, CharId("SoFi"), CharId("SoFi"));
  if (!fill.ok()) return fill.status();
  s = CheckKeys(a, *fill, {CharId("Clr ")}, {CharId("enab"), CharId("Md  "), CharId("Opct")});
  if (!s.ok()) return s;
  PsdColorOverlay& o = action.overlay;
  if (fill->hasKey(CharId("enab"))) {
    Result<bool> enabled = fill->getBoolean(CharId("enab"));
    if (!enabled.ok()) return Malformed(a, enabled.message());
    o.enabled = *enabled;
  }
  if (fill->hasKey(CharId("Md  "))) {
    Result<TypeId> type = fill->getEnumerationType(CharId("Md  "));
    if (!type.ok()) return Malformed(a, type.message());
    if (*type != CharId("BlnM")) return Malformed(a, "\"Md  \" must be a \"BlnM\" enumeration");
    const TypeId value = fill->getEnumerationValue(CharId("Md  ")).value();
    std::optional<BlendMode> mode = BlendModeFromActionKey(value);
    if (!mode) return Malformed(a, "unknown blend mode " + Quote(value));
    o.blendMode = *mode;
  }
  s = OptionalPercent(a, *fill, CharId("Opct"), 0, 100, o.opacityPercent);
  if (!s.ok()) return s;
  Result<ActionDescriptor> color = Object(a, *fill, CharId("Clr "), CharId("RGBC"));
  if (!color.ok()) return color.status();
  s = CheckKeys(a, *color, {CharId("Rd  "), CharId("Grn "), CharId("Bl  ")});
  if (!s.ok()) return s;
  uint8_t* channels[3] = {&o.red, &o.green, &o.blue};
  const TypeId keys[3] = {CharId("Rd  "), CharId("Grn "), CharId("Bl  ")};
  for (int c = 0; c < 3; ++c) {
    Result<double> v = Ranged(a, *color, keys[c], 0, 255);
    if (!v.ok()) return v.status();
    *channels[c] = uint8_t(std::lround(*v));
  }
  return EditorAction{action};
}

Result<EditorAction> ParseLinkMask(const ActionDescriptor& d) {
  const std::string a = "mask link (\"setd\" of the layer)";
  Result<ActionReference> ref = SetdTarget(a, d);
  if (!ref.ok()) return ref.status();
  if (ref->count() != 1 || !IsTargetLayer(ref->elements()[0]))
    return Malformed(a, "\"null\" must refer to the target layer");
  Result<ActionDescriptor> props = Object(a, d, CharId("T   "), CharId("Lyr "));
  if (!props.ok()) return props.status();
  Status s = CheckKeys(a, *props, {CharId("Usrs")});
  if (!s.ok()) return s;
  Result<bool> linked = props->getBoolean(CharId("Usrs"));
  if (!linked.ok()) return Malformed(a, linked.message());
  return EditorAction{LinkMaskAction{*linked}};
}

Result<EditorAction> ParseSet(const ActionDescriptor& d) {
  Result<TypeId> cls = d.getObjectType(CharId("T   "));
  if (cls.ok() && *cls == CharId("Lefx")) return ParseColorOverlay(d);
  if (cls.ok() && *cls == CharId("Lyr ")) return ParseLinkMask(d);
  return Status::Error("\"setd\": only the layer effects (\"Lefx\") or the layer (\"Lyr \") can be set");
}

Result<EditorAction> ParseHueSaturation(const ActionDescriptor& d) {
  const std::string a = "hue/saturation (\"HStr\")";
  Status s = CheckKeys(a, d, {CharId("Clrz"), CharId("Adjs")});
  if (!s.ok()) return s;
  Result<bool> colorize = d.getBoolean(CharId("Clrz"));
  if (!colorize.ok()) return Malformed(a, colorize.message());
  if (*colorize) return Malformed(a, "colorize (\"Clrz\" true) is not supported");
  Result<automation::ActionList> list = d.getList(CharId("Adjs"));
  if (!list.ok()) return Malformed(a, list.message());
  if (list->count() != 1) return Malformed(a, "\"Adjs\" must hold exactly one adjustment");
  Result<TypeId> cls = list->getObjectType(0);
  if (!cls.ok() || *cls != CharId("Hst2"))
    return Malformed(a, "the adjustment must be an object of class \"Hst2\"");
  const ActionDescriptor adj = list->getObjectValue(0).value();
  s = CheckKeys(a, adj, {CharId("H   "), CharId("Strt"), CharId("Lght")});
  if (!s.ok()) return s;
  Result<double> hue = Ranged(a, adj, CharId("H   "), -180, 180);
  if (!hue.ok()) return hue.status();
  Result<double> saturation = Ranged(a, adj, CharId("Strt"), -100, 100);
  if (!saturation.ok()) return saturation.status();
  Result<double> lightness = Ranged(a, adj, CharId("Lght"), -100, 100);
  if (!lightness.ok()) return lightness.status();
  return EditorAction{HueSaturationAction{int(std::lround(*hue)), int(std::lround(*saturation)),
                                          int(std::lround(*lightness))}};
}

Result<EditorAction> ParseMakeMask(const ActionDescriptor& d) {
  const std::string a = "layer mask (\"Mk  \")";
  Status s = CheckKeys(a, d, {CharId("Nw  "), CharId("At  "), CharId("Usng")});
  if (!s.ok()) return s;
  Result<TypeId> cls = d.getClass(CharId("Nw  "));
  if (!cls.ok()) return Malformed(a, cls.message());
  if (*cls != CharId("Chnl")) return Malformed(a, "only a channel (\"Chnl\") can be made");
  Result<ActionReference> ref = Reference(a, d, CharId("At  "));
  if (!ref.ok()) return ref.status();
  const auto& el = ref->elements();
  if (el.size() != 1 || el[0].form != ReferenceElement::Form::kEnumerated ||
      el[0].desiredClass != CharId("Chnl") || el[0].enumType != CharId("Chnl") ||
      el[0].value != CharId("Msk "))
    return Malformed(a, "\"At  \" must refer to the mask channel");
  Result<TypeId> type = d.getEnumerationType(CharId("Usng"));
  if (!type.ok()) return Malformed(a, type.message());
  if (*type != CharId("UsrM")) return Malformed(a, "\"Usng\" must be a \"UsrM\" enumeration");
  const TypeId value = d.getEnumerationValue(CharId("Usng")).value();
  MakeMaskAction action;
  if (value == CharId("RvlS"))
    action.source = MakeMaskAction::Using::kRevealSelection;
  else if (value == CharId("HdSl"))
    action.source = MakeMaskAction::Using::kHideSelection;
  else if (value == CharId("RvlA"))
    action.source = MakeMaskAction::Using::kRevealAll;
  else if (value == CharId("HdAl"))
    action.source = MakeMaskAction::Using::kHideAll;
  else
    return Malformed(a, "unknown mask source " + Quote(value));
  return EditorAction{action};
}

}  // namespace

std::optional<BlendMode> BlendModeFromActionKey(TypeId value) {
  struct Entry {
    TypeId key;
    BlendMode mode;
  };
  static constexpr Entry kModes[] = {
      {CharId("Nrml"), BlendMode::kNormal},     {CharId("Dslv"), BlendMode::kDissolve},
      {CharId("Drkn"), BlendMode::kDarken},     {CharId("Mltp"), BlendMode::kMultiply},
      {CharId("CBrn"), BlendMode::kColorBurn},  {CharId("Lghn"), BlendMode::kLighten},
      {CharId("Scrn"), BlendMode::kScreen},     {CharId("CDdg"), BlendMode::kColorDodge},
      {CharId("Ovrl"), BlendMode::kOverlay},    {CharId("SftL"), BlendMode::kSoftLight},
      {CharId("HrdL"), BlendMode::kHardLight},  {CharId("Dfrn"), BlendMode::kDifference},
      {CharId("Xclu"), BlendMode::kExclusion},  {CharId("H   "), BlendMode::kHue},
      {CharId("Strt"), BlendMode::kSaturation}, {CharId("Clr "), BlendMode::kColor},
      {CharId("Lmns"), BlendMode::kLuminosity},
  };
  for (const Entry& e : kModes)
    if (e.key == value) return e.mode;
  return std::nullopt;
}

Result<EditorAction> ParseAction(TypeId event, const ActionDescriptor& descriptor) {
  if (event == CharId("setd")) return ParseSet(descriptor);
  if (event == CharId("HStr")) return ParseHueSaturation(descriptor);
  if (event == CharId("Mk  ")) return ParseMakeMask(descriptor);
  return Status::Error("unknown action event " + Quote(event));
}

}  // namespace tessaro::editor
