#include "engine/PSVersions.h"

#include "base/FileIo.h"
#include "base/Text.h"
#include "editor/Editor.h"

namespace tessaro {

TPSVersionList ParsePSVersions(const TIniFile& ini) {
  TPSVersionList out;
  for (int i = 0; i < kMaxPSVersions; ++i) {
    const std::string section = "PSVersion" + std::to_string(i);
    if (!ini.HasSection(section)) break;
    TPSGUIDNode node;
    node.Version = ini.ReadString(section, "Version", "");
    node.JPEGSaveOptions = ini.ReadString(section, "JPEGSaveOptions", "");
    node.PhotoshopSaveOptions = ini.ReadString(section, "PhotoshopSaveOptions", "");
    node.ActionDescriptor = ini.ReadString(section, "ActionDescriptor", "");
    node.ActionReference = ini.ReadString(section, "ActionReference", "");
    node.ActionList = ini.ReadString(section, "ActionList", "");
    node.Scale = ini.ReadBool(section, "Scale", true);
    out.push_back(std::move(node));
  }
  return out;
}

Result<TPSVersionList> LoadPSVersions(const std::string& path) {
  Result<std::vector<uint8_t>> bytes = ReadWholeFile(path, 1u << 20);
  if (!bytes.ok()) return Status::Error(path + ": " + bytes.message());
  return ParsePSVersions(
      TIniFile::Parse(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size())));
}

std::string PSConfigPath() { return JoinPath(AppDir(), kPSConfigName); }

int FindPSVersion(const TPSVersionList& versions, const std::string& editorVersion) {
  const std::string trimmed = Trim(editorVersion);
  for (size_t i = 0; i < versions.size(); ++i) {
    const std::string& v = versions[i].Version;
    if (!v.empty() && trimmed.compare(0, v.size(), v) == 0) return static_cast<int>(i);
  }
  return -1;
}

TEditorFactory BuiltInEditorFactory() {
  return [] { return CreateEditorApplication(); };
}

std::shared_ptr<automation::Application> ConnectPhotoshop(const TEditorFactory& factory,
                                                          TMessageQueue* queue) {
  std::shared_ptr<automation::Application> app = factory ? factory() : nullptr;
  if (!app) {
    if (queue) queue->Post(kEditorCannotStartQueued);
    return nullptr;
  }
  // An editor that refuses the dialog mode is still usable: it shows none.
  (void)app->SetDisplayDialogs(automation::kDialogsNo);
  return app;
}

TEditorCheck CheckPhotoshop(std::shared_ptr<automation::Application>& app, const TEditorFactory& factory,
                            const TPSVersionList& versions, int& versionIndex, std::string& appName) {
  versionIndex = -1;
  if (!app) app = factory ? factory() : nullptr;
  if (!app) return TEditorCheck::CannotStart;
  Result<std::string> version = app->Version();
  if (!version.ok()) return TEditorCheck::Unsupported;
  versionIndex = FindPSVersion(versions, *version);
  if (versionIndex < 0) return TEditorCheck::Unsupported;
  Result<std::string> name = app->Name();
  appName = name.ok() ? *name : std::string();
  (void)app->SetDisplayDialogs(automation::kDialogsNo);
  return TEditorCheck::Ready;
}

}  // namespace tessaro
