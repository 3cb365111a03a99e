// The editor's preferences: ruler and type units.
#include "editor/EditorImpl.h"

namespace tessaro {
namespace editor {

using namespace automation;

namespace {

class PreferencesImpl final : public automation::Preferences {
 public:
  explicit PreferencesImpl(std::shared_ptr<AppState> app) : FApp(std::move(app)) {}
  Result<int> RulerUnits() override { return ReadSetting(*FApp, &AppState::rulerUnits); }
  Status SetRulerUnits(int units) override {
    if (units < kUnitPixels || units > kUnitPercent)
      return Status::Error("ruler units must lie in 1..7, not " + std::to_string(units));
    return WriteSetting(*FApp, &AppState::rulerUnits, units);
  }
  Result<int> TypeUnits() override { return ReadSetting(*FApp, &AppState::typeUnits); }
  Status SetTypeUnits(int units) override {
    if (units != kTypeUnitPixels && units != kTypeUnitMm && units != kTypeUnitPoints)
      return Status::Error("type units must be 1, 2 or 5, not " + std::to_string(units));
    return WriteSetting(*FApp, &AppState::typeUnits, units);
  }

 private:
  std::shared_ptr<AppState> FApp;
};

}  // namespace

std::shared_ptr<automation::Preferences> MakePreferences(const std::shared_ptr<AppState>& app) {
  return std::make_shared<PreferencesImpl>(app);
}

}  // namespace editor

}  // namespace tessaro
