// Fuzzes the INI reader and the configuration on top of it: whatever loads
// must save and load again to the same settings and custom sizes.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/Text.h"
#include "model/Config.h"

namespace {

bool SameSettings(const tessaro::TAppSettings& a, const tessaro::TAppSettings& b) {
  return a.LanguageIndex == b.LanguageIndex && a.LanguageName == b.LanguageName && a.TempPath == b.TempPath &&
         a.AutoResolution == b.AutoResolution && a.Resolution == b.Resolution &&
         a.ShowWaterMark == b.ShowWaterMark && a.WaterMarkFile == b.WaterMarkFile && a.Orient == b.Orient &&
         a.MarginH == b.MarginH && a.MarginV == b.MarginV && a.WaterMarkTrans == b.WaterMarkTrans &&
         a.WaterMarkScale == b.WaterMarkScale;
}

std::vector<const tessaro::TSizeNode*> Custom(const tessaro::TSizeList& sizes) {
  std::vector<const tessaro::TSizeNode*> out;
  for (const auto& s : sizes)
    if (s->Custom != 0) out.push_back(s.get());
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tessaro::TIniFile ini =
      tessaro::TIniFile::Parse(std::string_view(reinterpret_cast<const char*>(data), size));
  tessaro::TAppSettings settings;
  tessaro::TSizeList sizes;
  tessaro::LoadConfigFromIni(ini, settings, sizes);

  std::string saved = tessaro::SaveConfigToIni(settings, sizes).Serialize();
  tessaro::TAppSettings again;
  tessaro::TSizeList sizesAgain;
  tessaro::LoadConfigFromIni(tessaro::TIniFile::Parse(saved), again, sizesAgain);
  if (!SameSettings(settings, again)) std::abort();
  auto a = Custom(sizes);
  auto b = Custom(sizesAgain);
  if (a.size() != b.size()) std::abort();
  for (size_t i = 0; i < a.size(); ++i)
    if (tessaro::Trim(a[i]->Name) != tessaro::Trim(b[i]->Name) || a[i]->Width != b[i]->Width ||
        a[i]->Height != b[i]->Height || a[i]->SizeUnit != b[i]->SizeUnit || a[i]->Custom != b[i]->Custom ||
        a[i]->SizeType != b[i]->SizeType)
      std::abort();
  return 0;
}
