// The editor version table and the connection to the editor.
//
// PSCfg.ini, read once at start-up from the program folder, lists the editor
// versions the engine knows: sections PSVersion0, PSVersion1, ... up to the
// first missing one, each with the editor's Version text, the class
// identifiers of the option and action objects of that version, and Scale
// (whether Translate takes points, so distances are multiplied by
// 72 / resolution; default true). The entry used is the first whose Version
// begins the editor's trimmed Version. No file or no matching entry: the
// editor is refused.
//
// Thread-safety: the table is read on the main thread at start-up and only
// read afterwards (by any thread).
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Status.h"
#include "editor/Automation.h"
#include "model/Compose.h"
#include "model/Ini.h"
#include "model/Lifecycle.h"

namespace tessaro {

// One editor version entry.
struct TPSGUIDNode {
  std::string Version;  // the version text the editor reports (its prefix)
  std::string JPEGSaveOptions;
  std::string PhotoshopSaveOptions;
  std::string ActionDescriptor;
  std::string ActionReference;
  std::string ActionList;
  bool Scale = true;  // Translate takes points: distances x 72 / resolution
};

using TPSVersionList = std::vector<TPSGUIDNode>;

inline constexpr const char* kPSConfigName = "PSCfg.ini";
// Sections looked at, at most (a hostile file cannot make the list grow
// without bound).
inline constexpr int kMaxPSVersions = 1000;

// The entries of a parsed PSCfg.ini, in section order.
TPSVersionList ParsePSVersions(const TIniFile& ini);
// Reads the file; an error when it cannot be read (the table is then empty).
Result<TPSVersionList> LoadPSVersions(const std::string& path);
// AppDir() + "/PSCfg.ini".
std::string PSConfigPath();

// Index of the first entry whose Version (non-empty) is a prefix of the
// trimmed `editorVersion`; -1 when none is.
int FindPSVersion(const TPSVersionList& versions, const std::string& editorVersion);

// Makes one editor application (the real one, or a fake in tests); null
// when it cannot be made.
using TEditorFactory = std::function<std::shared_ptr<automation::Application>()>;
// The factory of the built-in editor: a new in-process application.
TEditorFactory BuiltInEditorFactory();

// Messages of the connection (queued for the user by a worker, shown by the
// main window's check).
inline constexpr const char* kEditorStartingMessage =
    "正准备打开Photoshop软件程序，打开后请最小化Photoshop后再使用本软件。";
inline constexpr const char* kEditorCannotStartQueued =
    "无法打开Photoshop软件，请确定本机是否已经安装了Photoshop";
inline constexpr const char* kEditorCannotStartShown =
    "无法打开Photoshop软件，请确定本机是否已经安装了Photoshop。";
inline constexpr const char* kEditorUnsupportedMessage =
    "不支持当前版本的图像编辑程序，需要Photoshop 8.0或更高版本（或本程序内置的编辑程序）。"
    "请与软件供应商的技术支持联系，获取本软件的新版本。";

// A worker's connection: makes its own application and sets DisplayDialogs
// to 3 (no dialogs). The built-in editor always runs, so the "about to open"
// message is never needed; when the application cannot be made, queues the
// cannot-open message and gives null.
std::shared_ptr<automation::Application> ConnectPhotoshop(const TEditorFactory& factory,
                                                          TMessageQueue* queue);

// The main thread's check. `app` is the main thread's connection, made
// through the factory when null. Ready: the version matched (`versionIndex`
// set), `appName` holds the editor's Name and DisplayDialogs is 3.
// CannotStart: no application; Unsupported: no matching entry or the version
// could not be read (`versionIndex` -1).
TEditorCheck CheckPhotoshop(std::shared_ptr<automation::Application>& app, const TEditorFactory& factory,
                            const TPSVersionList& versions, int& versionIndex, std::string& appName);

}  // namespace tessaro
