// The value types of the automation interface: type ids, action descriptors,
// references and lists, and creation of objects from class identifiers.
#include "editor/Automation.h"

#include <algorithm>
#include <cctype>

namespace tessaro::automation {

Result<TypeId> CharIdToTypeId(std::string_view code) {
  if (code.size() != 4)
    return Status::Error("a four-character code must have four characters: \"" + std::string(code) + "\"");
  return (TypeId(uint8_t(code[0])) << 24) | (TypeId(uint8_t(code[1])) << 16) |
         (TypeId(uint8_t(code[2])) << 8) | TypeId(uint8_t(code[3]));
}

std::string TypeIdToCharId(TypeId id) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = char((id >> (24 - 8 * i)) & 0xFF);
  return s;
}

namespace {

const char* TypeName(ActionValueType t) {
  switch (t) {
    case ActionValueType::kBoolean:
      return "boolean";
    case ActionValueType::kInteger:
      return "integer";
    case ActionValueType::kDouble:
      return "double";
    case ActionValueType::kUnitDouble:
      return "unit double";
    case ActionValueType::kEnumerated:
      return "enumerated";
    case ActionValueType::kReference:
      return "reference";
    case ActionValueType::kObject:
      return "object";
    case ActionValueType::kList:
      return "list";
    case ActionValueType::kClass:
      return "class";
    case ActionValueType::kString:
      return "string";
  }
  return "value";
}

// The alternative T of a stored value, or an error naming what is there.
template <typename T>
Result<T> Get(const ActionValue* v, const std::string& where) {
  if (!v) return Status::Error("no value for " + where);
  if (const T* p = std::get_if<T>(&v->value)) return *p;
  return Status::Error("the value for " + where + " is a " + TypeName(v->type()));
}

// One member of a stored value of type T, e.g. the unit of a UnitDouble.
template <typename T, typename Member>
Result<Member> GetMember(const ActionValue* v, const std::string& where, Member T::*member) {
  Result<T> whole = Get<T>(v, where);
  if (!whole.ok()) return whole.status();
  return std::move(whole.value().*member);
}

std::string KeyText(TypeId key) { return "key \"" + TypeIdToCharId(key) + "\""; }
std::string IndexText(int index) { return "list item " + std::to_string(index); }

}  // namespace

// ---------------------------------------------------------------------------
// ActionReference

void ActionReference::putProperty(TypeId desiredClass, TypeId property) {
  ReferenceElement e;
  e.form = ReferenceElement::Form::kProperty;
  e.desiredClass = desiredClass;
  e.property = property;
  FElements.push_back(std::move(e));
}

void ActionReference::putEnumerated(TypeId desiredClass, TypeId enumType, TypeId value) {
  ReferenceElement e;
  e.form = ReferenceElement::Form::kEnumerated;
  e.desiredClass = desiredClass;
  e.enumType = enumType;
  e.value = value;
  FElements.push_back(std::move(e));
}

void ActionReference::putClass(TypeId desiredClass) {
  ReferenceElement e;
  e.form = ReferenceElement::Form::kClass;
  e.desiredClass = desiredClass;
  FElements.push_back(std::move(e));
}

void ActionReference::putIndex(TypeId desiredClass, int32_t index) {
  ReferenceElement e;
  e.form = ReferenceElement::Form::kIndex;
  e.desiredClass = desiredClass;
  e.index = index;
  FElements.push_back(std::move(e));
}

void ActionReference::putName(TypeId desiredClass, std::string name) {
  ReferenceElement e;
  e.form = ReferenceElement::Form::kName;
  e.desiredClass = desiredClass;
  e.name = std::move(name);
  FElements.push_back(std::move(e));
}

Result<ReferenceElement> ActionReference::getElement(int index) const {
  if (index < 0 || index >= count()) return Status::Error("no reference element " + std::to_string(index));
  return FElements[size_t(index)];
}

// ---------------------------------------------------------------------------
// ActionDescriptor

ActionDescriptor::ActionDescriptor() = default;
ActionDescriptor::ActionDescriptor(const ActionDescriptor&) = default;
ActionDescriptor::ActionDescriptor(ActionDescriptor&&) noexcept = default;
ActionDescriptor& ActionDescriptor::operator=(const ActionDescriptor&) = default;
ActionDescriptor& ActionDescriptor::operator=(ActionDescriptor&&) noexcept = default;
ActionDescriptor::~ActionDescriptor() = default;

// Values are emplaced in place (constructing a temporary variant and moving
// it trips a false uninitialised-use warning of some compilers).
template <typename T>
void ActionDescriptor::PutValue(TypeId key, T value) {
  for (auto& item : FItems)
    if (item.first == key) {
      item.second.value.emplace<T>(std::move(value));
      return;
    }
  FItems.emplace_back();
  FItems.back().first = key;
  FItems.back().second.value.emplace<T>(std::move(value));
}

void ActionDescriptor::putBoolean(TypeId key, bool value) { PutValue(key, value); }
void ActionDescriptor::putInteger(TypeId key, int32_t value) { PutValue(key, value); }
void ActionDescriptor::putDouble(TypeId key, double value) { PutValue(key, value); }
void ActionDescriptor::putUnitDouble(TypeId key, TypeId unit, double value) {
  PutValue(key, UnitDouble{unit, value});
}
void ActionDescriptor::putEnumerated(TypeId key, TypeId enumType, TypeId value) {
  PutValue(key, EnumeratedValue{enumType, value});
}
void ActionDescriptor::putReference(TypeId key, const ActionReference& value) { PutValue(key, value); }
void ActionDescriptor::putObject(TypeId key, TypeId classId, const ActionDescriptor& value) {
  PutValue(key, ObjectValue{classId, value});
}
void ActionDescriptor::putList(TypeId key, const ActionList& value) { PutValue(key, value); }
void ActionDescriptor::putClass(TypeId key, TypeId classId) { PutValue(key, ClassValue{classId}); }
void ActionDescriptor::putString(TypeId key, std::string value) { PutValue(key, std::move(value)); }

int ActionDescriptor::count() const { return int(FItems.size()); }

Result<TypeId> ActionDescriptor::getKey(int index) const {
  if (index < 0 || index >= count()) return Status::Error("no descriptor key " + std::to_string(index));
  return FItems[size_t(index)].first;
}

bool ActionDescriptor::hasKey(TypeId key) const { return find(key) != nullptr; }

const ActionValue* ActionDescriptor::find(TypeId key) const {
  for (const auto& item : FItems)
    if (item.first == key) return &item.second;
  return nullptr;
}

Result<ActionValueType> ActionDescriptor::getType(TypeId key) const {
  const ActionValue* v = find(key);
  if (!v) return Status::Error("no value for " + KeyText(key));
  return v->type();
}

Result<bool> ActionDescriptor::getBoolean(TypeId key) const { return Get<bool>(find(key), KeyText(key)); }
Result<int32_t> ActionDescriptor::getInteger(TypeId key) const {
  return Get<int32_t>(find(key), KeyText(key));
}
Result<double> ActionDescriptor::getDouble(TypeId key) const { return Get<double>(find(key), KeyText(key)); }
Result<TypeId> ActionDescriptor::getUnitDoubleType(TypeId key) const {
  return GetMember(find(key), KeyText(key), &UnitDouble::unit);
}
Result<double> ActionDescriptor::getUnitDoubleValue(TypeId key) const {
  return GetMember(find(key), KeyText(key), &UnitDouble::value);
}
Result<TypeId> ActionDescriptor::getEnumerationType(TypeId key) const {
  return GetMember(find(key), KeyText(key), &EnumeratedValue::enumType);
}
Result<TypeId> ActionDescriptor::getEnumerationValue(TypeId key) const {
  return GetMember(find(key), KeyText(key), &EnumeratedValue::value);
}
Result<ActionReference> ActionDescriptor::getReference(TypeId key) const {
  return Get<ActionReference>(find(key), KeyText(key));
}
Result<TypeId> ActionDescriptor::getObjectType(TypeId key) const {
  return GetMember(find(key), KeyText(key), &ObjectValue::classId);
}
Result<ActionDescriptor> ActionDescriptor::getObjectValue(TypeId key) const {
  return GetMember(find(key), KeyText(key), &ObjectValue::descriptor);
}
Result<ActionList> ActionDescriptor::getList(TypeId key) const {
  return Get<ActionList>(find(key), KeyText(key));
}
Result<TypeId> ActionDescriptor::getClass(TypeId key) const {
  return GetMember(find(key), KeyText(key), &ClassValue::classId);
}
Result<std::string> ActionDescriptor::getString(TypeId key) const {
  return Get<std::string>(find(key), KeyText(key));
}

void ActionDescriptor::erase(TypeId key) {
  FItems.erase(
      std::remove_if(FItems.begin(), FItems.end(), [key](const auto& item) { return item.first == key; }),
      FItems.end());
}

void ActionDescriptor::clear() { FItems.clear(); }

bool operator==(const ActionDescriptor& a, const ActionDescriptor& b) { return a.FItems == b.FItems; }

// ---------------------------------------------------------------------------
// ActionList

ActionList::ActionList() = default;
ActionList::ActionList(const ActionList&) = default;
ActionList::ActionList(ActionList&&) noexcept = default;
ActionList& ActionList::operator=(const ActionList&) = default;
ActionList& ActionList::operator=(ActionList&&) noexcept = default;
ActionList::~ActionList() = default;

template <typename T>
void ActionList::Append(T value) {
  FItems.emplace_back();
  FItems.back().value.emplace<T>(std::move(value));
}

void ActionList::putBoolean(bool value) { Append(value); }
void ActionList::putInteger(int32_t value) { Append(value); }
void ActionList::putDouble(double value) { Append(value); }
void ActionList::putUnitDouble(TypeId unit, double value) { Append(UnitDouble{unit, value}); }
void ActionList::putEnumerated(TypeId enumType, TypeId value) { Append(EnumeratedValue{enumType, value}); }
void ActionList::putReference(const ActionReference& value) { Append(value); }
void ActionList::putObject(TypeId classId, const ActionDescriptor& value) {
  Append(ObjectValue{classId, value});
}
void ActionList::putList(const ActionList& value) { Append(value); }
void ActionList::putClass(TypeId classId) { Append(ClassValue{classId}); }
void ActionList::putString(std::string value) { Append(std::move(value)); }

int ActionList::count() const { return int(FItems.size()); }

const ActionValue* ActionList::at(int index) const {
  if (index < 0 || index >= count()) return nullptr;
  return &FItems[size_t(index)];
}

Result<ActionValueType> ActionList::getType(int index) const {
  const ActionValue* v = at(index);
  if (!v) return Status::Error("no value for " + IndexText(index));
  return v->type();
}
Result<bool> ActionList::getBoolean(int index) const { return Get<bool>(at(index), IndexText(index)); }
Result<int32_t> ActionList::getInteger(int index) const { return Get<int32_t>(at(index), IndexText(index)); }
Result<double> ActionList::getDouble(int index) const { return Get<double>(at(index), IndexText(index)); }
Result<TypeId> ActionList::getObjectType(int index) const {
  return GetMember(at(index), IndexText(index), &ObjectValue::classId);
}
Result<ActionDescriptor> ActionList::getObjectValue(int index) const {
  return GetMember(at(index), IndexText(index), &ObjectValue::descriptor);
}
Result<ActionReference> ActionList::getReference(int index) const {
  return Get<ActionReference>(at(index), IndexText(index));
}
Result<TypeId> ActionList::getEnumerationValue(int index) const {
  return GetMember(at(index), IndexText(index), &EnumeratedValue::value);
}
Result<std::string> ActionList::getString(int index) const {
  return Get<std::string>(at(index), IndexText(index));
}

bool operator==(const ActionList& a, const ActionList& b) { return a.FItems == b.FItems; }

// ---------------------------------------------------------------------------
// Class identifiers

namespace {

// Upper-case hex digits and letters, without the braces around a GUID.
std::string NormaliseClassId(std::string_view id) {
  while (!id.empty() && std::isspace(uint8_t(id.front()))) id.remove_prefix(1);
  while (!id.empty() && std::isspace(uint8_t(id.back()))) id.remove_suffix(1);
  if (id.size() >= 2 && id.front() == '{' && id.back() == '}') id = id.substr(1, id.size() - 2);
  std::string s(id);
  for (char& c : s) c = char(std::toupper(uint8_t(c)));
  return s;
}

}  // namespace

Result<AutomationObject> CreateAutomationObject(std::string_view classId) {
  const std::string id = NormaliseClassId(classId);
  auto is = [&](std::string_view guid, std::string_view name) {
    return id == NormaliseClassId(guid) || id == NormaliseClassId(name);
  };
  if (is(kJPEGSaveOptionsClassId, "JPEGSaveOptions")) return AutomationObject{JPEGSaveOptions{}};
  if (is(kPhotoshopSaveOptionsClassId, "PhotoshopSaveOptions"))
    return AutomationObject{PhotoshopSaveOptions{}};
  if (is(kActionDescriptorClassId, "ActionDescriptor")) return AutomationObject{ActionDescriptor{}};
  if (is(kActionReferenceClassId, "ActionReference")) return AutomationObject{ActionReference{}};
  if (is(kActionListClassId, "ActionList")) return AutomationObject{ActionList{}};
  return Status::Error("class not registered: " + std::string(classId));
}

}  // namespace tessaro::automation
